#pragma once

#include <cctype>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <map>
#include <string>
#include <vector>

#include <gtest/gtest.h>
#include <hwy/targets.h>

namespace tobrisk {

// Every instruction set the fast kernels were compiled for that this
// processor can run, so each compiled path is tested, not only the best.
inline std::vector<std::int64_t> InstructionSets() { return hwy::SupportedAndGeneratedTargets(); }

inline std::string InstructionSetName(const testing::TestParamInfo<std::int64_t>& info) {
  std::string name = hwy::TargetName(info.param);
  for (char& c : name) {
    if (!std::isalnum(static_cast<unsigned char>(c))) c = '_';
  }
  return name;
}

// The instruction set a test is restricted to, or 0 when dispatch picks the best.
inline std::int64_t& CurrentInstructionSet() {
  static std::int64_t current = 0;
  return current;
}

// Points and plots compared with the reference, per instruction set, so a
// run shows what each path was checked on (and that it ran at all).
inline std::map<std::string, std::size_t>& Comparisons() {
  static std::map<std::string, std::size_t> made;
  return made;
}
inline void CountComparisons(std::size_t n) {
  const std::int64_t current = CurrentInstructionSet();
  Comparisons()[current == 0 ? std::string("best") : std::string(hwy::TargetName(current))] += n;
}

// Prints the instruction sets and the comparisons each made at the end of the run.
class ComparisonReport final : public testing::Environment {
 public:
  void TearDown() override {
    std::string tested;
    for (const std::int64_t target : InstructionSets()) tested += std::string(" ") + hwy::TargetName(target);
    std::printf("Instruction sets compiled and runnable here:%s\n", tested.c_str());
    for (const auto& [name, count] : Comparisons()) std::printf("Comparisons with the reference on %s: %zu\n", name.c_str(), count);
  }
};
inline testing::Environment* const kComparisonReport = testing::AddGlobalTestEnvironment(new ComparisonReport);

// Restricts dispatch to the parameter's instruction set for one test.
class ForEachInstructionSet : public testing::TestWithParam<std::int64_t> {
 protected:
  void SetUp() override {
    hwy::SetSupportedTargetsForTest(GetParam());
    hwy::GetChosenTarget().Update(hwy::SupportedTargets());
    CurrentInstructionSet() = GetParam();
  }
  void TearDown() override {
    hwy::SetSupportedTargetsForTest(0);
    hwy::GetChosenTarget().Update(hwy::SupportedTargets());
    CurrentInstructionSet() = 0;
  }
};

}  // namespace tobrisk
