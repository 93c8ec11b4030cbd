#pragma once

// A surface that records every plot in order with the count noted for it, so
// that tests compare order, counts and colours, not only the finished picture.

#include <cstdint>
#include <vector>

#include "engine/plot_surface.h"

namespace tobrisk::test {

class RecordingSurface final : public PlotSurface {
 public:
  struct Plotted {
    std::int16_t col, row;
    EscapeCount n;
    Colour colour;
    friend bool operator==(const Plotted&, const Plotted&) = default;
  };
  RecordingSurface(float width, float height) : width_(width), height_(height) {}
  [[nodiscard]] float Width() const override { return width_; }
  [[nodiscard]] float Height() const override { return height_; }
  void Plot(std::int16_t col, std::int16_t row, EscapeCount n, Colour colour) override {
    plots.push_back({col, row, n, colour});
  }
  std::vector<Plotted> plots;

 private:
  float width_, height_;
};

}  // namespace tobrisk::test
