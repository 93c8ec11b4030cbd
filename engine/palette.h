#pragma once

#include <array>
#include <cstdint>

#include "engine/types.h"

namespace tobrisk {

// The classic 16-colour text-mode palette; pictures use entries 1 ... 15.
inline constexpr std::array<Colour, 16> Palette16{{
    {0x00, 0x00, 0x00}, {0x00, 0x00, 0xAA}, {0x00, 0xAA, 0x00}, {0x00, 0xAA, 0xAA},
    {0xAA, 0x00, 0x00}, {0xAA, 0x00, 0xAA}, {0xAA, 0x55, 0x00}, {0xAA, 0xAA, 0xAA},
    {0x55, 0x55, 0x55}, {0x55, 0x55, 0xFF}, {0x55, 0xFF, 0x55}, {0x55, 0xFF, 0xFF},
    {0xFF, 0x55, 0x55}, {0xFF, 0x55, 0xFF}, {0xFF, 0xFF, 0x55}, {0xFF, 0xFF, 0xFF},
}};

// The palette entry for a kernel's count, (n mod 15) + 1, for every surface
// that takes whole rows of counts; the reference pass works it out with a
// checked addition instead, which gives the same entry for every count of 0 or
// more (a test holds them together). Kernels return counts of at least 1, so
// the entry lies in 1 ... 15; unsigned arithmetic keeps it inside the palette
// for any count and lets loops over a row vectorise.
[[nodiscard]] constexpr std::uint8_t PaletteEntryOfCount(EscapeCount n) {
  return static_cast<std::uint8_t>(static_cast<std::uint16_t>(n) % 15U + 1U);
}

[[nodiscard]] constexpr Colour ColourOfCount(EscapeCount n) { return Palette16[PaletteEntryOfCount(n)]; }

}  // namespace tobrisk
