#include <cmath>
#include <cstdint>
#include <limits>
#include <optional>
#include <random>
#include <string>
#include <vector>

#include <gtest/gtest.h>
#include <hwy/targets.h>

#include "engine/fast_kernels.h"
#include "engine/kernels.h"
#include "engine/run_time_error.h"
#include "tests/fast/instruction_sets.h"

namespace tobrisk {
namespace {

constexpr float kInf = std::numeric_limits<float>::infinity();
constexpr float kNaN = std::numeric_limits<float>::quiet_NaN();
constexpr auto M = FractalKind::Mandelbrot;
constexpr auto J = FractalKind::Julia;

// The reference's verdict on one point: a count, or the fact that it raises.
std::optional<EscapeCount> Reference(FractalKind kind, float x, float y, std::int16_t maxIter, float p, float q) {
  try {
    return kind == M ? IterateM(x, y, maxIter) : IterateJ(x, y, maxIter, p, q);
  } catch (const RunTimeError&) {
    return std::nullopt;
  }
}

bool AllFinite(std::initializer_list<float> values) {
  for (const float v : values) {
    if (!std::isfinite(v)) return false;
  }
  return true;
}

// Counts a row with the fast kernel and checks each point against the reference:
// the same count, and the "exact kernel decides" mark exactly where the
// reference raises (or, for non-finite inputs, wherever the fast kernel chooses).
void ExpectSameAsReference(FractalKind kind, const std::vector<float>& xs, float y, std::int16_t maxIter, float p,
                           float q, const std::string& what) {
  for (const CycleDetection cycles : {CycleDetection::On, CycleDetection::Off}) {
    std::vector<EscapeCount> counts(xs.size(), -1);
    CountRow(PointRow{kind, xs, y, maxIter, p, q}, counts, cycles);
    CountComparisons(xs.size());
    for (std::size_t i = 0; i < xs.size(); ++i) {
      const std::optional<EscapeCount> expected = Reference(kind, xs[i], y, maxIter, p, q);
      const bool finite = AllFinite({xs[i], y, p, q});
      const std::string where = what + " at (" + std::to_string(xs[i]) + ", " + std::to_string(y) +
                                ") MaxIter " + std::to_string(maxIter) +
                                (cycles == CycleDetection::On ? "" : " without cycle detection");
      if (counts[i] == kExactKernelDecides) {
        EXPECT_TRUE(!expected || !finite) << where << ": marked for the exact kernel, which returns " << *expected;
      } else {
        ASSERT_TRUE(expected.has_value()) << where << ": the reference raises, the fast kernel counted " << counts[i];
        EXPECT_EQ(counts[i], *expected) << where;
      }
    }
  }
}

struct RowCase {
  const char* name;
  FractalKind kind;
  std::vector<float> xs;
  float y;
  std::int16_t maxIter;
  float p = 0.0F, q = 0.0F;
};

std::vector<RowCase> EdgeRows() {
  const std::vector<float> line{-2.5F, -2.0F, -1.75F, -0.75F, -0.5F, 0.0F, 0.25F, 0.26F, 0.3F, 1.0F, 2.0F};
  std::vector<RowCase> rows{
      {"real axis", M, line, 0.0F, 100},
      {"real axis, MaxIter 2", M, line, 0.0F, 2},
      {"real axis, MaxIter 1", M, line, 0.0F, 1},
      {"real axis, MaxIter 0", M, line, 0.0F, 0},
      {"real axis, negative MaxIter", M, line, 0.0F, -32768},
      {"inside at 32766", M, {0.0F, -0.1F, 0.2F, -1.0F, -1.3F}, 0.0F, 32766},
      {"inside at 32767: the counter overflows", M, {0.0F, -0.1F, 0.2F, -1.0F, 5.0F}, 0.1F, 32767},
      {"slow escape just past the cusp", M, {0.2501F, 0.2502F, 0.251F, 0.26F}, 0.0F, 32766},
      {"Julia row", J, line, 0.1F, 100, 0.3F, 0.6F},
      {"Julia tip stays at 2", J, {-2.0F, 2.0F}, 0.0F, 100, -2.0F, 0.0F},
      {"Julia MaxIter 0", J, line, 0.0F, 0, 0.3F, 0.6F},
      {"Julia inside at 32767", J, {0.0F, 0.1F}, 0.0F, 32767, -0.1F, 0.1F},
      // Stores that overflow: before the first test, at the first test, later.
      {"huge points overflow in z1", M, {1e19F, -1e19F, 3e19F, 1.8e19F, 1.9e19F, 1e30F, 3e38F}, 0.0F, 100},
      {"huge points overflow even when nothing is tested", M, {1e19F, 1e20F, 0.0F}, 1e20F, 0},
      {"points whose squares overflow", M, {1.3e19F, 1.35e19F, 1.0e10F, 4e9F}, 1.3e19F, 100},
      {"squared modulus beyond the single range", J, {1.3e19F, 1.0e19F, 1.3042e19F}, 1.3e19F, 100, 0.0F, 0.0F},
      {"Julia start whose square overflows", J, {2e19F, -2e19F, 1.0F}, 0.0F, 0, 0.3F, 0.6F},
      {"large constant overflows after a passed test", J, {0.0F, 1.0F}, 0.0F, 100, 3e38F, 0.0F},
      {"subnormal points", M, {1e-45F, -1e-40F, 1e-38F, 0.0F, -0.0F}, 1e-45F, 1000},
      // Non-finite inputs: the exact kernel decides.
      {"infinite points", M, {kInf, -kInf, kNaN, 0.0F}, 0.0F, 100},
      {"infinite row", M, {0.0F, 1.0F}, kInf, 100},
      {"infinite Julia start", J, {kInf, -kInf, kNaN, 0.5F}, 0.0F, 100, 0.3F, 0.6F},
      {"infinite Julia constant", J, line, 0.0F, 100, kInf, 0.6F},
      {"NaN Julia constant", J, line, 0.0F, 100, 0.3F, kNaN},
  };
  // Points of the main cardioid c = mu/2 - mu^2/4 whose fixed point has the
  // multiplier |mu|: just inside, orbits settle slowly into a disc around it
  // (the kernels stop them there); on and just outside they do not. Each
  // point is a row of its own, as it has its own y.
  for (const float modulus : {0.9F, 0.99F, 0.995F, 0.999F, 1.0F, 1.001F, 1.01F, 1.05F, 1.2F}) {
    for (int i = 0; i < 8; ++i) {
      const double t = 0.05 + 0.39 * i;
      const double mx = modulus * std::cos(t), my = modulus * std::sin(t);
      const auto x = static_cast<float>(mx / 2 - (mx * mx - my * my) / 4);
      const auto y = static_cast<float>(my / 2 - mx * my / 2);
      rows.push_back({"cardioid edge", M, {x}, y, 3000});
      rows.push_back({"Julia set of a point at the cardioid edge", J, {0.0F, 0.1F, -0.2F}, 0.05F, 3000, x, y});
      // The period-2 bulb c = -1 + lambda/4, whose 2-cycle has the multiplier lambda.
      const auto bx = static_cast<float>(-1.0 + modulus * std::cos(t) / 4);
      const auto by = static_cast<float>(modulus * std::sin(t) / 4);
      rows.push_back({"bulb edge", M, {bx}, by, 3000});
      rows.push_back({"Julia set of a point at the bulb edge", J, {0.0F, 0.1F, -0.2F}, 0.05F, 3000, bx, by});
    }
  }
  // Random points inside the cardioid and the bulb, where orbits are ended
  // early by their discs, at the largest limits: MaxIter + 1 at 32766, the
  // counter's overflow at 32767. The reference iterates every one in full.
  std::mt19937 random(1207);
  std::uniform_real_distribution<double> unit(0.0, 1.0);
  for (const std::int16_t limit : {std::int16_t{32766}, std::int16_t{32767}}) {
    for (int i = 0; i < 12; ++i) {
      const double radius = std::sqrt(unit(random)), angle = 6.283185307179586 * unit(random);
      const double mx = radius * std::cos(angle), my = radius * std::sin(angle);
      rows.push_back({"random point in the cardioid", M, {static_cast<float>(mx / 2 - (mx * mx - my * my) / 4)},
                      static_cast<float>(my / 2 - mx * my / 2), limit});
      rows.push_back({"random point in the bulb", M, {static_cast<float>(-1.0 + mx / 4)}, static_cast<float>(my / 4),
                      limit});
    }
  }
  // Rows of every length around the blocks of every vector width (up to
  // 2048-bit SVE: 128 points), so the padded tail is exercised.
  for (int n : {1, 7, 8, 9, 31, 33, 63, 65, 127, 128, 129, 257}) {
    std::vector<float> xs;
    for (int i = 0; i < n; ++i) xs.push_back(-2.0F + 2.5F * static_cast<float>(i) / static_cast<float>(n));
    rows.push_back({"row length", M, xs, 0.3F, 200});
  }
  return rows;
}

class FastKernels : public ForEachInstructionSet {};

TEST_P(FastKernels, EdgeRowsMatchTheReference) {
  for (const RowCase& row : EdgeRows()) {
    ExpectSameAsReference(row.kind, row.xs, row.y, row.maxIter, row.p, row.q, row.name);
  }
}

// Random points near the boundary of the Mandelbrot set and of a few Julia
// sets, where counts are long and vary from pixel to pixel, and at huge
// magnitudes, where the stores overflow.
TEST_P(FastKernels, RandomPointsMatchTheReference) {
  std::mt19937 random(20261207);
  std::uniform_real_distribution<float> unit(-1.0F, 1.0F);
  const std::vector<std::int16_t> limits{1, 2, 3, 50, 1000, 5000};
  for (int trial = 0; trial < 60; ++trial) {
    const FractalKind kind = trial % 3 == 0 ? J : M;
    // Points on a circle that crosses the boundary, jittered at a random scale.
    const float angle = 3.14159265F * unit(random);
    const float radius = kind == M ? 0.25F + 0.5F * std::abs(unit(random)) : 0.4F + 0.8F * std::abs(unit(random));
    const float cx = (kind == M ? -0.5F : 0.0F) + radius * std::cos(angle);
    const float cy = radius * std::sin(angle);
    const float scale = std::ldexp(1.0F, -static_cast<int>(24.0F * std::abs(unit(random))));
    std::vector<float> xs;
    for (int i = 0; i < 48; ++i) xs.push_back(cx + scale * unit(random));
    const std::int16_t maxIter = limits[static_cast<std::size_t>(trial) % limits.size()];
    const float p = 0.8F * unit(random);
    const float q = 0.8F * unit(random);
    ExpectSameAsReference(kind, xs, cy + scale * unit(random), maxIter, p, q, "near the boundary");
  }
  for (int trial = 0; trial < 20; ++trial) {
    std::vector<float> xs;
    for (int i = 0; i < 40; ++i) xs.push_back(std::ldexp(unit(random), 40 + static_cast<int>(random() % 90)));
    const float y = std::ldexp(unit(random), static_cast<int>(random() % 130));
    ExpectSameAsReference(trial % 2 == 0 ? M : J, xs, y, 100, std::ldexp(unit(random), static_cast<int>(random() % 128)),
                          unit(random), "at huge magnitudes");
  }
}

// A grid streams points across row ends; every point must still get its own count.
TEST_P(FastKernels, GridsMatchTheReference) {
  struct GridCase {
    const char* name;
    FractalKind kind;
    float x0, y0, step;
    std::int16_t maxIter;
    float p, q;
  };
  for (const GridCase& g : {GridCase{"seahorse valley", M, -0.7475F, 0.1F, 0.0001F, 3000, 0, 0},
                            GridCase{"whole set", M, -2.5F, -1.5F, 0.09F, 300, 0, 0},
                            GridCase{"dendrite Julia", J, -1.5F, -1.0F, 0.07F, 2000, -0.8F, 0.156F},
                            GridCase{"limit 2", M, -2.5F, -1.5F, 0.09F, 2, 0, 0},
                            GridCase{"inside at 32767", M, -0.3F, -0.2F, 0.01F, 32767, 0, 0},
                            GridCase{"tiles deep in the cardioid share a disc", M, -0.3F, 0.1F, 0.001F, 1000, 0, 0},
                            GridCase{"tiles deep in the bulb share a disc", M, -1.05F, -0.02F, 0.001F, 1000, 0, 0},
                            GridCase{"points past the cusp share a tile with points inside", M, 0.2F, -0.009F,
                                     0.003F, 1000, 0, 0},
                            GridCase{"a tile across the bulb's edge", M, -1.3F, -0.05F, 0.004F, 1000, 0, 0},
                            GridCase{"a limit that ends a round early", M, -1.5F, -1.0F, 0.045F, 50, 0, 0},
                            GridCase{"a period-3 bulb, its cycles found by the stride", M, -0.165F, 0.72F, 0.002F,
                                     1000, 0, 0},
                            // A step of 0: tiles of one point, whose balls hold nothing but the roundings.
                            GridCase{"one point that escapes at 54, at 53 unrounded", M, -0.749436557F, 0.100231037F,
                                     0.0F, 64, 0, 0},
                            GridCase{"one point that escapes at 40, at 41 unrounded", M, -0.747465312F, 0.108789913F,
                                     0.0F, 64, 0, 0}}) {
    std::vector<float> xs(45);
    std::vector<float> ys(7);
    for (std::size_t i = 0; i < xs.size(); ++i) xs[i] = g.x0 + g.step * static_cast<float>(i);
    for (std::size_t i = 0; i < ys.size(); ++i) ys[i] = g.y0 + g.step * static_cast<float>(3 * i);
    std::vector<EscapeCount> counts(xs.size() * ys.size(), -1);
    CountGrid(PointGrid{g.kind, xs, ys, g.maxIter, g.p, g.q}, counts);
    CountComparisons(counts.size());
    for (std::size_t row = 0; row < ys.size(); ++row) {
      for (std::size_t col = 0; col < xs.size(); ++col) {
        const std::optional<EscapeCount> expected = Reference(g.kind, xs[col], ys[row], g.maxIter, g.p, g.q);
        EXPECT_EQ(counts[row * xs.size() + col], expected.value_or(kExactKernelDecides))
            << g.name << " at column " << col << ", row " << row;
      }
    }
  }
}

// The benchmarks' share of interior points decided early rests on this count.
TEST_P(FastKernels, InteriorPointsDecidedEarlyAreCounted) {
  struct EarlyCase {
    const char* name;
    std::vector<float> xs;
    float y;
    std::int16_t maxIter;
    CycleDetection cycles;
    std::uint64_t expected;
  };
  const std::vector<float> deepInside{-0.1F, 0.0F, 0.1F, -0.2F, -1.0F, -1.05F, -0.95F};  // cardioid and bulb
  const std::vector<float> outside{0.5F, 1.0F, -2.5F};
  for (const EarlyCase& c : std::vector<EarlyCase>{
           {"deep inside the cardioid and the bulb", deepInside, 0.0F, 1000, CycleDetection::On, 7},
           {"the same points at 32767, marked for the exact kernel", deepInside, 0.0F, 32767, CycleDetection::On, 7},
           {"points that escape", outside, 0.0F, 1000, CycleDetection::On, 0},
           {"inside, but the limit ends the orbits first", deepInside, 0.0F, 2, CycleDetection::On, 0},
           {"without cycle detection nothing ends early", deepInside, 0.0F, 1000, CycleDetection::Off, 0},
       }) {
    std::vector<EscapeCount> counts(c.xs.size());
    ResetInteriorDecidedEarly();
    CountRow(PointRow{M, c.xs, c.y, c.maxIter, 0.0F, 0.0F}, counts, c.cycles);
    EXPECT_EQ(InteriorDecidedEarly(), c.expected) << c.name;
  }
}

INSTANTIATE_TEST_SUITE_P(Targets, FastKernels, testing::ValuesIn(InstructionSets()), InstructionSetName);

TEST(FastKernelsRow, RejectsMismatchedSpans) {
  const std::vector<float> xs{0.0F, 1.0F};
  std::vector<EscapeCount> counts(1);
  EXPECT_THROW(CountRow(PointRow{M, xs, 0.0F, 10, 0.0F, 0.0F}, counts), std::invalid_argument);
}

}  // namespace
}  // namespace tobrisk
