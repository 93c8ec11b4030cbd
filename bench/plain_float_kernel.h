#pragma once

#include <span>

#include "engine/fast_kernels.h"

namespace tobrisk {

// Counts a grid in plain single arithmetic with the fast kernels' loop shape
// and no cycle detection; for measuring the cost of exactness only.
void CountGridPlainFloat(const PointGrid& grid, std::span<EscapeCount> counts);

}  // namespace tobrisk
