// SPDX-License-Identifier: MIT
// A plain single-precision kernel with the fast kernels' loop shape: the same
// blocks, escape test and bookkeeping, but every statement in single and full
// single-width vectors. It gives no exact results; it only measures what the
// exact arithmetic costs.
#undef HWY_TARGET_INCLUDE
#define HWY_TARGET_INCLUDE "bench/plain_float_kernel.cpp"
#include "hwy/foreach_target.h"  // IWYU pragma: keep

#include "bench/plain_float_kernel.h"
#include "engine/fast_kernels-inl.h"
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

}  // namespace HWY_NAMESPACE
}  // namespace tobrisk
HWY_AFTER_NAMESPACE();

#if HWY_ONCE
namespace tobrisk {

HWY_EXPORT(CountGridPlain);

void CountGridPlainFloat(const PointGrid& grid, std::span<EscapeCount> counts) {
  HWY_DYNAMIC_DISPATCH(CountGridPlain)(grid, counts.data());
}

}  // namespace tobrisk
#endif
