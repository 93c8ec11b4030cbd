// Counts proven for a whole tile of points at once, compiled once per
// instruction set: included by hwy/foreach_target.h for each target, hence
// the toggling guard instead of #pragma once.
//
// Why the count proven is the one the exact kernel gives every point of the
// tile. A ball (m, r) holds every orbit of the tile at one iterate: each
// point's state z (the exact kernel's own, rounded as it rounds) lies within
// r of m. The constants lie within s of c0 (for Mandelbrot c0 and s are the
// tile's middle and spread, for Julia s = 0), so with |z - m| <= r
//   |z*z + c - (m*m + c0)| <= 2|m| r + r^2 + s,
// and the rounded step lands within eps(|m| + r) of z*z + c, where
//   eps(Z) = 2^-20 (Z^2 + |c0| + s) + 2^-100
// (derived beside FindSettlingDisc; it holds for any finite state, and the
// first iterate c*c + c rounds within it too). m' = m*m + c0 is computed in
// double within 2^-50 (|m|^2 + |c0|), and the new radius, the sum of these
// terms, is rounded up by a factor 1 + 2^-40 that covers its own roundings
// in double; |m| is taken through a square root in double, widened by
// 1 + 2^-50. So the ball after each step holds every orbit again.
//
// The test of an iterate: s = X2 + Y2 rounded lies within a factor 1 + 2^-22
// of |z|^2 (X2 and Y2 are the exact squares rounded, the sum rounded once
// more). So every orbit passes where (|m| + r)^2 (1 + 2^-16) < 4, and every
// orbit fails with a finite modulus where (|m| - r)^2 (1 - 2^-16) > 4 and
// the ball is nowhere near overflow. A ball that does neither proves
// nothing, nor does a ball with a NaN: its comparisons are false.
//
// So where the balls pass every test from the first tested iterate up to
// n - 1 and fail at n, every point's count is n. Where they pass up to
// MaxIter, every orbit ran to the limit. Where they pass at n and the ball
// lies in a settling disc proven for every constant of the tile, every orbit
// settles there and never escapes (see FindSettlingDisc). Along the way no
// state is large, so the exact kernel raises nothing; the overflow of its
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

// Iterates a tile's ball follows at most: past them balls have grown too
// wide to prove much, and the points are counted one by one.
inline constexpr int kBallIterates = 64;

// What the balls prove of a tile: how its counts are to be read.
struct BallCounts {
  int first;         // the first iterate tested
  int maxIter;       // MaxIter
  float ranToLimit;  // the count of orbits that pass every test up to MaxIter
  float settled;     // the count of orbits that a settling disc ends
};

// One tile per lane: the balls of orbits starting within spreadZ of z0 with
// constants within spreadC of c0, and the tiles' settling discs (radius2 < 0:
// none). Returns each tile's proven count, or 0 where nothing is proven.
template <class DF>
HWY_INLINE Doubles<DF> ProveTileCounts(DF /*df*/, Doubles<DF> cx, Doubles<DF> cy, Doubles<DF> spreadC, Doubles<DF> zx,
                                       Doubles<DF> zy, Doubles<DF> spreadZ, hn::Vec<DF> centreX, hn::Vec<DF> centreY,
                                       hn::Vec<DF> radius2, const BallCounts& counts) {
  using Constant = Doubles<DF>;
  const hn::Rebind<double, DF> dc;
  const Constant zero = hn::Zero(dc);
  const Constant absC = hn::Add(hn::Add(hn::Abs(cx), hn::Abs(cy)), spreadC);
  const Constant discX = hn::PromoteTo(dc, centreX);
  const Constant discY = hn::PromoteTo(dc, centreY);
  const auto hasDisc = hn::Gt(hn::PromoteTo(dc, radius2), zero);
  // Shrunk a little, so that its own rounding in double cannot widen it.
  const Constant discRadius = hn::Mul(hn::Sqrt(hn::Max(hn::PromoteTo(dc, radius2), zero)), hn::Set(dc, 1.0 - 0x1p-40));
  const auto modulus = [&](Constant x, Constant y) {
    return hn::Mul(hn::Sqrt(hn::Add(hn::Mul(x, x), hn::Mul(y, y))), hn::Set(dc, 1.0 + 0x1p-50));
  };

  Constant mx = zx, my = zy, r = spreadZ;
  Constant result = zero;
  auto open = hn::Eq(result, zero);  // tiles not yet decided
  const int last = std::min(counts.maxIter, kBallIterates);
  for (int n = 1; n <= last && !hn::AllFalse(dc, open); ++n) {
    const Constant absM = modulus(mx, my);
    const Constant reach = hn::Add(absM, r);
    const Constant growth = hn::Add(hn::Mul(hn::Add(hn::Add(absM, absM), r), r), spreadC);
    const Constant roundings = hn::Add(hn::Mul(hn::Set(dc, 0x1p-20), hn::Add(hn::Mul(reach, reach), absC)),
                                       hn::Mul(hn::Set(dc, 0x1p-50), hn::Add(hn::Mul(absM, absM), absC)));
    r = hn::Mul(hn::Add(growth, hn::Add(roundings, hn::Set(dc, 0x1p-100))), hn::Set(dc, 1.0 + 0x1p-40));
    const Constant nx = hn::Add(hn::Sub(hn::Mul(mx, mx), hn::Mul(my, my)), cx);
    my = hn::Add(hn::Mul(hn::Add(mx, mx), my), cy);
    mx = nx;
    if (n < counts.first) continue;

    const Constant absNext = modulus(mx, my);
    const Constant high = hn::Add(absNext, r);
    const Constant low = hn::Sub(absNext, r);
    const Constant four = hn::Set(dc, 4.0);
    const auto passes = hn::Lt(hn::Mul(hn::Mul(high, high), hn::Set(dc, 1.0 + 0x1p-16)), four);
    const auto fails = hn::And(hn::And(hn::Gt(low, zero), hn::Gt(hn::Mul(hn::Mul(low, low), hn::Set(dc, 1.0 - 0x1p-16)), four)),
                               hn::Lt(high, hn::Set(dc, 1e15)));
    const auto inDisc = hn::And(hasDisc, hn::Le(hn::Add(modulus(hn::Sub(mx, discX), hn::Sub(my, discY)), r), discRadius));
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
