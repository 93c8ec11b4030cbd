#pragma once

#include <filesystem>
#include <functional>

#include "tools/colour/picture_colours.h"
#include "tools/pyramid/tile_row_surface.h"

namespace tobrisk {

// Writes the tiles of a finished row of tiles that `wanted` picks (by
// column) as LEVEL_FOLDER/COL_ROW.png, several at once, each replacing its
// old file only when complete. Throws std::runtime_error naming a file that
// cannot be written.
void WriteTileRow(const std::filesystem::path& levelFolder, const TileRowBand& band, const PictureColours& colours,
                  const std::function<bool(int column)>& wanted);

}  // namespace tobrisk
