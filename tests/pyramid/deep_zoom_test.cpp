// SPDX-License-Identifier: MIT
// The Deep Zoom layout's arithmetic and the surface that cuts a level into rows of tiles.

#include <cstdint>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "tools/pyramid/deep_zoom.h"
#include "tools/pyramid/tile_row_surface.h"

namespace tobrisk {
namespace {

TEST(DeepZoomLevels, HalveFromTheFullSizeDownToOnePixel) {
  struct Case {
    const char* name;
    int width, height;
    std::size_t levels;
    std::vector<std::pair<int, LevelSize>> some;  // level, its size
  };
  const Case cases[] = {
      {"a wide picture", 600, 400, 11, {{10, {600, 400}}, {9, {300, 200}}, {8, {150, 100}}, {1, {2, 1}}, {0, {1, 1}}}},
      {"odd sides round up", 257, 3, 10, {{9, {257, 3}}, {8, {129, 2}}, {7, {65, 1}}, {0, {1, 1}}}},
      {"a power of two has no extra level", 256, 256, 9, {{8, {256, 256}}, {7, {128, 128}}, {0, {1, 1}}}},
      {"one pixel is a single level", 1, 1, 1, {{0, {1, 1}}}},
      {"a tall picture", 3, 1000, 11, {{10, {3, 1000}}, {9, {2, 500}}, {2, {1, 4}}}},
      {"the largest picture", 32767, 32767, 16, {{15, {32767, 32767}}, {14, {16384, 16384}}, {0, {1, 1}}}},
  };
  for (const Case& c : cases) {
    const std::vector<LevelSize> levels = DeepZoomLevels(c.width, c.height);
    ASSERT_EQ(levels.size(), c.levels) << c.name;
    for (const auto& [level, size] : c.some) {
      EXPECT_EQ(levels[static_cast<std::size_t>(level)].width, size.width) << c.name << ", level " << level;
      EXPECT_EQ(levels[static_cast<std::size_t>(level)].height, size.height) << c.name << ", level " << level;
    }
  }
}

TEST(DeepZoomTiles, CarryOnePixelOfEachNeighbour) {
  struct Case {
    const char* name;
    int side, index;
    TileSpan span;
  };
  const Case cases[] = {
      {"the first tile overlaps only to the right", 600, 0, {0, 257}},
      {"an inner tile overlaps both sides", 600, 1, {255, 513}},
      {"the last tile ends with the picture", 600, 2, {511, 600}},
      {"a single tile of exactly 256", 256, 0, {0, 256}},
      {"a last tile of one pixel plus its overlap", 257, 1, {255, 257}},
  };
  for (const Case& c : cases) {
    const TileSpan span = TileSpanOf(c.side, c.index);
    EXPECT_EQ(span.begin, c.span.begin) << c.name;
    EXPECT_EQ(span.end, c.span.end) << c.name;
  }
  EXPECT_EQ(TilesAlong(256), 1);
  EXPECT_EQ(TilesAlong(257), 2);
  EXPECT_EQ(FirstTileOf(DeepZoomLevels(600, 400), 10), 9 + 2) << "levels 0 ... 8 have one tile each, level 9 two";
  EXPECT_EQ(FirstTileOf(DeepZoomLevels(600, 400), 11), 9 + 2 + 3 * 2);
}

EscapeCount CountAt(int col, int row) { return static_cast<EscapeCount>((row * 31 + col) % 30000); }

// Rows plotted as the passes plot them (a whole row, or pixel by pixel),
// then every band checked against the rows its row of tiles must hold.
TEST(TileRowSurface, HandsOnEachRowOfTilesWithItsOverlapRows) {
  struct Case {
    const char* name;
    int width, height;
    bool pixelByPixel;
  };
  const Case cases[] = {
      {"three rows of tiles, whole rows plotted", 7, 600, false},
      {"a last row of tiles ending with the one above", 5, 513, false},
      {"one row of tiles, pixel by pixel", 4, 200, true},
      {"a last row of tiles of one row, pixel by pixel", 3, 257, true},
  };
  for (const Case& c : cases) {
    std::vector<TileRowBand> bands;
    TileRowSurface surface(c.width, c.height, [&bands](TileRowBand& band) {
      bands.push_back(band);
      band.counts.assign(3, EscapeCount{-1});  // a taker may leave any vector behind
    });
    for (int row = 0; row < c.height; ++row) {
      std::vector<EscapeCount> counts;
      for (int col = 0; col < c.width; ++col) counts.push_back(CountAt(col, row));
      if (c.pixelByPixel) {
        for (int col = 0; col < c.width; ++col) {
          surface.Plot(static_cast<std::int16_t>(col), static_cast<std::int16_t>(row), counts[static_cast<std::size_t>(col)], Colour{});
        }
      } else {
        surface.PlotRow(static_cast<std::int16_t>(row), counts);
      }
    }
    ASSERT_EQ(static_cast<int>(bands.size()), TilesAlong(c.height)) << c.name;
    for (const TileRowBand& band : bands) {
      const TileSpan rows = TileSpanOf(c.height, band.tileRow);
      EXPECT_EQ(band.firstRow, rows.begin) << c.name << ", tile row " << band.tileRow;
      ASSERT_EQ(band.rows, rows.end - rows.begin) << c.name << ", tile row " << band.tileRow;
      ASSERT_EQ(band.counts.size(), static_cast<std::size_t>(band.rows * c.width)) << c.name;
      for (int row = 0; row < band.rows; ++row) {
        for (int col = 0; col < c.width; ++col) {
          ASSERT_EQ(band.Row(row)[static_cast<std::size_t>(col)], CountAt(col, band.firstRow + row))
              << c.name << ", tile row " << band.tileRow << ", pixel (" << col << ", " << band.firstRow + row << ")";
        }
      }
    }
  }
}

TEST(TileRowSurface, RefusesPixelsOutOfOrder) {
  TileRowSurface surface(4, 4, [](TileRowBand&) {});
  const std::vector<EscapeCount> row(4, EscapeCount{1});
  EXPECT_THROW(surface.PlotRow(1, row), std::logic_error) << "row 1 before row 0";
  surface.PlotRow(0, row);
  EXPECT_THROW(surface.Plot(1, 1, 1, Colour{}), std::logic_error) << "column 1 before column 0";
}

TEST(DziText, DescribesTheFullSizeAndTheTiles) {
  const std::string dzi = DziText(600, 400);
  EXPECT_NE(dzi.find(R"(Format="png" Overlap="1" TileSize="256")"), std::string::npos) << dzi;
  EXPECT_NE(dzi.find(R"(<Size Width="600" Height="400"/>)"), std::string::npos) << dzi;
}

}  // namespace
}  // namespace tobrisk
