#pragma once

#include <atomic>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "engine/plot_surface.h"

namespace tobrisk {

// The first pixel in which a file and its view disagree, each value as a user reads it.
struct PixelDifference {
  int col = 0;
  int row = 0;
  std::string inFile;
  std::string fromView;
};

// The next row of a file against the counts its view gives.
class RowComparer {
 public:
  virtual ~RowComparer() = default;
  [[nodiscard]] virtual std::optional<PixelDifference> CompareRow(int row, std::span<const EscapeCount> counts) = 0;
};

// A surface that keeps only the row being drawn and compares each finished
// row with the file's, as the streaming surface writes them: the check of a
// picture of any size needs no more memory than its drawing. Once a pixel
// differs, the rest of the file is left unread.
class ComparingSurface final : public PlotSurface {
 public:
  ComparingSurface(int width, int height, RowComparer& file);

  [[nodiscard]] float Width() const override { return static_cast<float>(width_); }
  [[nodiscard]] float Height() const override { return static_cast<float>(height_); }
  void Plot(std::int16_t col, std::int16_t row, EscapeCount n, Colour colour) override;
  void PlotRow(std::int16_t row, std::span<const EscapeCount> counts) override;

  [[nodiscard]] const std::optional<PixelDifference>& Difference() const { return difference_; }
  [[nodiscard]] bool Complete() const { return RowsCompared() == height_; }
  // Safe to read from another thread, for a progress display.
  [[nodiscard]] int RowsCompared() const { return rowsCompared_.load(std::memory_order_relaxed); }

 private:
  void Compare(std::int16_t row, std::span<const EscapeCount> counts);

  int width_;
  int height_;
  RowComparer& file_;
  std::vector<EscapeCount> row_;
  std::optional<PixelDifference> difference_;
  std::atomic<int> rowsCompared_ = 0;
};

}  // namespace tobrisk
