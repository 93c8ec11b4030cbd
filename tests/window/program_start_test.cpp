// SPDX-License-Identifier: MIT
// The window program started from a shell: what it answers without opening a
// window, and how it gives up when there is no window system to open one on.
#include <unistd.h>

#include <filesystem>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "tests/support/tool_run.h"
#include "tobrisk/version.h"

namespace tobrisk {
namespace {

namespace fs = std::filesystem;

TEST(TobriskProgram, AnswersFromTheShellAndFailsPlainlyWithoutAWindowSystem) {
  struct Case {
    const char* what;
    std::vector<std::string> environment;  // passed to env(1) before the program
    std::vector<std::string> arguments;
    int status;
    std::string out;   // the whole of standard output, or with a trailing "..." its beginning
    std::string err;   // a part of standard error; empty: none at all
  };
  const std::string noDisplay[] = {"-u", "DISPLAY", "-u", "WAYLAND_DISPLAY", "-u", "QT_QPA_PLATFORM"};
  const std::string go = "run it as 'xvfb-run tobrisk', or draw into a PNG file with tobrisk-render\n";
  const std::vector<Case> cases{
      {"version from the project", {std::begin(noDisplay), std::end(noDisplay)}, {"--version"}, 0,
       "tobrisk " + std::string(kVersion) + "\n", ""},
      {"help names both options", {std::begin(noDisplay), std::end(noDisplay)}, {"--help"}, 0,
       "Usage: tobrisk [OPTION]...\n...", ""},
      {"unknown option", {}, {"--bogus"}, 2, "", "tobrisk: unknown option '--bogus'\nTry 'tobrisk --help'"},
      {"stray argument", {}, {"picture.png"}, 2, "", "tobrisk: unexpected argument 'picture.png'\n"},
      {"qt option without its value", {}, {"-style"}, 2, "", "tobrisk: option '-style' needs a value\n"},
      {"no display at all", {std::begin(noDisplay), std::end(noDisplay)}, {}, 1, "",
       "tobrisk: no display found (neither DISPLAY nor WAYLAND_DISPLAY is set); " + go},
      {"a platform that does not exist", {"QT_QPA_PLATFORM=nonexistent"}, {}, 1, "",
       "tobrisk: the window system 'nonexistent' named by QT_QPA_PLATFORM could not be started; " + go},
      {"a display nobody serves", {"-u", "QT_QPA_PLATFORM", "-u", "WAYLAND_DISPLAY", "DISPLAY=:97"}, {}, 1, "",
       "tobrisk: could not connect to the display ':97'; " + go},
  };
  const fs::path scratch = fs::temp_directory_path() / ("tobrisk-start-test-" + std::to_string(::getpid()));
  fs::create_directories(scratch);
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    std::vector<std::string> arguments = c.environment;
    arguments.push_back(TOBRISK_PATH);
    arguments.insert(arguments.end(), c.arguments.begin(), c.arguments.end());
    const ToolRun run = RunTool("/usr/bin/env", arguments, scratch);
    EXPECT_EQ(run.status, c.status) << run.err;
    if (c.out.ends_with("...")) {
      EXPECT_TRUE(run.out.starts_with(c.out.substr(0, c.out.size() - 3))) << run.out;
      EXPECT_NE(run.out.find("--version"), std::string::npos);
    } else {
      EXPECT_EQ(run.out, c.out);
    }
    if (c.err.empty()) {
      EXPECT_EQ(run.err, "");
    } else {
      EXPECT_NE(run.err.find(c.err), std::string::npos) << run.err;
      if (c.status == 1) {
        EXPECT_EQ(run.err, c.err) << "one line and nothing of Qt's";
      }
    }
  }
  // An answer that cannot be written is a failure, not a silent success.
  const ToolRun full = RunTool("/bin/sh", {"-c", "\"$0\" --version >/dev/full", TOBRISK_PATH}, scratch);
  EXPECT_EQ(full.status, 1);
  fs::remove_all(scratch);
}

}  // namespace
}  // namespace tobrisk
