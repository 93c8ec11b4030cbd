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

// A literal text typed as input ("-1e-5", "  \t+7") as a test name that keeps
// every character: signs and spaces are spelt out, long runs are counted.
inline std::string TestNameOfText(std::string_view text) {
  if (text.empty()) return "empty";
  const auto word = [](char c) -> std::string {
    if (std::isalnum(static_cast<unsigned char>(c)) != 0) return std::string(1, c);
    switch (c) {
      case '-': return "minus";
      case '+': return "plus";
      case '.': return "point";
      case ',': return "comma";
      case ' ': return "space";
      case '\t': return "tab";
      case '\n': return "newline";
      default: return "char" + std::to_string(static_cast<unsigned char>(c));
    }
  };
  std::string name;
  const auto append = [&name](const std::string& part, bool separate) {
    if (separate && !name.empty() && name.back() != '_') name += '_';
    name += part;
  };
  bool lastWasWord = false;
  for (std::size_t i = 0; i < text.size();) {
    std::size_t run = 1;
    while (i + run < text.size() && text[i + run] == text[i]) ++run;
    const bool alnum = std::isalnum(static_cast<unsigned char>(text[i])) != 0;
    if (run >= 8) {
      append(std::to_string(run) + "_times_" + word(text[i]), true);
      lastWasWord = true;
      i += run;
      continue;
    }
    append(word(text[i]), !alnum || lastWasWord);
    lastWasWord = !alnum;
    ++i;
  }
  return name;
}

// A name generator for INSTANTIATE_TEST_SUITE_P over rows with a `name` member.
struct RowName {
  template <typename Row>
  std::string operator()(const testing::TestParamInfo<Row>& info) const {
    return TestNameOf(info.param.name);
  }
};

}  // namespace tobrisk::test
