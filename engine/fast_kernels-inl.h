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
#include <cstddef>
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

}  // namespace HWY_NAMESPACE
}  // namespace tobrisk
HWY_AFTER_NAMESPACE();

#endif  // include guard toggle
