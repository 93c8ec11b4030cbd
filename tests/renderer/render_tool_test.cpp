// SPDX-License-Identifier: MIT
// Runs the built tobrisk-render as a user would and reads back what it wrote.

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <string>
#include <vector>

#include <cstdint>
#include <cstdio>
#include <stdexcept>

#include <gtest/gtest.h>

#include "engine/fractal.h"
#include "platform/picture.h"
#include "tests/support/default_views.h"
#include "tests/support/pgm_file.h"
#include "tests/support/png_file.h"
#include "tests/support/recording_surface.h"
#include "tests/support/render_tool_folder.h"
#ifndef _WIN32
#include "tests/support/terminal_run.h"
#endif
#include "tests/support/tool_run.h"
#include "tobrisk/version.h"
#include "tools/colour/palettes.h"
#include "tools/png/png_rows.h"
#include "tools/render/render_options.h"
#include "tools/render/streaming_surface.h"
#include "ui/draw_command.h"

namespace tobrisk {
namespace {

namespace fs = std::filesystem;

using RenderTool = test::RenderToolFolder;

Picture DrawInMemory(const FieldTexts& texts, bool mandelbrot, int width, int height) {
  Picture picture(width, height);
  Draw(texts, mandelbrot, picture);
  return picture;
}

TEST_F(RenderTool, PicturesMatchTheDrawCommand) {
  struct Case {
    const char* name;
    std::vector<std::string> arguments;
    FieldTexts texts;
    int width, height;
  };
  const Case cases[] = {
      {"the default picture", {}, test::kStartTexts, 320, 200},
      // 1,501 bytes a row: three blocks deflated apart, the last one short.
      {"a picture of several deflated blocks and an odd width",
       {"--size", "3001x1500", "--xmin", "-1.5", "--xmax", "0.5", "--ymin", "-1", "--ymax", "1", "--iterations", "50"},
       {"-1.5", "0.5", "-1", "1", "50", "0.3", "0.6"}, 3001, 1500},
      // The centre form is exactly the four texts it becomes, typed into the window.
      {"a view by centre and width", {"--centre", "-0.5,0", "--width", "4", "--size", "320x200"},
       {"-2.5", "1.5", "-1.25", "1.25", "100", "0.3", "0.6"}, 320, 200},
      {"a view by centre and width of an odd shape",
       {"--centre", "0.1,0.2", "--width", "0.3", "--size", "33x22", "--iterations", "60"},
       {"-0.04999999999999999", "0.25", "0.10000000000000002", "0.3", "60", "0.3", "0.6"}, 33, 22},
      {"the window's palette named", {"--palette", "window"}, test::kStartTexts, 320, 200},
  };
  for (const Case& c : cases) {
    const fs::path png = folder_ / "picture.png";
    std::vector<std::string> arguments = c.arguments;
    arguments.insert(arguments.end(), {"-o", png.string()});
    const ToolRun run = Run(arguments);
    ASSERT_EQ(run.status, 0) << c.name << ": " << run.err;
    std::string problem;
    const std::optional<Picture> written = ReadPng(png, &problem);
    ASSERT_TRUE(written.has_value()) << c.name << ": " << problem;
    EXPECT_TRUE(*written == DrawInMemory(c.texts, true, c.width, c.height)) << c.name;
  }
}

// The writer on its own, with blocks small enough to cut rows anywhere.
TEST_F(RenderTool, DeflatedBlocksJoinIntoOneValidPicture) {
  struct Case {
    const char* name;
    int width, height;
    std::size_t blockBytes;
  };
  const Case cases[] = {
      {"blocks end inside rows", 97, 61, 7},
      {"one row a block", 64, 40, 33},
      {"one byte a block", 9, 5, 1},
      {"a single pixel", 1, 1, 1 << 20},
      {"the whole picture in one block", 320, 200, 1 << 20},
  };
  const FieldTexts texts = test::kStartTexts;
  for (const Case& c : cases) {
    const fs::path path = folder_ / "blocks.png";
    std::FILE* file = std::fopen(path.string().c_str(), "wb");
    ASSERT_NE(file, nullptr);
    {
      PngRowWriter png(file, path.string(), c.width, c.height, WindowColours{}, {c.blockBytes});
      StreamingSurface surface(c.width, c.height, png, nullptr);
      Draw(texts, true, surface);
      png.Finish();
    }
    ASSERT_EQ(std::fclose(file), 0);
    std::string problem;
    const std::optional<Picture> written = ReadPng(path, &problem);
    ASSERT_TRUE(written.has_value()) << c.name << ": " << problem;
    EXPECT_TRUE(*written == DrawInMemory(texts, true, c.width, c.height)) << c.name;
  }
}

TEST_F(RenderTool, JuliaWithCountsMatchesTheDrawCommand) {
  const fs::path png = folder_ / "julia.png";
  const fs::path pgm = folder_ / "julia.pgm";
  const ToolRun run = Run({"--julia", "--real", "-0.8", "--imaginary", "0.156", "--iterations", "300", "--size",
                           "97x61", "--counts", pgm.string(), "-o", png.string()});
  ASSERT_EQ(run.status, 0) << run.err;
  const FieldTexts texts{"-1.5", "1.5", "-1.5", "1.5", "300", "-0.8", "0.156"};
  const std::optional<Picture> written = ReadPng(png);
  ASSERT_TRUE(written.has_value());
  EXPECT_EQ(*written, DrawInMemory(texts, false, 97, 61));

  // The count map holds n itself: its colour must agree with the picture everywhere.
  const std::optional<test::CountMapFile> counts = test::ParseCountMap(ReadFile(pgm));
  ASSERT_TRUE(counts.has_value()) << "not a binary PGM";
  ASSERT_EQ(counts->width, 97);
  ASSERT_EQ(counts->height, 61);
  bool someSlowPixel = false;
  int largest = 0;
  for (int row = 0; row < 61; ++row) {
    for (int col = 0; col < 97; ++col) {
      const auto n = static_cast<EscapeCount>(counts->counts[static_cast<std::size_t>(row * 97 + col)]);
      someSlowPixel = someSlowPixel || n > 255;  // exercises the high byte
      largest = std::max(largest, static_cast<int>(n));
      ASSERT_EQ(written->At(col, row), Palette16[static_cast<std::size_t>(PaletteIndexFor(n, InPass{}))])
          << col << "," << row << " n=" << n;
    }
  }
  EXPECT_TRUE(someSlowPixel);
  EXPECT_EQ(counts->maxval, largest) << "a viewer scales the map by its maxval";
}

TEST_F(RenderTool, PicturesAreTheSameForAnyNumberOfThreads) {
  const std::vector<std::string> view{"--centre", "-0.7435,0.1314", "--width", "0.002", "--size", "301x203",
                                      "--iterations", "700", "--palette", "fire"};
  const auto render = [&](const std::vector<std::string>& threads) {
    std::vector<std::string> arguments = view;
    arguments.insert(arguments.end(), threads.begin(), threads.end());
    arguments.insert(arguments.end(), {"-o", (folder_ / "threads.png").string()});
    const ToolRun run = Run(arguments);
    EXPECT_EQ(run.status, 0) << run.err;
    return ReadFile(folder_ / "threads.png");
  };
  const std::string everyCore = render({});
  ASSERT_FALSE(everyCore.empty());
  for (const char* threads : {"1", "2", "3"}) {
    EXPECT_EQ(render({"--threads", threads}), everyCore) << "--threads " << threads;
  }
}

// Colour maps counts and nothing else: each pixel's colour is its count's in
// the palette chosen, and the PNG is indexed while its colours fit 256 entries.
TEST_F(RenderTool, PalettesColourEachCountAsChosen) {
  struct Case {
    const char* name;
    std::vector<std::string> arguments;
    std::uint8_t bitDepth, colourType;  // from the IHDR: 3 is indexed, 2 is RGB
  };
  const Case cases[] = {
      {"the window's palette", {}, 4, 3},
      {"the window's palette with an inside colour", {"--inside", "#123456"}, 4, 3},
      {"a gradient of the default cycle", {"--palette", "ocean"}, 8, 3},
      {"a gradient that fits a palette of 16", {"--palette", "grey", "--cycle", "15", "--inside", "white"}, 4, 3},
      {"the longest gradient that fits a palette", {"--palette", "rainbow", "--cycle", "255"}, 8, 3},
      {"a gradient too long for a palette", {"--palette", "fire", "--cycle", "256", "--inside", "#f0f"}, 8, 2},
  };
  constexpr int kWidth = 97;
  constexpr int kHeight = 61;
  constexpr std::int16_t kMaxIter = 300;
  test::RecordingSurface counted(kWidth, kHeight);
  const FieldTexts texts{"-2.5", "1.5", "-1.5", "1.5", "300", "0.3", "0.6"};
  Draw(texts, true, counted);
  ASSERT_EQ(counted.plots.size(), static_cast<std::size_t>(kWidth * kHeight));
  for (const Case& c : cases) {
    const fs::path png = folder_ / "palette.png";
    std::vector<std::string> arguments = c.arguments;
    arguments.insert(arguments.end(), {"--iterations", "300", "--size", "97x61", "-o", png.string()});
    const ToolRun run = Run(arguments);
    ASSERT_EQ(run.status, 0) << c.name << ": " << run.err;
    const std::string bytes = ReadFile(png);
    ASSERT_GT(bytes.size(), 26U);
    EXPECT_EQ(static_cast<std::uint8_t>(bytes[24]), c.bitDepth) << c.name;
    EXPECT_EQ(static_cast<std::uint8_t>(bytes[25]), c.colourType) << c.name;
    std::string problem;
    const std::optional<Picture> written = ReadPng(png, &problem);
    ASSERT_TRUE(written.has_value()) << c.name << ": " << problem;
    const Colouring colouring = ColouringOf(std::get<RenderOptions>(ParseRenderArguments(
        std::vector<std::string_view>(arguments.begin(), arguments.end()))));
    const int cycle = colouring.cycle;
    bool sawInside = false;
    for (const test::RecordingSurface::Plotted& p : counted.plots) {
      const bool inside = p.n > kMaxIter;
      sawInside = sawInside || inside;
      Colour expected = Palette16[static_cast<std::size_t>(p.n % 15 + 1)];
      if (!colouring.palette.IsWindows()) expected = GradientColour(colouring.palette.stops, p.n % cycle, cycle);
      if (inside && (colouring.inside || !colouring.palette.IsWindows())) {
        expected = colouring.inside.value_or(Colour{0, 0, 0});
      }
      ASSERT_EQ(written->At(p.col, p.row), expected) << c.name << " at " << p.col << "," << p.row << " n=" << p.n;
    }
    EXPECT_TRUE(sawInside) << "the view must hold points of the set";
  }
}

TEST_F(RenderTool, AViewNarrowerThanSinglesResolveWarnsAndStillDraws) {
  struct Case {
    const char* name;
    std::vector<std::string> arguments;
    std::string warning;  // empty: none
  };
  const Case cases[] = {
      {"a view 1e-7 wide", {"--centre", "-0.7435,0.1314", "--width", "1e-7", "--size", "1000x500"},
       "tobrisk-render: warning: the view is narrower than single precision resolves: 997 of 1000 columns repeat "
       "their neighbour's x and 496 of 500 rows repeat their neighbour's y\n"},
      {"columns alone", {"--xmin", "1", "--xmax", "1", "--size", "8x4"},
       "tobrisk-render: warning: the view is narrower than single precision resolves: 7 of 8 columns repeat their "
       "neighbour's x\n"},
      {"--quiet silences it", {"--centre", "0.3,0.1", "--width", "1e-8", "-q"}, ""},
      {"an ordinary view", {"--centre", "0.3,0.1", "--width", "1e-3"}, ""},
  };
  for (const Case& c : cases) {
    std::vector<std::string> arguments = c.arguments;
    arguments.insert(arguments.end(), {"-o", (folder_ / "deep.png").string()});
    const ToolRun run = Run(arguments);
    EXPECT_EQ(run.status, 0) << c.name << ": " << run.err;
    EXPECT_EQ(run.err, c.warning) << c.name;
    EXPECT_TRUE(ReadPng(folder_ / "deep.png").has_value()) << c.name;
  }
}

TEST_F(RenderTool, StandardOutputReceivesThePng) {
  const ToolRun run = Run({"--size", "8x4", "-o", "-"});
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(run.out.substr(0, 8), std::string("\x89PNG\r\n\x1a\n", 8));
}

TEST_F(RenderTool, DrawingErrorsLeaveExistingFilesUntouched) {
  struct Case {
    std::vector<std::string> arguments;
    std::string message;
  };
  const Case cases[] = {
      {{"--xmax", "1e39"},
       "tobrisk-render: Floating-point fault (invalid operation) at pixel (0, 0). X Max \"1e39\" lies beyond the "
       "largest single (about 3.4e38).\n"},
      {{"--iterations", "40000"}, "Overflow: Iterations must lie between -32768 and 32767"},
      {{"--xmin", "0", "--xmax", "8e10", "--size", "16x4"}, "at pixel (1, 0)"},
      {{"--iterations", "32767"},
       "the iteration count passed 32767. Iterations 32766 is the largest limit at which points that never escape "
       "can be drawn\n"},
  };
  const fs::path png = folder_ / "keep.png";
  const fs::path pgm = folder_ / "keep.pgm";
  for (const Case& c : cases) {
    std::ofstream(png) << "old picture";
    std::vector<std::string> arguments = c.arguments;
    arguments.insert(arguments.end(), {"--counts", pgm.string(), "-o", png.string()});
    const ToolRun run = Run(arguments);
    EXPECT_EQ(run.status, 1);
    EXPECT_NE(run.err.find(c.message), std::string::npos) << run.err;
    EXPECT_EQ(std::count(run.err.begin(), run.err.end(), '\n'), 1) << run.err;
    EXPECT_EQ(ReadFile(png), "old picture");
    EXPECT_EQ(FolderContents(), std::vector<std::string>{"keep.png"}) << "no count map, no temporary file";
  }
}

TEST_F(RenderTool, UnwritableDestinationsFailClearly) {
  struct Case {
    std::string path;
    std::string message;
    std::vector<std::string> arguments = {};
  };
  const Case cases[] = {
      {(folder_ / "missing" / "x.png").string(), "No such file or directory"},
      {folder_.string(), "is a directory"},
#ifndef _WIN32
      {"/dev/full", "No space left on device"},
      // Fails while later blocks of the picture are still being deflated.
      {"/dev/full", "No space left on device", {"--size", "6000x4000", "--iterations", "1"}},
#endif
  };
  for (const Case& c : cases) {
    std::vector<std::string> arguments = c.arguments;
    arguments.insert(arguments.end(), {"-o", c.path});
    const ToolRun run = Run(arguments);
    EXPECT_EQ(run.status, 1) << c.path;
    EXPECT_NE(run.err.find(c.message), std::string::npos) << run.err;
  }
  EXPECT_TRUE(FolderContents().empty());
#ifndef _WIN32
  struct stat device {};
  ASSERT_EQ(::stat("/dev/full", &device), 0);
  EXPECT_TRUE(S_ISCHR(device.st_mode)) << "the device must be written, never replaced";
#endif
}

TEST_F(RenderTool, TheWriterRefusesRowsThatDoNotFit) {
  struct Case {
    const char* name;
    int rowsBefore;     // rows of the right width first
    int width;          // of the next row
    bool finishInstead; // finish instead of writing that row
  };
  const Case cases[] = {
      {"a row too narrow", 0, 3, false},
      {"a row too wide", 1, 5, false},
      {"a row past the last", 2, 4, false},
      {"finishing before the last row", 1, 4, true},
  };
  for (const Case& c : cases) {
    const fs::path path = folder_ / "misuse.png";
    std::FILE* file = std::fopen(path.string().c_str(), "wb");
    ASSERT_NE(file, nullptr);
    {
      PngRowWriter png(file, path.string(), 4, 2);
      const std::vector<std::uint8_t> row(4, 1);
      for (int i = 0; i < c.rowsBefore; ++i) png.WriteRow(row);
      const std::vector<std::uint8_t> next(static_cast<std::size_t>(c.width), 1);
      if (c.finishInstead) {
        EXPECT_THROW(png.Finish(), std::logic_error) << c.name;
      } else {
        EXPECT_THROW(png.WriteRow(next), std::logic_error) << c.name;
      }
    }
    std::fclose(file);
  }
}

TEST_F(RenderTool, ReplacesAnExistingFileAndKeepsItsPermissions) {
  const fs::path png = folder_ / "again.png";
  std::ofstream(png) << "old picture";
  fs::permissions(png, fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
  ASSERT_EQ(Run({"--size", "5x5", "-o", png.string()}).status, 0);
  EXPECT_TRUE(ReadPng(png).has_value());
#ifndef _WIN32  // Windows keeps access rights in the folder's lists, which a new file inherits
  EXPECT_EQ(fs::status(png).permissions() & fs::perms::all,
            fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
#endif
  EXPECT_EQ(FolderContents(), std::vector<std::string>{"again.png"});
}

struct ProgressCase {
  const char* name;
  std::vector<std::string> arguments;
  enum { File, Terminal, Closed } stderrIs;
  enum { Hidden, Shown, ShownIfSlow } progress;
  int status;
  std::string message;  // how the last line of stderr begins, if there is one
};

TEST_F(RenderTool, ProgressShowsOnlyWhereWanted) {
  // Its rows are timed renders of several seconds, minutes under an emulator,
  // and what they check is the terminal handling, not the arithmetic.
  if (ToolRunsUnderEmulator()) GTEST_SKIP() << "timed terminal runs are not run under an emulator";
  const ProgressCase cases[] = {
      {"a quick render on a terminal shows nothing", {"--size", "64x40"}, ProgressCase::Terminal, ProgressCase::Hidden, 0, ""},
      {"--progress shows it at once and clears it", {"--progress", "--size", "64x40"}, ProgressCase::Terminal,
       ProgressCase::Shown, 0, ""},
      {"--quiet after --progress silences it", {"--progress", "-q"}, ProgressCase::Terminal, ProgressCase::Hidden, 0, ""},
      {"--progress into a file writes plain lines", {"--progress", "--size", "64x40"}, ProgressCase::File,
       ProgressCase::Shown, 0, ""},
      {"--progress with standard error closed keeps the picture whole", {"--progress", "--size", "64x40"},
       ProgressCase::Closed, ProgressCase::Hidden, 0, ""},
      {"an error clears the line before its message",
       {"--progress", "--xmax", "1e39"}, ProgressCase::Terminal, ProgressCase::Shown, 1,
       "tobrisk-render: Floating-point fault (invalid operation) at pixel (0, 0)"},
      {"a render of a few seconds shows it unasked",
       {"--size", "1000x3000", "--iterations", "20000", "--xmin", "-0.75", "--xmax", "-0.74", "--ymin", "0.1",
        "--ymax", "0.11"},
       ProgressCase::Terminal, ProgressCase::ShownIfSlow, 0, ""},
      {"--progress into a file logs a long render to its last row",
       {"--progress", "--size", "1000x3000", "--iterations", "20000", "--xmin", "-0.75", "--xmax", "-0.74", "--ymin",
        "0.1", "--ymax", "0.11"},
       ProgressCase::File, ProgressCase::Shown, 0, ""},
      {"a render of a few seconds into a file shows nothing",
       {"--size", "1000x3000", "--iterations", "20000", "--xmin", "-0.75", "--xmax", "-0.74", "--ymin", "0.1",
        "--ymax", "0.11"},
       ProgressCase::File, ProgressCase::Hidden, 0, ""},
  };
  const std::string png = (folder_ / "progress.png").string();
  constexpr std::string_view kClear = "\r\x1b[K";
  for (const ProgressCase& c : cases) {
    std::vector<std::string> arguments = c.arguments;
    arguments.insert(arguments.end(), {"-o", png});
    const auto start = std::chrono::steady_clock::now();
#ifdef _WIN32
    if (c.stderrIs != ProgressCase::File) continue;  // no pseudo-terminals, no POSIX shell
    const ToolRun run = Run(arguments);
#else
    if (c.stderrIs == ProgressCase::Closed) {
      // A file opened with descriptor 2 free takes it; no progress may land there.
      EXPECT_EQ(std::system((ToolCommand(TOBRISK_RENDER_PATH, arguments) + " 2>&-").c_str()), 0) << c.name;
      EXPECT_TRUE(ReadPng(png).has_value()) << c.name;
      continue;
    }
    const ToolRun run = c.stderrIs == ProgressCase::Terminal ? RunToolOnTerminal(TOBRISK_RENDER_PATH, arguments, folder_)
                                                             : Run(arguments);
#endif
    const auto took = std::chrono::steady_clock::now() - start;
    EXPECT_EQ(run.status, c.status) << c.name << ": " << run.err;
    // Shown after a second on a terminal; a run under 1.2 s may rightly show nothing.
    const bool shown = c.progress == ProgressCase::Shown ||
                       (c.progress == ProgressCase::ShownIfSlow && took > std::chrono::milliseconds(1200));
    std::string rest = run.err;
    if (!c.message.empty()) {
      const std::size_t at = rest.find(c.message);
      ASSERT_NE(at, std::string::npos) << c.name << ": " << run.err;
      EXPECT_EQ(rest.find('\n', at), rest.size() - 1) << c.name << ": the message must be the one last line";
      rest.resize(at);
    }
    if (!shown) {
      if (c.progress != ProgressCase::ShownIfSlow) {
        EXPECT_EQ(rest, "") << c.name;
      }
      continue;
    }
    EXPECT_NE(rest.find(" rows, "), std::string::npos) << c.name << ": " << run.err;
    EXPECT_NE(rest.find("%, "), std::string::npos) << c.name << ": " << run.err;
    if (c.stderrIs == ProgressCase::Terminal) {
      // Each update redraws the line, and the last thing written clears it.
      EXPECT_TRUE(rest.starts_with(kClear)) << c.name << ": " << run.err;
      EXPECT_TRUE(rest.ends_with(kClear)) << c.name << ": " << run.err;
      EXPECT_EQ(rest.find('\n'), std::string::npos) << c.name << ": the line must not scroll";
    } else {
      EXPECT_EQ(rest.find('\x1b'), std::string::npos) << c.name << ": a file needs no terminal controls";
      EXPECT_TRUE(rest.ends_with("\n")) << c.name;
      // A log: no line twice, and a last line that says the render is whole.
      std::vector<std::string> lines;
      for (std::size_t from = 0, end; (end = rest.find('\n', from)) != std::string::npos; from = end + 1) {
        lines.push_back(rest.substr(from, end - from));
      }
      std::vector<std::string> distinct = lines;
      std::sort(distinct.begin(), distinct.end());
      EXPECT_EQ(std::unique(distinct.begin(), distinct.end()), distinct.end()) << c.name << ": " << rest;
      if (c.status == 0 && !lines.empty()) {
        const std::string rows = lines.back().substr(0, lines.back().find(" rows, "));
        const std::string all = rows.substr(rows.find(" of ") + 4);
        EXPECT_TRUE(lines.back().starts_with(all + " of " + all + " rows, 100%, ")) << c.name << ": " << rest;
      }
    }
  }
}

TEST_F(RenderTool, UsageErrorsExitWithStatus2) {
  for (const std::vector<std::string>& arguments :
       {std::vector<std::string>{"--xmin", "abc", "-o", "x.png"}, std::vector<std::string>{"--size", "0x0", "-o", "x.png"},
        std::vector<std::string>{}}) {
    const ToolRun run = Run(arguments);
    EXPECT_EQ(run.status, 2);
    EXPECT_FALSE(run.err.empty());
  }
  EXPECT_TRUE(FolderContents().empty());
  const ToolRun help = Run({"--help"});
  EXPECT_EQ(help.status, 0);
  EXPECT_NE(help.out.find("Usage:"), std::string::npos);
  const ToolRun version = Run({"--version"});
  EXPECT_EQ(version.status, 0);
  EXPECT_EQ(version.out, "tobrisk-render " + std::string(kVersion) + "\n");
#ifndef _WIN32
  EXPECT_EQ(Run({"--version"}, ">/dev/full").status, 1) << "a version that cannot be written is a failure";
#endif
}

}  // namespace
}  // namespace tobrisk
