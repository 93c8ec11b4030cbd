#include "tools/colour/picture_colours.h"

#include "engine/palette.h"

namespace tobrisk {
namespace {

bool Inside(EscapeCount n, std::int16_t MaxIter) { return n > MaxIter; }

EscapeCount CountAt(std::size_t index) { return static_cast<EscapeCount>(static_cast<std::uint16_t>(index)); }

// The window's palette with entry 0, which no count uses, given to the inside.
IndexedColours WindowWithInside(Colour inside, std::int16_t MaxIter) {
  IndexedColours colours{{Palette16.begin(), Palette16.end()}, std::vector<std::uint8_t>(kCountTableSize)};
  colours.palette[0] = inside;
  for (std::size_t index = 0; index < kCountTableSize; ++index) {
    const EscapeCount n = CountAt(index);
    colours.entryOfCount[index] = Inside(n, MaxIter) ? 0 : PaletteEntryOfCount(n);
  }
  return colours;
}

int StepOf(EscapeCount n, int cycle) { return static_cast<int>(static_cast<std::uint16_t>(n) % static_cast<unsigned>(cycle)); }

}  // namespace

PictureColours ColoursFor(const Colouring& colouring, std::int16_t MaxIter) {
  if (colouring.palette.IsWindows()) {
    if (!colouring.inside) return WindowColours{};
    return WindowWithInside(*colouring.inside, MaxIter);
  }
  const Colour inside = colouring.inside.value_or(Colour{0, 0, 0});
  const int cycle = colouring.cycle;
  if (cycle <= kLargestIndexedCycle) {
    IndexedColours colours{std::vector<Colour>(static_cast<std::size_t>(cycle) + 1),
                           std::vector<std::uint8_t>(kCountTableSize)};
    for (int step = 0; step < cycle; ++step) {
      colours.palette[static_cast<std::size_t>(step)] = GradientColour(colouring.palette.stops, step, cycle);
    }
    colours.palette.back() = inside;
    for (std::size_t index = 0; index < kCountTableSize; ++index) {
      const EscapeCount n = CountAt(index);
      colours.entryOfCount[index] = static_cast<std::uint8_t>(Inside(n, MaxIter) ? cycle : StepOf(n, cycle));
    }
    return colours;
  }
  TrueColours colours{std::vector<Colour>(kCountTableSize)};
  for (std::size_t index = 0; index < kCountTableSize; ++index) {
    const EscapeCount n = CountAt(index);
    colours.colourOfCount[index] =
        Inside(n, MaxIter) ? inside : GradientColour(colouring.palette.stops, StepOf(n, cycle), cycle);
  }
  return colours;
}

}  // namespace tobrisk
