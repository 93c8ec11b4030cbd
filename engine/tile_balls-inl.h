// SPDX-License-Identifier: MIT
// Counts proven for a whole tile of points at once, compiled once per
// instruction set: included by hwy/foreach_target.h for each target, hence
// the toggling guard instead of #pragma once.
//
// Why the count proven is the one the exact kernel gives every point of the
// tile. The points of a tile differ by d0 from its middle, |d0| <= s (the
// spread): for Mandelbrot both the start and the constant move with the
// point (z0 = c = c0 + d0), for Julia only the start (z0 = z0' + d0, c fixed).
// Every point's state at iterate n (the exact kernel's own, rounded as it
// rounds) is modelled as
//   z_n = m_n + D_n d0 + e_n,  |e_n| <= R_n,
// m the middle's orbit and D its derivative, both computed in double; the
// ball of radius r_n = |D_n| s + R_n around m_n holds the whole tile. Unlike
// a plain ball, whose radius grows by 2|m| each step, the derivative keeps
// the turning of the orbit, so that tiles near the edge of the set, whose
// points' orbits turn together, stay narrow. It starts exact (m_0 the middle,
// D_0 = 1, R_0 = 0). A step gives z*z + c + eta, where eta is the kernel's
// rounding, |eta| <= eps(|m| + r) with
//   eps(Z) = 2^-20 (Z^2 + |c|) + 2^-100
// (derived beside FindSettlingDisc; it holds for any finite state, and the
// first iterate c*c + c rounds within it too). Expanding,
//   z*z + c = (m*m + c0) + (2 m D + k) d0 + 2 m e + (D d0 + e)^2,
// k = 1 for Mandelbrot, 0 for Julia. m' = m*m + c0 and D' = 2 m D + k are
// computed in double within 2^-50 (|m|^2 + |c|) and 2^-50 (2|m||D| + k),
// so the new remainder is bounded by
//   R' = 2|m| R + (|D| s + R)^2 + eps(|m| + r) + 2^-50 (|m|^2 + |c| + (2|m||D| + k) s),
// rounded up by a factor 1 + 2^-40 that covers its own roundings in double;
// moduli are bounded from above by ModulusBound, and |m| from below by
// ModulusLowerBound where the tests need it.
//
// The test of an iterate: s = X2 + Y2 rounded lies within a factor 1 + 2^-22
// of |z|^2 (X2 and Y2 are the exact squares rounded, the sum rounded once
// more). So every orbit passes where (|m| + r)^2 (1 + 2^-16) < 4, and every
// orbit fails with a finite modulus where (|m| - r)^2 (1 - 2^-16) > 4 and
// the ball is nowhere near overflow. In the first |m| is an upper bound, in
// the second a lower one: an upper bound there would be off by up to 2^-19
// |m|, which the slack of 2^-16 covers only while r is small beside |m|.
// The sums, squares and products by 1 +- 2^-16 of these tests are rounded
// in double, a few parts in 2^-52 that the slack between 2^-16 and 2^-22
// takes up. A ball that does neither proves nothing, nor does a ball with a
// NaN: its comparisons are false.
//
// So where the balls pass every test from the first tested iterate up to
// n - 1 and fail at n, every point's count is n. Where they pass up to
// MaxIter, every orbit ran to the limit. Where they pass at n and the ball
// lies in a settling disc proven for every constant of the tile, every orbit
// settles there and never escapes (see FindSettlingDisc). Along the way no
// state is large, so the exact kernel raises nothing: every ball from the
// start on, tested or not (Mandelbrot's z1 is never tested, nor is Julia's
// start), is checked to lie within |z| < 1e15, so no square of a state
// (below 1e30) nor any sum of the step overflows a single, and operations on
// finite values that do not overflow are never invalid. The overflow of the
// counter at MaxIter = 32767 is left to the lanes' reading of the count, as
// for the orbits they end themselves.
#if defined(TOBRISK_ENGINE_TILE_BALLS_INL_H_) == defined(HWY_TARGET_TOGGLE)
#ifdef TOBRISK_ENGINE_TILE_BALLS_INL_H_
#undef TOBRISK_ENGINE_TILE_BALLS_INL_H_
#else
#define TOBRISK_ENGINE_TILE_BALLS_INL_H_
#endif

#include <algorithm>

#include "engine/settling_discs-inl.h"
#include "hwy/highway.h"

HWY_BEFORE_NAMESPACE();
namespace tobrisk {
namespace HWY_NAMESPACE {
namespace hn = hwy::HWY_NAMESPACE;

// Iterates a tile's orbits are followed at most: past them the models have
// grown too wide to prove much, and the points are counted one by one. Under
// a limit of at most kBallIterates they may be followed to the limit; under
// a higher one only an escape or a disc can prove a tile, and tiles that
// show neither within kBallIteratesPastLimit iterates rarely do later (W5,
// at 1000: 1.3% fewer instructions than following them to 64).
inline constexpr int kBallIterates = 64;
inline constexpr int kBallIteratesPastLimit = 32;

// What the balls prove of a tile: how its counts are to be read.
struct BallCounts {
  int first;         // the first iterate tested
  int maxIter;       // MaxIter
  float ranToLimit;  // the count of orbits that pass every test up to MaxIter
  float settled;     // the count of orbits that a settling disc ends
};

// One tile per lane: the orbits starting within `spread` of z0, with the
// constant c0 (Julia) or c0 = z0 moving with the start (Mandelbrot), and the
// tiles' settling discs (radius2 < 0: none). Returns each tile's proven
// count, or 0 where nothing is proven.
template <class DF>
HWY_INLINE Doubles<DF> ProveTileCounts(DF df, bool mandelbrot, Doubles<DF> cx, Doubles<DF> cy, Doubles<DF> zx,
                                       Doubles<DF> zy, Doubles<DF> spread, hn::Vec<DF> centreX, hn::Vec<DF> centreY,
                                       hn::Vec<DF> radius2, const BallCounts& counts) {
  using Constant = Doubles<DF>;
  const hn::Rebind<double, DF> dc;
  const Constant zero = hn::Zero(dc);
  const Constant k = hn::Set(dc, mandelbrot ? 1.0 : 0.0);
  const Constant absC = hn::Add(hn::Add(hn::Abs(cx), hn::Abs(cy)), hn::Mul(k, spread));
  const Constant discX = hn::PromoteTo(dc, centreX);
  const Constant discY = hn::PromoteTo(dc, centreY);
  const auto hasDisc = hn::Gt(hn::PromoteTo(dc, radius2), zero);
  // Shrunk a little, so that its own rounding in double cannot widen it.
  const Constant discRadius = hn::Mul(hn::Sqrt(hn::Max(hn::PromoteTo(dc, radius2), zero)), hn::Set(dc, 1.0 - 0x1p-40));
  const auto modulus = [&](Constant x, Constant y) { return ModulusBound(df, x, y); };
  const Constant four = hn::Set(dc, 4.0);

  const Constant large = hn::Set(dc, 1e15);

  Constant mx = zx, my = zy, Dx = hn::Set(dc, 1.0), Dy = zero, R = zero;
  Constant absM = modulus(mx, my), absD = Dx;
  Constant result = zero;
  auto open = hn::Lt(hn::Add(absM, spread), large);  // tiles not yet decided
  const int last = counts.maxIter <= kBallIterates ? counts.maxIter : kBallIteratesPastLimit;
  for (int n = 1; n <= last && !hn::AllFalse(dc, open); ++n) {
    const Constant linear = hn::Mul(absD, spread);
    const Constant reach = hn::Add(hn::Add(absM, linear), R);
    const Constant spreadTerm = hn::Add(linear, R);
    const Constant twoAbsM = hn::Add(absM, absM);
    const Constant roundings =
        hn::Add(hn::Mul(hn::Set(dc, 0x1p-20), hn::Add(hn::Mul(reach, reach), absC)),
                hn::Mul(hn::Set(dc, 0x1p-50),
                        hn::Add(hn::Add(hn::Mul(absM, absM), absC), hn::Mul(hn::Add(hn::Mul(twoAbsM, absD), k), spread))));
    R = hn::Mul(hn::Add(hn::Add(hn::Mul(twoAbsM, R), hn::Mul(spreadTerm, spreadTerm)), hn::Add(roundings, hn::Set(dc, 0x1p-100))),
                hn::Set(dc, 1.0 + 0x1p-40));
    const Constant twoMx = hn::Add(mx, mx), twoMy = hn::Add(my, my);
    const Constant nDx = hn::Add(hn::Sub(hn::Mul(twoMx, Dx), hn::Mul(twoMy, Dy)), k);
    Dy = hn::Add(hn::Mul(twoMx, Dy), hn::Mul(twoMy, Dx));
    Dx = nDx;
    const Constant nx = hn::Add(hn::Sub(hn::Mul(mx, mx), hn::Mul(my, my)), cx);
    my = hn::Add(hn::Mul(twoMx, my), cy);
    mx = nx;
    absM = modulus(mx, my);
    absD = modulus(Dx, Dy);
    const Constant r = hn::Add(hn::Mul(absD, spread), R);
    const Constant high = hn::Add(absM, r);
    if (n < counts.first) {
      open = hn::And(open, hn::Lt(high, large));
      continue;
    }

    const Constant low = hn::Sub(ModulusLowerBound(absM), r);
    const auto passes = hn::Lt(hn::Mul(hn::Mul(high, high), hn::Set(dc, 1.0 + 0x1p-16)), four);
    const auto fails = hn::And(hn::And(hn::Gt(low, zero), hn::Gt(hn::Mul(hn::Mul(low, low), hn::Set(dc, 1.0 - 0x1p-16)), four)),
                               hn::Lt(high, large));
    // In the disc: |m - centre| + r <= radius, compared as squares (each
    // within 2^-51 of exact) so that no second root is needed.
    const Constant dx = hn::Sub(mx, discX), dy = hn::Sub(my, discY);
    const Constant room = hn::Sub(discRadius, r);
    const auto inDisc = hn::And(hn::And(hasDisc, hn::Gt(room, zero)),
                                hn::Le(hn::Mul(hn::Add(hn::Mul(dx, dx), hn::Mul(dy, dy)), hn::Set(dc, 1.0 + 0x1p-48)),
                                       hn::Mul(hn::Mul(room, room), hn::Set(dc, 1.0 - 0x1p-48))));
    Constant proven = hn::IfThenElseZero(fails, hn::Set(dc, n));
    proven = hn::IfThenElse(hn::And(passes, inDisc), hn::Set(dc, counts.settled), proven);
    if (n == counts.maxIter) proven = hn::IfThenElse(passes, hn::Set(dc, counts.ranToLimit), proven);
    result = hn::IfThenElse(open, proven, result);
    open = hn::And(open, hn::And(passes, hn::Eq(proven, zero)));
  }
  return result;
}

}  // namespace HWY_NAMESPACE
}  // namespace tobrisk
HWY_AFTER_NAMESPACE();

#endif  // include guard toggle
