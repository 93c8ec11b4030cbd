// tobrisk-render run as a user would, with hostile values and output paths.
// Each either draws what the plain reading of its value draws, or fails with
// a clear one-line message and a non-zero status, leaving no half-written
// file behind and an existing file untouched.

#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include <gtest/gtest.h>

#include "tests/support/tool_run.h"
#include "tools/render_options.h"

namespace tobrisk {
namespace {

namespace fs = std::filesystem;

class HostileRenderTool : public testing::Test {
 protected:
  void SetUp() override {
    folder_ = fs::temp_directory_path() / ("tobrisk-hostile-" + std::to_string(::getpid()) + "-" +
                                           testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(folder_);
    fs::create_directories(folder_);
    logs_ = folder_.string() + "-logs";
    fs::create_directories(logs_);
  }
  void TearDown() override {
    fs::permissions(folder_, fs::perms::owner_all, fs::perm_options::add);
    fs::remove_all(folder_);
    fs::remove_all(logs_);
  }

  ToolRun Run(const std::vector<std::string>& arguments) const { return RunTool(TOBRISK_RENDER_PATH, arguments, logs_); }

  std::vector<std::string> FolderContents() const { return tobrisk::FolderContents(folder_); }

  fs::path folder_;
  fs::path logs_;
};

// A failure names its cause on one line that a terminal shows as it is; a
// usage error adds a second line pointing to --help.
void ExpectClearMessage(const ToolRun& run, const std::string& fragment, const std::string& what) {
  EXPECT_NE(run.err.find(fragment), std::string::npos) << what << ": " << run.err.substr(0, 300);
  EXPECT_EQ(std::count(run.err.begin(), run.err.end(), '\n'), run.status == 2 ? 2 : 1)
      << what << ": " << run.err.substr(0, 300);
  const std::string firstLine = run.err.substr(0, run.err.find('\n'));
  EXPECT_LT(firstLine.size(), 400U) << what << ": the message repeats the whole value";
  EXPECT_TRUE(std::none_of(run.err.begin(), run.err.end(),
                           [](char c) { return (static_cast<unsigned char>(c) < 0x20 && c != '\n') || c == 0x7f; }))
      << what << ": control characters reach the terminal";
}

struct ValueCase {
  const char* name;
  std::vector<std::string> arguments;
  int status;
  std::string outcome;  // status 0: the plain value drawing the same picture; otherwise part of the message
  std::vector<std::string> plainArguments = {};
};

std::vector<ValueCase> ValueCases() {
  const std::string big(100'000, '0');  // one argument may hold at most 128 KiB
  return {
      {"a 100 KB number", {"--xmin", "-2.5" + big}, 0, "", {"--xmin", "-2.5"}},
      {"thousands of digits", {"--xmax", "1." + std::string(5000, '0') + "1"}, 0, "", {"--xmax", "1"}},
      {"an exponent of thousands of digits", {"--real", "1e-" + std::string(5000, '9'), "--julia"}, 0, "",
       {"--real", "0", "--julia"}},
      {"1e99999 as X Max", {"--xmax", "1e99999"}, 1, "Floating-point fault (invalid operation) at pixel (0, 0)"},
      {"100 KB of digits as X Max, quoted short", {"--xmax", "1" + big}, 1,
       "at pixel (0, 0). X Max \"100000000000000000000000...\" lies beyond the largest single (about 3.4e38)."},
      {"1e99999 as Iterations", {"--iterations", "1e99999"}, 1, "Overflow: Iterations must lie between"},
      {"100 KB of digits as Iterations", {"--iterations", "1" + big}, 1, "Overflow: Iterations must lie between"},
      {"a control character", {"--xmin", "\x01" "1"}, 2, "--xmin: \""},
      {"an escape sequence", {"--ymin", "\x1b[31m1"}, 2, "--ymin: \""},
      {"a trailing line feed", {"--ymax", "1\n"}, 2, "--ymax: \""},
      {"a Unicode minus", {"--xmin", "\xe2\x88\x92" "1.5"}, 2, "is not a number"},
      {"fullwidth digits", {"--iterations", "\xef\xbc\x91\xef\xbc\x90"}, 2, "is not a number"},
      {"a number then letters", {"--imaginary", "0.5i"}, 2, "is not a number"},
      {"an empty value", {"--xmax", ""}, 2, "is not a number"},
      {"100 KB of letters", {"--xmin", std::string(100'000, 'x')}, 2, "is not a number"},
      {"a size beyond any integer", {"--size", "99999999999999999999x1"}, 2, "is not a size"},
      {"a negative size", {"--size", "-1x5"}, 2, "is not a size"},
      {"a size in fullwidth digits", {"--size", "\xef\xbc\x93x2"}, 2, "is not a size"},
      {"a size with a control character", {"--size", "3x2\x01"}, 2, "is not a size"},
  };
}

TEST_F(HostileRenderTool, ValuesReadAsDocumentedOrFailClearly) {
  const fs::path png = folder_ / "keep.png";
  const fs::path plain = folder_ / "plain.png";
  for (const ValueCase& c : ValueCases()) {
    std::ofstream(png) << "old picture";
    std::vector<std::string> arguments = c.arguments;
    arguments.insert(arguments.end(), {"--size", "16x10", "-o", png.string()});
    if (c.arguments.front() == "--size") arguments = {c.arguments[0], c.arguments[1], "-o", png.string()};
    const ToolRun run = Run(arguments);
    ASSERT_EQ(run.status, c.status) << c.name << ": " << run.err.substr(0, 300);
    if (c.status == 0) {
      std::vector<std::string> plainArguments = c.plainArguments;
      plainArguments.insert(plainArguments.end(), {"--size", "16x10", "-o", plain.string()});
      ASSERT_EQ(Run(plainArguments).status, 0) << c.name;
      EXPECT_EQ(ReadFile(png), ReadFile(plain)) << c.name << ": differs from the plain value's picture";
      fs::remove(plain);
    } else {
      ExpectClearMessage(run, c.outcome, c.name);
      EXPECT_EQ(ReadFile(png), "old picture") << c.name;
    }
    EXPECT_EQ(FolderContents(), std::vector<std::string>{"keep.png"}) << c.name << ": a temporary file is left";
  }
}

// A NUL cannot reach a program through its command line; the parser still
// refuses one inside a value rather than reading the number before it.
TEST(HostileRenderArguments, EmbeddedNulIsNotANumber) {
  const std::string value("1\0" "2", 3);
  const std::vector<std::string_view> arguments{"--xmin", value, "-o", "x.png"};
  const ParsedArguments parsed = ParseRenderArguments(arguments);
  ASSERT_TRUE(std::holds_alternative<UsageError>(parsed));
  const std::string& message = std::get<UsageError>(parsed).message;
  EXPECT_EQ(message.find('\0'), std::string::npos) << "the NUL is copied into the message";
}

struct PathCase {
  const char* name;
  std::string path;
  std::string message;
};

TEST_F(HostileRenderTool, UnusableOutputPathsFailClearly) {
  std::ofstream(folder_ / "plain-file") << "a file, not a folder";
  const PathCase cases[] = {
      {"a missing folder", (folder_ / "missing" / "x.png").string(), "No such file or directory"},
      {"a regular file used as a folder", (folder_ / "plain-file" / "x.png").string(), "Not a directory"},
      {"a folder", folder_.string(), "is a directory"},
      {"a full disk", "/dev/full", "No space left on device"},
      {"a folder of the kernel's", "/proc/tobrisk-hostile.png", "/proc/tobrisk-hostile.png"},
      {"a name with an escape sequence", (folder_ / "missing" / "\x1b[2J.png").string(), "missing/\\x1b[2J.png"},
  };
  for (const PathCase& c : cases) {
    const ToolRun run = Run({"--size", "64x64", "-o", c.path});
    EXPECT_EQ(run.status, 1) << c.name;
    ExpectClearMessage(run, c.message, c.name);
  }
  EXPECT_EQ(FolderContents(), std::vector<std::string>{"plain-file"});
  EXPECT_EQ(ReadFile(folder_ / "plain-file"), "a file, not a folder");
  struct stat device {};
  ASSERT_EQ(::stat("/dev/full", &device), 0);
  EXPECT_TRUE(S_ISCHR(device.st_mode)) << "the device must be written, never replaced by a file";
}

TEST_F(HostileRenderTool, UnwritableFolderFailsAndKeepsTheOldFile) {
  if (::geteuid() == 0) {
    GTEST_SKIP() << "running as root, which may write into any folder; the unwritable kernel folder "
                    "in UnusableOutputPathsFailClearly stands in for this case";
  }
  const fs::path png = folder_ / "keep.png";
  std::ofstream(png) << "old picture";
  fs::permissions(folder_, fs::perms::owner_read | fs::perms::owner_exec);
  const ToolRun run = Run({"--size", "8x8", "-o", png.string()});
  fs::permissions(folder_, fs::perms::owner_all);
  EXPECT_EQ(run.status, 1);
  ExpectClearMessage(run, "Permission denied", "an unwritable folder");
  EXPECT_EQ(ReadFile(png), "old picture");
  EXPECT_EQ(FolderContents(), std::vector<std::string>{"keep.png"});
}

TEST_F(HostileRenderTool, AFailingCountMapKeepsTheOldPicture) {
  const fs::path png = folder_ / "keep.png";
  struct Case {
    const char* name;
    std::string counts;
    std::string message;
  };
  const Case cases[] = {
      {"a count map in a missing folder", (folder_ / "missing" / "c.pgm").string(), "No such file or directory"},
      {"a count map on a full disk", "/dev/full", "No space left on device"},
  };
  for (const Case& c : cases) {
    std::ofstream(png) << "old picture";
    const ToolRun run = Run({"--size", "64x64", "--counts", c.counts, "-o", png.string()});
    EXPECT_EQ(run.status, 1) << c.name;
    ExpectClearMessage(run, c.message, c.name);
    EXPECT_EQ(ReadFile(png), "old picture") << c.name;
    EXPECT_EQ(FolderContents(), std::vector<std::string>{"keep.png"}) << c.name;
  }
}

// Another spelling of the picture's own name must not let the count map replace it.
TEST_F(HostileRenderTool, ACountMapNamingThePictureIsRefused) {
  const fs::path png = folder_ / "keep.png";
  fs::create_symlink("keep.png", folder_ / "link.png");
  const std::vector<std::string> countNames{(folder_ / "." / "keep.png").string(),
                                            (folder_ / "missing" / ".." / "keep.png").string(),
                                            (folder_ / "link.png").string()};
  for (const std::string& counts : countNames) {
    std::ofstream(png) << "old picture";
    const ToolRun run = Run({"--size", "8x8", "--counts", counts, "-o", png.string()});
    EXPECT_EQ(run.status, 2) << counts;
    ExpectClearMessage(run, "--counts needs a file of its own", counts);
    EXPECT_EQ(ReadFile(png), "old picture") << counts;
  }
  EXPECT_EQ(FolderContents(), (std::vector<std::string>{"keep.png", "link.png"}));
}

// The longest name a folder holds must be writable like any other.
TEST_F(HostileRenderTool, TheLongestFileNameIsWritten) {
  const std::string name = std::string(251, 'a') + ".png";  // 255 bytes, the usual limit of one name
  const ToolRun run = Run({"--size", "4x4", "-o", (folder_ / name).string()});
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(FolderContents(), std::vector<std::string>{name});
}

}  // namespace
}  // namespace tobrisk
