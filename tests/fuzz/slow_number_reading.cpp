#include "tests/fuzz/slow_number_reading.h"

#include <locale.h>

#include <cmath>
#include <cstdlib>
#include <string>

namespace tobrisk::testing_support {
namespace {

bool Digit(char c) { return c >= '0' && c <= '9'; }

// Read in the C locale whatever the process's is: "1.5" must not depend on the user's decimal comma.
double ReadInCLocale(const char* text, char** end) {
#ifdef _WIN32
  static const _locale_t locale = _create_locale(LC_ALL, "C");
  return _strtod_l(text, end, locale);
#else
  static const locale_t locale = newlocale(LC_ALL_MASK, "C", static_cast<locale_t>(nullptr));
  return strtod_l(text, end, locale);
#endif
}

}  // namespace

ScannedNumber SlowScanNumber(std::string_view text) {
  std::size_t at = 0;
  while (at < text.size() && (text[at] == ' ' || text[at] == '\t')) ++at;
  std::string canonical;
  if (at < text.size() && (text[at] == '+' || text[at] == '-')) canonical += text[at++];

  std::string whole;
  std::string fraction;
  while (at < text.size() && Digit(text[at])) whole += text[at++];
  if (at < text.size() && text[at] == '.') {
    ++at;
    while (at < text.size() && Digit(text[at])) fraction += text[at++];
  }
  if (whole.empty() && fraction.empty()) return {};
  canonical += whole.empty() ? "0" : whole;
  canonical += '.';
  canonical += fraction.empty() ? "0" : fraction;

  if (at < text.size() && (text[at] == 'e' || text[at] == 'E')) {
    std::size_t next = at + 1;
    std::string exponent;
    if (next < text.size() && (text[next] == '+' || text[next] == '-')) exponent += text[next++];
    std::string digits;
    while (next < text.size() && Digit(text[next])) digits += text[next++];
    if (!digits.empty()) {
      canonical += 'e';
      canonical += exponent + digits;
      at = next;
    }
  }
  char* end = nullptr;
  const double value = ReadInCLocale(canonical.c_str(), &end);
  if (end != canonical.c_str() + canonical.size()) std::abort();  // the canonical form is always whole
  return {value, at};
}

bool SlowToInt16(double value, short& result) {
  if (!(value > -32769.0 && value < 32768.0)) return false;  // also refuses infinities
  const double below = std::floor(value);
  const double fraction = value - below;  // exact for |value| < 2^15
  long long whole = static_cast<long long>(below);
  if (fraction > 0.5 || (fraction == 0.5 && whole % 2 != 0)) ++whole;
  if (whole < -32768 || whole > 32767) return false;
  result = static_cast<short>(whole);
  return true;
}

}  // namespace tobrisk::testing_support
