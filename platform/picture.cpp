#include "platform/picture.h"

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

Colour Picture::At(int col, int row) const {
  return pixels_.at(static_cast<std::size_t>(row) * static_cast<std::size_t>(width_) + static_cast<std::size_t>(col));
}

}  // namespace tobrisk
