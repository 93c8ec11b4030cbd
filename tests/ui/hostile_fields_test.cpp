// SPDX-License-Identifier: MIT
// Field texts a user can type or paste that the reading was not written for:
// huge texts, control characters, NUL, non-ASCII digits and signs, thousands
// of digits, exponents beyond any double. Each must give its documented
// reading, and a Draw with it must behave exactly as with that plain number.

#include <cmath>
#include <cstring>
#include <initializer_list>
#include <limits>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include <gtest/gtest.h>

#include "engine/fractal.h"
#include "platform/number_text.h"
#include "platform/picture.h"
#include "tests/fuzz/slow_number_reading.h"
#include "tests/support/default_views.h"
#include "ui/draw_command.h"
#include "ui/form1_layout.h"

namespace tobrisk {
namespace {

constexpr double kInf = std::numeric_limits<double>::infinity();
constexpr std::size_t kMegabyte = 1 << 20;

// Joins texts; GCC 12 warns falsely on a literal added to a long string.
std::string Text(std::initializer_list<std::string_view> parts) {
  std::string text;
  for (const std::string_view part : parts) text += part;
  return text;
}

struct HostileText {
  const char* name;
  std::string text;
  double reading;
};

std::vector<HostileText> HostileTexts() {
  return {
      {"a megabyte of letters", std::string(kMegabyte, 'x'), 0.0},
      {"a number then a megabyte of letters", Text({"1.5", std::string(kMegabyte, 'x')}), 1.5},
      {"a megabyte of blanks then a number", Text({std::string(kMegabyte, ' '), "7"}), 7.0},
      {"a megabyte of digits", Text({"1", std::string(kMegabyte, '0')}), kInf},
      {"a megabyte of fraction digits", Text({"0.", std::string(kMegabyte, '0'), "1"}), 0.0},
      {"a megabyte of digits scaled back", Text({"1", std::string(kMegabyte, '0'), "e-1048576"}), 1.0},
      {"thousands of digits of one third", Text({"0.", std::string(5000, '3')}), 1.0 / 3.0},
      {"thousands of digits at a halfway point", Text({"9007199254740993.", std::string(3000, '0')}), 9007199254740992.0},
      {"just above a halfway point", Text({"9007199254740993.", std::string(3000, '0'), "1"}), 9007199254740994.0},
      {"an exponent beyond any double", "1e99999", kInf},
      {"a negative exponent beyond any double", "-1e99999", -kInf},
      {"an exponent of thousands of digits", Text({"1e", std::string(3000, '9')}), kInf},
      {"a tiny exponent of thousands of digits", Text({"1e-", std::string(3000, '9')}), 0.0},
      {"start of heading", "\x01" "5", 0.0},
      {"a bell after the number", "5\a", 5.0},
      {"a line feed first", "\n5", 0.0},
      {"a carriage return first", "\r5", 0.0},
      {"a vertical tab first", "\v5", 0.0},
      {"a form feed first", "\f5", 0.0},
      {"an escape sequence", "\x1b[31m5", 0.0},
      {"delete", "\x7f" "5", 0.0},
      {"an embedded NUL", std::string("1\0" "2", 3), 1.0},
      {"a NUL first", std::string("\0" "5", 2), 0.0},
      {"fullwidth digits", "\xef\xbc\x91\xef\xbc\x92", 0.0},
      {"Arabic-Indic digits", "\xd9\xa3", 0.0},
      {"a digit then a fullwidth digit", "5\xef\xbc\x95", 5.0},
      {"a superscript two", "\xc2\xb2", 0.0},
      {"a Unicode minus", "\xe2\x88\x92" "1.5", 0.0},
      {"a no-break space first", "\xc2\xa0" "5", 0.0},
      {"invalid UTF-8", "\xff\xfe" "5", 0.0},
      {"a lone exponent sign", "2e-", 2.0},
      {"a doubled decimal point", "1..5", 1.0},
  };
}

bool SameBits(double a, double b) { return std::memcmp(&a, &b, sizeof a) == 0; }

TEST(HostileFieldText, ReadsAsDocumented) {
  for (const HostileText& c : HostileTexts()) {
    const double read = TextToNumber(c.text);
    EXPECT_TRUE(SameBits(read, c.reading)) << c.name << ": read " << read << ", expected " << c.reading;
    // The slow reading of the same rules must agree: the fuzz target's oracle, checked at sizes it never reaches.
    EXPECT_TRUE(SameBits(testing_support::SlowScanNumber(c.text).value, c.reading)) << c.name;
  }
}

constexpr Colour kBackground{1, 2, 3};
using test::kStartTexts;

struct DrawOutcome {
  Picture picture;
  std::optional<RunTimeError> error;
};

DrawOutcome DrawWith(const FieldTexts& texts, bool mandelbrot) {
  DrawOutcome outcome{Picture(16, 10, kBackground), std::nullopt};
  try {
    Draw(texts, mandelbrot, outcome.picture);
  } catch (const RunTimeError& error) {
    outcome.error = error;
  }
  return outcome;
}

// Puts a hostile text into each field in turn: the Draw must end exactly as
// one with the field holding the plain text of its reading.
TEST(HostileFieldText, DrawsAsItsReading) {
  for (const HostileText& c : HostileTexts()) {
    for (const Field field : kAllFields) {
      for (const bool mandelbrot : {true, false}) {
        FieldTexts hostile = kStartTexts;
        hostile[field] = c.text;
        FieldTexts plain = kStartTexts;
        const std::string readingText = std::isinf(c.reading) ? (c.reading > 0 ? "1e400" : "-1e400")
                                                              : NumberToText(c.reading);
        plain[field] = readingText;
        const DrawOutcome got = DrawWith(hostile, mandelbrot);
        const DrawOutcome expected = DrawWith(plain, mandelbrot);
        const std::string where = std::string(c.name) + " in " + std::string(FieldCaption(field)) +
                                  (mandelbrot ? " (Mandelbrot)" : " (Julia)");
        ASSERT_EQ(got.error.has_value(), expected.error.has_value()) << where;
        if (got.error) {
          EXPECT_EQ(*got.error, *expected.error) << where << ": " << got.error->what();
        }
        EXPECT_TRUE(got.picture == expected.picture) << where;
      }
    }
  }
}

TEST(HostileFieldText, ExtremeIterationsRaiseTheOverflowBeforeDrawing) {
  for (const std::string& text : {std::string("1e99999"), Text({"1", std::string(kMegabyte, '0')}), std::string("-1e99999"),
                                  std::string("32767.5"), std::string("-32768.6")}) {
    FieldTexts texts = kStartTexts;
    texts[Field::Iterations] = text;
    const DrawOutcome outcome = DrawWith(texts, true);
    ASSERT_TRUE(outcome.error.has_value()) << text.substr(0, 20);
    EXPECT_EQ(*outcome.error, RunTimeError(ErrorCause::Overflow, InField{"Iterations"}));
    EXPECT_TRUE(outcome.picture == Picture(16, 10, kBackground)) << "nothing may be drawn";
  }
}

}  // namespace
}  // namespace tobrisk
