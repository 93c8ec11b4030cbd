// tobrisk-render run as a user would, with hostile values and output paths.
// Each either draws what the plain reading of its value draws, or fails with
// a clear one-line message and a non-zero status, leaving no half-written
// file behind and an existing file untouched.

#include <fcntl.h>
#include <linux/fs.h>
#include <signal.h>
#include <sys/ioctl.h>
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

#include "tests/support/png_file.h"
#include "tests/support/render_tool_folder.h"
#include "tests/support/tool_run.h"
#include "tools/render/render_options.h"
#include "tools/safe_output/output_file.h"
#include "tools/safe_output/signals.h"

namespace tobrisk {
namespace {

namespace fs = std::filesystem;

using HostileRenderTool = test::RenderToolFolder;

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
      // The pixels, not the bytes: the file records the value as typed.
      const std::optional<Picture> drawn = ReadPng(png);
      ASSERT_TRUE(drawn.has_value()) << c.name;
      EXPECT_TRUE(drawn == ReadPng(plain)) << c.name << ": differs from the plain value's picture";
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
  fs::create_symlink("loop.png", folder_ / "loop.png");
  const PathCase cases[] = {
      {"a missing folder", (folder_ / "missing" / "x.png").string(), "No such file or directory"},
      {"a regular file used as a folder", (folder_ / "plain-file" / "x.png").string(), "Not a directory"},
      {"a folder", folder_.string(), "is a directory"},
      {"a full disk", "/dev/full", "No space left on device"},
      {"a folder of the kernel's", "/proc/tobrisk-hostile.png", "/proc/tobrisk-hostile.png"},
      {"a name with an escape sequence", (folder_ / "missing" / "\x1b[2J.png").string(), "missing/\\x1b[2J.png"},
      {"a loop of symbolic links", (folder_ / "loop.png").string(), "loop.png: Too many levels of symbolic links"},
  };
  for (const PathCase& c : cases) {
    const ToolRun run = Run({"--size", "64x64", "-o", c.path});
    EXPECT_EQ(run.status, 1) << c.name;
    ExpectClearMessage(run, c.message, c.name);
  }
  EXPECT_EQ(FolderContents(), (std::vector<std::string>{"loop.png", "plain-file"}));
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

// Sets or clears the flag that forbids replacing a file, even to its owner; false where it cannot.
bool SetImmutable(const fs::path& path, bool immutable) {
  const int descriptor = ::open(path.c_str(), O_RDONLY);
  int flags = 0;
  bool done = descriptor >= 0 && ::ioctl(descriptor, FS_IOC_GETFLAGS, &flags) == 0;
  flags = immutable ? (flags | FS_IMMUTABLE_FL) : (flags & ~FS_IMMUTABLE_FL);
  done = done && ::ioctl(descriptor, FS_IOC_SETFLAGS, &flags) == 0;
  if (descriptor >= 0) ::close(descriptor);
  return done;
}

TEST_F(HostileRenderTool, AFailingCountMapKeepsTheOldPicture) {
  const fs::path png = folder_ / "keep.png";
  const fs::path locked = folder_ / "locked.pgm";
  struct Case {
    const char* name;
    std::string counts;
    std::string message;
  };
  const Case cases[] = {
      {"a count map in a missing folder", (folder_ / "missing" / "c.pgm").string(), "No such file or directory"},
      {"a count map on a full disk", "/dev/full", "No space left on device"},
      // Fails only after the picture is in place, which must then be put back.
      {"a count map that may not be replaced", locked.string(), "cannot replace " + locked.string()},
  };
  for (const Case& c : cases) {
    std::ofstream(png) << "old picture";
    const bool lock = c.counts == locked.string();
    if (lock) {
      std::ofstream(locked) << "old counts";
      if (!SetImmutable(locked, true)) GTEST_SKIP() << c.name << ": files cannot be made immutable here";
    }
    const ToolRun run = Run({"--size", "64x64", "--counts", c.counts, "-o", png.string()});
    if (lock) {
      EXPECT_TRUE(SetImmutable(locked, false)) << c.name;
      EXPECT_EQ(ReadFile(locked), "old counts") << c.name;
    }
    EXPECT_EQ(run.status, 1) << c.name;
    ExpectClearMessage(run, c.message, c.name);
    EXPECT_EQ(ReadFile(png), "old picture") << c.name;
    const std::vector<std::string> kept = lock ? std::vector<std::string>{"keep.png", "locked.pgm"}
                                               : std::vector<std::string>{"keep.png"};
    EXPECT_EQ(FolderContents(), kept) << c.name;
  }
}

// Another spelling of the picture's own name must not let the count map replace it.
TEST_F(HostileRenderTool, ACountMapNamingThePictureIsRefused) {
  const fs::path png = folder_ / "keep.png";
  fs::create_symlink("keep.png", folder_ / "link.png");
  std::ofstream(png) << "old picture";
  fs::create_hard_link(png, folder_ / "hard.png");
  const std::vector<std::string> countNames{(folder_ / "." / "keep.png").string(),
                                            (folder_ / "missing" / ".." / "keep.png").string(),
                                            (folder_ / "link.png").string(), (folder_ / "hard.png").string()};
  for (const std::string& counts : countNames) {
    std::ofstream(png) << "old picture";
    const ToolRun run = Run({"--size", "8x8", "--counts", counts, "-o", png.string()});
    EXPECT_EQ(run.status, 2) << counts;
    ExpectClearMessage(run, "--counts needs a file of its own", counts);
    EXPECT_EQ(ReadFile(png), "old picture") << counts;
  }
  EXPECT_EQ(FolderContents(), (std::vector<std::string>{"hard.png", "keep.png", "link.png"}));
}

// Standard output closed, full or named a second time.
TEST_F(HostileRenderTool, StandardOutputThatCannotTakeTheOutput) {
  const fs::path counts = folder_ / "c.pgm";
  const std::string both = (logs_ / "both.out").string();
  struct Case {
    const char* name;
    std::vector<std::string> arguments;
    std::string standardOutput;
    int status;
    std::string message;
  };
  const Case cases[] = {
      {"the picture to a closed standard output", {"-o", "-", "--counts", counts.string()}, ">&-", 1,
       "cannot write standard output: it is closed"},
      {"standard output as both outputs", {"-o", "-", "--counts", "/dev/fd/1"}, ">" + both, 2,
       "--counts needs a file of its own"},
      {"the usage on a full disk", {"--help"}, ">/dev/full", 1, "cannot write standard output: No space left"},
      {"the usage to a closed standard output", {"--help"}, ">&-", 1, "cannot write standard output: Bad file"},
  };
  for (const Case& c : cases) {
    std::ofstream(counts) << "old counts";
    std::vector<std::string> arguments{"--size", "64x32"};
    arguments.insert(arguments.end(), c.arguments.begin(), c.arguments.end());
    const ToolRun run = Run(arguments, c.standardOutput);
    EXPECT_EQ(run.status, c.status) << c.name;
    ExpectClearMessage(run, c.message, c.name);
    EXPECT_EQ(ReadFile(counts), "old counts") << c.name;
    EXPECT_EQ(FolderContents(), std::vector<std::string>{"c.pgm"}) << c.name;
  }
}

// As a shell's ">" does, a link is written through, even one naming a file still to be made.
TEST_F(HostileRenderTool, ALinkIsWrittenThrough) {
  fs::create_directories(folder_ / "sub");
  fs::create_symlink("new.png", folder_ / "dangling.png");
  fs::create_symlink("../new.pgm", folder_ / "sub" / "up.pgm");
  const ToolRun run = Run({"--size", "4x4", "-o", (folder_ / "dangling.png").string(), "--counts",
                           (folder_ / "sub" / "up.pgm").string()});
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_TRUE(fs::is_symlink(folder_ / "dangling.png")) << "the link was replaced";
  EXPECT_TRUE(fs::is_symlink(folder_ / "sub" / "up.pgm")) << "the link was replaced";
  EXPECT_EQ(ReadFile(folder_ / "new.png").substr(1, 3), "PNG");
  EXPECT_EQ(ReadFile(folder_ / "new.pgm").substr(0, 2), "P5");
  EXPECT_EQ(FolderContents(), (std::vector<std::string>{"dangling.png", "new.pgm", "new.png", "sub"}));
}

// An interrupted render leaves both old files as they were and nothing else;
// a shell sees 128 + the signal's number.
TEST_F(HostileRenderTool, AnInterruptedRenderLeavesNothingBehind) {
  const int probe = ::open(folder_.c_str(), O_TMPFILE | O_WRONLY, 0600);
  const bool unnamedFiles = probe >= 0;  // without them only a killed program leaves its temporary file
  if (unnamedFiles) ::close(probe);
  struct Case {
    const char* name;
    int signal;
    std::string picture;
  };
  const Case cases[] = {
      {"Ctrl-C", SIGINT, (folder_ / "out.png").string()},
      {"a terminate request", SIGTERM, (folder_ / "out.png").string()},
      {"a closed terminal", SIGHUP, (folder_ / "out.png").string()},
      {"a closed pipe as standard output", SIGPIPE, "-"},
      {"a kill", SIGKILL, (folder_ / "out.png").string()},
  };
  for (const Case& c : cases) {
    if (c.signal == SIGKILL && !unnamedFiles) continue;
    std::ofstream(folder_ / "out.png") << "old picture";
    std::ofstream(folder_ / "out.pgm") << "old counts";
    const int status = InterruptTool(TOBRISK_RENDER_PATH,
                                     {"--size", "16000x16000", "--iterations", "1000", "-o", c.picture, "--counts",
                                      (folder_ / "out.pgm").string()},
                                     folder_, c.signal);
    ASSERT_NE(status, -1) << c.name << ": no file was opened";
    EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == c.signal) << c.name << ": status " << status;
    EXPECT_EQ(ReadFile(folder_ / "out.png"), "old picture") << c.name;
    EXPECT_EQ(ReadFile(folder_ / "out.pgm"), "old counts") << c.name;
    EXPECT_EQ(FolderContents(), (std::vector<std::string>{"out.pgm", "out.png"})) << c.name;
  }
}

// Where the file system has no unnamed files, the named temporary file goes on an interrupt.
TEST_F(HostileRenderTool, AnInterruptRemovesANamedTemporaryFile) {
  const fs::path png = folder_ / "keep.png";
  for (const int signal : {SIGINT, SIGTERM, SIGHUP, SIGPIPE}) {
    std::ofstream(png) << "old picture";
    const pid_t child = ::fork();
    if (child == 0) {
      InstallCleanupOnSignals();
      OutputFile file(png.string(), OutputFile::Temporary::Named);
      std::fputs("new picture", file.Stream());
      ::raise(signal);
      ::_exit(0);
    }
    int status = 0;
    ::waitpid(child, &status, 0);
    EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == signal) << ::strsignal(signal) << ": status " << status;
    EXPECT_EQ(ReadFile(png), "old picture") << ::strsignal(signal);
    EXPECT_EQ(FolderContents(), std::vector<std::string>{"keep.png"}) << ::strsignal(signal);
  }
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
