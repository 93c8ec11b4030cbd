// SPDX-License-Identifier: MIT
// Property tests of the bounds the tile proofs and settling discs rest on,
// tried directly on the baseline instruction set: the bounds are computed in
// IEEE double and single, which every instruction set rounds alike (the
// views of fast_pass_test try the compiled paths end to end).
#include <cmath>
#include <cstdint>
#include <limits>
#include <optional>
#include <random>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "engine/kernels.h"
#include "engine/run_time_error.h"
#include "hwy/highway.h"
// The toggling guards include these once for the static target when no
// foreach_target.h drives them.
#include "engine/settling_discs-inl.h"
#include "engine/tile_balls-inl.h"

// The bounds one value at a time, compiled for the static target (with its
// attributes, which the vector functions need wherever they are inlined).
HWY_BEFORE_NAMESPACE();
namespace tobrisk {
namespace HWY_NAMESPACE {
namespace {

namespace hn = hwy::HWY_NAMESPACE;
using DD = hn::ScalableTag<double>;
using DF = hn::Rebind<float, DD>;

HWY_NOINLINE double UpperModulus(double x, double y) {
  const DD dd;
  return hn::GetLane(ModulusBound(DF(), hn::Set(dd, x), hn::Set(dd, y)));
}

HWY_NOINLINE double LowerModulus(double upper) { return hn::GetLane(ModulusLowerBound(hn::Set(DD(), upper))); }

HWY_NOINLINE float SettlingDiscRadius2(float cx, float cy) {
  const DD dd;
  const DF df;
  hn::Vec<DF> centreX, centreY, radius2;
  FindSettlingDisc(df, hn::Set(dd, double{cx}), hn::Set(dd, double{cy}), hn::Zero(dd), centreX, centreY, radius2);
  return hn::GetLane(radius2);
}

HWY_NOINLINE double ProvenTileCount(bool mandelbrot, double cx, double cy, double zx, double zy, double spread,
                                    const BallCounts& counts) {
  const DD dd;
  const DF df;
  return hn::GetLane(ProveTileCounts(df, mandelbrot, hn::Set(dd, cx), hn::Set(dd, cy), hn::Set(dd, zx),
                                     hn::Set(dd, zy), hn::Set(dd, spread), hn::Zero(df), hn::Zero(df),
                                     hn::Set(df, -1.0F), counts));
}

}  // namespace
}  // namespace HWY_NAMESPACE
}  // namespace tobrisk
HWY_AFTER_NAMESPACE();

namespace tobrisk {
namespace {

using HWY_NAMESPACE::BallCounts;
using HWY_NAMESPACE::LowerModulus;
using HWY_NAMESPACE::ProvenTileCount;
using HWY_NAMESPACE::SettlingDiscRadius2;
using HWY_NAMESPACE::UpperModulus;

constexpr double kInfD = std::numeric_limits<double>::infinity();
constexpr double kNaND = std::numeric_limits<double>::quiet_NaN();

// |(x, y)| in long double: within far less than the bounds' slack of 2^-19.
long double ExactModulus(double x, double y) {
  const long double lx = x, ly = y;
  return std::sqrt(lx * lx + ly * ly);
}

struct ModulusCase {
  const char* name;
  double x, y;
};

std::vector<ModulusCase> ModulusCases() {
  std::vector<ModulusCase> cases{
      {"zero", 0.0, 0.0},
      {"3 and 4", 3.0, -4.0},
      {"one axis", 0.0, 1.9},
      {"just below 2 by 2^-30", 2.0 - 0x1p-30, 0x1p-40},
      {"sum of squares subnormal in single", 0x1p-70, 0x1p-71},
      {"sum of squares just normal in single", 0x1p-63, 0.0},
      {"sum of squares below every single", 0x1p-80, -0x1p-90},
      {"squares subnormal in double", 4.9e-324, 1e-300},
      {"sum of squares near the largest single", 1.8e19, 1e18},
      {"sum of squares past the largest single", 2e19, 0.0},
      {"squares overflow in double", 1e300, -1e300},
      {"a large and a tiny part", 1e15, 1e-15},
  };
  std::mt19937_64 random(21);
  std::uniform_real_distribution<double> mantissa(1.0, 2.0);
  std::uniform_int_distribution<int> exponent(-90, 70);
  for (int i = 0; i < 4000; ++i) {
    const double x = std::ldexp(mantissa(random), exponent(random)) * (i % 2 == 0 ? 1 : -1);
    const double y = i % 3 == 0 ? x * mantissa(random) : std::ldexp(mantissa(random), exponent(random));
    cases.push_back({"random", x, y});
  }
  return cases;
}

// ModulusBound bounds |m| from above and ModulusLowerBound, from it, from
// below: the ball tests of escape rest on the second.
TEST(ProofBounds, ModulusBoundsEncloseTheModulus) {
  int finite = 0;
  for (const ModulusCase& c : ModulusCases()) {
    const double upper = UpperModulus(c.x, c.y);
    const double lower = LowerModulus(upper);
    const long double exact = ExactModulus(c.x, c.y);
    const std::string what = std::string(c.name) + " (" + std::to_string(c.x) + ", " + std::to_string(c.y) + ")";
    if (std::isinf(upper)) {
      EXPECT_GT(exact, 1.8e19L) << what << ": only sums past the single range give an infinite bound";
      EXPECT_TRUE(std::isinf(lower)) << what;
      continue;
    }
    ++finite;
    EXPECT_GE(static_cast<long double>(upper), exact) << what;
    EXPECT_LE(static_cast<long double>(lower), exact) << what;
    // Not so loose as to prove nothing: within 2^-17 (and 2^-58) of exact.
    EXPECT_LE(static_cast<long double>(upper) - static_cast<long double>(lower), exact * 0x1p-17L + 0x1p-58L) << what;
  }
  EXPECT_GT(finite, 3000);
}

// Where the bound is a NaN, so is the lower one: every comparison fails.
TEST(ProofBounds, ModulusBoundsOfNaNAreNaN) {
  const double upper = UpperModulus(kNaND, 1.0);
  EXPECT_TRUE(std::isnan(upper));
  EXPECT_TRUE(std::isnan(LowerModulus(upper)));
  EXPECT_TRUE(std::isinf(LowerModulus(kInfD)));
}

// The test of a state against a settling disc, made in single, is sound
// only for radii of 2^-18 or more: no disc smaller than that is kept, even
// for constants next to the edges of the cardioid and the bulb, where the
// invariant discs shrink to nothing.
TEST(ProofBounds, SettlingDiscsAreNeverTooSmallForTheTestInSingle) {
  std::mt19937 random(21);
  std::uniform_real_distribution<double> angle(-3.14159265358979, 3.14159265358979);
  int discs = 0, tried = 0;
  for (const bool bulb : {false, true}) {
    for (int k = 1; k <= 40; ++k) {
      for (int i = 0; i < 50; ++i, ++tried) {
        // A constant a factor 1 - 2^-k inside the edge, rounded to single.
        const double t = angle(random);
        const double inside = 1.0 - std::ldexp(1.0, -k);
        double cx = 0, cy = 0;
        if (bulb) {
          cx = -1.0 + 0.25 * inside * std::cos(t);
          cy = 0.25 * inside * std::sin(t);
        } else {
          const double rx = 0.5 * inside * std::cos(t), ry = 0.5 * inside * std::sin(t);  // a = (1 - e^{it} inside) / 2 ...
          cx = rx - (rx * rx - ry * ry);  // ... c = a - a^2 with a = rx + i ry
          cy = ry - 2 * rx * ry;
        }
        const auto x = static_cast<float>(cx), y = static_cast<float>(cy);
        const float r2 = SettlingDiscRadius2(x, y);
        if (r2 < 0.0F) continue;
        ++discs;
        EXPECT_GE(r2, 0x1p-36F) << (bulb ? "bulb" : "cardioid") << " c = (" << x << ", " << y << "), 1 - 2^-" << k;
      }
    }
  }
  EXPECT_GT(discs, tried / 8);  // the constants well inside get one
}

struct TileCase {
  const char* name;
  FractalKind kind;
  float x, y;      // the tile's middle point
  float step;      // between its points, 5 by 5 around the middle
  std::int16_t maxIter;
  float P, Q;
};

// Random tiles, from the set's inside to far outside it, and tiles whose
// orbits grow huge before their first test (Mandelbrot's z1 is not tested).
std::vector<TileCase> TileCases() {
  constexpr auto M = FractalKind::Mandelbrot;
  constexpr auto J = FractalKind::Julia;
  std::vector<TileCase> cases{
      {"far outside: z1 huge, z2 past every single", M, 3e9F, 1e9F, 1e6F, 100, 0, 0},
      {"outside: z1 near 1e14, z2 near 1e28", M, 1e7F, -2e6F, 0.5F, 100, 0, 0},
      {"outside: z1 near 4e15, z2 near 1e31", M, -6e7F, 0.0F, 1.0F, 100, 0, 0},
      {"Julia start near 1e15", J, 1e15F, 1e14F, 1e8F, 100, 0.3F, 0.6F},
      {"Julia start whose squares overflow", J, 2e19F, 0.0F, 1e12F, 100, 0.3F, 0.6F},
      {"just outside radius 2", M, 2.1F, 0.0F, 1e-4F, 50, 0, 0},
      {"the whole set's corner", M, -2.5F, -1.5F, 0.01F, 100, 0, 0},
      {"deep in the cardioid", M, -0.1F, 0.1F, 1e-3F, 1000, 0, 0},
      {"seahorse valley", M, -0.7435F, 0.1314F, 1e-6F, 5000, 0, 0},
      {"Julia outside", J, 1.2F, -0.9F, 1e-3F, 200, -0.8F, 0.156F},
  };
  std::mt19937 random(2121);
  std::uniform_real_distribution<float> unit(-1.0F, 1.0F);
  for (int i = 0; i < 3000; ++i) {
    const bool julia = i % 3 == 0;
    const float scale = std::ldexp(1.0F, -static_cast<int>(random() % 24));
    cases.push_back({"random", julia ? J : M, 2.2F * unit(random) - (julia ? 0.0F : 0.5F), 1.6F * unit(random), scale,
                     static_cast<std::int16_t>(i % 5 == 0 ? 2 : 20 + random() % 300), 0.9F * unit(random),
                     0.9F * unit(random)});
  }
  return cases;
}

// The exact kernel's count of one point, or nothing where it raises.
std::optional<EscapeCount> ReferenceCount(const TileCase& c, float x, float y) {
  try {
    return c.kind == FractalKind::Mandelbrot ? IterateM(x, y, c.maxIter) : IterateJ(x, y, c.maxIter, c.P, c.Q);
  } catch (const RunTimeError&) {
    return std::nullopt;
  }
}

// Whatever count the balls prove for a tile is the exact kernel's count of
// every point in it, and no point of a proven tile raises an error.
TEST(ProofBounds, ProvenTileCountsAreEveryPointsCount) {
  int proven = 0;
  for (const TileCase& c : TileCases()) {
    const bool mandelbrot = c.kind == FractalKind::Mandelbrot;
    std::vector<float> xs, ys;
    for (int k = -2; k <= 2; ++k) {
      xs.push_back(static_cast<float>(double{c.x} + k * double{c.step}));
      ys.push_back(static_cast<float>(double{c.y} + k * double{c.step}));
    }
    long double spread2 = 0;
    for (const float x : xs) {
      for (const float y : ys) {
        const long double dx = static_cast<long double>(x) - xs[2], dy = static_cast<long double>(y) - ys[2];
        spread2 = std::max(spread2, dx * dx + dy * dy);
      }
    }
    const double spread = std::nextafter(static_cast<double>(std::sqrt(spread2)), kInfD);
    const int first = mandelbrot ? 2 : 1;
    const auto limit = static_cast<float>(c.maxIter + 1);
    const BallCounts counts{first, c.maxIter, limit, limit};
    const double middleX = xs[2], middleY = ys[2];
    const double result = ProvenTileCount(mandelbrot, mandelbrot ? middleX : double{c.P},
                                          mandelbrot ? middleY : double{c.Q}, middleX, middleY, spread, counts);
    if (result == 0.0) continue;
    ++proven;
    for (const float x : xs) {
      for (const float y : ys) {
        const std::optional<EscapeCount> expected = ReferenceCount(c, x, y);
        ASSERT_TRUE(expected.has_value()) << c.name << ": the tile is proven, yet (" << x << ", " << y << ") raises";
        ASSERT_EQ(static_cast<double>(*expected), result) << c.name << ": point (" << x << ", " << y << ")";
      }
    }
  }
  EXPECT_GT(proven, 500);  // the property was tried, not skipped
}

}  // namespace
}  // namespace tobrisk
