#pragma once

// Names for the rows of parameterised tests, so that a failing case (and
// `ctest -N`) says what it checks. GoogleTest accepts only letters, digits
// and underscores.

#include <cctype>
#include <cstddef>
#include <string>
#include <string_view>

#include <gtest/gtest.h>

namespace tobrisk::test {

// A row's prose name ("kernel fault mid-row") as a test name: letters and
// digits kept, each run of anything else one underscore.
inline std::string TestNameOf(std::string_view prose) {
  std::string name;
  for (const char c : prose) {
    if (std::isalnum(static_cast<unsigned char>(c)) != 0) {
      name += c;
    } else if (!name.empty() && name.back() != '_') {
      name += '_';
    }
  }
  while (!name.empty() && name.back() == '_') name.pop_back();
  return name.empty() ? "unnamed" : name;
}

// A literal input text ("-1e-5", "  \t+7") as a test name that keeps every
// character: signs and spaces are spelt out as words, long runs counted.
inline std::string TestNameOfText(std::string_view text) {
  const auto word = [](char c) -> std::string {
    if (std::isalnum(static_cast<unsigned char>(c)) != 0) return {c};
    for (const auto& [symbol, spelt] : {std::pair{'-', "minus"}, {'+', "plus"}, {'.', "point"}, {',', "comma"},
                                        {' ', "space"}, {'\t', "tab"}, {'\n', "newline"}}) {
      if (c == symbol) return spelt;
    }
    return "char" + std::to_string(static_cast<unsigned char>(c));
  };
  std::string name;
  bool afterWord = false;  // a spelt-out symbol or a counted run ends before a letter or digit
  for (std::size_t i = 0, run = 1; i < text.size(); i += run, run = 1) {
    while (i + run < text.size() && text[i + run] == text[i]) ++run;
    const bool symbol = std::isalnum(static_cast<unsigned char>(text[i])) == 0;
    const std::string part = run >= 8 ? std::to_string(run) + "_times_" + word(text[i]) : word(text[i]);
    if ((symbol || afterWord || run >= 8) && !name.empty()) name += '_';
    name += part;
    if (run < 8) run = 1;
    afterWord = symbol || run >= 8;
  }
  return name.empty() ? "empty" : name;
}

// A name generator for INSTANTIATE_TEST_SUITE_P over rows with a `name` member.
struct RowName {
  template <typename Row>
  std::string operator()(const testing::TestParamInfo<Row>& info) const {
    return TestNameOf(info.param.name);
  }
};

}  // namespace tobrisk::test
