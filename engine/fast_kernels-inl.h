// The vector escape-time loop, compiled once per instruction set: included by
// hwy/foreach_target.h for each target, hence the toggling guard instead of
// #pragma once.
#if defined(TOBRISK_ENGINE_FAST_KERNELS_INL_H_) == defined(HWY_TARGET_TOGGLE)
#ifdef TOBRISK_ENGINE_FAST_KERNELS_INL_H_
#undef TOBRISK_ENGINE_FAST_KERNELS_INL_H_
#else
#define TOBRISK_ENGINE_FAST_KERNELS_INL_H_
#endif

#include <algorithm>
#include <array>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <limits>
#include <vector>

#include "engine/fast_kernels.h"
#include "engine/settling_discs-inl.h"
#include "hwy/highway.h"

HWY_BEFORE_NAMESPACE();
namespace tobrisk {
namespace HWY_NAMESPACE {
namespace hn = hwy::HWY_NAMESPACE;

// The exact arithmetic of the kernels. The state (X, Y, X2, Y2) is kept as
// singles; statements whose right side is more than one operation are
// evaluated in double and rounded to single (DemoteTo rounds to nearest,
// ties to even, as a store does), the others use identities stated below.
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

// The lanes of `active` where a <= b. AVX-512 compares under a mask in one
// instruction, which the compiler does not form from And and Le by itself.
template <class DF>
HWY_INLINE hn::Mask<DF> AndLessEqual(DF /*df*/, hn::Mask<DF> active, hn::Vec<DF> a, hn::Vec<DF> b) {
#if HWY_TARGET <= HWY_AVX3
  if constexpr (sizeof(hn::Vec<DF>) == 32) {
    return hn::Mask<DF>{_mm256_mask_cmp_ps_mask(active.raw, a.raw, b.raw, _CMP_LE_OQ)};
  }
#endif
  return hn::And(active, hn::Le(a, b));
}

// Counts one block of kBlockVectors vectors of points and writes the counts
// as floats (whole numbers, or 0 for "the exact kernel decides").
//
// Why a finite state means an exact count: with finite inputs the kernels'
// first fault is a store (or the squared modulus) overflowing to infinity,
// and whichever of X, Y, X2, Y2 or s it hits, s = X2 + Y2 of that same
// iteration is then infinite or NaN. So a lane whose s stays finite has done
// exactly the reference's arithmetic, and a lane that meets a non-finite s is
// handed to the exact kernel, which names the fault. (Non-finite inputs end
// the same way, and so does the portable DemoteTo, which clamps to the
// largest single instead of overflowing: the square of that is infinite.)
inline constexpr std::size_t kBlockVectors = 4;  // independent chains hide each iteration's latency

template <class Arithmetic, bool kCycles, class DF>
HWY_INLINE void CountBlock(DF df, const PointRow& row, const float* HWY_RESTRICT xs, float* HWY_RESTRICT out) {
  using VF = hn::Vec<DF>;
  using MF = hn::Mask<DF>;
  using Constant = typename Arithmetic::Constant;
  constexpr std::size_t K = kBlockVectors;
  const std::size_t N = hn::Lanes(df);
  const bool mandelbrot = row.kind == FractalKind::Mandelbrot;
  const int first = mandelbrot ? 2 : 1;  // the first tested iterate

  VF X[K], Y[K], X2[K], Y2[K], count[K], savedX[K], savedY[K];
  MF active[K];
  Constant cx[K];
  const Constant cy = Arithmetic::Broadcast(mandelbrot ? row.y : row.Q);
  const VF nan = hn::Set(df, std::numeric_limits<float>::quiet_NaN());
  for (std::size_t k = 0; k < K; ++k) {
    const VF x = hn::LoadU(df, xs + k * N);
    if (mandelbrot) {
      cx[k] = Arithmetic::Widen(x);
      Arithmetic::FirstIterate(df, cx[k], cy, X[k], Y[k]);
    } else {
      cx[k] = Arithmetic::Broadcast(row.P);
      X[k] = x;
      Y[k] = hn::Set(df, row.y);
    }
    X2[k] = hn::Mul(X[k], X[k]);
    Y2[k] = hn::Mul(Y[k], Y[k]);
    // A store that overflowed before the first test, even when none follows.
    active[k] = hn::And(hn::IsFinite(X2[k]), hn::IsFinite(Y2[k]));
    count[k] = hn::IfThenElseZero(active[k], hn::Set(df, static_cast<float>(first)));
    // Brent's cycle detection compares with a saved state; NaN equals nothing.
    savedX[k] = nan;
    savedY[k] = nan;
  }

  if (row.maxIter >= first) {
    const VF four = hn::Set(df, 4.0F);
    const VF largest = hn::Set(df, std::numeric_limits<float>::max());
    // An orbit that never escapes ends at MaxIter + 1, unless the 16-bit
    // counter would have to pass 32767 first: that fault is the exact kernel's.
    const VF unescaped = hn::Set(df, row.maxIter < 32767 ? static_cast<float>(row.maxIter + 1) : 0.0F);
    int nextSave = first;
    for (int i = first;; ++i) {
      const VF iteration = hn::Set(df, static_cast<float>(i));
      for (std::size_t k = 0; k < K; ++k) {
        Arithmetic::Step(df, cx[k], cy, X[k], Y[k], X2[k], Y2[k]);
        // s in double rounded to single equals the single sum: double has more
        // than 2*24 + 2 bits, so rounding twice cannot differ from rounding once.
        const VF s = hn::Add(X2[k], Y2[k]);
        const MF stays = hn::Le(s, four);  // NaN does not stay, so it reaches the check below
        const MF escapes = hn::AndNot(stays, active[k]);
        count[k] = hn::IfThenElse(escapes, hn::IfThenElseZero(hn::Le(s, largest), iteration), count[k]);
        active[k] = hn::And(active[k], stays);
        if constexpr (kCycles) {
          // The state is (X, Y): X2 and Y2 follow from it. When it equals an
          // earlier state the orbit repeats values already tested and never
          // escapes. Comparing values treats -0 and +0 alike, which is sound:
          // states differing only in the sign of a zero have the same squares
          // and, step by step, the same magnitudes.
          const MF repeats = hn::And(active[k], hn::And(hn::Eq(X[k], savedX[k]), hn::Eq(Y[k], savedY[k])));
          count[k] = hn::IfThenElse(repeats, unescaped, count[k]);
          active[k] = hn::AndNot(repeats, active[k]);
        }
      }
      MF any = active[0];
      for (std::size_t k = 1; k < K; ++k) any = hn::Or(any, active[k]);
      if (hn::AllFalse(df, any) || i >= row.maxIter) break;
      if (kCycles && i == nextSave) {
        for (std::size_t k = 0; k < K; ++k) {
          savedX[k] = X[k];
          savedY[k] = Y[k];
        }
        nextSave *= 2;
      }
    }
    for (std::size_t k = 0; k < K; ++k) count[k] = hn::IfThenElse(active[k], unescaped, count[k]);
  }
  for (std::size_t k = 0; k < K; ++k) hn::StoreU(count[k], df, out + k * N);
}

// Splits a row into blocks; the last block is padded with a copy of a real
// point, so it takes no longer than the points it counts.
template <class Arithmetic, bool kCycles, class DF>
HWY_INLINE void CountRowWith(DF df, const PointRow& row, EscapeCount* HWY_RESTRICT counts) {
  constexpr std::size_t kMaxBlock = kBlockVectors * 64;
  const std::size_t block = kBlockVectors * hn::Lanes(df);
  HWY_ALIGN std::array<float, kMaxBlock> padded{};
  HWY_ALIGN std::array<float, kMaxBlock> out{};
  const std::size_t n = row.xs.size();
  for (std::size_t start = 0; start < n; start += block) {
    const std::size_t m = std::min(block, n - start);
    const float* xs = row.xs.data() + start;
    if (m < block) {
      std::copy_n(xs, m, padded.begin());
      std::fill(padded.begin() + static_cast<std::ptrdiff_t>(m), padded.begin() + static_cast<std::ptrdiff_t>(block),
                xs[0]);
      xs = padded.data();
    }
    CountBlock<Arithmetic, kCycles>(df, row, xs, out.data());
    for (std::size_t j = 0; j < m; ++j) counts[start + j] = static_cast<EscapeCount>(out[j]);
  }
}

// Largest |c| for which an orbit that passed a test cannot overflow at the
// next step: |z| <= 2 gives |z*z + c| <= 4 + |c| + rounding, whose square
// stays far below the largest single for |c| <= 2^60.
inline constexpr float kBoundedConstant = 0x1p60F;

inline constexpr std::size_t kMaxLanes = 64;  // wider than any single vector
inline constexpr std::size_t kStride = 8;     // iterations between checks of cycles and the limit

// Whether every |value| <= kBoundedConstant (false for NaN); vectorised, as
// it runs over a whole row for every band of rows.
template <class DF>
[[nodiscard]] HWY_INLINE bool AllBounded(DF df, std::span<const float> values) {
  const std::size_t N = hn::Lanes(df);
  const auto bound = hn::Set(df, kBoundedConstant);
  auto inside = hn::FirstN(df, N);
  std::size_t i = 0;
  for (; i + N <= values.size(); i += N) inside = hn::And(inside, hn::Le(hn::Abs(hn::LoadU(df, values.data() + i)), bound));
  const auto bounded = [](float v) { return std::abs(v) <= kBoundedConstant; };
  return hn::AllTrue(df, inside) && std::all_of(values.begin() + static_cast<std::ptrdiff_t>(i), values.end(), bounded);
}

template <class DF>
[[nodiscard]] HWY_INLINE bool ConstantIsBounded(DF df, const PointGrid& grid) {
  if (grid.kind == FractalKind::Julia) return AllBounded(df, std::span(&grid.P, 1)) && AllBounded(df, std::span(&grid.Q, 1));
  return AllBounded(df, grid.xs) && AllBounded(df, grid.ys);
}

// An orbit still running when most of its block had ended, moved on so that
// it does not hold the block's lanes (see CountGridWith).
struct Straggler {
  float X, Y, X2, Y2, count, savedX, savedY, nextSave, strideX, strideY;
  float centreX, centreY, radius2;  // its settling disc, found once
  float x, y;  // the point, which is c for Mandelbrot
  std::size_t index;
};

// kBlockVectors vectors of orbits in which every lane counts its own
// iterations (a passed test adds one), so lanes need not start together.
//
// Orbits enter after their first test (Start), where a non-finite state is
// caught as in CountBlock. From then on each has passed a test, and with a
// bounded constant (see kBoundedConstant) it cannot overflow, so the hot
// loop tests nothing but the escape. Cycles and the limit are checked every
// kStride iterations; a lane that ran past MaxIter in between was still
// inside at MaxIter, so its count is read as MaxIter + 1.
template <class Arithmetic, bool kCycles, class DF>
struct OrbitLanes {
  using VF = hn::Vec<DF>;
  using MF = hn::Mask<DF>;
  using Constant = typename Arithmetic::Constant;
  static constexpr std::size_t K = kBlockVectors;

  OrbitLanes(DF df, const PointGrid& grid)
      : df(df), mandelbrot(grid.kind == FractalKind::Mandelbrot), first(mandelbrot ? 2.0F : 1.0F),
        limit(grid.maxIter),
        unescapedCount(grid.maxIter < 32767 ? static_cast<EscapeCount>(grid.maxIter + 1) : kExactKernelDecides),
        vLimit(hn::Set(df, limit)), four(hn::Set(df, 4.0F)), largest(hn::Set(df, std::numeric_limits<float>::max())),
        unescaped(hn::Set(df, limit + 1.0F)), one(hn::Set(df, 1.0F)),
        nan(hn::Set(df, std::numeric_limits<float>::quiet_NaN())), juliaCx(Arithmetic::Broadcast(grid.P)),
        juliaCy(Arithmetic::Broadcast(grid.Q)) {
    for (std::size_t k = 0; k < K; ++k) {
      X[k] = Y[k] = X2[k] = Y2[k] = count[k] = nextSave[k] = hn::Zero(df);
      savedX[k] = savedY[k] = strideX[k] = strideY[k] = nan;
      active[k] = hn::FirstN(df, 0);
      cx[k] = juliaCx;
      cy[k] = juliaCy;
      centreX[k] = centreY[k] = hn::Zero(df);
      radius2[k] = hn::Set(df, -1.0F);
      if constexpr (kCycles) {
        if (!mandelbrot) FindSettlingDisc(k);
      }
    }
  }

  // The result for a lane's final count: 0 stays "the exact kernel decides".
  [[nodiscard]] EscapeCount Result(float n) const {
    if (n == 0.0F) return kExactKernelDecides;
    return n > limit ? unescapedCount : static_cast<EscapeCount>(n);
  }

  // The settling disc of vector k's orbits (see settling_discs-inl.h).
  HWY_INLINE void FindSettlingDisc(std::size_t k) {
    tobrisk::HWY_NAMESPACE::FindSettlingDisc(df, cx[k], cy[k], centreX[k], centreY[k], radius2[k]);
  }

  // The results of vector k, whose orbits have all ended, as Result gives them.
  HWY_INLINE void StoreResults(std::size_t k, EscapeCount* HWY_RESTRICT to) const {
    const hn::Rebind<std::int32_t, DF> di32;
    const hn::Rebind<EscapeCount, DF> di16;
    const VF n = hn::IfThenElse(hn::Gt(count[k], vLimit), hn::Set(df, static_cast<float>(unescapedCount)), count[k]);
    hn::StoreU(hn::DemoteTo(di16, hn::ConvertTo(di32, n)), di16, to);
  }

  // Fresh points (x, y) in vector k, the first `valid` lanes real: up to and
  // including their first test.
  HWY_INLINE void Start(std::size_t k, VF x, VF y, std::size_t valid) {
    if (mandelbrot) {
      cx[k] = Arithmetic::Widen(x);
      cy[k] = Arithmetic::Widen(y);
      Arithmetic::FirstIterate(df, cx[k], cy[k], X[k], Y[k]);
      radius2[k] = hn::Set(df, -1.0F);  // found below where c may lie in the cardioid or the bulb
    } else {
      X[k] = x;
      Y[k] = y;
    }
    X2[k] = hn::Mul(X[k], X[k]);
    Y2[k] = hn::Mul(Y[k], Y[k]);
    const MF startsFinite = hn::And(hn::IsFinite(X2[k]), hn::IsFinite(Y2[k]));
    Arithmetic::Step(df, cx[k], cy[k], X[k], Y[k], X2[k], Y2[k]);
    const VF s = hn::Add(X2[k], Y2[k]);
    const MF stays = hn::And(startsFinite, hn::Le(s, four));
    // Passed: the next test is first + 1. Escaped with a finite modulus: first. Otherwise the exact kernel decides.
    count[k] = hn::IfThenElse(stays, hn::Set(df, first + 1.0F),
                              hn::IfThenElseZero(hn::And(startsFinite, hn::Le(s, largest)), hn::Set(df, first)));
    savedX[k] = savedY[k] = strideX[k] = strideY[k] = nan;
    nextSave[k] = count[k];
    active[k] = hn::And(hn::FirstN(df, valid), hn::And(stays, hn::Le(count[k], vLimit)));
    // [settling discs from the start] Orbits of c inside the main cardioid or
    // the period-2 bulb end as soon as they are in their disc, most of them here.
    if constexpr (kCycles) {
      if (mandelbrot && !hn::AllFalse(df, hn::And(active[k], MayHaveSettlingDisc(df, x, y)))) {
        FindSettlingDisc(k);
        const MF settled = hn::And(active[k], InSettlingDisc(df, X[k], Y[k], centreX[k], centreY[k], radius2[k]));
        count[k] = hn::IfThenElse(settled, unescaped, count[k]);
        active[k] = hn::AndNot(settled, active[k]);
      }
    }
  }

  HWY_INLINE void Iterate(std::size_t steps = kStride) {
    // A vector without a running lane stays so until the next check: skip it.
    bool live[K];
    for (std::size_t k = 0; k < K; ++k) live[k] = !hn::AllFalse(df, active[k]);
    for (std::size_t u = 0; u < steps; ++u) {
      for (std::size_t k = 0; k < K; ++k) {
        if (!live[k]) continue;
        Arithmetic::Step(df, cx[k], cy[k], X[k], Y[k], X2[k], Y2[k]);
        // As in CountBlock, the single sum is the double sum rounded to single.
        active[k] = AndLessEqual(df, active[k], hn::Add(X2[k], Y2[k]), four);
        count[k] = hn::IfThenElse(active[k], hn::Add(count[k], one), count[k]);
      }
    }
  }

  // Ends orbits that repeat an earlier state or passed the limit; returns the lanes still running.
  HWY_INLINE std::size_t Check() {
    std::size_t running = 0;
    for (std::size_t k = 0; k < K; ++k) {
      if constexpr (kCycles) {
        // The state (X, Y) repeats an earlier, tested one: see CountBlock.
        // Besides Brent's saved state, which finds any period, the state of
        // the previous check finds the short periods of most points inside
        // the set (fixed points and the like) as soon as the orbit settles.
        const MF sameAsSaved = hn::And(hn::Eq(X[k], savedX[k]), hn::Eq(Y[k], savedY[k]));
        const MF sameAsBefore = hn::And(hn::Eq(X[k], strideX[k]), hn::Eq(Y[k], strideY[k]));
        const MF repeats = hn::And(active[k], hn::Or(sameAsSaved, sameAsBefore));
        count[k] = hn::IfThenElse(repeats, unescaped, count[k]);
        active[k] = hn::AndNot(repeats, active[k]);
        strideX[k] = X[k];
        strideY[k] = Y[k];
        // An orbit inside its settling disc never leaves it (see FindSettlingDisc).
        const MF settled = hn::And(active[k], InSettlingDisc(df, X[k], Y[k], centreX[k], centreY[k], radius2[k]));
        count[k] = hn::IfThenElse(settled, unescaped, count[k]);
        active[k] = hn::AndNot(settled, active[k]);
        // Brent: save the state ever more rarely, so any period is found.
        const MF save = hn::And(active[k], hn::Ge(count[k], nextSave[k]));
        savedX[k] = hn::IfThenElse(save, X[k], savedX[k]);
        savedY[k] = hn::IfThenElse(save, Y[k], savedY[k]);
        nextSave[k] = hn::IfThenElse(save, hn::Add(count[k], count[k]), nextSave[k]);
      }
      active[k] = hn::AndNot(hn::Gt(count[k], vLimit), active[k]);
      running += hn::CountTrue(df, active[k]);
    }
    return running;
  }

  // Lane-wise copies of vector k, to read and patch single lanes.
  struct Spilled {
    HWY_ALIGN float X[kMaxLanes], Y[kMaxLanes], X2[kMaxLanes], Y2[kMaxLanes], count[kMaxLanes];
    HWY_ALIGN float savedX[kMaxLanes], savedY[kMaxLanes], nextSave[kMaxLanes], strideX[kMaxLanes], strideY[kMaxLanes];
    HWY_ALIGN float centreX[kMaxLanes], centreY[kMaxLanes], radius2[kMaxLanes];
    std::uint8_t active[kMaxLanes / 8];
    [[nodiscard]] bool IsActive(std::size_t lane) const { return ((active[lane / 8] >> (lane % 8)) & 1U) != 0; }
  };

  HWY_INLINE void Spill(std::size_t k, Spilled& s) const {
    hn::StoreU(X[k], df, s.X);
    hn::StoreU(Y[k], df, s.Y);
    hn::StoreU(X2[k], df, s.X2);
    hn::StoreU(Y2[k], df, s.Y2);
    hn::StoreU(count[k], df, s.count);
    hn::StoreU(savedX[k], df, s.savedX);
    hn::StoreU(savedY[k], df, s.savedY);
    hn::StoreU(nextSave[k], df, s.nextSave);
    hn::StoreU(strideX[k], df, s.strideX);
    hn::StoreU(strideY[k], df, s.strideY);
    hn::StoreU(centreX[k], df, s.centreX);
    hn::StoreU(centreY[k], df, s.centreY);
    hn::StoreU(radius2[k], df, s.radius2);
    std::fill(std::begin(s.active), std::end(s.active), std::uint8_t{0});
    hn::StoreMaskBits(df, active[k], s.active);
  }

  HWY_INLINE void Fill(std::size_t k, const Spilled& s, const float* HWY_RESTRICT x, const float* HWY_RESTRICT y) {
    X[k] = hn::LoadU(df, s.X);
    Y[k] = hn::LoadU(df, s.Y);
    X2[k] = hn::LoadU(df, s.X2);
    Y2[k] = hn::LoadU(df, s.Y2);
    count[k] = hn::LoadU(df, s.count);
    savedX[k] = hn::LoadU(df, s.savedX);
    savedY[k] = hn::LoadU(df, s.savedY);
    nextSave[k] = hn::LoadU(df, s.nextSave);
    strideX[k] = hn::LoadU(df, s.strideX);
    strideY[k] = hn::LoadU(df, s.strideY);
    centreX[k] = hn::LoadU(df, s.centreX);
    centreY[k] = hn::LoadU(df, s.centreY);
    radius2[k] = hn::LoadU(df, s.radius2);
    active[k] = hn::LoadMaskBits(df, s.active);
    if (mandelbrot) {
      cx[k] = Arithmetic::Widen(hn::LoadU(df, x));
      cy[k] = Arithmetic::Widen(hn::LoadU(df, y));
    }
  }

  DF df;
  bool mandelbrot;
  float first;
  float limit;
  EscapeCount unescapedCount;
  VF vLimit, four, largest, unescaped, one, nan;
  Constant juliaCx, juliaCy;
  VF X[K], Y[K], X2[K], Y2[K], count[K], savedX[K], savedY[K], nextSave[K], strideX[K], strideY[K];
  VF centreX[K], centreY[K], radius2[K];  // the settling disc of each lane, when kCycles
  MF active[K];
  Constant cx[K], cy[K];
};

// The first stage: blocks of consecutive points of a row, loaded straight
// from the row, run together until all end or only a quarter still runs;
// those few are moved to `stragglers`.
template <class Arithmetic, bool kCycles, class DF>
HWY_NOINLINE void CountBlocks(DF df, const PointGrid& grid, EscapeCount* HWY_RESTRICT out,
                              std::vector<Straggler>& stragglers) {
  using Lanes = OrbitLanes<Arithmetic, kCycles, DF>;
  constexpr std::size_t K = Lanes::K;
  const std::size_t N = hn::Lanes(df);
  const std::size_t block = K * N;
  const std::size_t cols = grid.xs.size();
  Lanes lanes(df, grid);
  HWY_ALIGN float padded[K * kMaxLanes];
  typename Lanes::Spilled spilled;
  for (std::size_t row = 0; row < grid.ys.size(); ++row) {
    const float y = grid.ys[row];
    for (std::size_t start = 0; start < cols; start += block) {
      const std::size_t m = std::min(block, cols - start);
      const float* xs = grid.xs.data() + start;
      if (m < block) {
        std::copy_n(xs, m, padded);
        std::fill(padded + m, padded + block, xs[0]);
        xs = padded;
      }
      std::size_t running = 0;
      for (std::size_t k = 0; k < K; ++k) {
        const std::size_t valid = m > k * N ? std::min(N, m - k * N) : 0;
        lanes.Start(k, hn::LoadU(df, xs + k * N), hn::Set(df, y), valid);
        running += hn::CountTrue(df, lanes.active[k]);
      }
      // Most orbits end within a few steps: check early, then at the full stride.
      // [settling discs from the start] Start found the discs; stragglers take theirs along.
      for (std::size_t steps = 2; running * 2 > block; steps = std::min(2 * steps, kStride)) {
        lanes.Iterate(steps);
        running = lanes.Check();
      }
      EscapeCount* const blockOut = out + row * cols + start;
      if (running == 0) {  // the usual case: every orbit ended in the block
        HWY_ALIGN EscapeCount results[K * kMaxLanes];
        for (std::size_t k = 0; k < K; ++k) lanes.StoreResults(k, m == block ? blockOut + k * N : results + k * N);
        if (m < block) std::copy_n(results, m, blockOut);
        continue;
      }
      for (std::size_t k = 0; k < K && k * N < m; ++k) {
        lanes.Spill(k, spilled);
        for (std::size_t lane = 0; lane < N && k * N + lane < m; ++lane) {
          const std::size_t j = k * N + lane;
          const std::size_t index = row * cols + start + j;
          if (!spilled.IsActive(lane)) {
            out[index] = lanes.Result(spilled.count[lane]);
            continue;
          }
          stragglers.push_back(Straggler{spilled.X[lane], spilled.Y[lane], spilled.X2[lane], spilled.Y2[lane],
                                         spilled.count[lane], spilled.savedX[lane], spilled.savedY[lane],
                                         spilled.nextSave[lane], spilled.strideX[lane], spilled.strideY[lane],
                                         spilled.centreX[lane], spilled.centreY[lane], spilled.radius2[lane],
                                         xs[j], y, index});
        }
      }
    }
  }
}

// The second stage: the stragglers, streamed through the lanes; a lane whose
// orbit ends takes the next straggler, so long orbits share no lane with
// short ones.
template <class Arithmetic, bool kCycles, class DF>
HWY_NOINLINE void CountStragglers(DF df, const PointGrid& grid, const std::vector<Straggler>& stragglers,
                                  EscapeCount* HWY_RESTRICT out) {
  using Lanes = OrbitLanes<Arithmetic, kCycles, DF>;
  constexpr std::size_t K = Lanes::K;
  const std::size_t N = hn::Lanes(df);
  Lanes lanes(df, grid);
  typename Lanes::Spilled spilled;
  std::array<std::array<std::size_t, kMaxLanes>, K> slot;  // the output index of each lane's orbit
  std::array<std::array<bool, kMaxLanes>, K> occupied{};
  HWY_ALIGN float pointX[K][kMaxLanes] = {};
  HWY_ALIGN float pointY[K][kMaxLanes] = {};
  std::size_t next = 0;

  const auto refill = [&](std::size_t k) {
    lanes.Spill(k, spilled);
    for (std::size_t lane = 0; lane < N; ++lane) {
      if (spilled.IsActive(lane)) continue;
      if (occupied[k][lane]) out[slot[k][lane]] = lanes.Result(spilled.count[lane]);
      occupied[k][lane] = false;
      if (next == stragglers.size()) continue;
      const Straggler& s = stragglers[next++];
      spilled.X[lane] = s.X;
      spilled.Y[lane] = s.Y;
      spilled.X2[lane] = s.X2;
      spilled.Y2[lane] = s.Y2;
      spilled.count[lane] = s.count;
      spilled.savedX[lane] = s.savedX;
      spilled.savedY[lane] = s.savedY;
      spilled.nextSave[lane] = s.nextSave;
      spilled.strideX[lane] = s.strideX;
      spilled.strideY[lane] = s.strideY;
      spilled.centreX[lane] = s.centreX;
      spilled.centreY[lane] = s.centreY;
      spilled.radius2[lane] = s.radius2;
      spilled.active[lane / 8] = static_cast<std::uint8_t>(spilled.active[lane / 8] | (1U << (lane % 8)));
      pointX[k][lane] = s.x;
      pointY[k][lane] = s.y;
      slot[k][lane] = s.index;
      occupied[k][lane] = true;
    }
    lanes.Fill(k, spilled, pointX[k], pointY[k]);
  };

  for (std::size_t k = 0; k < K; ++k) refill(k);
  for (;;) {
    lanes.Iterate();
    lanes.Check();
    bool running = false;
    for (std::size_t k = 0; k < K; ++k) {
      // Refilled once a quarter of its lanes are free: idle lanes cost more than refills do.
      if (next < stragglers.size() && 4 * hn::CountTrue(df, lanes.active[k]) <= 3 * N) refill(k);
      running = running || !hn::AllFalse(df, lanes.active[k]);
    }
    if (!running && next == stragglers.size()) break;
  }
  for (std::size_t k = 0; k < K; ++k) {
    lanes.Spill(k, spilled);
    for (std::size_t lane = 0; lane < N; ++lane) {
      if (occupied[k][lane]) out[slot[k][lane]] = lanes.Result(spilled.count[lane]);
    }
  }
}

// Counts a grid: in two stages where the constant is bounded and the limit
// allows a test (most points end early and cheaply in their blocks, the few
// long orbits share lanes only with each other), block by block otherwise.
template <class Arithmetic, bool kCycles, class DF>
HWY_INLINE void CountGridWith(DF df, const PointGrid& grid, EscapeCount* HWY_RESTRICT counts) {
  const int first = grid.kind == FractalKind::Mandelbrot ? 2 : 1;
  if (grid.maxIter >= first && ConstantIsBounded(df, grid)) {
    // Kept per thread between calls: a fresh vector per band costs page faults.
    static thread_local std::vector<Straggler> stragglers;
    stragglers.clear();
    CountBlocks<Arithmetic, kCycles>(df, grid, counts, stragglers);
    CountStragglers<Arithmetic, kCycles>(df, grid, stragglers, counts);
    return;
  }
  for (std::size_t row = 0; row < grid.ys.size(); ++row) {
    const PointRow points{grid.kind, grid.xs, grid.ys[row], grid.maxIter, grid.P, grid.Q};
    CountRowWith<Arithmetic, kCycles>(df, points, counts + row * grid.xs.size());
  }
}

}  // namespace HWY_NAMESPACE
}  // namespace tobrisk
HWY_AFTER_NAMESPACE();

#endif  // include guard toggle
