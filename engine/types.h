#pragma once

#include <compare>
#include <cstdint>

namespace tobrisk {

enum class FractalKind : std::uint8_t { Mandelbrot, Julia };

// Index of the first tested iterate that escapes, or MaxIter + 1 when none does.
using EscapeCount = std::int16_t;

// One Draw's input: the plane rectangle, the iteration limit and the Julia
// constant, all as the program stores them (singles and a 16-bit integer).
struct DrawParameters {
  float XMin = 0.0F;
  float XMax = 0.0F;
  float YMin = 0.0F;
  float YMax = 0.0F;
  std::int16_t MaxIter = 0;
  float P = 0.0F;
  float Q = 0.0F;
  FractalKind Kind = FractalKind::Mandelbrot;
};

struct Colour {
  std::uint8_t red = 0;
  std::uint8_t green = 0;
  std::uint8_t blue = 0;

  friend constexpr bool operator==(const Colour&, const Colour&) = default;
};

}  // namespace tobrisk
