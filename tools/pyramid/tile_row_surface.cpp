#include "tools/pyramid/tile_row_surface.h"

#include <algorithm>
#include <stdexcept>
#include <utility>

#include "tools/pyramid/deep_zoom.h"

namespace tobrisk {

TileRowSurface::TileRowSurface(int width, int height, TileRowDone tileRowDone)
    : width_(width), height_(height), tileRowDone_(std::move(tileRowDone)), band_{0, 0, 0, width, {}} {
  band_.counts.reserve(BandCapacity());
}

std::size_t TileRowSurface::BandCapacity() const {
  const int rows = std::min(height_, kTileSize + 2 * kTileOverlap);
  return static_cast<std::size_t>(width_) * static_cast<std::size_t>(rows);
}

void TileRowSurface::ExpectPixel(std::int16_t col, std::int16_t row) const {
  if (row != rowsPlotted_ || col != colsPlotted_ || col >= width_) {
    throw std::logic_error("pixels must arrive in row-major order");
  }
}

void TileRowSurface::Plot(std::int16_t col, std::int16_t row, EscapeCount n, Colour /*colour*/) {
  ExpectPixel(col, row);
  band_.counts.push_back(n);
  if (++colsPlotted_ == width_) RowDone();
}

void TileRowSurface::PlotRow(std::int16_t row, std::span<const EscapeCount> counts) {
  if (counts.empty()) return;
  ExpectPixel(0, row);
  if (counts.size() > static_cast<std::size_t>(width_)) throw std::logic_error("a row longer than the surface");
  band_.counts.insert(band_.counts.end(), counts.begin(), counts.end());
  colsPlotted_ = static_cast<int>(counts.size());
  // A shorter row is the start of the last one, plotted before an error.
  if (colsPlotted_ == width_) RowDone();
}

void TileRowSurface::RowDone() {
  colsPlotted_ = 0;
  ++rowsPlotted_;
  // A short last row of tiles may end on the same row as the one above it.
  while (band_.tileRow < TilesAlong(height_) && TileSpanOf(height_, band_.tileRow).end == rowsPlotted_) {
    band_.rows = rowsPlotted_ - band_.firstRow;
    const bool last = band_.tileRow + 1 == TilesAlong(height_);
    // The next row of tiles starts with the overlap rows this one ends with.
    const int nextFirst = last ? rowsPlotted_ : TileSpanOf(height_, band_.tileRow + 1).begin;
    const auto overlapFrom = band_.counts.begin() + static_cast<std::ptrdiff_t>(nextFirst - band_.firstRow) * width_;
    overlap_.assign(overlapFrom, band_.counts.end());
    tileRowDone_(band_);
    // Room for the whole band at once: a vector grown as rows arrive could take twice the memory.
    band_.counts.reserve(BandCapacity());
    band_.counts.assign(overlap_.begin(), overlap_.end());
    band_.firstRow = nextFirst;
    ++band_.tileRow;
  }
}

}  // namespace tobrisk
