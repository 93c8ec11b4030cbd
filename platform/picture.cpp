#include "platform/picture.h"

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <stdexcept>

namespace tobrisk {

Picture::Picture(int width, int height, Colour background)
    : width_(width), height_(height),
      pixels_(width > 0 && height > 0 ? static_cast<std::size_t>(width) * static_cast<std::size_t>(height) : 0,
              background) {
  if (width < 0 || height < 0) throw std::invalid_argument("a picture cannot have a negative size");
}

void Picture::SetPixel(int col, int row, Colour colour) {
  if (col < 0 || row < 0 || col >= width_ || row >= height_) return;
  pixels_[static_cast<std::size_t>(row) * static_cast<std::size_t>(width_) + static_cast<std::size_t>(col)] = colour;
}

void Picture::PlotRow(std::int16_t row, std::span<const EscapeCount> counts) {
  if (row < 0 || row >= height_) return;
  const std::size_t cols = std::min(counts.size(), static_cast<std::size_t>(width_));
  if (cols == 0) return;
  Colour* pixels = pixels_.data() + static_cast<std::size_t>(row) * static_cast<std::size_t>(width_);
  // Each pixel but the last is written as one 4-byte store of its colour and
  // a spare byte, which falls on the next pixel and is overwritten by its store.
  static constexpr auto kWideColours = [] {
    std::array<std::array<std::uint8_t, 4>, Palette16.size()> wide{};
    for (std::size_t entry = 0; entry < wide.size(); ++entry) {
      const Colour c = Palette16[entry];
      wide[entry] = {c.red, c.green, c.blue, 0};
    }
    return wide;
  }();
  static_assert(sizeof(Colour) == 3);
  auto* bytes = reinterpret_cast<unsigned char*>(pixels);
  // The palette entries first, in a loop of their own, which vectorises.
  constexpr std::size_t kChunk = 256;
  std::array<std::uint8_t, kChunk> entry;
  for (std::size_t start = 0; start + 1 < cols; start += kChunk) {
    const std::size_t m = std::min(kChunk, cols - 1 - start);
    for (std::size_t j = 0; j < m; ++j) entry[j] = PaletteEntryOfCount(counts[start + j]);
    for (std::size_t j = 0; j < m; ++j) std::memcpy(bytes + (start + j) * sizeof(Colour), kWideColours[entry[j]].data(), 4);
  }
  pixels[cols - 1] = ColourOfCount(counts[cols - 1]);
}

Colour Picture::At(int col, int row) const {
  return pixels_.at(static_cast<std::size_t>(row) * static_cast<std::size_t>(width_) + static_cast<std::size_t>(col));
}

}  // namespace tobrisk
