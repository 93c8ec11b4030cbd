#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace tobrisk {

// The number a text begins with, as far as the reading went.
struct ScannedNumber {
  double value = 0.0;
  std::size_t length = 0;  // characters taken, blanks included; 0 when there is no number
};

// Reads the number at the start of `text`: leading blanks and tabs skipped, an
// optional sign, digits with an optional decimal point, an optional exponent
// (e or E, optional sign, digits). Anything else ends the number. Correctly
// rounded; magnitudes beyond the double range read as an infinity of their
// sign. Independent of the locale.
[[nodiscard]] ScannedNumber ScanNumber(std::string_view text);

// The window's reading of a field: the number the text begins with, 0 when none. Never fails.
[[nodiscard]] double TextToNumber(std::string_view text);

// The shortest decimal text that reads back to the same double ("-2.5", "1.5").
[[nodiscard]] std::string NumberToText(double value);

}  // namespace tobrisk
