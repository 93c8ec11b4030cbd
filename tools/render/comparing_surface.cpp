#include "tools/render/comparing_surface.h"

#include <stdexcept>

namespace tobrisk {

ComparingSurface::ComparingSurface(int width, int height, RowComparer& file)
    : width_(width), height_(height), file_(file), row_(static_cast<std::size_t>(width)) {}

void ComparingSurface::Plot(std::int16_t col, std::int16_t row, EscapeCount n, Colour /*colour*/) {
  if (row != RowsCompared() || col < 0 || col >= width_) throw std::logic_error("pixels must arrive in row-major order");
  row_[static_cast<std::size_t>(col)] = n;
  if (col + 1 == width_) Compare(row, row_);
}

void ComparingSurface::PlotRow(std::int16_t row, std::span<const EscapeCount> counts) {
  if (row != RowsCompared() || counts.size() > row_.size()) throw std::logic_error("rows must arrive in order");
  // A shorter row is the start of the last one, plotted before an error.
  if (static_cast<int>(counts.size()) == width_) Compare(row, counts);
}

void ComparingSurface::Compare(std::int16_t row, std::span<const EscapeCount> counts) {
  if (!difference_) difference_ = file_.CompareRow(row, counts);
  rowsCompared_.store(RowsCompared() + 1, std::memory_order_relaxed);
}

}  // namespace tobrisk
