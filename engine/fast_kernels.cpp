// SPDX-License-Identifier: MIT
// Compiled once per instruction set that Highway supports here; the best one
// the processor has is chosen at the first call.
#undef HWY_TARGET_INCLUDE
#define HWY_TARGET_INCLUDE "engine/fast_kernels.cpp"
#include "hwy/foreach_target.h"  // IWYU pragma: keep

#include <atomic>
#include <stdexcept>

#include "engine/fast_kernels-inl.h"
#include "engine/fast_kernels.h"
#include "hwy/highway.h"

HWY_BEFORE_NAMESPACE();
namespace tobrisk {
namespace HWY_NAMESPACE {

void CountGridExact(const PointGrid& grid, EscapeCount* HWY_RESTRICT counts, bool detectCycles) {
  const ExactTag df;
  if (detectCycles) {
    CountGridWith<ExactArithmetic<ExactTag>, true>(df, grid, counts);
  } else {
    CountGridWith<ExactArithmetic<ExactTag>, false>(df, grid, counts);
  }
}

}  // namespace HWY_NAMESPACE
}  // namespace tobrisk
HWY_AFTER_NAMESPACE();

#if HWY_ONCE
namespace tobrisk {

HWY_EXPORT(CountGridExact);

namespace {
std::atomic<std::uint64_t> interiorDecidedEarly{0};
}  // namespace

std::uint64_t InteriorDecidedEarly() { return interiorDecidedEarly.load(std::memory_order_relaxed); }
void ResetInteriorDecidedEarly() { interiorDecidedEarly.store(0, std::memory_order_relaxed); }
void NoteInteriorDecidedEarly(std::uint64_t points) {
  if (points != 0) interiorDecidedEarly.fetch_add(points, std::memory_order_relaxed);
}

void CountGrid(const PointGrid& grid, std::span<EscapeCount> counts, CycleDetection cycles) {
  if (counts.size() != grid.xs.size() * grid.ys.size()) throw std::invalid_argument("CountGrid needs one count per point");
  if (counts.empty()) return;
  HWY_DYNAMIC_DISPATCH(CountGridExact)(grid, counts.data(), cycles == CycleDetection::On);
}

void CountRow(const PointRow& row, std::span<EscapeCount> counts, CycleDetection cycles) {
  if (counts.size() != row.xs.size()) throw std::invalid_argument("CountRow needs one count per point");
  CountGrid(PointGrid{row.Kind, row.xs, std::span(&row.y, 1), row.MaxIter, row.P, row.Q}, counts, cycles);
}

}  // namespace tobrisk
#endif
