#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <span>
#include <vector>

#include "engine/plot_surface.h"
#include "engine/types.h"

namespace tobrisk {

// The rows of one level that a row of tiles covers, overlap included.
struct TileRowBand {
  int tileRow;
  int firstRow;  // the level's row that Row(0) is
  int rows;
  int width;
  // rows x width, row by row. Whoever takes the band may swap in another
  // vector (of any content) to keep these counts without copying them.
  std::vector<EscapeCount> counts;

  [[nodiscard]] std::span<const EscapeCount> Row(int at) const {
    return std::span<const EscapeCount>(counts).subspan(static_cast<std::size_t>(at) * static_cast<std::size_t>(width),
                          static_cast<std::size_t>(width));
  }
};

// A surface of one level's size that keeps only the rows of the row of tiles
// being drawn (at most 258 rows) and hands each row of tiles on as soon as its
// last row is plotted, so memory stays bounded whatever the level's size.
// The pass plots in row-major order, which is what makes this enough.
class TileRowSurface final : public PlotSurface {
 public:
  using TileRowDone = std::function<void(TileRowBand&)>;
  TileRowSurface(int width, int height, TileRowDone tileRowDone);

  [[nodiscard]] float Width() const override { return static_cast<float>(width_); }
  [[nodiscard]] float Height() const override { return static_cast<float>(height_); }
  void Plot(std::int16_t col, std::int16_t row, EscapeCount n, Colour colour) override;
  void PlotRow(std::int16_t row, std::span<const EscapeCount> counts) override;

  [[nodiscard]] int RowsPlotted() const { return rowsPlotted_; }

 private:
  [[nodiscard]] std::size_t BandCapacity() const;
  void ExpectPixel(std::int16_t col, std::int16_t row) const;
  void RowDone();

  int width_;
  int height_;
  TileRowDone tileRowDone_;
  std::vector<EscapeCount> overlap_;
  TileRowBand band_;  // the rows plotted since its firstRow
  int rowsPlotted_ = 0;
  int colsPlotted_ = 0;  // of the row being plotted pixel by pixel
};

}  // namespace tobrisk
