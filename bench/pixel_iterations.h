#pragma once

#include <cstdint>
#include <optional>

#include "engine/types.h"

namespace tobrisk {

// The loop passes the reference kernel makes for one pixel, from the count
// it returned and the limit: the work the definition asks for.
[[nodiscard]] std::int64_t LoopPasses(FractalKind kind, EscapeCount n, std::int16_t maxIter);

// What one fast pass over a whole picture did.
struct PictureWork {
  double pixelIterations;       // the loop passes of every pixel, summed
  double interiorDecidedEarly;  // the share of points counted MaxIter + 1 that the kernels ended early; < 0: none
};

// Measured by one untimed pass with every row counted by the kernels (no
// mirrored rows); empty when the picture ends in an error.
[[nodiscard]] std::optional<PictureWork> MeasurePictureWork(const DrawParameters& params, int width, int height);

}  // namespace tobrisk
