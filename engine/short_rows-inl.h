// SPDX-License-Identifier: MIT
// Rows counted a vector at a time, testing every step: for constants too
// large for the two-stage count and for limits below the first test.
// Compiled once per instruction set: included by hwy/foreach_target.h for
// each target, hence the toggling guard instead of #pragma once.
#if defined(TOBRISK_ENGINE_SHORT_ROWS_INL_H_) == defined(HWY_TARGET_TOGGLE)
#ifdef TOBRISK_ENGINE_SHORT_ROWS_INL_H_
#undef TOBRISK_ENGINE_SHORT_ROWS_INL_H_
#else
#define TOBRISK_ENGINE_SHORT_ROWS_INL_H_
#endif

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <limits>
#include <span>

#include "engine/exact_arithmetic-inl.h"
#include "engine/fast_kernels.h"
#include "engine/lane_table-inl.h"
#include "hwy/highway.h"

HWY_BEFORE_NAMESPACE();
namespace tobrisk {
namespace HWY_NAMESPACE {
namespace hn = hwy::HWY_NAMESPACE;

// Counts one vector of points and writes the counts as floats (whole
// numbers, or 0 for "the exact kernel decides").
//
// Why a finite state means an exact count: with finite inputs the kernels'
// first fault is a store (or the squared modulus) overflowing to infinity,
// and whichever of X, Y, X2, Y2 or s it hits, s = X2 + Y2 of that same
// iteration is then infinite or NaN. So a lane whose s stays finite has done
// exactly the reference's arithmetic, and a lane that meets a non-finite s is
// handed to the exact kernel, which names the fault. (Non-finite inputs end
// the same way, and so does the portable DemoteTo, which clamps to the
// largest single instead of overflowing: the square of that is infinite.)
template <class Arithmetic, bool kCycles, class DF>
HWY_INLINE void CountVector(DF df, const PointRow& row, const float* HWY_RESTRICT xs, float* HWY_RESTRICT out) {
  using VF = hn::Vec<DF>;
  using MF = hn::Mask<DF>;
  const bool mandelbrot = row.Kind == FractalKind::Mandelbrot;
  const int first = FirstTestedIterate(row.Kind);

  const auto cy = Arithmetic::Broadcast(mandelbrot ? row.y : row.Q);
  const VF x = hn::LoadU(df, xs);
  const auto cx = mandelbrot ? Arithmetic::Widen(x) : Arithmetic::Broadcast(row.P);
  VF X = x;
  VF Y = hn::Set(df, row.y);
  if (mandelbrot) Arithmetic::FirstIterate(df, cx, cy, X, Y);
  VF X2 = hn::Mul(X, X);
  VF Y2 = hn::Mul(Y, Y);
  // A store that overflowed before the first test, even when none follows.
  MF active = hn::And(hn::IsFinite(X2), hn::IsFinite(Y2));
  VF count = hn::IfThenElseZero(active, hn::Set(df, static_cast<float>(first)));
  // Brent's cycle detection compares with a saved state; NaN equals nothing.
  VF savedX = hn::Set(df, std::numeric_limits<float>::quiet_NaN());
  VF savedY = savedX;

  if (row.MaxIter >= first) {
    const VF four = hn::Set(df, 4.0F);
    const VF largest = hn::Set(df, std::numeric_limits<float>::max());
    // An orbit that never escapes ends at MaxIter + 1, unless the 16-bit
    // counter would have to pass 32767 first: that fault is the exact kernel's.
    const VF unescaped = hn::Set(df, row.MaxIter < 32767 ? static_cast<float>(row.MaxIter + 1) : 0.0F);
    int nextSave = first;
    for (int i = first;; ++i) {
      Arithmetic::Step(df, cx, cy, X, Y, X2, Y2);
      // s in double rounded to single equals the single sum: double has more
      // than 2*24 + 2 bits, so rounding twice cannot differ from rounding once.
      const VF s = hn::Add(X2, Y2);
      const MF stays = hn::Le(s, four);  // NaN does not stay, so it reaches the check below
      const MF escapes = hn::AndNot(stays, active);
      count = hn::IfThenElse(escapes, hn::IfThenElseZero(hn::Le(s, largest), hn::Set(df, static_cast<float>(i))), count);
      active = hn::And(active, stays);
      if constexpr (kCycles) {
        // The state is (X, Y): X2 and Y2 follow from it. When it equals an
        // earlier state the orbit repeats values already tested and never
        // escapes. Comparing values treats -0 and +0 alike, which is sound:
        // states differing only in the sign of a zero have the same squares
        // and, step by step, the same magnitudes.
        const MF repeats = hn::And(active, hn::And(hn::Eq(X, savedX), hn::Eq(Y, savedY)));
        count = hn::IfThenElse(repeats, unescaped, count);
        active = hn::AndNot(repeats, active);
      }
      if (hn::AllFalse(df, active) || i >= row.MaxIter) break;
      if (kCycles && i == nextSave) {
        savedX = X;
        savedY = Y;
        nextSave *= 2;
      }
    }
    count = hn::IfThenElse(active, unescaped, count);
  }
  hn::StoreU(count, df, out);
}

// Splits a row into vectors; the last is padded with a copy of a real
// point, so it takes no longer than the points it counts.
template <class Arithmetic, bool kCycles, class DF>
HWY_INLINE void CountRowWith(DF df, const PointRow& row, EscapeCount* HWY_RESTRICT counts) {
  const std::size_t N = hn::Lanes(df);
  float* HWY_RESTRICT padded = ThreadStorage<1>(2 * N);
  float* HWY_RESTRICT out = padded + N;
  const std::size_t n = row.xs.size();
  for (std::size_t start = 0; start < n; start += N) {
    const std::size_t m = std::min(N, n - start);
    const float* xs = row.xs.data() + start;
    if (m < N) {
      std::copy_n(xs, m, padded);
      std::fill(padded + m, padded + N, xs[0]);
      xs = padded;
    }
    CountVector<Arithmetic, kCycles>(df, row, xs, out);
    for (std::size_t j = 0; j < m; ++j) counts[start + j] = static_cast<EscapeCount>(out[j]);
  }
}

// Largest |c| for which an orbit that passed a test cannot overflow at the
// next step: |z| <= 2 gives |z*z + c| <= 4 + |c| + rounding, whose square
// stays far below the largest single for |c| <= 2^60.
inline constexpr float kBoundedConstant = 0x1p60F;

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
  if (grid.Kind == FractalKind::Julia) return AllBounded(df, std::span(&grid.P, 1)) && AllBounded(df, std::span(&grid.Q, 1));
  return AllBounded(df, grid.xs) && AllBounded(df, grid.ys);
}

}  // namespace HWY_NAMESPACE
}  // namespace tobrisk
HWY_AFTER_NAMESPACE();

#endif  // include guard toggle
