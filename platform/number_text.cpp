#include "platform/number_text.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <limits>
#include <system_error>

namespace tobrisk {
namespace {

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

std::size_t SkipDigits(std::string_view text, std::size_t at) {
  while (at < text.size() && IsDigit(text[at])) ++at;
  return at;
}

// Order of magnitude of an unsigned decimal whose parse left the double range,
// enough to tell an overflow (positive) from an underflow (not positive).
long long DecimalMagnitude(std::string_view mantissa, long long exponent) {
  const std::size_t point = std::min(mantissa.find('.'), mantissa.size());
  const std::size_t firstNonZero = mantissa.find_first_not_of("0.");
  if (firstNonZero == std::string_view::npos) return std::numeric_limits<long long>::min();
  const long long position = firstNonZero < point ? static_cast<long long>(point - firstNonZero)
                                                  : -static_cast<long long>(firstNonZero - point - 1);
  return position + exponent;
}

// The exponent's value, saturated well beyond any double so it cannot wrap.
long long ExponentValue(std::string_view digits, bool negative) {
  long long value = 0;
  for (const char c : digits) value = std::min(value * 10 + (c - '0'), 1'000'000'000LL);
  return negative ? -value : value;
}

}  // namespace

ScannedNumber ScanNumber(std::string_view text) {
  std::size_t at = 0;
  while (at < text.size() && (text[at] == ' ' || text[at] == '\t')) ++at;
  bool negative = false;
  if (at < text.size() && (text[at] == '+' || text[at] == '-')) negative = text[at++] == '-';

  const std::size_t mantissaStart = at;
  at = SkipDigits(text, at);
  bool anyDigit = at > mantissaStart;
  if (at < text.size() && text[at] == '.') {
    const std::size_t fractionStart = ++at;
    at = SkipDigits(text, at);
    anyDigit = anyDigit || at > fractionStart;
  }
  if (!anyDigit) return {};
  const std::string_view mantissa = text.substr(mantissaStart, at - mantissaStart);

  long long exponent = 0;
  std::size_t end = at;
  if (at < text.size() && (text[at] == 'e' || text[at] == 'E')) {
    std::size_t digitsStart = at + 1;
    const bool exponentNegative = digitsStart < text.size() && text[digitsStart] == '-';
    if (digitsStart < text.size() && (text[digitsStart] == '+' || text[digitsStart] == '-')) ++digitsStart;
    const std::size_t digitsEnd = SkipDigits(text, digitsStart);
    if (digitsEnd > digitsStart) {  // an "e" without digits ends the number before it
      exponent = ExponentValue(text.substr(digitsStart, digitsEnd - digitsStart), exponentNegative);
      end = digitsEnd;
    }
  }

  // from_chars takes no leading sign of ours; it reads the unsigned number exactly.
  const std::string_view number = text.substr(mantissaStart, end - mantissaStart);
  double magnitude = 0.0;
  const auto [ptr, error] = std::from_chars(number.data(), number.data() + number.size(), magnitude,
                                            std::chars_format::general);
  if (error == std::errc::result_out_of_range) {
    magnitude = DecimalMagnitude(mantissa, exponent) > 0 ? std::numeric_limits<double>::infinity() : 0.0;
  }
  return {negative ? -magnitude : magnitude, end};
}

double TextToNumber(std::string_view text) { return ScanNumber(text).value; }

std::string NumberToText(double value) {
  std::array<char, 32> buffer{};
  const auto [end, error] = std::to_chars(buffer.data(), buffer.data() + buffer.size(), value);
  return std::string(buffer.data(), end);
}

}  // namespace tobrisk
