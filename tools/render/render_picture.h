#pragma once

#include "tools/render/render_options.h"
#include "ui/fields.h"

namespace tobrisk {

// Draws one picture as the options ask and writes its files, which replace
// the old ones together and only when complete. Throws RunTimeError when the
// drawing fails and std::runtime_error when a file cannot be written.
void RenderPicture(const RenderOptions& options);

// The seven field texts the options hold, in reading order.
[[nodiscard]] FieldTexts TextsOf(const RenderOptions& options);

}  // namespace tobrisk
