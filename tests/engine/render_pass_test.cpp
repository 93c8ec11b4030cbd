#include <cfenv>
#include <cmath>
#include <limits>
#include <optional>
#include <utility>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "engine/fractal.h"
#include "engine/repeated_coordinates.h"
#include "platform/picture.h"
#include "tests/support/default_views.h"
#include "tests/support/recording_surface.h"
#include "tests/support/test_names.h"

namespace tobrisk {
namespace {

constexpr Colour kBackground{1, 2, 3};  // not a palette colour, so untouched pixels show

using test::DefaultJulia;
using test::DefaultMandelbrot;
using test::RecordingSurface;

TEST(PaletteIndex, FollowsTheCountModulo15) {
  struct Case {
    EscapeCount n;
    std::int16_t k;
  };
  for (const Case c : {Case{2, 3}, Case{15, 1}, Case{30, 1}, Case{16, 2}, Case{101, 12}, Case{1, 2}, Case{32767, 8}}) {
    EXPECT_EQ(PaletteIndexFor(c.n, InPass{PassQuantity::ColumnCounter}), c.k) << "n = " << c.n;
  }
}

// Surfaces that take whole rows use the unchecked rule; it must pick the entry
// the reference pass picks for every count a kernel can return.
TEST(PaletteIndex, SharedRuleMatchesTheCheckedOneForEveryCount) {
  for (int n = -32768; n <= 32767; ++n) {
    const auto count = static_cast<EscapeCount>(n);
    const std::int16_t checked = PaletteIndexFor(count, InPass{});
    const int shared = PaletteEntryOfCount(count);
    if (n >= 0) {
      ASSERT_EQ(shared, checked) << "n = " << n;
    } else {  // no kernel returns these: the checked rule gives 1 or less, the shared one stays inside the palette
      ASSERT_LE(checked, 1) << "n = " << n;
      ASSERT_TRUE(shared >= 1 && shared <= 15) << "n = " << n << " gives " << shared;
    }
  }
}

TEST(RenderPass, DefaultMandelbrotSamplePixels) {
  RecordingSurface surface(320, 200);
  RenderPass(DefaultMandelbrot(), surface);
  ASSERT_EQ(surface.plots.size(), 320U * 200U);
  const auto at = [&](int col, int row) { return surface.plots[static_cast<std::size_t>(row * 320 + col)]; };
  EXPECT_EQ(at(0, 0).n, 2);
  EXPECT_EQ(at(0, 0).colour, Palette16[3]);
  EXPECT_EQ(at(160, 100).n, 101);
  EXPECT_EQ(at(160, 100).colour, Palette16[12]);
  EXPECT_EQ(at(319, 199).colour, Palette16[3]);
}

TEST(RenderPass, PlotsEveryPixelOnceInRowMajorOrder) {
  RecordingSurface surface(7, 5);
  RenderPass(DefaultMandelbrot(), surface);
  ASSERT_EQ(surface.plots.size(), 35U);
  for (std::size_t i = 0; i < surface.plots.size(); ++i) {
    EXPECT_EQ(surface.plots[i].col, static_cast<int>(i % 7));
    EXPECT_EQ(surface.plots[i].row, static_cast<int>(i / 7));
    EXPECT_EQ(surface.plots[i].colour, Palette16[static_cast<std::size_t>(PaletteIndexFor(surface.plots[i].n, InPass{}))]);
  }
}

TEST(RenderPass, DefaultJuliaSamplePixels) {
  Picture picture(320, 200);
  RenderPass(DefaultJulia(), picture);
  EXPECT_EQ(picture.At(160, 100), Palette16[1]);  // n = 15
  EXPECT_EQ(picture.At(0, 0), Palette16[2]);      // n = 1
}

TEST(RenderPass, PixelMapsToThePlaneOneStepShortOfTheMaximum) {
  // With X Min = X Max the picture is uniform; a mirrored range mirrors it.
  DrawParameters flat = DefaultMandelbrot();
  flat.XMax = flat.XMin = -0.75F;
  Picture column(9, 6, kBackground);
  RenderPass(flat, column);
  for (int row = 0; row < 6; ++row) {
    for (int col = 1; col < 9; ++col) EXPECT_EQ(column.At(col, row), column.At(0, row)) << col << "," << row;
  }

  DrawParameters forward{-2.0F, 2.0F, -1.0F, 1.0F, 50, 0.0F, 0.0F, FractalKind::Mandelbrot};
  DrawParameters mirrored = forward;
  // Mirroring maps column c to XMax - c*dx: start one step inside so both grids coincide.
  mirrored.XMin = 2.0F - 0.5F;
  mirrored.XMax = -2.0F - 0.5F;
  Picture a(8, 4, kBackground);
  Picture b(8, 4, kBackground);
  RenderPass(forward, a);
  RenderPass(mirrored, b);
  for (int row = 0; row < 4; ++row) {
    for (int col = 0; col < 8; ++col) EXPECT_EQ(a.At(col, row), b.At(7 - col, row)) << col << "," << row;
  }
}

TEST(RenderPass, SmallLimitsPaintOneColour) {
  struct Case {
    FractalKind kind;
    std::int16_t maxIter;
    std::size_t k;
  };
  for (const Case c : {Case{FractalKind::Mandelbrot, 1, 3}, Case{FractalKind::Mandelbrot, -7, 3},
                       Case{FractalKind::Julia, 0, 2}, Case{FractalKind::Julia, -32768, 2}}) {
    DrawParameters params = c.kind == FractalKind::Mandelbrot ? DefaultMandelbrot() : DefaultJulia();
    params.MaxIter = c.maxIter;
    Picture picture(16, 10, kBackground);
    RenderPass(params, picture);
    EXPECT_EQ(picture, Picture(16, 10, Palette16[c.k])) << "MaxIter " << c.maxIter;
  }
}

struct PassFault {
  const char* name;
  DrawParameters params;
  float width, height;
  RunTimeError expected;
  std::size_t plottedBefore;
};

void PrintTo(const PassFault& c, std::ostream* os) { *os << c.name; }

class RenderPassFaults : public testing::TestWithParam<PassFault> {};

TEST_P(RenderPassFaults, KeepEarlierPixelsAndStop) {
  const PassFault& c = GetParam();
  RecordingSurface surface(c.width, c.height);
  try {
    RenderPass(c.params, surface);
    ADD_FAILURE() << c.name << ": the pass did not raise";
  } catch (const RunTimeError& error) {
    EXPECT_EQ(error, c.expected) << c.name << ": got \"" << error.what() << '"';
  }
  EXPECT_EQ(surface.plots.size(), c.plottedBefore) << c.name;
}

DrawParameters With(DrawParameters params, float DrawParameters::*member, float value) {
  params.*member = value;
  return params;
}

constexpr float kInf = std::numeric_limits<float>::infinity();
using enum ErrorCause;

INSTANTIATE_TEST_SUITE_P(
    Cases, RenderPassFaults,
    testing::Values(
        PassFault{"width 0 divides by zero", DefaultMandelbrot(), 0, 200,
                  RunTimeError(FloatingPointDivisionByZero, InPass{PassQuantity::ColumnStep}), 0},
        PassFault{"width 0 with equal bounds is invalid", With(DefaultMandelbrot(), &DrawParameters::XMax, -2.5F), 0,
                  200, RunTimeError(FloatingPointInvalid, InPass{PassQuantity::ColumnStep}), 0},
        PassFault{"height 0 divides by zero", DefaultMandelbrot(), 320, 0,
                  RunTimeError(FloatingPointDivisionByZero, InPass{PassQuantity::RowStep}), 0},
        PassFault{"infinite X Max: 0 * inf at the first pixel", With(DefaultMandelbrot(), &DrawParameters::XMax, kInf),
                  320, 200, RunTimeError(FloatingPointInvalid, AtPixel{0, 0, std::nullopt}), 0},
        PassFault{"infinite X Min: 0 * -inf at the first pixel", With(DefaultMandelbrot(), &DrawParameters::XMin, kInf),
                  320, 200, RunTimeError(FloatingPointInvalid, AtPixel{0, 0, std::nullopt}), 0},
        PassFault{"both X bounds infinite: inf - inf in the step",
                  With(With(DefaultMandelbrot(), &DrawParameters::XMin, kInf), &DrawParameters::XMax, kInf), 320, 200,
                  RunTimeError(FloatingPointInvalid, InPass{PassQuantity::ColumnStep}), 0},
        PassFault{"infinite Y Min: 0 * -inf at the first pixel", With(DefaultJulia(), &DrawParameters::YMin, kInf), 320,
                  200, RunTimeError(FloatingPointInvalid, AtPixel{0, 0, std::nullopt}), 0},
        PassFault{"step overflows", DrawParameters{-3e38F, 3e38F, 0, 1, 10, 0, 0, FractalKind::Mandelbrot}, 1, 1,
                  RunTimeError(FloatingPointOverflow, InPass{PassQuantity::ColumnStep}), 0},
        PassFault{"kernel fault mid-row", DrawParameters{0, 2e10F, 0, 0, 100, 0, 0, FractalKind::Mandelbrot}, 4, 3,
                  RunTimeError(FloatingPointOverflow, AtPixel{1, 0, InKernel{1, KernelStep::X2}}), 1},
        PassFault{"kernel fault on a later row", DrawParameters{0, 0, 0, 4e10F, 100, 0, 0, FractalKind::Mandelbrot}, 3,
                  4, RunTimeError(FloatingPointOverflow, AtPixel{0, 1, InKernel{1, KernelStep::X2}}), 3},
        PassFault{"counter overflow inside the set", DrawParameters{-0.1F, 0.1F, -0.1F, 0.1F, 32767, 0, 0,
                                                                    FractalKind::Mandelbrot},
                  2, 2, RunTimeError(Overflow, AtPixel{0, 0, InKernel{32767, KernelStep::Counter}}), 0},
        PassFault{"width 32769 cannot be counted", DefaultMandelbrot(), 32769, 1,
                  RunTimeError(Overflow, InPass{PassQuantity::LastColumn}), 0},
        PassFault{"height 32769 cannot be counted", DefaultMandelbrot(), 1, 32769,
                  RunTimeError(Overflow, InPass{PassQuantity::LastRow}), 0}),
    test::RowName());

TEST(RenderPass, ColumnCounterOverflowsAfterTheLastColumnOfWidth32768) {
  DrawParameters params = DefaultMandelbrot();
  params.MaxIter = 0;  // every pixel returns at once
  RecordingSurface surface(32768, 2);
  try {
    RenderPass(params, surface);
    ADD_FAILURE() << "expected the column counter to overflow";
  } catch (const RunTimeError& error) {
    EXPECT_EQ(error, RunTimeError(ErrorCause::Overflow, InPass{PassQuantity::ColumnCounter}));
  }
  EXPECT_EQ(surface.plots.size(), 32768U);
}

}  // namespace
}  // namespace tobrisk

namespace tobrisk {
namespace {

// Neighbours that the pass maps to one coordinate, counted as the pass maps them.
TEST(RepeatedCoordinates, CountNeighboursThatShareACoordinate) {
  struct Case {
    const char* name;
    DrawParameters params;
    int width, height;
    std::optional<std::pair<int, int>> repeated;  // columns, rows; empty when mapping faults
  };
  constexpr float kInf = std::numeric_limits<float>::infinity();
  const Case cases[] = {
      {"the start-up view resolves every pixel", test::DefaultMandelbrot(), 320, 200, std::pair{0, 0}},
      {"equal bounds repeat every column but the first", {1.0F, 1.0F, -1.0F, 1.0F, 100, 0, 0, FractalKind::Julia}, 8,
       4, std::pair{7, 0}},
      {"a view a few units in the last place wide",
       {0.5F, std::nextafter(0.5F, 1.0F), 0.25F, std::nextafter(std::nextafter(0.25F, 1.0F), 1.0F), 50, 0, 0,
        FractalKind::Mandelbrot},
       10, 8, std::pair{8, 5}},  // halfway points go to the even neighbour
      {"an infinite bound faults, and says nothing", {0.0F, kInf, 0.0F, 1.0F, 100, 0, 0, FractalKind::Mandelbrot}, 4, 4,
       std::nullopt},
  };
  for (const Case& c : cases) {
    const std::optional<RepeatedCoordinates> counted = CountRepeatedCoordinates(c.params, c.width, c.height);
    ASSERT_EQ(counted.has_value(), c.repeated.has_value()) << c.name;
    if (counted) {
      EXPECT_EQ(counted->columns, c.repeated->first) << c.name;
      EXPECT_EQ(counted->rows, c.repeated->second) << c.name;
    }
  }
  EXPECT_EQ(std::fetestexcept(FE_OVERFLOW | FE_DIVBYZERO | FE_INVALID), 0) << "no condition left for the pass";
}

}  // namespace
}  // namespace tobrisk
