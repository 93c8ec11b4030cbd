#pragma once

#include <array>
#include <string_view>

#include "engine/fast_pass.h"
#include "engine/plot_surface.h"
#include "engine/types.h"
#include "ui/fields.h"

namespace tobrisk {

// Turns the field texts into a parameter record, reading them in order.
// Raises the overflow RunTimeError for Iterations outside -32768 ... 32767
// before Real and Imaginary are read. Real fields beyond the single range are
// stored as infinities without an error.
[[nodiscard]] DrawParameters ReadDrawParameters(const FieldTexts& texts, bool mandelbrotChosen);

// The Draw command: reads the fields and runs the render pass on the surface.
// Neither clears the surface first nor checks the numbers for sense. When the
// pass fails and a field it used lies beyond the single range, the error's
// message says so after naming the cause and the pixel. `pass` chooses the
// threads and the progress counter; the picture is the same for any choice.
void Draw(const FieldTexts& texts, bool mandelbrotChosen, PlotSurface& surface, const FastPassOptions& pass = {});

}  // namespace tobrisk
