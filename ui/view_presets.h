#pragma once

#include "engine/types.h"

namespace tobrisk {

// A plane rectangle that shows the whole set of one kind.
struct ViewPreset {
  double XMin;
  double XMax;
  double YMin;
  double YMax;
};

[[nodiscard]] constexpr ViewPreset PresetFor(FractalKind kind) {
  return kind == FractalKind::Mandelbrot ? ViewPreset{-2.5, 1.5, -1.5, 1.5} : ViewPreset{-1.5, 1.5, -1.5, 1.5};
}

}  // namespace tobrisk
