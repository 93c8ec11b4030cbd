#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace tobrisk {

// The Deep Zoom layout: level 0 is 1x1, each level above doubles the one
// below (rounding up), and the top level is the full picture. Each level is
// cut into tiles of 256 pixels, each carrying one more pixel of its
// neighbours on every inner side, so a viewer can blend the seams.
inline constexpr int kTileSize = 256;
inline constexpr int kTileOverlap = 1;

struct LevelSize {
  int width;
  int height;
};

// The sizes of levels 0 ... top for a picture of width x height.
[[nodiscard]] std::vector<LevelSize> DeepZoomLevels(int width, int height);

// The pixels [begin, end) of one side of a level that tile `index` along
// that side holds, overlap included.
struct TileSpan {
  int begin;
  int end;
};
[[nodiscard]] TileSpan TileSpanOf(int side, int index);
[[nodiscard]] int TilesAlong(int side);

// The number of the first tile of `level` in the job's fixed order: levels
// from 0 up, each row by row from the top, each row from the left.
[[nodiscard]] std::int64_t FirstTileOf(const std::vector<LevelSize>& levels, int level);

// The descriptor file (picture.dzi) of a picture of width x height.
[[nodiscard]] std::string DziText(int width, int height);

}  // namespace tobrisk
