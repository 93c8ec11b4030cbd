#pragma once

#include <string_view>

#include "platform/number_text.h"

namespace tobrisk::testing_support {

// A second, deliberately plain reading of a field's text by the same lexical
// rules: the characters are gathered one by one into a canonical decimal and
// the C library's strtod (in the "C" locale) gives the correctly rounded double.
// Slow and independent of the program's reader, so the two can be compared.
[[nodiscard]] ScannedNumber SlowScanNumber(std::string_view text);

// Nearest 16-bit integer of a double, halves to even, by integer arithmetic;
// false when it lies outside -32768 ... 32767.
[[nodiscard]] bool SlowToInt16(double value, short& result);

}  // namespace tobrisk::testing_support
