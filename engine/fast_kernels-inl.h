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

#include "engine/fast_kernels.h"
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
      const MF any = hn::Or(hn::Or(active[0], active[1]), hn::Or(active[2], active[3]));
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

[[nodiscard]] inline bool ConstantIsBounded(const PointGrid& grid) {
  const auto bounded = [](float v) { return std::abs(v) <= kBoundedConstant; };  // false for NaN
  if (grid.kind == FractalKind::Julia) return bounded(grid.P) && bounded(grid.Q);
  return std::all_of(grid.xs.begin(), grid.xs.end(), bounded) && std::all_of(grid.ys.begin(), grid.ys.end(), bounded);
}

// Streams the points of a grid through the lanes: a lane that finishes takes
// the next point, so a slow orbit keeps only its own lane busy. Every lane
// counts its own iterations (a passed test adds one), so lanes need not
// start together.
//
// A fresh point runs its first tested step in the refill, where a non-finite
// state is caught as in CountBlock. From then on the lane has passed a test,
// and with a bounded constant (see kBoundedConstant) it cannot overflow, so
// the hot loop tests nothing but the escape. Cycles and the limit are checked
// every kStride iterations; a lane that runs past MaxIter in between was
// still inside at MaxIter, so its count is clamped to MaxIter + 1.
template <class Arithmetic, bool kCycles, class DF>
HWY_NOINLINE void CountGridStreaming(DF df, const PointGrid& grid, EscapeCount* HWY_RESTRICT out) {
  using VF = hn::Vec<DF>;
  using MF = hn::Mask<DF>;
  using Constant = typename Arithmetic::Constant;
  using DC = hn::DFromV<Constant>;
  constexpr std::size_t K = kBlockVectors;
  constexpr std::size_t kStride = 8;
  const std::size_t N = hn::Lanes(df);
  const bool mandelbrot = grid.kind == FractalKind::Mandelbrot;
  const float first = mandelbrot ? 2.0F : 1.0F;
  const std::size_t cols = grid.xs.size();
  const std::size_t total = cols * grid.ys.size();
  const float limit = grid.maxIter;
  const EscapeCount unescapedCount =
      grid.maxIter < 32767 ? static_cast<EscapeCount>(grid.maxIter + 1) : kExactKernelDecides;

  const VF vLimit = hn::Set(df, limit);
  const VF four = hn::Set(df, 4.0F);
  const VF largest = hn::Set(df, std::numeric_limits<float>::max());
  const VF unescaped = hn::Set(df, limit + 1.0F);
  const VF one = hn::Set(df, 1.0F);
  const VF nan = hn::Set(df, std::numeric_limits<float>::quiet_NaN());
  const Constant juliaCx = Arithmetic::Broadcast(grid.P);
  const Constant juliaCy = Arithmetic::Broadcast(grid.Q);

  VF X[K], Y[K], X2[K], Y2[K], count[K], savedX[K], savedY[K], nextSave[K];
  MF active[K];
  Constant cx[K], cy[K];
  std::array<std::array<std::int64_t, kMaxLanes>, K> slot;
  for (std::size_t k = 0; k < K; ++k) {
    X[k] = Y[k] = X2[k] = Y2[k] = count[k] = nextSave[k] = hn::Zero(df);
    savedX[k] = savedY[k] = nan;
    active[k] = hn::FirstN(df, 0);
    cx[k] = juliaCx;
    cy[k] = juliaCy;
    slot[k].fill(-1);
  }
  std::size_t next = 0;  // the next point, row-major; nextCol and nextRow spare a division per point
  std::size_t nextCol = 0;
  std::size_t nextRow = 0;

  const auto result = [&](float n) -> EscapeCount {
    if (n == 0.0F) return kExactKernelDecides;
    return n > limit ? unescapedCount : static_cast<EscapeCount>(n);
  };

  // Hands the results of finished lanes out and gives idle lanes new points.
  const auto refill = [&](std::size_t k) {
    HWY_ALIGN float counts[kMaxLanes];
    HWY_ALIGN float newX[kMaxLanes];
    HWY_ALIGN float newY[kMaxLanes];
    std::uint8_t activeBits[kMaxLanes / 8] = {};
    for (;;) {
      hn::StoreU(count[k], df, counts);
      hn::StoreMaskBits(df, active[k], activeBits);
      std::uint8_t freshBits[kMaxLanes / 8] = {};
      bool any = false;
      for (std::size_t lane = 0; lane < N; ++lane) {
        newX[lane] = newY[lane] = 0.0F;
        if ((activeBits[lane / 8] >> (lane % 8)) & 1U) continue;
        if (slot[k][lane] >= 0) out[slot[k][lane]] = result(counts[lane]);
        slot[k][lane] = -1;
        if (next == total) continue;
        slot[k][lane] = static_cast<std::int64_t>(next);
        newX[lane] = grid.xs[nextCol];
        newY[lane] = grid.ys[nextRow];
        ++next;
        if (++nextCol == cols) {
          nextCol = 0;
          ++nextRow;
        }
        freshBits[lane / 8] = static_cast<std::uint8_t>(freshBits[lane / 8] | (1U << (lane % 8)));
        any = true;
      }
      if (!any) return;
      const MF fresh = hn::LoadMaskBits(df, freshBits);
      const VF x = hn::LoadU(df, newX);
      const VF y = hn::LoadU(df, newY);
      VF nX, nY;
      Constant ncx = juliaCx, ncy = juliaCy;
      if (mandelbrot) {
        ncx = Arithmetic::Widen(x);
        ncy = Arithmetic::Widen(y);
        Arithmetic::FirstIterate(df, ncx, ncy, nX, nY);
      } else {
        nX = x;
        nY = y;
      }
      VF nX2 = hn::Mul(nX, nX);
      VF nY2 = hn::Mul(nY, nY);
      const MF startsFinite = hn::And(hn::IsFinite(nX2), hn::IsFinite(nY2));
      Arithmetic::Step(df, ncx, ncy, nX, nY, nX2, nY2);
      const VF s = hn::Add(nX2, nY2);
      const MF stays = hn::And(startsFinite, hn::Le(s, four));
      // Passed: the next test is first + 1. Escaped with a finite modulus: first. Otherwise the exact kernel decides.
      const VF nCount = hn::IfThenElse(stays, hn::Set(df, first + 1.0F),
                                       hn::IfThenElseZero(hn::And(startsFinite, hn::Le(s, largest)), hn::Set(df, first)));
      const auto freshC = hn::LoadMaskBits(DC(), freshBits);  // the same lanes, as a mask of c
      X[k] = hn::IfThenElse(fresh, nX, X[k]);
      Y[k] = hn::IfThenElse(fresh, nY, Y[k]);
      X2[k] = hn::IfThenElse(fresh, nX2, X2[k]);
      Y2[k] = hn::IfThenElse(fresh, nY2, Y2[k]);
      count[k] = hn::IfThenElse(fresh, nCount, count[k]);
      cx[k] = hn::IfThenElse(freshC, ncx, cx[k]);
      cy[k] = hn::IfThenElse(freshC, ncy, cy[k]);
      savedX[k] = hn::IfThenElse(fresh, nan, savedX[k]);
      savedY[k] = hn::IfThenElse(fresh, nan, savedY[k]);
      nextSave[k] = hn::IfThenElse(fresh, nCount, nextSave[k]);
      active[k] = hn::Or(active[k], hn::And(fresh, hn::And(stays, hn::Le(nCount, vLimit))));
      if (hn::AllTrue(df, active[k])) return;
    }
  };

  for (std::size_t k = 0; k < K; ++k) refill(k);
  for (;;) {
    for (std::size_t u = 0; u < kStride; ++u) {
      for (std::size_t k = 0; k < K; ++k) {
        Arithmetic::Step(df, cx[k], cy[k], X[k], Y[k], X2[k], Y2[k]);
        // As in CountBlock, the single sum is the double sum rounded to single.
        active[k] = hn::And(active[k], hn::Le(hn::Add(X2[k], Y2[k]), four));
        count[k] = hn::IfThenElse(active[k], hn::Add(count[k], one), count[k]);
      }
    }
    bool anyActive = false;
    for (std::size_t k = 0; k < K; ++k) {
      if constexpr (kCycles) {
        // The state (X, Y) repeats an earlier, tested one: see CountBlock.
        const MF repeats = hn::And(active[k], hn::And(hn::Eq(X[k], savedX[k]), hn::Eq(Y[k], savedY[k])));
        count[k] = hn::IfThenElse(repeats, unescaped, count[k]);
        active[k] = hn::AndNot(repeats, active[k]);
        const MF save = hn::And(active[k], hn::Ge(count[k], nextSave[k]));
        savedX[k] = hn::IfThenElse(save, X[k], savedX[k]);
        savedY[k] = hn::IfThenElse(save, Y[k], savedY[k]);
        nextSave[k] = hn::IfThenElse(save, hn::Add(count[k], count[k]), nextSave[k]);
      }
      active[k] = hn::AndNot(hn::Gt(count[k], vLimit), active[k]);
      if (next < total && 2 * hn::CountTrue(df, active[k]) <= N) refill(k);
      anyActive = anyActive || !hn::AllFalse(df, active[k]);
    }
    if (!anyActive && next == total) break;
  }
  for (std::size_t k = 0; k < K; ++k) {
    HWY_ALIGN float counts[kMaxLanes];
    hn::StoreU(count[k], df, counts);
    for (std::size_t lane = 0; lane < N; ++lane) {
      if (slot[k][lane] >= 0) out[slot[k][lane]] = result(counts[lane]);
    }
  }
}

// Counts a grid: streamed where the constant is bounded and the limit allows
// a test, block by block otherwise.
template <class Arithmetic, bool kCycles, class DF>
HWY_INLINE void CountGridWith(DF df, const PointGrid& grid, EscapeCount* HWY_RESTRICT counts) {
  const int first = grid.kind == FractalKind::Mandelbrot ? 2 : 1;
  if (grid.maxIter >= first && ConstantIsBounded(grid)) {
    CountGridStreaming<Arithmetic, kCycles>(df, grid, counts);
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
