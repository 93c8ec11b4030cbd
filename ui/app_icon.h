#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace tobrisk {

// One pixel of the icon, its colour not premultiplied by its opacity.
struct IconPixel {
  std::uint8_t red = 0;
  std::uint8_t green = 0;
  std::uint8_t blue = 0;
  std::uint8_t alpha = 0;
  friend bool operator==(const IconPixel&, const IconPixel&) = default;
};

// A square picture of the icon, row by row from the top.
struct IconPicture {
  int side = 0;
  std::vector<IconPixel> pixels;
  [[nodiscard]] const IconPixel& At(int col, int row) const {
    return pixels[static_cast<std::size_t>(row) * static_cast<std::size_t>(side) + static_cast<std::size_t>(col)];
  }
};

// Tobrisk's icon at `side` x `side` pixels, drawn by the exact engine: the
// Mandelbrot set in the palette's colours on a transparent ground. Each
// window system's host turns it into its own kind of icon.
[[nodiscard]] IconPicture DrawAppIcon(int side);

}  // namespace tobrisk
