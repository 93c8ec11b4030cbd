// SPDX-License-Identifier: MIT
// Discs that the rounded iteration maps into themselves, compiled once per
// instruction set: included by hwy/foreach_target.h for each target, hence
// the toggling guard instead of #pragma once.
//
// Why an orbit that enters such a disc gets the count MaxIter + 1, exactly as
// the exact kernel gives it. The lanes' state is the exact kernel's state,
// so the argument is about the exact kernel's own orbit. From a state
// (X, Y, X2 = X*X and Y2 = Y*Y rounded to single) a step computes
// Y' = single(double(double(XY + cy) + XY)) with XY exact, and
// X' = single(double(double(cx - Y2) + X2)). Against the exact f(z) = z*z + c
// of z = X + iY, the errors of the two parts add up to at most
//   2^-24 |z|^2                (X2 and Y2 rounded to single)
// + 2^-24 (|X'| + |Y'|)         (the final roundings to single)
// + 2^-51 (|z|^2 + |c|)         (two roundings in double per part)
// + 4 * 2^-150                  (absolute error of subnormal results),
// and |X'| + |Y'| <= 1.42 (|z|^2 + |c|), so |step(z) - f(z)| stays below
// 2^-22 (|z|^2 + |c|) + 2^-146, and
//   eps(Z) = 2^-20 (Z^2 + |c|) + 2^-100
// bounds it with room to spare wherever |z| <= Z. The discs below and the
// states between them lie within |z| <= 1.9, so every state reached has
// s = X2 + Y2 < 4 (rounded: 3.61 (1 + 2^-22)): no test ever escapes, no store
// overflows, and no operation on finite values is invalid or divides, so
// the exact kernel raises nothing and passes every test up to MaxIter. Its
// counter then reaches MaxIter + 1, except that with MaxIter = 32767 it must
// step past 32767 and overflows: the count MaxIter + 1 = 32768 the lanes give
// such an orbit is read as "the exact kernel decides", which replays the
// orbit and raises at the right iteration.
//
// The test of a state against a disc is made in single: d2 = (X - a)^2 +
// (Y - b)^2 rounded after each operation lies within a factor 1 - 2^-21 of
// the exact squared distance (and 2^-148 of it absolutely; FindSettlingDisc
// keeps only discs of radius 2^-18 or more, so that term, at most 2^-112 of
// the squared radius, changes nothing), and the squared radius is rounded to
// single, so a state that passes lies within the radius times 1 + 2^-20 of
// the centre. The radii of the invariant discs around a centre form an
// interval; each disc is checked at a radius just past the one it is tested
// with, so a state that passes lies in an invariant disc: its own distance's,
// or the interval's smallest when it is nearer still.
//
// Centres are found in single precision and then taken as exact: they need
// only be near the fixed point or cycle, whose distance r enters the bounds.
// Every bound is computed in double as an upper bound (a modulus as |x| + |y|,
// or, where sharpness matters, see ModulusBound), with 1e-12 added for the
// rounding of r in double.
#if defined(TOBRISK_ENGINE_SETTLING_DISCS_INL_H_) == defined(HWY_TARGET_TOGGLE)
#ifdef TOBRISK_ENGINE_SETTLING_DISCS_INL_H_
#undef TOBRISK_ENGINE_SETTLING_DISCS_INL_H_
#else
#define TOBRISK_ENGINE_SETTLING_DISCS_INL_H_
#endif

#include <limits>

#include "hwy/highway.h"

HWY_BEFORE_NAMESPACE();
namespace tobrisk {
namespace HWY_NAMESPACE {
namespace hn = hwy::HWY_NAMESPACE;

// A vector of doubles as wide in lanes as DF: c and the bounds, in double.
template <class DF>
using Doubles = hn::Vec<hn::Rebind<double, DF>>;

// Upper bound of |(x, y)|: the sum of squares (in double, within 2^-52) is
// rounded to single and its root taken in single, each within 2^-24, which
// the factor 1 + 2^-20 more than covers; 2^-60 more covers sums too small
// for a normal single (rounded within 2^-150, their roots within 2^-75).
// A square root in single costs far less than one in double. Sums past the
// largest single give infinity: the portable DemoteTo (scalar, emulated
// vectors) clamps them to the largest single, which bounds nothing.
template <class DF>
HWY_INLINE Doubles<DF> ModulusBound(DF df, Doubles<DF> x, Doubles<DF> y) {
  const hn::Rebind<double, DF> dc;
  const auto sum = hn::Add(hn::Mul(x, x), hn::Mul(y, y));
  const auto rounded = hn::Sqrt(hn::DemoteTo(df, sum));
  const auto bound = hn::Add(hn::Mul(hn::PromoteTo(dc, rounded), hn::Set(dc, 1.0 + 0x1p-20)), hn::Set(dc, 0x1p-60));
  return hn::IfThenElse(hn::Gt(sum, hn::Set(dc, double{std::numeric_limits<float>::max()})),
                        hn::Set(dc, std::numeric_limits<double>::infinity()), bound);
}

// Lower bound of |(x, y)| from its ModulusBound b. Where the sum of squares
// rounds to a normal single, b exceeds |(x, y)| by a factor at most
// (1 + 2^-20) (1 + 2^-24)^1.5 (1 + 2^-53)^4 < 1 + 2^-19, plus 2^-60 (1 + 2^-53),
// so |(x, y)| >= b (1 - 2^-19) - 2^-60 (1 + 2^-53), which b (1 - 2^-18) - 2^-59 stays below
// after its own two roundings in double. Where it rounds to a subnormal or
// to zero, b < 2^-63 (1 + 2^-19) + 2^-60 and the bound is negative. An
// infinite or NaN b gives an infinite or NaN bound, as useless as b itself.
template <class V>
HWY_INLINE V ModulusLowerBound(V upper) {
  const hn::DFromV<V> d;
  return hn::Sub(hn::Mul(upper, hn::Set(d, 1.0 - 0x1p-18)), hn::Set(d, 0x1p-59));
}

// Upper bound of |u*u + c - v|, how far one exact step from u lands from v:
// the sum of the parts' moduli, computed in double.
template <class V>
HWY_INLINE V StepDistance(V cx, V cy, V ux, V uy, V vx, V vy) {
  const V rx = hn::Sub(hn::Add(hn::Sub(hn::Mul(ux, ux), hn::Mul(uy, uy)), cx), vx);
  const V ry = hn::Sub(hn::Add(hn::Mul(hn::Add(ux, ux), uy), cy), vy);
  return hn::Add(hn::Abs(rx), hn::Abs(ry));
}

// Main cardioid: a disc around the attracting fixed point a of f. For
// |w| <= rho, with r = |a*a + c - a|,
//   |step(a + w) - a| <= r + 2|a| rho + rho^2 + eps(1),
// so with h = (1 - 2|a|) / 2 > 0 the disc of radius rho = t h maps into
// itself when g(t) = t^2 - 2t + e <= 0, e = (r + eps) / h^2. g is convex and
// g(0) > 0, so the radii where g <= 0 form an interval: a disc whose g is
// checked at t = 1.0001 times the tested radius is invariant, and so is every
// larger one up to there (the test's rounding stays well inside 1.0001). The
// widest radius whose check holds is taken: 1.85 h while e <= 0.277, then
// 1.6 h (e <= 0.639), 1.25 h (e <= 0.937) and h (e <= 0.9999), so that
// points near the edge of the cardioid, where h is small, still get a disc.
// Every disc lies within |z| <= |a| + 1.86 h < 1, where eps(1) holds.
template <class DF>
HWY_INLINE Doubles<DF> CardioidDiscRadius2(DF df, Doubles<DF> cx, Doubles<DF> cy, Doubles<DF> spread,
                                           Doubles<DF> ax, Doubles<DF> ay) {
  using Constant = Doubles<DF>;
  const hn::Rebind<double, DF> dc;
  const Constant r = hn::Add(StepDistance(cx, cy, ax, ay, ax, ay), spread);
  const Constant absA = ModulusBound(df, ax, ay);
  const Constant absC = hn::Add(hn::Add(hn::Abs(cx), hn::Abs(cy)), spread);
  const Constant one = hn::Set(dc, 1.0);
  const Constant h = hn::Mul(hn::Sub(one, hn::Add(absA, absA)), hn::Set(dc, 0.5));
  const Constant eps = hn::Add(hn::Mul(hn::Set(dc, 0x1p-20), hn::Add(one, absC)), hn::Set(dc, 0x1p-100 + 1e-12));
  const Constant e = hn::Add(r, eps);  // compared with (t (2 - t)) h^2, t 1.0001 times the tested radius
  const Constant h2 = hn::Mul(h, h);
  const auto within = [&](double bound) { return hn::Le(e, hn::Mul(hn::Set(dc, bound), h2)); };
  Constant t = hn::IfThenElse(within(0.9999), one, hn::Set(dc, -1.0));
  t = hn::IfThenElse(within(0.937), hn::Set(dc, 1.25), t);
  t = hn::IfThenElse(within(0.639), hn::Set(dc, 1.6), t);
  t = hn::IfThenElse(within(0.277), hn::Set(dc, 1.85), t);
  const auto holds = hn::And(hn::Gt(h, hn::Zero(dc)), hn::Gt(t, hn::Zero(dc)));  // false for NaN: no disc
  const Constant rho = hn::Mul(t, h);
  return hn::IfThenElse(holds, hn::Mul(rho, rho), hn::Set(dc, -1.0));
}

// Period-2 bulb: a disc around a point b of the attracting 2-cycle {b, o}
// (o = -1 - b) that two rounded steps map into itself. Either point of the
// cycle would do; b is the one near -1, which the checked states approach:
// they are every other iterate from z1 = c*c + c on. For |w| <= rho, with
// r1 = |b*b + c - o| and r2 = |o*o + c - b|,
//   |step(b + w) - o| <= rho1 = r1 + 2|b| rho + rho^2 + eps(2),
//   |step(o + w') - b| <= rho2 = r2 + 2|o| rho1 + rho1^2 + eps(2) for |w'| <= rho1,
// and the disc maps into itself when rho2 <= rho, the states in between
// lying in the disc around o of radius rho1. rho1 and rho2 are increasing
// and convex in rho, so rho2 - rho is convex, positive at 0, and <= 0 on an
// interval of radii: checked at hi, the disc tested with radius
// hi (1 - 2^-20) is invariant, and so is every larger one up to hi. The
// orbit stays within |z| <= 1.9 (where eps(2) holds) when |b| + hi <= 1.9
// and |o| + rho1(hi) <= 1.9, which then holds for the smaller radii too.
// Linearised, rho2 = 4|b||o| rho + (2|o| + 4|b|^2) rho^2 + ...; the radius
// tried first is about where the quadratic terms use up the contraction,
// which holds for nearly all of the bulb, half of it where that fails.
template <class DF>
HWY_INLINE Doubles<DF> BulbDiscRadius2(DF df, Doubles<DF> cx, Doubles<DF> cy, Doubles<DF> spread,
                                       Doubles<DF> bx, Doubles<DF> by) {
  using Constant = Doubles<DF>;
  const hn::Rebind<double, DF> dc;
  const Constant one = hn::Set(dc, 1.0);
  const Constant two = hn::Set(dc, 2.0);
  const Constant four = hn::Set(dc, 4.0);
  const Constant ox = hn::Sub(hn::Neg(one), bx);  // o need not be exact either: r1 and r2 measure from it
  const Constant oy = hn::Neg(by);
  const Constant absB = ModulusBound(df, bx, by);
  const Constant absO = ModulusBound(df, ox, oy);
  const Constant absC = hn::Add(hn::Add(hn::Abs(cx), hn::Abs(cy)), spread);
  const Constant eps = hn::Add(hn::Add(hn::Mul(hn::Set(dc, 0x1p-20), hn::Add(four, absC)), hn::Set(dc, 0x1p-100 + 1e-12)),
                               spread);  // spread: the constants' distance from c
  const Constant r1 = hn::Add(StepDistance(cx, cy, bx, by, ox, oy), eps);
  const Constant r2 = hn::Add(StepDistance(cx, cy, ox, oy, bx, by), eps);
  const auto rho1Of = [&](Constant rho) { return hn::Add(r1, hn::Mul(rho, hn::Add(hn::Mul(two, absB), rho))); };
  const auto rho2Of = [&](Constant rho1) { return hn::Add(r2, hn::Mul(rho1, hn::Add(hn::Mul(two, absO), rho1))); };
  const auto invariantUpTo = [&](Constant hi) {
    const Constant hi1 = rho1Of(hi);
    const Constant limit = hn::Set(dc, 1.9);
    return hn::And(hn::And(hn::Gt(hi, hn::Zero(dc)), hn::Le(rho2Of(hi1), hi)),  // false for NaN
                   hn::And(hn::Le(hn::Add(absB, hi), limit), hn::Le(hn::Add(absO, hi1), limit)));
  };
  const Constant contraction = hn::Sub(one, hn::Mul(four, hn::Mul(absB, absO)));
  const Constant growth = hn::Add(hn::Add(one, hn::Mul(two, absO)), hn::Mul(four, hn::Mul(absB, absB)));
  const Constant wide = hn::Div(contraction, growth);
  const Constant narrow = hn::Mul(wide, hn::Set(dc, 0.5));
  const auto wideHolds = invariantUpTo(wide);
  const auto narrowHolds = invariantUpTo(narrow);
  const Constant tested = hn::Mul(hn::IfThenElse(wideHolds, wide, narrow), hn::Set(dc, 1.0 - 0x1p-20));
  return hn::IfThenElse(hn::Or(wideHolds, narrowHolds), hn::Mul(tested, tested), hn::Set(dc, -1.0));
}

// Whether c may lie in the main cardioid or the period-2 bulb: a cheap test
// in single that only says whether a disc is worth looking for (the disc's
// own conditions decide soundness). Slightly generous, so that rounding
// never hides a point that has a disc.
template <class DF>
HWY_INLINE hn::Mask<DF> MayHaveSettlingDisc(DF df, hn::Vec<DF> x, hn::Vec<DF> y) {
  const auto y2 = hn::Mul(y, y);
  const auto xq = hn::Sub(x, hn::Set(df, 0.25F));
  const auto q = hn::Add(hn::Mul(xq, xq), y2);
  const auto cardioid = hn::Le(hn::Mul(q, hn::Add(q, xq)), hn::Mul(hn::Set(df, 0.2501F), y2));
  const auto x1 = hn::Add(x, hn::Set(df, 1.0F));
  const auto bulb = hn::Le(hn::Add(hn::Mul(x1, x1), y2), hn::Set(df, 0.0626F));
  return hn::Or(cardioid, bulb);
}

// The settling disc of the orbits of every constant within `spread` (an
// upper bound of |c' - c|, 0 for c alone) of c (doubles, exact widenings of
// singles): its centre and squared radius, or radius2 < 0 where none is
// proven. A constant c' = c + d moves each step by d, so the bounds above
// hold for c' with r, r1 and r2 grown by |d| and |c| by |d|. Lanes whose c
// lies near the period-2 bulb get a bulb disc, the others a cardioid disc.
// Both centres come from one complex square root:
// a = (1 - sqrt(1 - 4c)) / 2 and b = (-1 - sqrt(-3 - 4c)) / 2.
template <class DF>
HWY_INLINE void FindSettlingDisc(DF df, Doubles<DF> cx, Doubles<DF> cy, Doubles<DF> spread,
                                 hn::Vec<DF>& centreX, hn::Vec<DF>& centreY,
                                 hn::Vec<DF>& radius2) {
  using VF = hn::Vec<DF>;
  using Constant = Doubles<DF>;
  const hn::Rebind<double, DF> dc;
  const VF cxf = hn::DemoteTo(df, cx);  // c is a pair of singles, so exactly
  const VF cyf = hn::DemoteTo(df, cy);
  const VF halfF = hn::Set(df, 0.5F);
  const VF zeroF = hn::Zero(df);
  const Constant x1 = hn::Add(cx, hn::Set(dc, 1.0));
  const auto bulbD = hn::Le(hn::Add(hn::Mul(x1, x1), hn::Mul(cy, cy)), hn::Set(dc, 0.0625));
  const auto bulb = hn::Gt(hn::DemoteTo(df, hn::IfThenElseZero(bulbD, hn::Set(dc, 1.0))), zeroF);  // the same lanes
  const VF u = hn::Sub(hn::IfThenElse(bulb, hn::Set(df, -3.0F), hn::Set(df, 1.0F)), hn::Mul(hn::Set(df, 4.0F), cxf));
  const VF v = hn::Mul(hn::Set(df, -4.0F), cyf);
  const VF m = hn::Sqrt(hn::Add(hn::Mul(u, u), hn::Mul(v, v)));
  const VF sqrtRe = hn::Sqrt(hn::Max(hn::Mul(hn::Add(m, u), halfF), zeroF));
  const VF sqrtIm = hn::CopySign(hn::Sqrt(hn::Max(hn::Mul(hn::Sub(m, u), halfF), zeroF)), v);
  const VF one = hn::Set(df, 1.0F);
  centreX = hn::Mul(hn::IfThenElse(bulb, hn::Neg(hn::Add(one, sqrtRe)), hn::Sub(one, sqrtRe)), halfF);
  centreY = hn::Mul(hn::Neg(sqrtIm), halfF);
  const Constant ax = hn::PromoteTo(dc, centreX);
  const Constant ay = hn::PromoteTo(dc, centreY);
  Constant r2 = CardioidDiscRadius2(df, cx, cy, spread, ax, ay);
  if (!hn::AllFalse(dc, bulbD)) r2 = hn::IfThenElse(bulbD, BulbDiscRadius2(df, cx, cy, spread, ax, ay), r2);
  // The test in single needs radii of 2^-18 or more (see above). Both
  // constructions give that already: a cardioid disc has t >= 1 and
  // h^2 >= e >= 2^-20, so rho >= 2^-10; a bulb disc's radius is at least
  // rho2 >= eps >= 2^-20 (4 + |c|) > 2^-18 / (1 - 2^-20). The check keeps it
  // so if either changes.
  r2 = hn::IfThenElse(hn::Gt(r2, hn::Set(dc, 0x1p-36)), r2, hn::Set(dc, -1.0));
  radius2 = hn::DemoteTo(df, r2);
}

// The lanes whose state (X, Y) lies in their settling disc; never one without a disc.
template <class DF>
HWY_INLINE hn::Mask<DF> InSettlingDisc(DF /*df*/, hn::Vec<DF> X, hn::Vec<DF> Y, hn::Vec<DF> centreX,
                                       hn::Vec<DF> centreY, hn::Vec<DF> radius2) {
  const auto dx = hn::Sub(X, centreX);
  const auto dy = hn::Sub(Y, centreY);
  return hn::Le(hn::Add(hn::Mul(dx, dx), hn::Mul(dy, dy)), radius2);
}

}  // namespace HWY_NAMESPACE
}  // namespace tobrisk
HWY_AFTER_NAMESPACE();

#endif  // include guard toggle
