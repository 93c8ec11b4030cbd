#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

#include "engine/types.h"

namespace tobrisk {

// No kernel returns 0, so a count of 0 marks a pixel whose result only the
// exact scalar kernel can give: it faults there, or an input is not finite.
inline constexpr EscapeCount kExactKernelDecides = 0;

// The first iterate the kernels test: a Mandelbrot orbit's z1 is never tested.
constexpr int FirstTestedIterate(FractalKind kind) { return kind == FractalKind::Mandelbrot ? 2 : 1; }

// Rows of a tile of points whose counts and settling disc are proven
// together: a grid of at least this many rows proves each tile once.
inline constexpr std::size_t kTileRows = 8;

// One row of plane points (xs[i], y) with what the kernel of `Kind` needs; the quantities are named as in DrawParameters.
struct PointRow {
  FractalKind Kind = FractalKind::Mandelbrot;
  std::span<const float> xs;
  float y = 0.0F;
  std::int16_t MaxIter = 0;
  float P = 0.0F;
  float Q = 0.0F;
};

// A grid of plane points: xs by ys, row-major.
struct PointGrid {
  FractalKind Kind = FractalKind::Mandelbrot;
  std::span<const float> xs;
  std::span<const float> ys;
  std::int16_t MaxIter = 0;
  float P = 0.0F;
  float Q = 0.0F;
};

// Whether the kernels stop orbits that provably never escape (their state
// repeats, or they enter a disc they cannot leave). Off only to measure what it saves.
enum class CycleDetection : std::uint8_t { Off, On };

// Escape counts for a row, counts.size() == row.xs.size(). Each count is the
// one IterateM or IterateJ returns for that point, or kExactKernelDecides
// where the exact kernel would raise (or an input is not finite). Runs the
// widest vector instructions this processor has; thread-safe.
void CountRow(const PointRow& row, std::span<EscapeCount> counts, CycleDetection cycles = CycleDetection::On);

// The same for a grid, counts row-major (counts.size() == xs.size() * ys.size()).
// Slow orbits hold up only their own lane, so whole bands of rows count
// faster this way than row by row.
void CountGrid(const PointGrid& grid, std::span<EscapeCount> counts, CycleDetection cycles = CycleDetection::On);

// Points counted MaxIter + 1 that the vector kernels ended before reaching
// MaxIter (in a settling disc, or repeating a state), summed over every
// thread since the last reset: how much of the set the early decisions
// spare. The kernels add to it once per grid.
[[nodiscard]] std::uint64_t InteriorDecidedEarly();
void ResetInteriorDecidedEarly();
void NoteInteriorDecidedEarly(std::uint64_t points);

}  // namespace tobrisk
