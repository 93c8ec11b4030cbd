#include <bit>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "bench/plain_double_kernel.h"
#include "tests/fast/instruction_sets.h"

namespace tobrisk {
namespace {

// The yardstick's verdict on one point, one pixel at a time: every iteration
// to the limit, no early exit, the same roundings.
bool InsideAfter(double cr, double ci, int iterations) {
  double zr = cr, zi = ci, tr = zr * zr, ti = zi * zi;
  for (int i = 1; i < iterations; ++i) {
    zi = (zr + zr) * zi + ci;
    zr = tr - ti + cr;
    tr = zr * zr;
    ti = zi * zi;
  }
  return tr + ti <= 4.0;
}

std::vector<std::uint8_t> ReferenceBits(const PlainDoubleView& view) {
  std::vector<std::uint8_t> bits(PlainDoubleBytes(view), 0);
  const std::size_t rowBytes = (static_cast<std::size_t>(view.width) + 7) / 8;
  const double dx = (view.xMax - view.xMin) / view.width;
  for (int row = 0; row < view.height; ++row) {
    const double ci = view.yMin + row * ((view.yMax - view.yMin) / view.height);
    for (int col = 0; col < view.width; ++col) {
      if (InsideAfter(view.xMin + col * dx, ci, view.iterations)) {
        bits[row * rowBytes + col / 8] |= static_cast<std::uint8_t>(0x80U >> (col % 8));
      }
    }
  }
  return bits;
}

struct ViewCase {
  const char* name;
  PlainDoubleView view;
  std::optional<int> insidePixels;  // where the row is about a whole view in or out
};

const ViewCase kViews[] = {
    {"whole set, width 61: padding bits stay 0", {-2.0, 0.5, -1.25, 1.25, 61, 47, 50}, std::nullopt},
    {"whole set, width 200: several groups a row", {-2.0, 0.5, -1.25, 1.25, 200, 30, 50}, std::nullopt},
    {"one pixel, inside", {0.0, 0.1, 0.0, 0.1, 1, 1, 50}, 1},
    {"one pixel, outside", {1.0, 1.1, 1.0, 1.1, 1, 1, 50}, 0},
    {"wholly inside the main cardioid", {-0.5, 0.0, -0.3, 0.3, 37, 9, 50}, 37 * 9},
    {"wholly outside: every group stops early", {0.6, 1.6, 0.6, 1.6, 45, 5, 50}, 0},
    {"iterations 1: the disc of radius 2", {-2.5, 2.5, -2.5, 2.5, 41, 23, 1}, std::nullopt},
    {"iterations 6: one check after five steps, then one step", {-2.0, 0.5, -1.25, 1.25, 53, 19, 6}, std::nullopt},
    {"iterations 8: the last check after three steps", {-2.0, 0.5, -1.25, 1.25, 53, 19, 8}, std::nullopt},
    {"boundary close up, iterations 200", {-0.75, -0.74, 0.1, 0.11, 67, 13, 200}, std::nullopt},
    // A width of one point: each lane iterates a point whose verdict a fused
    // multiply-add or a reordered sum would turn.
    {"rounding-sensitive point in every lane, iterations 1000",
     {-0.4543888906485436, -0.4543888906485436, 0.55419343375696339, 0.55419343375696339, 64, 2, 1000},
     0},
};

class PlainDouble : public ForEachInstructionSet {};

TEST_P(PlainDouble, BitsMatchThePixelByPixelLoop) {
  for (const ViewCase& c : kViews) {
    SCOPED_TRACE(c.name);
    const std::vector<std::uint8_t> expected = ReferenceBits(c.view);
    std::vector<std::uint8_t> bits(PlainDoubleBytes(c.view), 0xA5);
    PlainDoubleBits(c.view, bits);
    CountComparisons(static_cast<std::size_t>(c.view.width) * static_cast<std::size_t>(c.view.height));
    EXPECT_EQ(bits, expected);
    if (c.insidePixels) {
      int inside = 0;
      for (const std::uint8_t b : expected) inside += std::popcount(b);
      EXPECT_EQ(inside, *c.insidePixels) << "the view is not what the row says";
    }
  }
}

INSTANTIATE_TEST_SUITE_P(Targets, PlainDouble, testing::ValuesIn(InstructionSets()), InstructionSetName);

TEST(PlainDoubleBuffer, WrongSizeThrowsAndEmptyViewWritesNothing) {
  const PlainDoubleView view{-2.0, 0.5, -1.25, 1.25, 9, 2, 50};
  std::vector<std::uint8_t> small(PlainDoubleBytes(view) - 1);
  EXPECT_THROW(PlainDoubleBits(view, small), std::invalid_argument);
  const PlainDoubleView empty{-2.0, 0.5, -1.25, 1.25, 0, 5, 50};
  EXPECT_EQ(PlainDoubleBytes(empty), 0U);
  EXPECT_NO_THROW(PlainDoubleBits(empty, {}));
}

}  // namespace
}  // namespace tobrisk
