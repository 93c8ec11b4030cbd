#include "bench/plain_double_kernel.h"

#include <tbb/blocked_range.h>
#include <tbb/parallel_for.h>

#include <stdexcept>

namespace tobrisk {
namespace {

// Eight doubles in one value: one AVX-512 register, two AVX2 ones, and so on.
typedef double Double8 __attribute__((vector_size(64)));
typedef long long Mask8 __attribute__((vector_size(64)));

constexpr int kCheckEvery = 5;  // iterations between the tests for all-escaped vectors
// Vectors iterated side by side, so the processor has independent work
// while each multiplication's result is on its way. Two measured faster
// than one, four, six or eight on AVX-512 (more vectors run on longer
// before all of their lanes have escaped).
constexpr int kVectors = 2;

// The clones let one binary use the widest vectors the processor has. Every
// helper is written out inside: a function taking a vector would be built
// for the plainest processor, outside the clones.
#if defined(__x86_64__) && !defined(__clang__)
__attribute__((target_clones("avx512f", "avx2", "default")))
#endif
void Row(const PlainDoubleView& view, int row, std::uint8_t* out) {
  const double dx = (view.xMax - view.xMin) / view.width;
  const double ci = view.yMin + row * ((view.yMax - view.yMin) / view.height);
  const int bytes = (view.width + 7) / 8;
  for (int first = 0; first < bytes; first += kVectors) {
    Double8 cr[kVectors], zr[kVectors], zi[kVectors], tr[kVectors], ti[kVectors];
    Mask8 inside[kVectors];
#pragma GCC unroll 8
    for (int v = 0; v < kVectors; ++v) {
      for (int k = 0; k < 8; ++k) cr[v][k] = view.xMin + (8 * (first + v) + k) * dx;
      zr[v] = cr[v];
      zi[v] = ci - cr[v] * 0.0;
      tr[v] = zr[v] * zr[v];
      ti[v] = zi[v] * zi[v];
      inside[v] = tr[v] + ti[v] <= 4.0;
    }
    for (int i = 1; i < view.iterations;) {
      for (int j = 0; j < kCheckEvery && i < view.iterations; ++j, ++i) {
#pragma GCC unroll 8
        for (int v = 0; v < kVectors; ++v) {
          zi[v] = (zr[v] + zr[v]) * zi[v] + ci;
          zr[v] = tr[v] - ti[v] + cr[v];
          tr[v] = zr[v] * zr[v];
          ti[v] = zi[v] * zi[v];
        }
      }
      // A lane that escaped stays out: its modulus grows to infinity or NaN,
      // neither of which compares at most 4.
      Mask8 any = {};
#pragma GCC unroll 8
      for (int v = 0; v < kVectors; ++v) {
        inside[v] = tr[v] + ti[v] <= 4.0;
        any |= inside[v];
      }
      long long anyLane = 0;
      for (int k = 0; k < 8; ++k) anyLane |= any[k];
      if (anyLane == 0) break;
    }
    for (int v = 0; v < kVectors && first + v < bytes; ++v) {
      const int byte = first + v;
      std::uint8_t bits = 0;
      for (int k = 0; k < 8; ++k) bits |= static_cast<std::uint8_t>((inside[v][k] & 1) << (7 - k));
      // Pixels past the right edge are padding, always 0.
      if (8 * byte + 8 > view.width) bits &= static_cast<std::uint8_t>(0xFF00U >> (view.width - 8 * byte));
      out[byte] = bits;
    }
  }
}

}  // namespace

std::size_t PlainDoubleBytes(const PlainDoubleView& view) {
  if (view.width <= 0 || view.height <= 0) return 0;
  return static_cast<std::size_t>(view.height) * static_cast<std::size_t>((view.width + 7) / 8);
}

void PlainDoubleBits(const PlainDoubleView& view, std::span<std::uint8_t> bits) {
  if (bits.size() != PlainDoubleBytes(view)) throw std::invalid_argument("a PBM buffer of the wrong size");
  if (bits.empty()) return;
  const auto rowBytes = static_cast<std::size_t>((view.width + 7) / 8);
  tbb::parallel_for(tbb::blocked_range<int>(0, view.height), [&](const tbb::blocked_range<int>& rows) {
    for (int row = rows.begin(); row < rows.end(); ++row) Row(view, row, bits.data() + static_cast<std::size_t>(row) * rowBytes);
  });
}

}  // namespace tobrisk
