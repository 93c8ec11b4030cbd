#pragma once

// The window's start-up view: the texts its fields hold and the parameters
// the Draw command stores for them, and the Julia view's parameters.

#include "engine/types.h"
#include "ui/fields.h"

namespace tobrisk::test {

inline constexpr FieldTexts kStartTexts{"-2.5", "1.5", "-1.5", "1.5", "100", "0.3", "0.6"};

inline DrawParameters DefaultMandelbrot() {
  return {-2.5F, 1.5F, -1.5F, 1.5F, 100, 0.3F, 0.6F, FractalKind::Mandelbrot};
}
inline DrawParameters DefaultJulia() { return {-1.5F, 1.5F, -1.5F, 1.5F, 100, 0.3F, 0.6F, FractalKind::Julia}; }

}  // namespace tobrisk::test
