#include "platform/picture.h"

#include <algorithm>
#include <cstddef>
#include <stdexcept>

namespace tobrisk {

Picture::Picture(int width, int height, Colour background)
    : width_(width), height_(height),
      pixels_(width > 0 && height > 0 ? static_cast<std::size_t>(width) * static_cast<std::size_t>(height) : 0,
              background) {
  if (width < 0 || height < 0) throw std::invalid_argument("a picture cannot have a negative size");
}

void Picture::Plot(std::int16_t col, std::int16_t row, Colour colour) {
  // Like a real drawing area, a picture ignores pixels outside itself.
  if (col < 0 || row < 0 || col >= width_ || row >= height_) return;
  pixels_[static_cast<std::size_t>(row) * static_cast<std::size_t>(width_) + static_cast<std::size_t>(col)] = colour;
}

void Picture::PlotRow(std::int16_t row, std::span<const EscapeCount> counts) {
  if (row < 0 || row >= height_) return;
  const std::size_t cols = std::min(counts.size(), static_cast<std::size_t>(width_));
  Colour* pixels = pixels_.data() + static_cast<std::size_t>(row) * static_cast<std::size_t>(width_);
  for (std::size_t col = 0; col < cols; ++col) pixels[col] = ColourOfCount(counts[col]);
}

Colour Picture::At(int col, int row) const {
  return pixels_.at(static_cast<std::size_t>(row) * static_cast<std::size_t>(width_) + static_cast<std::size_t>(col));
}

}  // namespace tobrisk
