#pragma once

#include <cstdint>
#include <optional>
#include <variant>
#include <vector>

#include "engine/types.h"
#include "tools/colour/palettes.h"

namespace tobrisk {

// How a picture's counts become the colours its PNG stores. Colour only maps
// counts; the counts are the pass's own.

// The window's picture: the 16-colour palette, entry (n mod 15) + 1.
struct WindowColours {};

// A palette of at most 256 entries and the entry of every count, looked up
// by the count's 16 bits.
struct IndexedColours {
  std::vector<Colour> palette;
  std::vector<std::uint8_t> entryOfCount;
};

// More colours than a palette holds: each count's colour itself.
struct TrueColours {
  std::vector<Colour> colourOfCount;
};

using PictureColours = std::variant<WindowColours, IndexedColours, TrueColours>;

// Entries in a table looked up by a count's 16 bits.
inline constexpr std::size_t kCountTableSize = 1U << 16U;

[[nodiscard]] constexpr std::size_t CountTableIndex(EscapeCount n) { return static_cast<std::uint16_t>(n); }

// What the user chose: a palette, counts per turn of a gradient, and the
// colour of points that reach the limit (count above MaxIter).
struct Colouring {
  NamedPalette palette;
  int cycle = 64;
  std::optional<Colour> inside;  // a gradient's default is black; the window's keeps its own rule
};

// The largest gradient that still fits a palette beside the inside colour.
inline constexpr int kLargestIndexedCycle = 255;

[[nodiscard]] PictureColours ColoursFor(const Colouring& colouring, std::int16_t MaxIter);

}  // namespace tobrisk
