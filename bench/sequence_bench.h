#pragma once

#include "bench/summary.h"

namespace tobrisk {

// W7: a zoom of 240 frames drawn by one tobrisk-render, against the same
// frames drawn one process at a time from a shell loop.
void RegisterSequenceWorkloads();
void PrintSequenceSummary(const MedianKeeper& keeper);

}  // namespace tobrisk
