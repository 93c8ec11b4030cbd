// Compiled once per instruction set that Highway supports here; the best one
// the processor has is chosen at the first call.
#undef HWY_TARGET_INCLUDE
#define HWY_TARGET_INCLUDE "engine/fast_kernels.cpp"
#include "hwy/foreach_target.h"  // IWYU pragma: keep

#include <stdexcept>

#include "engine/fast_kernels-inl.h"
#include "engine/fast_kernels.h"
#include "hwy/highway.h"

HWY_BEFORE_NAMESPACE();
namespace tobrisk {
namespace HWY_NAMESPACE {

void CountRowExact(const PointRow& row, EscapeCount* HWY_RESTRICT counts, bool detectCycles) {
  // Double vectors carry the arithmetic, their single halves the state.
  const hn::Rebind<float, hn::ScalableTag<double>> df;
  if (detectCycles) {
    CountRowWith<ExactArithmetic<decltype(df)>, true>(df, row, counts);
  } else {
    CountRowWith<ExactArithmetic<decltype(df)>, false>(df, row, counts);
  }
}

}  // namespace HWY_NAMESPACE
}  // namespace tobrisk
HWY_AFTER_NAMESPACE();

#if HWY_ONCE
namespace tobrisk {

HWY_EXPORT(CountRowExact);

void CountRow(const PointRow& row, std::span<EscapeCount> counts, CycleDetection cycles) {
  if (counts.size() != row.xs.size()) throw std::invalid_argument("CountRow needs one count per point");
  HWY_DYNAMIC_DISPATCH(CountRowExact)(row, counts.data(), cycles == CycleDetection::On);
}

}  // namespace tobrisk
#endif
