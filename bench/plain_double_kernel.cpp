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
// but run on longer before all of their lanes have escaped; the counts are
// the fastest measured for W6. A power of two, so that a group is whole
// bytes of the picture or a whole part of one.
#if HWY_ARCH_X86 && HWY_TARGET <= HWY_AVX3
constexpr int kChains = 2;
#else
constexpr int kChains = 4;
#endif
static_assert(kChains == 1 || kChains == 2 || kChains == 4);

// Bytes of one vector's mask bits at the widest vectors there are, and the
// eight StoreMaskBits may write.
constexpr std::size_t kMaskBytes = (HWY_MAX_BYTES / sizeof(double) + 7) / 8;
constexpr std::size_t kGroupBytes = kChains * kMaskBytes + 8;

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
// yardstick rounds as the plain scalar loop does.
template <class V>
HWY_INLINE void Step(V& zr, V& zi, V& tr, V& ti, V cr, V ci) {
  zi = hn::Add(hn::Mul(hn::Add(zr, zr), zi), ci);
  zr = hn::Add(hn::Sub(tr, ti), cr);
  tr = hn::Mul(zr, zr);
  ti = hn::Mul(zi, zi);
}

// A lane that escaped stays out: its modulus grows to infinity or NaN,
// neither of which compares at most 4.
template <class D, class V>
HWY_INLINE hn::Mask<D> Inside(D d, V tr, V ti) {
  return hn::Le(hn::Add(tr, ti), hn::Set(d, 4.0));
}

// Puts a vector's verdicts at bit `first` of the group, first lane lowest.
template <class D, class M>
HWY_INLINE void PutBits(D d, M inside, std::size_t first, std::uint8_t* HWY_RESTRICT group) {
  if (hn::Lanes(d) >= 8) {
    hn::StoreMaskBits(d, inside, group + first / 8);
    return;
  }
  std::uint8_t bits[8];
  hn::StoreMaskBits(d, inside, bits);
  group[first / 8] |= static_cast<std::uint8_t>(bits[0] << (first % 8));
}

// The verdicts of kChains vectors of pixels from `first` on: every iteration
// up to the limit, unless all lanes have escaped at a check. The vectors are
// named one by one (no arrays of vectors, which scalable vectors forbid);
// chains beyond kChains are compiled away.
template <class D>
HWY_INLINE void Group(D d, const PlainDoubleView& view, double dx, double ciScalar, std::size_t first,
                      std::uint8_t* HWY_RESTRICT group) {
  using V = hn::Vec<D>;
  const std::size_t n = hn::Lanes(d);
  const V ci = hn::Set(d, ciScalar);
  const V cr0 = Points(d, view, dx, first);
  const V cr1 = kChains > 1 ? Points(d, view, dx, first + n) : cr0;
  const V cr2 = kChains > 2 ? Points(d, view, dx, first + 2 * n) : cr0;
  const V cr3 = kChains > 3 ? Points(d, view, dx, first + 3 * n) : cr0;
  V zr0 = cr0, zr1 = cr1, zr2 = cr2, zr3 = cr3;
  V zi0 = ci, zi1 = ci, zi2 = ci, zi3 = ci;
  V tr0 = hn::Mul(zr0, zr0), tr1 = hn::Mul(zr1, zr1), tr2 = hn::Mul(zr2, zr2), tr3 = hn::Mul(zr3, zr3);
  V ti0 = hn::Mul(ci, ci), ti1 = ti0, ti2 = ti0, ti3 = ti0;
  auto in0 = Inside(d, tr0, ti0), in1 = Inside(d, tr1, ti1), in2 = Inside(d, tr2, ti2), in3 = Inside(d, tr3, ti3);
  for (int i = 1; i < view.iterations;) {
    for (int j = 0; j < kCheckEvery && i < view.iterations; ++j, ++i) {
      Step(zr0, zi0, tr0, ti0, cr0, ci);
      if constexpr (kChains > 1) Step(zr1, zi1, tr1, ti1, cr1, ci);
      if constexpr (kChains > 2) Step(zr2, zi2, tr2, ti2, cr2, ci);
      if constexpr (kChains > 3) Step(zr3, zi3, tr3, ti3, cr3, ci);
    }
    in0 = Inside(d, tr0, ti0);
    in1 = Inside(d, tr1, ti1);
    in2 = Inside(d, tr2, ti2);
    in3 = Inside(d, tr3, ti3);
    auto any = in0;
    if constexpr (kChains > 1) any = hn::Or(any, in1);
    if constexpr (kChains > 2) any = hn::Or(any, in2);
    if constexpr (kChains > 3) any = hn::Or(any, in3);
    if (hn::AllFalse(d, any)) break;
  }
  std::memset(group, 0, kGroupBytes);
  PutBits(d, in0, 0, group);
  if constexpr (kChains > 1) PutBits(d, in1, n, group);
  if constexpr (kChains > 2) PutBits(d, in2, 2 * n, group);
  if constexpr (kChains > 3) PutBits(d, in3, 3 * n, group);
}

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
