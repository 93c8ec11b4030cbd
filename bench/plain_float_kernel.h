#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

#include "engine/fast_kernels.h"

namespace tobrisk {

// Counts a grid in plain single arithmetic with the fast kernels' loop shape
// and no cycle detection; for measuring the cost of exactness only.
void CountGridPlainFloat(const PointGrid& grid, std::span<EscapeCount> counts);

enum class StepArithmetic { Plain, Exact };
inline constexpr std::size_t kStepLoopMaxSteps = 30000;

// The fast kernels' step loop alone, every lane running, `steps` steps in
// the given arithmetic (bookkeeping aside, what one step of one orbit costs).
// Returns the lane-steps taken.
std::uint64_t RunStepLoop(StepArithmetic arithmetic, std::size_t steps);

}  // namespace tobrisk
