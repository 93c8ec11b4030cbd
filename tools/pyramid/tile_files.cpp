#include "tools/pyramid/tile_files.h"

#include <string>
#include <vector>

#include <tbb/parallel_for.h>

#include "tools/png/png_rows.h"
#include "tools/pyramid/deep_zoom.h"
#include "tools/safe_output/output_file.h"

namespace tobrisk {
namespace {

void WriteTile(const std::filesystem::path& levelFolder, const TileRowBand& band, int column,
               const PictureColours& colours) {
  const TileSpan columns = TileSpanOf(band.width, column);
  const std::string path =
      (levelFolder / (std::to_string(column) + '_' + std::to_string(band.tileRow) + ".png")).string();
  OutputFile file(path);
  // A tile is small: one thread deflates it, and the tiles of the row go in parallel instead.
  PngRowWriter png(file.Stream(), path, columns.end - columns.begin, band.rows, colours, PngDeflate{.threads = 1});
  for (int row = 0; row < band.rows; ++row) {
    png.WriteCountRow(band.Row(row).subspan(static_cast<std::size_t>(columns.begin),
                                            static_cast<std::size_t>(columns.end - columns.begin)));
  }
  png.Finish();
  OutputFile::CommitTogether({&file});
}

}  // namespace

void WriteTileRow(const std::filesystem::path& levelFolder, const TileRowBand& band, const PictureColours& colours,
                  const std::function<bool(int column)>& wanted) {
  std::vector<int> columns;
  for (int column = 0; column < TilesAlong(band.width); ++column) {
    if (wanted(column)) columns.push_back(column);
  }
  tbb::parallel_for(std::size_t{0}, columns.size(),
                    [&](std::size_t at) { WriteTile(levelFolder, band, columns[at], colours); });
}

}  // namespace tobrisk
