#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

#include "engine/palette.h"
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

  // Plots the first counts.size() pixels of a row from column 0 on, as the
  // pass would one by one. Surfaces that can take a whole row at once (a
  // picture in memory, a file written row by row) override it.
  virtual void PlotRow(std::int16_t row, std::span<const EscapeCount> counts) {
    for (std::size_t col = 0; col < counts.size(); ++col) {
      const auto c = static_cast<std::int16_t>(col);
      NoteEscapeCount(c, row, counts[col]);
      Plot(c, row, ColourOfCount(counts[col]));
    }
  }
};

}  // namespace tobrisk
