#pragma once

#include <cctype>
#include <cstdint>
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

// Restricts dispatch to the parameter's instruction set for one test.
class ForEachInstructionSet : public testing::TestWithParam<std::int64_t> {
 protected:
  void SetUp() override {
    hwy::SetSupportedTargetsForTest(GetParam());
    hwy::GetChosenTarget().Update(hwy::SupportedTargets());
  }
  void TearDown() override {
    hwy::SetSupportedTargetsForTest(0);
    hwy::GetChosenTarget().Update(hwy::SupportedTargets());
  }
};

}  // namespace tobrisk
