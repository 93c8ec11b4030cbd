#include "tools/pyramid/deep_zoom.h"

#include <algorithm>

namespace tobrisk {

std::vector<LevelSize> DeepZoomLevels(int width, int height) {
  // The top level is the first whose larger side halves down to 1: the
  // integer form of ceil(log2(max(width, height))), exact where a log is not.
  int top = 0;
  while ((1 << top) < std::max(width, height)) ++top;
  std::vector<LevelSize> levels;
  for (int level = 0; level <= top; ++level) {
    const int shift = top - level;
    const auto halved = [shift](int side) {
      return static_cast<int>((static_cast<std::int64_t>(side) + (std::int64_t{1} << shift) - 1) >> shift);
    };
    levels.push_back({halved(width), halved(height)});
  }
  return levels;
}

int TilesAlong(int side) { return (side + kTileSize - 1) / kTileSize; }

TileSpan TileSpanOf(int side, int index) {
  const int begin = index * kTileSize;
  return {std::max(0, begin - kTileOverlap), std::min(side, begin + kTileSize + kTileOverlap)};
}

std::int64_t FirstTileOf(const std::vector<LevelSize>& levels, int level) {
  std::int64_t first = 0;
  for (int below = 0; below < level; ++below) {
    first += static_cast<std::int64_t>(TilesAlong(levels[below].width)) * TilesAlong(levels[below].height);
  }
  return first;
}

std::string DziText(int width, int height) {
  return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
         "<Image xmlns=\"http://schemas.microsoft.com/deepzoom/2008\" Format=\"png\" Overlap=\"" +
         std::to_string(kTileOverlap) + "\" TileSize=\"" + std::to_string(kTileSize) + "\">\n  <Size Width=\"" +
         std::to_string(width) + "\" Height=\"" + std::to_string(height) + "\"/>\n</Image>\n";
}

}  // namespace tobrisk
