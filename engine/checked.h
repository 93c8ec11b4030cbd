#pragma once

#include <cmath>
#include <cstdint>

#include "engine/run_time_error.h"

namespace tobrisk {

// 16-bit addition that raises the overflow error instead of wrapping.
[[nodiscard]] inline std::int16_t CheckedAdd(std::int16_t a, std::int16_t b, const ErrorSite& site) {
  std::int16_t sum = 0;
  if (__builtin_add_overflow(a, b, &sum)) throw RunTimeError(ErrorCause::Overflow, site);
  return sum;
}

// Nearest 16-bit integer, halves to even; outside -32768 ... 32767 (or NaN) raises overflow.
[[nodiscard]] inline std::int16_t ToInt16Checked(double value, const ErrorSite& site) {
  const double rounded = std::nearbyint(value);  // the default rounding mode rounds halves to even
  if (!(rounded >= -32768.0 && rounded <= 32767.0)) throw RunTimeError(ErrorCause::Overflow, site);
  return static_cast<std::int16_t>(rounded);
}

// Nearest single. A finite value whose rounding overflows raises the overflow
// error; an infinity is itself a single and passes unchanged.
[[nodiscard]] inline float ToSingleChecked(double value, const ErrorSite& site) {
  const float rounded = static_cast<float>(value);
  if (std::isinf(rounded) && std::isfinite(value)) throw RunTimeError(ErrorCause::Overflow, site);
  return rounded;
}

}  // namespace tobrisk
