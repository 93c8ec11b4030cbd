#pragma once

#include "engine/plot_surface.h"
#include "engine/run_time_error.h"
#include "engine/types.h"

namespace tobrisk {

// Palette entry for an escape count: (n mod 15) + 1, with the truncating
// remainder and a checked addition; 1 ... 15 for every count a kernel returns.
[[nodiscard]] std::int16_t PaletteIndexFor(EscapeCount n, const ErrorSite& site);

// The reference pass: maps every pixel of the surface to the plane, runs the
// kernel of params.Kind and plots the pixel, row by row from the top. On a
// RunTimeError the pixels plotted so far stay and the rest are untouched.
void RenderPass(const DrawParameters& params, PlotSurface& surface);

}  // namespace tobrisk
