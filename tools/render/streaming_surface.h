#pragma once

#include <atomic>
#include <cstdint>
#include <span>
#include <vector>

#include "engine/plot_surface.h"
#include "tools/count_map/count_map.h"
#include "tools/png/png_rows.h"

namespace tobrisk {

// A surface of the given size that keeps only the row being drawn and hands
// each finished row to the PNG (and the count map, when one is written).
// The pass plots in row-major order, which is what makes one row enough.
class StreamingSurface final : public PlotSurface {
 public:
  StreamingSurface(int width, int height, PngRowWriter& picture, CountMapWriter* counts);

  [[nodiscard]] float Width() const override { return static_cast<float>(width_); }
  [[nodiscard]] float Height() const override { return static_cast<float>(height_); }
  void Plot(std::int16_t col, std::int16_t row, EscapeCount n, Colour colour) override;
  // A row of counts at once, as the fast pass plots: no colour to look up.
  void PlotRow(std::int16_t row, std::span<const EscapeCount> counts) override;

  // True once every row has been handed on.
  [[nodiscard]] bool Complete() const { return RowsWritten() == height_; }
  // Safe to read from another thread while the pass plots, for a progress display.
  [[nodiscard]] int RowsWritten() const { return rowsWritten_.load(std::memory_order_relaxed); }

 private:
  void ExpectPixel(std::int16_t col, std::int16_t row) const;
  void FinishRow();
  void RowDone();

  int width_;
  int height_;
  PngRowWriter& picture_;
  CountMapWriter* counts_;
  std::vector<EscapeCount> countRow_;  // the row being plotted pixel by pixel
  // Written only by the plotting thread; atomic so that a progress display may read it.
  std::atomic<int> rowsWritten_ = 0;
};

}  // namespace tobrisk
