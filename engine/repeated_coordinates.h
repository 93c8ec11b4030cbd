#pragma once

#include <optional>

#include "engine/types.h"

namespace tobrisk {

// Columns whose plane x equals the x of the column before, and rows whose y
// equals the y of the row before, as the render pass maps them: a view
// narrower than single precision resolves draws such pixels alike. Empty when
// mapping the pixels faults (the pass reports that itself).
struct RepeatedCoordinates {
  int columns = 0;
  int rows = 0;
};
[[nodiscard]] std::optional<RepeatedCoordinates> CountRepeatedCoordinates(const DrawParameters& params, int width,
                                                                          int height);

}  // namespace tobrisk
