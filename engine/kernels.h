#pragma once

#include <cstdint>

#include "engine/types.h"

namespace tobrisk {

// Exact escape-time kernels: every assignment is evaluated in double from its
// single operands in the written grouping, rounded to single and fault-tested.
// They are the reference every faster path must match bit for bit.
// May raise RunTimeError with an InKernel site.

// Mandelbrot: c is the point and the orbit starts from it; z1 is not tested.
[[nodiscard]] EscapeCount IterateM(float initx, float inity, std::int16_t MaxIter);

// Julia: the point is the orbit's start, (P, Q) the constant; tests from z1 on.
[[nodiscard]] EscapeCount IterateJ(float initx, float inity, std::int16_t MaxIter, float P, float Q);

}  // namespace tobrisk
