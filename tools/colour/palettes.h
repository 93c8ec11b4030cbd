#pragma once

#include <array>
#include <optional>
#include <span>
#include <string_view>

#include "engine/types.h"

namespace tobrisk {

// A named way to colour counts. The window's own palette has no stops; every
// other one is a cyclic gradient through its stops, spaced evenly around one
// turn and joined by straight lines, so that the last one leads back to the first.
struct NamedPalette {
  std::string_view name;
  std::string_view description;  // one line, for --list-palettes and the manual
  std::span<const Colour> stops;

  [[nodiscard]] bool IsWindows() const { return stops.empty(); }
};

[[nodiscard]] std::span<const NamedPalette> AllPalettes();
[[nodiscard]] std::optional<NamedPalette> FindPalette(std::string_view name);

// Step `step` of a turn of `steps` through the gradient's stops (steps >= 1).
[[nodiscard]] Colour GradientColour(std::span<const Colour> stops, int step, int steps);

// "#rrggbb", "#rgb" (hex digits of either case), "black" or "white".
[[nodiscard]] std::optional<Colour> ParseColour(std::string_view text);

}  // namespace tobrisk
