#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "engine/plot_surface.h"

namespace tobrisk {

// An in-memory PlotSurface of any size, filled with a background colour at first.
class Picture final : public PlotSurface {
 public:
  Picture(int width, int height, Colour background = {});

  [[nodiscard]] float Width() const override { return static_cast<float>(width_); }
  [[nodiscard]] float Height() const override { return static_cast<float>(height_); }
  void Plot(std::int16_t col, std::int16_t row, EscapeCount /*n*/, Colour colour) override { SetPixel(col, row, colour); }
  void PlotRow(std::int16_t row, std::span<const EscapeCount> counts) override;

  [[nodiscard]] int PixelWidth() const { return width_; }
  [[nodiscard]] int PixelHeight() const { return height_; }
  [[nodiscard]] Colour At(int col, int row) const;
  // Like a real drawing area, a picture ignores pixels outside itself.
  void SetPixel(int col, int row, Colour colour);

  friend bool operator==(const Picture& a, const Picture& b) {
    return a.width_ == b.width_ && a.height_ == b.height_ && a.pixels_ == b.pixels_;
  }

 private:
  int width_;
  int height_;
  std::vector<Colour> pixels_;
};

}  // namespace tobrisk
