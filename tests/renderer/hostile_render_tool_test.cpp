// SPDX-License-Identifier: MIT
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

#include "tests/support/png_chunks.h"
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

// Files that do not hold a whole, sound view, built from a real one. Every
// command that reads a view refuses each with status 2 and a clear message,
// writing nothing; --check calls a file that holds a view but is damaged after
// it, or whose pixels are not the view's size, different (status 1).
TEST_F(HostileRenderTool, FilesWithoutASoundViewAreRefused) {
  const fs::path real = logs_ / "real.png";
  ASSERT_EQ(Run({"--julia", "--size", "16x10", "-o", real.string()}).status, 0);
  const std::string bytes = ReadFile(real);
  const std::vector<test::PngChunk> chunks = test::SplitPng(bytes);
  ASSERT_GT(chunks.size(), 5U);
  const auto firstText = static_cast<std::size_t>(
      std::find_if(chunks.begin(), chunks.end(), [](const test::PngChunk& c) { return c.type == "tEXt"; }) -
      chunks.begin());
  const std::size_t xMax = firstText + 3;  // Software, Kind, X Min, X Max
  ASSERT_EQ(chunks[xMax].data.substr(0, 14), std::string("Tobrisk X Max\0", 14));
  const auto changed = [&](std::size_t at, const test::PngChunk& chunk) {
    std::vector<test::PngChunk> copy = chunks;
    copy[at] = chunk;
    return test::JoinPng(copy);
  };
  const auto without = [&](const std::string& type) {
    std::vector<test::PngChunk> copy;
    for (const test::PngChunk& chunk : chunks) {
      if (chunk.type != type) copy.push_back(chunk);
    }
    return copy;
  };

  struct Case {
    const char* name;
    std::string file;
    std::string message;
    int checkStatus = 2;
  };
  std::vector<test::PngChunk> lying = chunks;
  lying[0].data.replace(0, 8, test::BigEndian32(16000) + test::BigEndian32(16000));
  std::vector<test::PngChunk> doubled = chunks;
  doubled.insert(doubled.begin() + static_cast<std::ptrdiff_t>(xMax), chunks[xMax]);
  std::vector<test::PngChunk> foreign = without("tEXt");
  foreign.insert(foreign.begin() + 1, {test::TextChunk("Software", "another program"), test::TextChunk("Comment", "x")});
  std::string badChecksum = test::JoinPng(chunks);
  const std::size_t crcOfXMax = test::JoinPng({chunks.begin(), chunks.begin() + static_cast<std::ptrdiff_t>(xMax) + 1}).size() - 1;
  badChecksum[crcOfXMax] = static_cast<char>(badChecksum[crcOfXMax] ^ 1);
  const std::string huge = test::JoinPng({chunks[0]}) + test::BigEndian32(0x7FFFFFF0) + "tEXtTobrisk X Min" + std::string(20, '\0');

  const std::vector<Case> cases = {
      {"a file of zero length", "", "it is empty"},
      {"the PNG signature alone", test::kPngSignature, "it ends early"},
      {"not a PNG at all", "GIF89a...", "neither a PNG nor a count map"},
      {"an IHDR that lies about the size", test::JoinPng(lying), "it is 16000x16000 pixels, but its view", 1},
      {"a chunk of 2 GB", huge, "libpng refuses it"},
      {"a bad checksum in a text", badChecksum, "libpng refuses it: tEXt: CRC error"},
      {"a key twice", test::JoinPng(doubled), "the key \"Tobrisk X Max\" appears twice"},
      {"only another program's keys", test::JoinPng(foreign), "it holds no view written by tobrisk-render"},
      {"no texts at all", test::JoinPng(without("tEXt")), "it holds no view"},
      {"a key missing", test::JoinPng([&] { auto c = chunks; c.erase(c.begin() + static_cast<std::ptrdiff_t>(xMax)); return c; }()),
       "\"Tobrisk X Max\" is missing"},
      {"non-UTF-8 in iTXt", changed(xMax, test::InternationalTextChunk("Tobrisk X Max", "\xff\xfe" "1")), "not UTF-8"},
      {"a control character in a text", changed(xMax, test::TextChunk("Tobrisk X Max", "1\x1b[31m")),
       "Tobrisk X Max holds a control character"},
      {"Latin-1 in a text", changed(xMax, test::TextChunk("Tobrisk X Max", "1\xb5")), "outside printable ASCII"},
      {"a text longer than any argument", changed(xMax, test::TextChunk("Tobrisk X Max", std::string(140'000, '1'))),
       "Tobrisk X Max is longer than"},
      {"a value that is no number", changed(xMax, test::TextChunk("Tobrisk X Max", "1.5x")), "--xmax"},
      {"a size that is no size", changed(xMax + 6, test::TextChunk("Tobrisk Size", "16x0")), "Tobrisk Size\" is not a size"},
      {"a kind of neither", changed(firstText + 1, test::TextChunk("Tobrisk Kind", "Newton")), "neither Mandelbrot nor Julia"},
      {"cut short inside its data", bytes.substr(0, bytes.size() - 30), "it ends early", 1},
      {"bytes after its end", bytes + "junk", "it goes on after its end chunk", 1},
  };
  const fs::path hostile = folder_ / "hostile.png";
  for (const Case& c : cases) {
    std::ofstream(hostile, std::ios::binary) << c.file;
    const fs::path out = folder_ / "out.png";
    for (const auto& command : std::vector<std::vector<std::string>>{
             {"--from", hostile.string(), "-o", out.string()}, {"--print-view", hostile.string()}, {"--check", hostile.string()}}) {
      const ToolRun run = Run(command);
      const int status = command[0] == "--check" ? c.checkStatus : 2;
      const std::string said = run.status == 1 ? run.out : run.err;
      EXPECT_EQ(run.status, status) << c.name << " " << command[0] << ": " << run.err.substr(0, 300);
      EXPECT_NE(said.find(c.message), std::string::npos) << c.name << " " << command[0] << ": " << said.substr(0, 300);
      EXPECT_NE(said.find("hostile.png"), std::string::npos) << c.name << ": the message names the file";
      EXPECT_LT(said.size(), 400U) << c.name << ": the message repeats the whole value";
      EXPECT_TRUE(std::none_of(said.begin(), said.end(),
                               [](char ch) { return (static_cast<unsigned char>(ch) < 0x20 && ch != '\n') || ch == 0x7f; }))
          << c.name << ": control characters reach the terminal";
      EXPECT_EQ(FolderContents(), std::vector<std::string>{"hostile.png"}) << c.name << " " << command[0];
    }
  }
}

// Count maps as hostile as pictures: the header and the samples are checked.
TEST_F(HostileRenderTool, CountMapsWithoutASoundViewAreRefused) {
  const fs::path png = logs_ / "real.png";
  const fs::path pgm = logs_ / "real.pgm";
  ASSERT_EQ(Run({"--size", "16x10", "--iterations", "300", "--counts", pgm.string(), "-o", png.string()}).status, 0);
  const std::string real = ReadFile(pgm);
  const std::size_t body = real.size() - 16 * 10 * 2;
  const std::string header = real.substr(0, body);
  struct Case {
    const char* name;
    std::string file;
    std::string message;
    int checkStatus = 2;
  };
  const auto replaced = [&](const std::string& from, const std::string& to) {
    std::string copy = real;
    copy.replace(copy.find(from), from.size(), to);
    return copy;
  };
  const std::string maxval = header.substr(header.rfind('\n', body - 2) + 1);
  const std::vector<Case> cases = {
      {"the magic number alone", "P5", "it ends early"},
      {"a text PGM", "P2\n1 1\n1\n1\n", "no P5 at its start"},
      {"no comments", "P5\n16 10\n" + maxval + real.substr(body), "it holds no view"},
      {"a width over 32767", replaced("\n16 10\n", "\n99999 10\n"), "its width is over 32767"},
      {"a header that lies about the size", replaced("\n16 10\n", "\n16 11\n"), "it is 16x11 pixels, but its view", 1},
      {"a key twice", replaced("# Tobrisk Size", "# Tobrisk X Min: 1\n# Tobrisk Size"), "appears twice"},
      {"a comment longer than any view's", replaced("# Tobrisk Size", "#" + std::string(200'000, 'x') + "\n# Tobrisk Size"),
       "longer than any view's"},
      {"cut short", real.substr(0, real.size() - 1), "it ends early", 1},
      {"bytes after the last row", real + "x", "it goes on after its last row", 1},
  };
  const fs::path hostile = folder_ / "hostile.pgm";
  for (const Case& c : cases) {
    std::ofstream(hostile, std::ios::binary) << c.file;
    for (const auto& command : std::vector<std::vector<std::string>>{
             {"--from", hostile.string(), "-o", (folder_ / "out.png").string()}, {"--print-view", hostile.string()},
             {"--check", hostile.string()}}) {
      const ToolRun run = Run(command);
      const int status = command[0] == "--check" ? c.checkStatus : 2;
      const std::string said = run.status == 1 ? run.out : run.err;
      EXPECT_EQ(run.status, status) << c.name << " " << command[0] << ": " << run.err.substr(0, 300);
      EXPECT_NE(said.find(c.message), std::string::npos) << c.name << " " << command[0] << ": " << said.substr(0, 300);
      EXPECT_EQ(FolderContents(), std::vector<std::string>{"hostile.pgm"}) << c.name << " " << command[0];
    }
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
