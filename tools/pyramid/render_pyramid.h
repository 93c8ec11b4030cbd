#pragma once

#include "tools/render/render_options.h"

namespace tobrisk {

// Draws the options' view as a Deep Zoom pyramid in the folder
// options.pyramid: every level drawn at its own size, from 1x1 up to the
// full size, written a row of tiles at a time; with a shard, only that
// shard's tiles. The first shard (or an unsplit job) removes an old
// descriptor and page first and writes them last, so a viewer never takes
// a pyramid for complete while that shard still draws. Throws
// PyramidFolderRefused for a folder that holds something else, a
// std::runtime_error naming the level for a level that faults, and
// std::runtime_error for a file that cannot be written.
void RenderPyramid(const RenderOptions& options);

// The options of one level: the same view at another size. A view given by
// centre and width keeps its centre and width, as a render at that size would.
[[nodiscard]] RenderOptions OptionsAtSize(const RenderOptions& options, int width, int height);

}  // namespace tobrisk
