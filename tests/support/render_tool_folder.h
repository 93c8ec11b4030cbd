#pragma once

// A fixture for tests that run the built renderer: a fresh folder for what
// the tool writes, and a second one for its captured output, so that the
// first holds only the tool's own files. Both go at the end of each test.
// The including target defines TOBRISK_RENDER_PATH.

#include <unistd.h>

#include <filesystem>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "tests/support/tool_run.h"

namespace tobrisk::test {

class RenderToolFolder : public testing::Test {
 protected:
  void SetUp() override {
    const testing::TestInfo* test = testing::UnitTest::GetInstance()->current_test_info();
    folder_ = std::filesystem::temp_directory_path() /
              ("tobrisk-render-" + std::to_string(::getpid()) + "-" + test->test_suite_name() + "-" + test->name());
    logs_ = folder_.string() + "-logs";
    for (const std::filesystem::path& path : {folder_, logs_}) {
      std::filesystem::remove_all(path);
      std::filesystem::create_directories(path);
    }
  }
  void TearDown() override {
    // A test may have taken away the right to write there.
    std::filesystem::permissions(folder_, std::filesystem::perms::owner_all, std::filesystem::perm_options::add);
    std::filesystem::remove_all(folder_);
    std::filesystem::remove_all(logs_);
  }

  [[nodiscard]] ToolRun Run(const std::vector<std::string>& arguments, const std::string& standardOutput = "") const {
    return RunTool(TOBRISK_RENDER_PATH, arguments, logs_, standardOutput);
  }

  // Only the files a test expects; temporary files left behind would show here.
  [[nodiscard]] std::vector<std::string> FolderContents() const { return tobrisk::FolderContents(folder_); }

  std::filesystem::path folder_;
  std::filesystem::path logs_;
};

}  // namespace tobrisk::test
