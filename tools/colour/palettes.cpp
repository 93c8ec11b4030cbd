#include "tools/colour/palettes.h"

#include <algorithm>
#include <cstdint>

namespace tobrisk {
namespace {

constexpr std::array<Colour, 6> kRainbow{{
    {255, 0, 0}, {255, 255, 0}, {0, 255, 0}, {0, 255, 255}, {0, 0, 255}, {255, 0, 255}}};
constexpr std::array<Colour, 5> kOcean{{
    {0, 7, 100}, {32, 107, 203}, {237, 255, 255}, {255, 170, 0}, {0, 2, 0}}};
constexpr std::array<Colour, 5> kFire{{
    {0, 0, 0}, {160, 0, 0}, {255, 96, 0}, {255, 220, 40}, {255, 255, 230}}};
constexpr std::array<Colour, 2> kGrey{{{0, 0, 0}, {255, 255, 255}}};

constexpr std::array<NamedPalette, 5> kPalettes{{
    {"window", "the window's 15 colours, one per count modulo 15 (the default)", {}},
    {"rainbow", "a gradient once around the hues: red, yellow, green, cyan, blue, magenta", kRainbow},
    {"ocean", "a gradient from deep blue through light blue and white to gold and black", kOcean},
    {"fire", "a gradient from black through red, orange and yellow to white", kFire},
    {"grey", "a gradient from black to white and back", kGrey},
}};

std::optional<int> HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return std::nullopt;
}

}  // namespace

std::span<const NamedPalette> AllPalettes() { return kPalettes; }

std::optional<NamedPalette> FindPalette(std::string_view name) {
  const auto* found = std::find_if(kPalettes.begin(), kPalettes.end(),
                                   [&](const NamedPalette& palette) { return palette.name == name; });
  if (found == kPalettes.end()) return std::nullopt;
  return *found;
}

Colour GradientColour(std::span<const Colour> stops, int step, int steps) {
  // Exact integer positions: the same colours on every machine, whatever its floating point.
  const auto span = static_cast<std::int64_t>(stops.size());
  const std::int64_t position = static_cast<std::int64_t>(step) * span;  // in units of 1/steps of a stop
  const auto from = static_cast<std::size_t>(position / steps % span);
  const auto to = static_cast<std::size_t>((position / steps + 1) % span);
  const std::int64_t part = position % steps;
  const auto mix = [&](std::uint8_t a, std::uint8_t b) {
    // Rounded to nearest: (a * (steps - part) + b * part) / steps.
    const std::int64_t sum = a * (steps - part) + b * part;
    return static_cast<std::uint8_t>((2 * sum + steps) / (2 * std::int64_t{steps}));
  };
  return {mix(stops[from].red, stops[to].red), mix(stops[from].green, stops[to].green),
          mix(stops[from].blue, stops[to].blue)};
}

std::optional<Colour> ParseColour(std::string_view text) {
  if (text == "black") return Colour{0, 0, 0};
  if (text == "white") return Colour{255, 255, 255};
  if (text.empty() || text.front() != '#') return std::nullopt;
  text.remove_prefix(1);
  if (text.size() != 3 && text.size() != 6) return std::nullopt;
  std::array<int, 6> digits{};
  for (std::size_t i = 0; i < text.size(); ++i) {
    const std::optional<int> digit = HexDigit(text[i]);
    if (!digit) return std::nullopt;
    digits[i] = *digit;
  }
  const auto channel = [&](std::size_t at) {
    // "#abc" is "#aabbcc".
    if (text.size() == 3) return static_cast<std::uint8_t>(digits[at] * 17);
    return static_cast<std::uint8_t>(digits[2 * at] * 16 + digits[2 * at + 1]);
  };
  return Colour{channel(0), channel(1), channel(2)};
}

}  // namespace tobrisk
