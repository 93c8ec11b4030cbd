#pragma once

#include <cstdint>
#include <optional>

#include "engine/types.h"

namespace tobrisk {

// The loop passes the reference kernel makes for one pixel, from the count
// it returned and the limit: the work the definition asks for.
[[nodiscard]] std::int64_t LoopPasses(FractalKind kind, EscapeCount n, std::int16_t maxIter);

// The loop passes of every pixel of a picture, summed; empty when the
// picture ends in an error.
[[nodiscard]] std::optional<double> PixelIterations(const DrawParameters& params, int width, int height);

}  // namespace tobrisk
