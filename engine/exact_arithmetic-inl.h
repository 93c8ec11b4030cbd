// SPDX-License-Identifier: MIT
// The exact arithmetic of the vector kernels, compiled once per instruction
// set: included by hwy/foreach_target.h for each target, hence the toggling
// guard instead of #pragma once.
#if defined(TOBRISK_ENGINE_EXACT_ARITHMETIC_INL_H_) == defined(HWY_TARGET_TOGGLE)
#ifdef TOBRISK_ENGINE_EXACT_ARITHMETIC_INL_H_
#undef TOBRISK_ENGINE_EXACT_ARITHMETIC_INL_H_
#else
#define TOBRISK_ENGINE_EXACT_ARITHMETIC_INL_H_
#endif

#include <type_traits>

#include "hwy/highway.h"

HWY_BEFORE_NAMESPACE();
namespace tobrisk {
namespace HWY_NAMESPACE {
namespace hn = hwy::HWY_NAMESPACE;

// The state (X, Y, X2, Y2) is kept as singles; statements whose right side
// is more than one operation are evaluated in double and rounded to single
// (DemoteTo rounds to nearest, ties to even, as a store does), the others
// use identities stated below.
template <class DF>
struct ExactArithmetic {
  using VF = hn::Vec<DF>;
  using DD = hn::Rebind<double, DF>;
  using Constant = hn::Vec<DD>;  // c in double: every statement reads it widened

  static Constant Broadcast(float value) { return hn::Set(DD(), double{value}); }
  static Constant Widen(VF values) { return hn::PromoteTo(DD(), values); }

  // z1 = c*c + c, in the kernel's grouping; the products of two singles are exact in double.
  static void FirstIterate(DF df, Constant cx, Constant cy, VF& X, VF& Y) {
    X = hn::DemoteTo(df, hn::Sub(hn::Add(hn::Mul(cx, cx), cx), hn::Mul(cy, cy)));
    Y = hn::DemoteTo(df, hn::Add(hn::Add(hn::Mul(cx, cy), cy), hn::Mul(cx, cy)));
  }

  static void Step(DF df, Constant cx, Constant cy, VF& X, VF& Y, VF& X2, VF& Y2) {
    const DD dd;
    const auto xy = hn::Mul(hn::PromoteTo(dd, X), hn::PromoteTo(dd, Y));  // exact: 48 bits fit in 53
    Y = hn::DemoteTo(df, hn::Add(hn::Add(xy, cy), xy));
    X = hn::DemoteTo(df, hn::Add(hn::Sub(cx, hn::PromoteTo(dd, Y2)), hn::PromoteTo(dd, X2)));
    // The double product of two singles is exact, so rounding it to single
    // is the single multiply, which rounds the exact product once.
    Y2 = hn::Mul(Y, Y);
    X2 = hn::Mul(X, X);
  }
};

// The exact kernels' vectors: double vectors carry the arithmetic, their single halves the state.
using ExactTag = hn::Rebind<float, hn::ScalableTag<double>>;

// The lanes of `active` where a <= b. AVX-512 compares under a mask in one
// instruction, which the compiler does not form from And and Le by itself.
template <class DF>
HWY_INLINE hn::Mask<DF> AndLessEqual(DF /*df*/, hn::Mask<DF> active, hn::Vec<DF> a, hn::Vec<DF> b) {
#if HWY_ARCH_X86 && HWY_TARGET <= HWY_AVX3
  if constexpr (std::is_same_v<decltype(a.raw), __m256>) {
    return hn::Mask<DF>{_mm256_mask_cmp_ps_mask(active.raw, a.raw, b.raw, _CMP_LE_OQ)};
  }
#endif
  return hn::And(active, hn::Le(a, b));
}

}  // namespace HWY_NAMESPACE
}  // namespace tobrisk
HWY_AFTER_NAMESPACE();

#endif  // include guard toggle
