#include <clocale>
#include <cmath>
#include <limits>
#include <string>

#include <gtest/gtest.h>

#include "platform/number_text.h"
#include "tests/support/test_names.h"

namespace tobrisk {
namespace {

constexpr double kInf = std::numeric_limits<double>::infinity();

struct ReadCase {
  std::string text;
  double value;
  std::size_t length;
};

void PrintTo(const ReadCase& c, std::ostream* os) { *os << testing::PrintToString(c.text); }

class TextToNumberReads : public testing::TestWithParam<ReadCase> {};

TEST_P(TextToNumberReads, TheNumberAtTheStart) {
  const ReadCase& c = GetParam();
  const ScannedNumber scanned = ScanNumber(c.text);
  EXPECT_EQ(scanned.value, c.value) << '"' << c.text << '"';
  EXPECT_EQ(std::signbit(scanned.value), std::signbit(c.value)) << '"' << c.text << '"';
  EXPECT_EQ(scanned.length, c.length) << '"' << c.text << '"';
  EXPECT_EQ(TextToNumber(c.text), c.value);
}

INSTANTIATE_TEST_SUITE_P(
    LexicalRules, TextToNumberReads,
    testing::Values(ReadCase{"", 0, 0}, ReadCase{"abc", 0, 0}, ReadCase{"-2.5", -2.5, 4}, ReadCase{"1.5", 1.5, 3},
                    ReadCase{"  \t+7", 7, 5}, ReadCase{".5", 0.5, 2}, ReadCase{"5.", 5, 2}, ReadCase{".", 0, 0},
                    ReadCase{"-", 0, 0}, ReadCase{"+.e5", 0, 0}, ReadCase{"1,5", 1, 1}, ReadCase{"1.5abc", 1.5, 3},
                    ReadCase{"1e3", 1000, 3}, ReadCase{"1E+3x", 1000, 4}, ReadCase{"2.5e-1", 0.25, 6},
                    ReadCase{"3e", 3, 1}, ReadCase{"3e+", 3, 1}, ReadCase{"3ex", 3, 1}, ReadCase{"0x10", 0, 1},
                    ReadCase{"inf", 0, 0}, ReadCase{"nan", 0, 0}, ReadCase{"\n5", 0, 0}, ReadCase{"- 5", 0, 0},
                    ReadCase{"--5", 0, 0}, ReadCase{"100.5", 100.5, 5}, ReadCase{"0.1", 0.1, 3},
                    ReadCase{"1e39", 1e39, 4}, ReadCase{"1e99999", kInf, 7}, ReadCase{"-1e99999", -kInf, 8},
                    ReadCase{"1e-99999", 0, 8}, ReadCase{"-1e-99999", -0.0, 9}, ReadCase{"-0", -0.0, 2},
                    ReadCase{"4.9406564584124654e-324", 4.9406564584124654e-324, 23},
                    ReadCase{"1e0000000000000000000000001", 10, 27},
                    ReadCase{"0." + std::string(50, '0') + "1e360", kInf, 57},
                    ReadCase{"1" + std::string(400, '0') + "e-800", 0, 406},
                    ReadCase{std::string(400, '9'), kInf, 400}, ReadCase{"0." + std::string(400, '0') + "1", 0, 403},
                    ReadCase{"1" + std::string(300, '0') + "e-300", 1, 306}),
    [](const testing::TestParamInfo<ReadCase>& info) { return test::TestNameOfText(info.param.text); });

TEST(TextToNumber, IgnoresTheLocale) {
  const char* previous = std::setlocale(LC_NUMERIC, nullptr);
  const std::string saved = previous != nullptr ? previous : "C";
  if (std::setlocale(LC_NUMERIC, "de_DE.UTF-8") == nullptr) GTEST_SKIP() << "no German locale installed";
  EXPECT_EQ(TextToNumber("1.5"), 1.5);
  EXPECT_EQ(TextToNumber("1,5"), 1.0);
  EXPECT_EQ(NumberToText(-2.5), "-2.5");
  std::setlocale(LC_NUMERIC, saved.c_str());
}

TEST(NumberToText, ShortestTextThatReadsBack) {
  for (const double value : {-2.5, 1.5, -1.5, 0.1, 0.3, 1e-7, 123456789.0, 1e300, 5e-324}) {
    const std::string text = NumberToText(value);
    EXPECT_EQ(TextToNumber(text), value) << text;
  }
  EXPECT_EQ(NumberToText(-2.5), "-2.5");
  EXPECT_EQ(NumberToText(1.5), "1.5");
  EXPECT_EQ(NumberToText(-1.5), "-1.5");
}

}  // namespace
}  // namespace tobrisk
