#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string_view>

namespace tobrisk {

// The seven fields of the window, in reading order (Text1 ... Text7).
enum class Field : std::uint8_t { XMin, XMax, YMin, YMax, Iterations, Real, Imaginary };

inline constexpr std::array<Field, 7> kAllFields{Field::XMin, Field::XMax,       Field::YMin,     Field::YMax,
                                                 Field::Iterations, Field::Real, Field::Imaginary};

// One value for each field, in reading order, looked up by the field.
template <typename T>
struct ByField : std::array<T, kAllFields.size()> {
  using std::array<T, kAllFields.size()>::operator[];
  [[nodiscard]] constexpr T& operator[](Field field) { return (*this)[static_cast<std::size_t>(field)]; }
  [[nodiscard]] constexpr const T& operator[](Field field) const { return (*this)[static_cast<std::size_t>(field)]; }
};

// The texts of Text1 ... Text7: X Min, X Max, Y Min, Y Max, Iterations, Real, Imaginary.
using FieldTexts = ByField<std::string_view>;

}  // namespace tobrisk
