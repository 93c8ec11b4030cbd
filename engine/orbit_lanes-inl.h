// SPDX-License-Identifier: MIT
// Vectors of orbits that each count their own iterations, compiled once per
// instruction set: included by hwy/foreach_target.h for each target, hence
// the toggling guard instead of #pragma once.
#if defined(TOBRISK_ENGINE_ORBIT_LANES_INL_H_) == defined(HWY_TARGET_TOGGLE)
#ifdef TOBRISK_ENGINE_ORBIT_LANES_INL_H_
#undef TOBRISK_ENGINE_ORBIT_LANES_INL_H_
#else
#define TOBRISK_ENGINE_ORBIT_LANES_INL_H_
#endif

#include <cstddef>
#include <cstdint>
#include <limits>
#include <utility>

#include "engine/exact_arithmetic-inl.h"
#include "engine/fast_kernels.h"
#include "engine/lane_fields.h"
#include "engine/lane_table-inl.h"
#include "engine/settling_discs-inl.h"
#include "engine/tile_proofs-inl.h"
#include "hwy/highway.h"

HWY_BEFORE_NAMESPACE();
namespace tobrisk {
namespace HWY_NAMESPACE {
namespace hn = hwy::HWY_NAMESPACE;

inline constexpr std::size_t kBlockVectors = 4;  // independent chains hide each step's latency
// Iterations between checks of cycles and the limit: a multiple of 3 and 4,
// so that comparing with the previous check's state ends the orbits of the
// periods 1, 2, 3, 4, 6 and 12, the commonest inside the set, as soon as
// they repeat (with 8, period 3 waited for Brent; W6 took 5% fewer instructions).
// Repeats are seen only at checks, so an orbit's period is found some
// multiple of lcm(period, kStride) steps after the state it repeats: rounds
// of 24 cut the checks' cost on boundary views by a few per cent but found
// period-5 orbits half as fast (inside a period-5 bulb at 32766: 15 instead
// of 7.4 ms).
inline constexpr std::size_t kStride = 12;

// One type per chain, so that a pack of chain indices declares one parameter each.
template <class T, std::size_t>
struct PerChain {
  using type = T;
};

template <class Lanes, class Indices>
struct Chains;

// kBlockVectors vectors of orbits in which every lane counts its own
// iterations (a passed test adds one), so lanes need not start together.
//
// Orbits enter after their first test (Start), where a non-finite state is
// caught as in CountVector. From then on each has passed a test, and with a
// bounded constant (see kBoundedConstant) it cannot overflow, so the hot
// loop tests nothing but the escape. Cycles and the limit are checked every
// round of steps; a lane that ran past MaxIter in between was still inside
// at MaxIter, so its count is read as MaxIter + 1.
template <class Arithmetic, bool kCycles, class DF>
class OrbitLanes {
 public:
  using D = DF;
  using VF = hn::Vec<DF>;
  using MF = hn::Mask<DF>;
  using Constant = typename Arithmetic::Constant;
  using Exact = Arithmetic;
  static constexpr std::size_t K = kBlockVectors;

  [[nodiscard]] static std::size_t StorageSize(DF df) { return LaneTable<DF>::Size(K * hn::Lanes(df)); }

  OrbitLanes(DF df, const PointGrid& grid, float* HWY_RESTRICT storage)
      : df(df), mandelbrot(grid.Kind == FractalKind::Mandelbrot), first(static_cast<float>(FirstTestedIterate(grid.Kind))),
        limit(grid.MaxIter), P(grid.P), Q(grid.Q),
        unescapedCount(grid.MaxIter < 32767 ? static_cast<EscapeCount>(grid.MaxIter + 1) : kExactKernelDecides),
        table(df, K * hn::Lanes(df), storage) {
    const float nan = std::numeric_limits<float>::quiet_NaN();
    for (std::size_t f = 0; f < lane::kFields; ++f) table.Fill(static_cast<lane::Field>(f), 0.0F);
    for (const lane::Field f : {lane::kSavedX, lane::kSavedY, lane::kStrideX, lane::kStrideY}) table.Fill(f, nan);
    table.Fill(lane::kRadius2, -1.0F);
    if constexpr (kCycles) {
      if (mandelbrot) return;
      // One constant, so one disc for every orbit.
      VF centreX, centreY, radius2;
      FindSettlingDisc(df, Arithmetic::Broadcast(P), Arithmetic::Broadcast(Q), Arithmetic::Broadcast(0.0F), centreX,
                       centreY, radius2);
      for (std::size_t k = 0; k < K; ++k) {
        table.Store(lane::kCentreX, k, centreX);
        table.Store(lane::kCentreY, k, centreY);
        table.Store(lane::kRadius2, k, radius2);
      }
    }
  }

  OrbitLanes(const OrbitLanes&) = delete;
  OrbitLanes& operator=(const OrbitLanes&) = delete;
  ~OrbitLanes() { NoteInteriorDecidedEarly(decidedEarly); }  // one atomic add per grid

  // The result for a lane's final count: 0 stays "the exact kernel decides".
  [[nodiscard]] EscapeCount Result(float n) const {
    return n == 0.0F ? kExactKernelDecides : ResultOfProven(n, 1);
  }

  // The result of each of `points` points that all ended with count `n` > 0
  // (a tile's proven count, say).
  [[nodiscard]] EscapeCount ResultOfProven(float n, std::size_t points) const {
    if (n >= decidedMark) decidedEarly += points;
    return n > limit ? unescapedCount : static_cast<EscapeCount>(n);
  }

  [[nodiscard]] Constant Cx(std::size_t k) const {
    return mandelbrot ? Arithmetic::Widen(table.Load(lane::kPointX, k)) : Arithmetic::Broadcast(P);
  }
  [[nodiscard]] Constant Cy(std::size_t k) const {
    return mandelbrot ? Arithmetic::Widen(table.Load(lane::kPointY, k)) : Arithmetic::Broadcast(Q);
  }

  // The results of vector k, whose orbits have all ended, as Result gives them.
  HWY_INLINE void StoreResults(std::size_t k, EscapeCount* HWY_RESTRICT to) const {
    const hn::Rebind<std::int32_t, DF> di32;
    const hn::Rebind<EscapeCount, DF> di16;
    const VF count = table.Load(lane::kCount, k);
    decidedEarly += hn::CountTrue(df, hn::Ge(count, hn::Set(df, decidedMark)));
    const VF n = hn::IfThenElse(hn::Gt(count, hn::Set(df, limit)), hn::Set(df, static_cast<float>(unescapedCount)), count);
    hn::StoreU(hn::DemoteTo(di16, hn::ConvertTo(di32, n)), di16, to);
  }

  // Fresh points (x, y) in vector k, the first `valid` lanes real: up to and
  // including their first test. Their settling disc is their tile's, where
  // `tiles` has one, else their own. Returns the lanes still running.
  HWY_INLINE std::size_t Start(std::size_t k, VF x, VF y, std::size_t valid, const TileProofs<DF>* tiles,
                               std::size_t tile) {
    table.Store(lane::kPointX, k, x);
    table.Store(lane::kPointY, k, y);
    VF X = x, Y = y;
    const Constant cx = Cx(k), cy = Cy(k);
    if (mandelbrot) {
      Arithmetic::FirstIterate(df, cx, cy, X, Y);
      table.Store(lane::kRadius2, k, hn::Set(df, -1.0F));  // found below where c may lie in the cardioid or the bulb
    }
    VF X2 = hn::Mul(X, X), Y2 = hn::Mul(Y, Y);
    const MF startsFinite = hn::And(hn::IsFinite(X2), hn::IsFinite(Y2));
    Arithmetic::Step(df, cx, cy, X, Y, X2, Y2);
    const VF s = hn::Add(X2, Y2);
    const MF stays = hn::And(startsFinite, hn::Le(s, hn::Set(df, 4.0F)));
    // Passed: the next test is first + 1. Escaped with a finite modulus: first. Otherwise the exact kernel decides.
    const MF finiteEscape = hn::And(startsFinite, hn::Le(s, hn::Set(df, std::numeric_limits<float>::max())));
    VF count = hn::IfThenElse(stays, hn::Set(df, first + 1.0F), hn::IfThenElseZero(finiteEscape, hn::Set(df, first)));
    MF active = hn::And(hn::FirstN(df, valid), hn::And(stays, hn::Le(count, hn::Set(df, limit))));
    // Orbits of c inside the main cardioid or
    // the period-2 bulb end as soon as they are in their disc, most of them here.
    if constexpr (kCycles) {
      const bool shared = valid != 0 && tiles != nullptr && tiles->Has(tile);
      if (mandelbrot && (shared || (ownDiscsPay && !hn::AllFalse(df, hn::And(active, MayHaveSettlingDisc(df, x, y)))))) {
        VF centreX, centreY, radius2;
        if (shared) {
          centreX = tiles->CentreX(tile);
          centreY = tiles->CentreY(tile);
          radius2 = tiles->Radius2(tile);
        } else {
          FindSettlingDisc(df, cx, cy, Arithmetic::Broadcast(0.0F), centreX, centreY, radius2);
        }
        table.Store(lane::kCentreX, k, centreX);
        table.Store(lane::kCentreY, k, centreY);
        table.Store(lane::kRadius2, k, radius2);
        const MF settled = hn::And(active, InSettlingDisc(df, X, Y, centreX, centreY, radius2));
        count = hn::IfThenElse(settled, hn::Set(df, decidedMark), count);
        active = hn::AndNot(settled, active);
      }
    }
    const VF nan = hn::Set(df, std::numeric_limits<float>::quiet_NaN());
    for (const lane::Field f : {lane::kSavedX, lane::kSavedY, lane::kStrideX, lane::kStrideY}) table.Store(f, k, nan);
    table.Store(lane::kNextSave, k, count);
    Finish(k, X, Y, X2, Y2, count, active);
    return hn::CountTrue(df, active);
  }

  // Vector k's points, the first `valid` lanes real, all get `count`, proven
  // for their whole tile: no orbit runs.
  HWY_INLINE void Settle(std::size_t k, std::size_t valid, float count) {
    table.Store(lane::kCount, k, hn::IfThenElseZero(hn::FirstN(df, valid), hn::Set(df, count)));
    table.StoreActive(k, hn::FirstN(df, 0));
  }

  // `steps` steps of every orbit, then the checks; returns the lanes still running.
  HWY_INLINE std::size_t Round(std::size_t steps) {
    return Chains<OrbitLanes, std::make_index_sequence<K>>::Round(*this, steps);
  }

  [[nodiscard]] std::size_t Running(std::size_t k) const { return hn::CountTrue(df, table.LoadActive(k)); }

  // Ends orbits of vector k that settled, repeat an earlier state (when
  // `cycles`) or passed the limit.
  HWY_INLINE void Check(std::size_t k, VF X, VF Y, VF& count, MF& active, bool cycles) {
    // Read as MaxIter + 1; orbits already past the limit keep their count.
    const VF unescaped = hn::IfThenElse(hn::Le(count, hn::Set(df, limit)), hn::Set(df, decidedMark), count);
    if constexpr (kCycles) {
      // An orbit inside its settling disc never leaves it (see FindSettlingDisc).
      // Near the boundary outside the cardioid and the bulb no lane has a
      // disc, and the test is skipped (W9: 2% less time).
      const VF radius2 = table.Load(lane::kRadius2, k);
      if (!hn::AllFalse(df, hn::Ge(radius2, hn::Zero(df)))) {
        const MF settled = hn::And(active, InSettlingDisc(df, X, Y, table.Load(lane::kCentreX, k),
                                                          table.Load(lane::kCentreY, k), radius2));
        count = hn::IfThenElse(settled, unescaped, count);
        active = hn::AndNot(settled, active);
      }
      if (cycles) FindRepeats(k, X, Y, unescaped, count, active);
    }
    active = hn::AndNot(hn::Gt(count, hn::Set(df, limit)), active);
  }

  // Ends orbits of vector k whose state repeats an earlier one. The state is
  // (X, Y): X2 and Y2 follow from it. When it equals an earlier, tested
  // state the orbit repeats values already tested and never escapes.
  // Comparing values treats -0 and +0 alike, which is sound: states
  // differing only in the sign of a zero have the same squares and, step by
  // step, the same magnitudes. Besides Brent's saved state, which finds any
  // period, the state of the previous check finds the short periods of most
  // points inside the set (fixed points and the like) as soon as the orbit
  // settles.
  HWY_INLINE void FindRepeats(std::size_t k, VF X, VF Y, VF unescaped, VF& count, MF& active) {
    const VF savedX = table.Load(lane::kSavedX, k), savedY = table.Load(lane::kSavedY, k);
    const MF sameAsSaved = hn::And(hn::Eq(X, savedX), hn::Eq(Y, savedY));
    const MF sameAsBefore = hn::And(hn::Eq(X, table.Load(lane::kStrideX, k)), hn::Eq(Y, table.Load(lane::kStrideY, k)));
    const MF repeats = hn::And(active, hn::Or(sameAsSaved, sameAsBefore));
    count = hn::IfThenElse(repeats, unescaped, count);
    active = hn::AndNot(repeats, active);
    table.Store(lane::kStrideX, k, X);
    table.Store(lane::kStrideY, k, Y);
    // Brent: save the state ever more rarely, so any period is found.
    const VF nextSave = table.Load(lane::kNextSave, k);
    const MF save = hn::And(active, hn::Ge(count, nextSave));
    table.Store(lane::kSavedX, k, hn::IfThenElse(save, X, savedX));
    table.Store(lane::kSavedY, k, hn::IfThenElse(save, Y, savedY));
    table.Store(lane::kNextSave, k, hn::IfThenElse(save, hn::Add(count, count), nextSave));
  }

  // Vector k's checks and stores after a round; returns its lanes still running.
  HWY_INLINE std::size_t EndRound(std::size_t k, VF X, VF Y, VF X2, VF Y2, VF count, MF active, bool cycles) {
    Check(k, X, Y, count, active, cycles);
    Finish(k, X, Y, X2, Y2, count, active);
    return hn::CountTrue(df, active);
  }

  // Stores the hot state of vector k after a round.
  HWY_INLINE void Finish(std::size_t k, VF X, VF Y, VF X2, VF Y2, VF count, MF active) {
    table.Store(lane::kX, k, X);
    table.Store(lane::kY, k, Y);
    table.Store(lane::kX2, k, X2);
    table.Store(lane::kY2, k, Y2);
    table.Store(lane::kCount, k, count);
    table.StoreActive(k, active);
  }

  DF df;
  bool mandelbrot;
  float first;
  float limit;
  float P, Q;
  EscapeCount unescapedCount;
  // Orbits that a disc or a repeated state ends get
  // this count, above any a running orbit reaches (MaxIter + kStride), and
  // are read as MaxIter + 1 like them; the results count them.
  float decidedMark = limit + 2.0F * kStride;
  // A point's own disc costs some ten steps' work. The points that need one
  // lie near the edge of the cardioid or the bulb, where orbits settle late:
  // under a low limit they rarely settle before it (W6, at 50, took 1.4%
  // fewer instructions without).
  bool ownDiscsPay = limit > 64.0F;
  mutable std::uint64_t decidedEarly = 0;
  LaneTable<DF> table;
};

// Adds one to the counts of the lanes of `passed`. Where a mask is a vector
// its true lanes are all ones, -1 as integers, and one subtraction counts
// them; where it is a predicate, a masked add does.
template <class DI, class M>
HWY_INLINE hn::Vec<DI> CountPassed(DI di, M passed, hn::Vec<DI> n) {
#if (HWY_ARCH_X86 && HWY_TARGET <= HWY_AVX3) || (HWY_TARGET & (HWY_SVE | HWY_SVE2 | HWY_SVE_256 | HWY_SVE2_128))
  return hn::IfThenElse(hn::RebindMask(di, passed), hn::Add(n, hn::Set(di, 1)), n);
#else
  return hn::Sub(n, hn::VecFromMask(di, hn::RebindMask(di, passed)));
#endif
}

// The hot loop over kBlockVectors independent chains, each chain's state in
// parameters (sizeless vectors may be parameters, not members or elements),
// stepped together by fold expressions. Counts are integers in the loop
// (exact below 2^24, as the stored singles are).
template <class Lanes, std::size_t... k>
struct Chains<Lanes, std::index_sequence<k...>> {
  using DF = typename Lanes::D;
  using DI = hn::RebindToSigned<DF>;
  using VF = typename Lanes::VF;
  using VI = hn::Vec<DI>;
  using MF = typename Lanes::MF;
  using Constant = typename Lanes::Constant;
  template <std::size_t i>
  using V = typename PerChain<VF, i>::type;
  template <std::size_t i>
  using I = typename PerChain<VI, i>::type;
  template <std::size_t i>
  using M = typename PerChain<MF, i>::type;
  template <std::size_t i>
  using C = typename PerChain<Constant, i>::type;

  static HWY_INLINE std::size_t Round(Lanes& lanes, std::size_t steps) {
    const LaneTable<DF>& t = lanes.table;
    const DI di;
    return Run(lanes, steps, t.Load(lane::kX, k)..., t.Load(lane::kY, k)..., t.Load(lane::kX2, k)...,
               t.Load(lane::kY2, k)..., hn::ConvertTo(di, t.Load(lane::kCount, k))..., t.LoadActive(k)...,
               lanes.Cx(k)..., lanes.Cy(k)...);
  }

  static HWY_INLINE std::size_t Run(Lanes& lanes, std::size_t steps, V<k>... X, V<k>... Y, V<k>... X2, V<k>... Y2,
                                    I<k>... count, M<k>... active, C<k>... cx, C<k>... cy) {
    const DF df = lanes.df;
    // A vector without a running lane stays so until the next check: skip it.
    const bool live[] = {!hn::AllFalse(df, active)...};
    const VF four = hn::Set(df, 4.0F);
    for (std::size_t u = 0; u < steps; ++u) {
      (Step(df, live[k], cx, cy, X, Y, X2, Y2, count, active, four), ...);
    }
    // The short rounds at a block's start look for no repeats: most of
    // their orbits escape within a few steps, and Brent's bookkeeping there
    // cost more than the steps it saved.
    const bool cycles = steps >= kStride;
    std::size_t running = 0;
    ((running += live[k] ? lanes.EndRound(k, X, Y, X2, Y2, hn::ConvertTo(df, count), active, cycles) : 0), ...);
    return running;
  }

  static HWY_INLINE void Step(DF df, bool live, Constant cx, Constant cy, VF& X, VF& Y, VF& X2, VF& Y2, VI& count,
                              MF& active, VF four) {
    if (!live) return;
    Lanes::Exact::Step(df, cx, cy, X, Y, X2, Y2);
    // The single sum is the double sum rounded to single: double has more
    // than 2*24 + 2 bits, so rounding twice cannot differ from rounding once.
    active = AndLessEqual(df, active, hn::Add(X2, Y2), four);
    count = CountPassed(DI(), active, count);
  }
};

}  // namespace HWY_NAMESPACE
}  // namespace tobrisk
HWY_AFTER_NAMESPACE();

#endif  // include guard toggle
