#pragma once

#include <atomic>
#include <cstddef>

#include "engine/plot_surface.h"
#include "engine/types.h"

namespace tobrisk {

struct FastPassOptions {
  int threads = 0;  // threads computing counts; 0 uses every core
  // Pixels whose counts are computed ahead of the plotting thread at most
  // (twice this, in two bands): enough to keep every core busy, small enough
  // that memory does not grow with the picture.
  std::size_t bandPixels = std::size_t{1} << 20;
  // Bytes of run-length coded counts kept for Mandelbrot rows that a later
  // row mirrors (its y exactly the negative); rows beyond it are counted again.
  std::size_t mirrorBytes = std::size_t{4} << 20;
  // When set, raised by each row as its counts are finished (before it is
  // plotted), from whichever thread finished it: a progress display that
  // follows it moves row by row rather than a band at a time.
  std::atomic<int>* rowsCounted = nullptr;
};

// The render pass computed with vector kernels on every core. It leaves the
// surface exactly as RenderPass does and raises exactly the same RunTimeError,
// after plotting exactly the same pixels. Worker threads only compute counts;
// the calling thread plots, row by row from the top, and returns when all is
// plotted. Memory stays bounded whatever the surface size.
void FastRenderPass(const DrawParameters& params, PlotSurface& surface, const FastPassOptions& options = {});

}  // namespace tobrisk
