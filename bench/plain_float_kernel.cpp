// SPDX-License-Identifier: MIT
// A plain single-precision kernel with the fast kernels' loop shape: the same
// blocks, escape test and bookkeeping, but every statement in single and full
// single-width vectors. It gives no exact results; it only measures what the
// exact arithmetic costs, over a grid and in the step loop alone.
#undef HWY_TARGET_INCLUDE
#define HWY_TARGET_INCLUDE "bench/plain_float_kernel.cpp"
#include "hwy/foreach_target.h"  // IWYU pragma: keep

#include <cstdint>
#include <span>
#include <stdexcept>
#include <string>

#include "bench/plain_float_kernel.h"
#include "engine/fast_kernels-inl.h"
#include "hwy/aligned_allocator.h"
#include "hwy/highway.h"

HWY_BEFORE_NAMESPACE();
namespace tobrisk {
namespace HWY_NAMESPACE {

template <class DF>
struct PlainArithmetic {
  using VF = hn::Vec<DF>;
  using Constant = VF;

  static Constant Broadcast(float value) { return hn::Set(DF(), value); }
  static Constant Widen(VF values) { return values; }

  static void FirstIterate(DF /*df*/, Constant cx, Constant cy, VF& X, VF& Y) {
    X = hn::Sub(hn::Add(hn::Mul(cx, cx), cx), hn::Mul(cy, cy));
    Y = hn::Add(hn::Add(hn::Mul(cx, cy), cy), hn::Mul(cx, cy));
  }

  static void Step(DF /*df*/, Constant cx, Constant cy, VF& X, VF& Y, VF& X2, VF& Y2) {
    const VF xy = hn::Mul(X, Y);
    Y = hn::Add(hn::Add(xy, cy), xy);
    X = hn::Add(hn::Sub(cx, Y2), X2);
    Y2 = hn::Mul(Y, Y);
    X2 = hn::Mul(X, X);
  }
};

void CountGridPlain(const PointGrid& grid, EscapeCount* HWY_RESTRICT counts) {
  const hn::ScalableTag<float> df;
  CountGridWith<PlainArithmetic<decltype(df)>, false>(df, grid, counts);
}

// The kernels' step loop alone: one block of orbits inside the main
// cardioid, which never end, started and stepped `steps` times in one
// round. Returns the lane-steps taken.
template <class Arithmetic, class DF>
std::uint64_t StepLoopWith(DF df, std::size_t steps) {
  constexpr auto kLimit = static_cast<std::int16_t>(kStepLoopMaxSteps + 100);
  using Lanes = OrbitLanes<Arithmetic, false, DF>;
  const float x = -0.1F, y = 0.1F;
  const PointGrid grid{FractalKind::Mandelbrot, std::span(&x, 1), std::span(&y, 1), kLimit, 0.0F, 0.0F};
  const auto storage = hwy::AllocateAligned<float>(Lanes::StorageSize(df));
  Lanes lanes(df, grid, storage.get());
  const std::size_t n = hn::Lanes(df);
  for (std::size_t k = 0; k < Lanes::K; ++k) {
    const auto xs = hn::Add(hn::Set(df, x), hn::Mul(hn::Iota(df, static_cast<float>(k * n)), hn::Set(df, 1e-3F)));
    lanes.Start(k, xs, hn::Set(df, y), n, nullptr, 0);
  }
  if (lanes.Round(steps) != Lanes::K * n) HWY_ABORT("an orbit of the step loop ended");
  return steps * Lanes::K * n;
}

std::uint64_t StepLoop(bool exact, std::size_t steps) {
  if (exact) return StepLoopWith<ExactArithmetic<ExactTag>>(ExactTag(), steps);
  return StepLoopWith<PlainArithmetic<hn::ScalableTag<float>>>(hn::ScalableTag<float>(), steps);
}

}  // namespace HWY_NAMESPACE
}  // namespace tobrisk
HWY_AFTER_NAMESPACE();

#if HWY_ONCE
namespace tobrisk {

HWY_EXPORT(CountGridPlain);
HWY_EXPORT(StepLoop);

void CountGridPlainFloat(const PointGrid& grid, std::span<EscapeCount> counts) {
  HWY_DYNAMIC_DISPATCH(CountGridPlain)(grid, counts.data());
}

std::uint64_t RunStepLoop(StepArithmetic arithmetic, std::size_t steps) {
  if (steps > kStepLoopMaxSteps) throw std::invalid_argument("the step loop takes at most " + std::to_string(kStepLoopMaxSteps) + " steps");
  return HWY_DYNAMIC_DISPATCH(StepLoop)(arithmetic == StepArithmetic::Exact, steps);
}

}  // namespace tobrisk
#endif
