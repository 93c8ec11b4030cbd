#include "tools/render/streaming_surface.h"

#include <algorithm>
#include <stdexcept>

namespace tobrisk {

StreamingSurface::StreamingSurface(int width, int height, PngRowWriter& picture, CountMapWriter* counts)
    : width_(width), height_(height), picture_(picture), counts_(counts),
      countRow_(static_cast<std::size_t>(width)) {}

void StreamingSurface::ExpectPixel(std::int16_t col, std::int16_t row) const {
  if (row != RowsWritten() || col < 0 || col >= width_) throw std::logic_error("pixels must arrive in row-major order");
}

void StreamingSurface::Plot(std::int16_t col, std::int16_t row, EscapeCount n, Colour /*colour*/) {
  // The file stores the count's colour, which the count gives: the pass's colour is the window's.
  ExpectPixel(col, row);
  countRow_[static_cast<std::size_t>(col)] = n;
  if (col + 1 == width_) FinishRow();
}

void StreamingSurface::PlotRow(std::int16_t row, std::span<const EscapeCount> counts) {
  if (counts.empty()) return;
  ExpectPixel(static_cast<std::int16_t>(counts.size() - 1), row);
  if (static_cast<int>(counts.size()) == width_) {  // the usual case: straight to the file, no row of entries between
    picture_.WriteCountRow(counts);
    if (counts_ != nullptr) counts_->WriteRow(counts);
    RowDone();
    return;
  }
  // A shorter row is the start of the last one, plotted before an error.
  std::copy(counts.begin(), counts.end(), countRow_.begin());
}

void StreamingSurface::FinishRow() {
  picture_.WriteCountRow(countRow_);
  if (counts_ != nullptr) counts_->WriteRow(countRow_);
  RowDone();
}

void StreamingSurface::RowDone() { rowsWritten_.store(RowsWritten() + 1, std::memory_order_relaxed); }

}  // namespace tobrisk
