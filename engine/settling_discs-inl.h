// Discs that the rounded iteration maps into themselves, compiled once per
// instruction set: included by hwy/foreach_target.h for each target, hence
// the toggling guard instead of #pragma once.
#if defined(TOBRISK_ENGINE_SETTLING_DISCS_INL_H_) == defined(HWY_TARGET_TOGGLE)
#ifdef TOBRISK_ENGINE_SETTLING_DISCS_INL_H_
#undef TOBRISK_ENGINE_SETTLING_DISCS_INL_H_
#else
#define TOBRISK_ENGINE_SETTLING_DISCS_INL_H_
#endif

#include "hwy/highway.h"

HWY_BEFORE_NAMESPACE();
namespace tobrisk {
namespace HWY_NAMESPACE {
namespace hn = hwy::HWY_NAMESPACE;

// A disc around the attracting fixed point of z*z + c (c in the main
// cardioid) that the rounded iteration maps into itself, so an orbit that
// enters it never escapes. For a centre a, r = |a*a + c - a| and |w| <= rho:
//   |f(a + w) - a| <= r + 2|a| rho + rho^2,
// and one rounded step lands within eps of the exact f(z): each statement
// rounds once to single (relative 2^-24) and twice in double, which for
// |z| < 1 stays below 2^-22 (|z|^2 + |c|) + 2^-149 (subnormals), well under
// eps = 2^-20 (1 + |c|) + 2^-100. With h = (1 - 2|a|) / 2 > 0 the disc of
// radius rho maps into itself when rho^2 - 2h rho + (r + eps) <= 0, that is
// for rho between h (1 -+ sqrt(1 - (r + eps) / h^2)). Requiring
// 2 (r + eps) <= h^2 makes that range include 0.3 h ... 1.7 h, and 1.6 h
// leaves room for the single-precision test in Check. The disc lies within
// |z| <= |a| + 1.6 h = 0.8 - 0.6 |a| < 1, so its orbits neither escape nor
// overflow.
//
// The centre need only be near the fixed point: it is found in single
// precision and then taken as exact, and every bound that follows is an
// upper bound computed in double (|x| + |y| for a modulus, |a| from a
// single square root enlarged by 2^-20), with 1e-12 added for the double
// rounding of r. No disc (radius2 < 0) where the condition fails.
//
// c as doubles (exact widenings of singles); outputs the disc's centre and squared radius (radius2 < 0: no disc).
template <class DF>
HWY_INLINE void FindSettlingDisc(DF df, hn::Vec<hn::Rebind<double, DF>> cx, hn::Vec<hn::Rebind<double, DF>> cy,
                                 hn::Vec<DF>& centreX, hn::Vec<DF>& centreY, hn::Vec<DF>& radius2) {
  using VF = hn::Vec<DF>;
  using Constant = hn::Vec<hn::Rebind<double, DF>>;
  const hn::Rebind<double, DF> dc;
  const VF cxf = hn::DemoteTo(df, cx);  // c is a pair of singles, so exactly
  const VF cyf = hn::DemoteTo(df, cy);
  const VF halfF = hn::Set(df, 0.5F);
  const VF zeroF = hn::Zero(df);
  const VF u = hn::Sub(hn::Set(df, 1.0F), hn::Mul(hn::Set(df, 4.0F), cxf));  // w = 1 - 4c
  const VF v = hn::Mul(hn::Set(df, -4.0F), cyf);
  const VF m = hn::Sqrt(hn::Add(hn::Mul(u, u), hn::Mul(v, v)));
  const VF sqrtRe = hn::Sqrt(hn::Max(hn::Mul(hn::Add(m, u), halfF), zeroF));
  const VF sqrtIm = hn::CopySign(hn::Sqrt(hn::Max(hn::Mul(hn::Sub(m, u), halfF), zeroF)), v);
  const VF aX = hn::Mul(hn::Sub(hn::Set(df, 1.0F), sqrtRe), halfF);  // a = (1 - sqrt(1 - 4c)) / 2
  const VF aY = hn::Mul(hn::Neg(sqrtIm), halfF);
  const Constant ax = hn::PromoteTo(dc, aX);
  const Constant ay = hn::PromoteTo(dc, aY);
  const Constant rx = hn::Sub(hn::Add(hn::Sub(hn::Mul(ax, ax), hn::Mul(ay, ay)), cx), ax);
  const Constant ry = hn::Sub(hn::Add(hn::Mul(hn::Add(ax, ax), ay), cy), ay);
  const Constant r = hn::Add(hn::Abs(rx), hn::Abs(ry));
  const VF absAf = hn::Sqrt(hn::DemoteTo(df, hn::Add(hn::Mul(ax, ax), hn::Mul(ay, ay))));
  const Constant absA = hn::Mul(hn::PromoteTo(dc, absAf), hn::Set(dc, 1.0 + 0x1p-20));
  const Constant absC = hn::Add(hn::Abs(cx), hn::Abs(cy));
  const Constant one = hn::Set(dc, 1.0);
  const Constant h = hn::Mul(hn::Sub(one, hn::Add(absA, absA)), hn::Set(dc, 0.5));
  const Constant eps = hn::Add(hn::Mul(hn::Set(dc, 0x1p-20), hn::Add(one, absC)), hn::Set(dc, 0x1p-100 + 1e-12));
  const Constant slack = hn::Add(hn::Add(r, eps), hn::Add(r, eps));
  const auto holds = hn::And(hn::Gt(h, hn::Zero(dc)), hn::Le(slack, hn::Mul(h, h)));  // false for NaN
  const Constant rho = hn::Mul(hn::Set(dc, 1.6), h);
  centreX = aX;
  centreY = aY;
  radius2 = hn::DemoteTo(df, hn::IfThenElse(holds, hn::Mul(rho, rho), hn::Set(dc, -1.0)));
}

}  // namespace HWY_NAMESPACE
}  // namespace tobrisk
HWY_AFTER_NAMESPACE();

#endif  // include guard toggle
