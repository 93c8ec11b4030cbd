#include "tools/render/streaming_surface.h"

#include <algorithm>
#include <stdexcept>

#include "engine/palette.h"

namespace tobrisk {

StreamingSurface::StreamingSurface(int width, int height, PngRowWriter& picture, CountMapWriter* counts)
    : width_(width), height_(height), picture_(picture), counts_(counts),
      indexRow_(static_cast<std::size_t>(width)), countRow_(counts != nullptr ? static_cast<std::size_t>(width) : 0) {}

void StreamingSurface::ExpectPixel(std::int16_t col, std::int16_t row) const {
  if (row != RowsWritten() || col < 0 || col >= width_) throw std::logic_error("pixels must arrive in row-major order");
}

void StreamingSurface::Plot(std::int16_t col, std::int16_t row, EscapeCount n, Colour /*colour*/) {
  // The file stores palette entries, which the count gives without a look-up.
  ExpectPixel(col, row);
  indexRow_[static_cast<std::size_t>(col)] = PaletteEntryOfCount(n);
  if (counts_ != nullptr) countRow_[static_cast<std::size_t>(col)] = n;
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
  std::transform(counts.begin(), counts.end(), indexRow_.begin(), PaletteEntryOfCount);
  if (counts_ != nullptr) std::copy(counts.begin(), counts.end(), countRow_.begin());
}

void StreamingSurface::FinishRow() {
  picture_.WriteRow(indexRow_);
  if (counts_ != nullptr) counts_->WriteRow(countRow_);
  RowDone();
}

void StreamingSurface::RowDone() { rowsWritten_.store(RowsWritten() + 1, std::memory_order_relaxed); }

}  // namespace tobrisk
