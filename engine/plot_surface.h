#pragma once

#include <cstdint>

#include "engine/types.h"

namespace tobrisk {

// What the render pass draws on: a picture of whole-pixel size whose single
// pixels can be set. Column 0 is at the left, row 0 at the top.
class PlotSurface {
 public:
  virtual ~PlotSurface() = default;

  // Sizes are whole numbers handed over as singles, as the pass computes with them.
  [[nodiscard]] virtual float Width() const = 0;
  [[nodiscard]] virtual float Height() const = 0;

  virtual void Plot(std::int16_t col, std::int16_t row, Colour colour) = 0;

  // Called just before the pixel's Plot with the count that chose its colour;
  // surfaces that keep counts (the renderer's count map) override it.
  virtual void NoteEscapeCount(std::int16_t /*col*/, std::int16_t /*row*/, EscapeCount /*n*/) {}
};

}  // namespace tobrisk
