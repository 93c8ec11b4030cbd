// SPDX-License-Identifier: MIT
// Compiled once per instruction set that Highway supports here; the best one
// the processor has is chosen at the first call, so the yardstick runs at the
// full width of every machine (generic 64-byte vectors split badly on AVX2).
#undef HWY_TARGET_INCLUDE
#define HWY_TARGET_INCLUDE "bench/plain_double_kernel.cpp"
#include "hwy/foreach_target.h"  // IWYU pragma: keep

#include <tbb/blocked_range.h>
#include <tbb/parallel_for.h>

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <stdexcept>

#include "bench/plain_double_kernel.h"
#include "hwy/highway.h"

HWY_BEFORE_NAMESPACE();
namespace tobrisk {
namespace HWY_NAMESPACE {
namespace {

namespace hn = hwy::HWY_NAMESPACE;
using PlainTag = hn::ScalableTag<double>;

constexpr int kCheckEvery = 5;  // iterations between the tests for all-escaped groups

// Vectors iterated side by side, so the processor has independent work while
// each multiplication's result is on its way. More vectors hide more latency
// but run on longer before all of their lanes have escaped: on W6, six
// measured fastest with AVX-512 and AVX2 (ahead of four and eight); four
// elsewhere, so that vectors of any even number of lanes make whole bytes.
#if HWY_ARCH_X86 && HWY_TARGET <= HWY_AVX2
constexpr int kChains = 6;
#else
constexpr int kChains = 4;
#endif
static_assert(kChains >= 1 && kChains <= 8);
// A group is whole bytes of the picture or a whole part of one.
#if HWY_HAVE_SCALABLE
static_assert(kChains % 4 == 0, "scalable vectors have any even number of lanes");
#else
static_assert((kChains * HWY_MAX_BYTES / 8) % 8 == 0 || 8 % (kChains * HWY_MAX_BYTES / 8) == 0);
#endif

// Bytes of one vector's mask bits at the widest vectors there are; a group
// has room for one more, as a vector's bits may start mid-byte.
constexpr std::size_t kMaskBytes = (HWY_MAX_BYTES / sizeof(double) + 7) / 8;
constexpr std::size_t kGroupBytes = kChains * kMaskBytes + 1;

// Mask bits come first lane in the low bit; the picture wants it in the high bit.
constexpr std::array<std::uint8_t, 256> kReversed = [] {
  std::array<std::uint8_t, 256> table{};
  for (int b = 0; b < 256; ++b) {
    for (int k = 0; k < 8; ++k) table[b] |= static_cast<std::uint8_t>(((b >> k) & 1) << (7 - k));
  }
  return table;
}();

// The points of one vector: pixels first, first + 1, ... of the row.
template <class D>
HWY_INLINE hn::Vec<D> Points(D d, const PlainDoubleView& view, double dx, std::size_t first) {
  const auto col = hn::Add(hn::Set(d, static_cast<double>(first)), hn::Iota(d, 0.0));
  return hn::Add(hn::Set(d, view.xMin), hn::Mul(col, hn::Set(d, dx)));
}

// One iteration of one vector. Separate multiplications and additions: the
// yardstick rounds as the plain scalar loop does. The squares are formed
// afresh from z rather than carried, the same values in fewer registers: six
// chains of four vectors spilled on AVX2's sixteen registers.
template <class V>
HWY_INLINE void Step(V& zr, V& zi, V cr, V ci) {
  const V tr = hn::Mul(zr, zr), ti = hn::Mul(zi, zi);
  zi = hn::Add(hn::Mul(hn::Add(zr, zr), zi), ci);
  zr = hn::Add(hn::Sub(tr, ti), cr);
}

// |z|^2 <= 4, from the same squares as the step. A lane that escaped stays
// out: its modulus grows to infinity or NaN, neither of which compares at
// most 4.
template <class D, class V>
HWY_INLINE hn::Mask<D> Inside(D d, V zr, V zi) {
  return hn::Le(hn::Add(hn::Mul(zr, zr), hn::Mul(zi, zi)), hn::Set(d, 4.0));
}

// Puts a vector's verdicts at bit `first` of the group, first lane lowest;
// any lane count at any bit, as a vector may be less than a byte.
template <class D, class M>
HWY_INLINE void PutBits(D d, M inside, std::size_t first, std::uint8_t* HWY_RESTRICT group) {
  std::uint8_t bits[kMaskBytes + 8];
  // Never more than kMaskBytes; the bound is spelt out for the compiler.
  const std::size_t bytes = std::min(hn::StoreMaskBits(d, inside, bits), kMaskBytes);
  const std::size_t lanesInLast = hn::Lanes(d) % 8;
  if (lanesInLast != 0) bits[bytes - 1] &= static_cast<std::uint8_t>((1U << lanesInLast) - 1);
  const std::size_t shift = first % 8;
  for (std::size_t b = 0; b < bytes; ++b) {
    const unsigned shifted = static_cast<unsigned>(bits[b]) << shift;
    group[first / 8 + b] |= static_cast<std::uint8_t>(shifted);
    group[first / 8 + b + 1] |= static_cast<std::uint8_t>(shifted >> 8);
  }
}

// The verdicts of kChains vectors of pixels from `first` on: every iteration
// up to the limit, unless all lanes have escaped at a check. The vectors are
// named one by one, as scalable vectors allow no arrays of them; the chains
// past kChains are compiled away.
#define TOBRISK_EACH_CHAIN(X) X(0) X(1) X(2) X(3) X(4) X(5) X(6) X(7)
#define TOBRISK_START(c)                            \
  const V cr##c = Points(d, view, dx, first + (c)*n); \
  V zr##c = cr##c, zi##c = ci;                        \
  auto in##c = Inside(d, zr##c, zi##c);
#define TOBRISK_STEP(c) \
  if constexpr ((c) < kChains) Step(zr##c, zi##c, cr##c, ci);
#define TOBRISK_CHECK(c)                        \
  if constexpr ((c) > 0 && (c) < kChains) {     \
    in##c = Inside(d, zr##c, zi##c);            \
    any = hn::Or(any, in##c);                   \
  }
#define TOBRISK_PUT(c) \
  if constexpr ((c) < kChains) PutBits(d, in##c, (c) * n, group);

template <class D>
HWY_INLINE void Group(D d, const PlainDoubleView& view, double dx, double ciScalar, std::size_t first,
                      std::uint8_t* HWY_RESTRICT group) {
  using V = hn::Vec<D>;
  const std::size_t n = hn::Lanes(d);
  const V ci = hn::Set(d, ciScalar);
  TOBRISK_EACH_CHAIN(TOBRISK_START)
  for (int i = 1; i < view.iterations;) {
    for (int j = 0; j < kCheckEvery && i < view.iterations; ++j, ++i) {
      TOBRISK_EACH_CHAIN(TOBRISK_STEP)
    }
    auto any = in0 = Inside(d, zr0, zi0);
    TOBRISK_EACH_CHAIN(TOBRISK_CHECK)
    if (hn::AllFalse(d, any)) break;
  }
  std::memset(group, 0, kGroupBytes);
  TOBRISK_EACH_CHAIN(TOBRISK_PUT)
}

#undef TOBRISK_PUT
#undef TOBRISK_CHECK
#undef TOBRISK_STEP
#undef TOBRISK_START
#undef TOBRISK_EACH_CHAIN

}  // namespace

void PlainDoubleRows(const PlainDoubleView& view, int rowBegin, int rowEnd, std::uint8_t* HWY_RESTRICT bits) {
  const PlainTag d;
  const double dx = (view.xMax - view.xMin) / view.width;
  const std::size_t width = static_cast<std::size_t>(view.width);
  const std::size_t rowBytes = (width + 7) / 8;
  const std::size_t groupPixels = kChains * hn::Lanes(d);
  for (int row = rowBegin; row < rowEnd; ++row) {
    const double ci = view.yMin + row * ((view.yMax - view.yMin) / view.height);
    std::uint8_t* HWY_RESTRICT out = bits + static_cast<std::size_t>(row) * rowBytes;
    for (std::size_t first = 0; first < width; first += groupPixels) {
      std::uint8_t group[kGroupBytes];
      Group(d, view, dx, ci, first, group);
      const std::size_t firstByte = first / 8;
      if (groupPixels >= 8) {
        const std::size_t bytes = std::min(groupPixels / 8, rowBytes - firstByte);
        for (std::size_t b = 0; b < bytes; ++b) out[firstByte + b] = kReversed[group[b]];
      } else {  // single lanes: a group is part of a byte
        const auto part = static_cast<std::uint8_t>(kReversed[group[0]] >> (first % 8));
        out[firstByte] = first % 8 == 0 ? part : static_cast<std::uint8_t>(out[firstByte] | part);
      }
    }
    // Pixels past the right edge are padding, always 0.
    const int lastBits = view.width - 8 * static_cast<int>(rowBytes - 1);
    out[rowBytes - 1] &= static_cast<std::uint8_t>(0xFF00U >> lastBits);
  }
}

}  // namespace HWY_NAMESPACE
}  // namespace tobrisk
HWY_AFTER_NAMESPACE();

#if HWY_ONCE
namespace tobrisk {

HWY_EXPORT(PlainDoubleRows);

std::size_t PlainDoubleBytes(const PlainDoubleView& view) {
  if (view.width <= 0 || view.height <= 0) return 0;
  return static_cast<std::size_t>(view.height) * static_cast<std::size_t>((view.width + 7) / 8);
}

void PlainDoubleBits(const PlainDoubleView& view, std::span<std::uint8_t> bits) {
  if (bits.size() != PlainDoubleBytes(view)) throw std::invalid_argument("a PBM buffer of the wrong size");
  if (bits.empty()) return;
  tbb::parallel_for(tbb::blocked_range<int>(0, view.height), [&](const tbb::blocked_range<int>& rows) {
    HWY_DYNAMIC_DISPATCH(PlainDoubleRows)(view, rows.begin(), rows.end(), bits.data());
  });
}

}  // namespace tobrisk
#endif
