#pragma once

namespace tobrisk {

// W8: the W6 view at 32767x32767 and 50 iterations written as a pyramid of
// tiles, against the same view as one PNG, run in turn twice each.
void RegisterPyramidWorkloads();
void PrintPyramidSummary();

}  // namespace tobrisk
