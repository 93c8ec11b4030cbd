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

  // One pixel, as the reference pass plots them: the count the kernel
  // returned (surfaces that keep counts, such as the count map, need it) and
  // the colour the pass chose for it.
  virtual void Plot(std::int16_t col, std::int16_t row, EscapeCount n, Colour colour) = 0;

  // The first counts.size() pixels of a row from column 0 on, each in the
  // colour of its count: how every other pass plots. Surfaces that can take a
  // whole row at once (a picture in memory, a file written row by row) override it.
  virtual void PlotRow(std::int16_t row, std::span<const EscapeCount> counts) {
    for (std::size_t col = 0; col < counts.size(); ++col) {
      Plot(static_cast<std::int16_t>(col), row, counts[col], ColourOfCount(counts[col]));
    }
  }
};

}  // namespace tobrisk
