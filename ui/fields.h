#pragma once

#include <array>
#include <cstdint>

namespace tobrisk {

// The seven fields of the window, in reading order (Text1 ... Text7).
enum class Field : std::uint8_t { XMin, XMax, YMin, YMax, Iterations, Real, Imaginary };

inline constexpr std::array<Field, 7> kAllFields{Field::XMin, Field::XMax,       Field::YMin,     Field::YMax,
                                                 Field::Iterations, Field::Real, Field::Imaginary};

}  // namespace tobrisk
