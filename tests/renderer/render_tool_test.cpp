// Runs the built tobrisk-render as a user would and reads back what it wrote.

#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

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
#include "tests/support/png_file.h"
#include "tests/support/tool_run.h"
#include "tools/png_rows.h"
#include "tools/streaming_surface.h"
#include "ui/draw_command.h"

namespace tobrisk {
namespace {

namespace fs = std::filesystem;

class RenderTool : public testing::Test {
 protected:
  void SetUp() override {
    folder_ = fs::temp_directory_path() / ("tobrisk-render-test-" + std::to_string(::getpid()) + "-" +
                                           testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(folder_);
    fs::create_directories(folder_);
  }
  void TearDown() override { fs::remove_all(folder_); }

  ToolRun Run(const std::vector<std::string>& arguments) const {
    return RunTool(TOBRISK_RENDER_PATH, arguments, folder_);
  }

  // Only the files a test expects; temporary files left behind would show here.
  std::vector<std::string> FolderContents() const { return tobrisk::FolderContents(folder_); }

  fs::path folder_;
};

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
      {"the default picture", {}, {"-2.5", "1.5", "-1.5", "1.5", "100", "0.3", "0.6"}, 320, 200},
      // 1,501 bytes a row: three blocks deflated apart, the last one short.
      {"a picture of several deflated blocks and an odd width",
       {"--size", "3001x1500", "--xmin", "-1.5", "--xmax", "0.5", "--ymin", "-1", "--ymax", "1", "--iterations", "50"},
       {"-1.5", "0.5", "-1", "1", "50", "0.3", "0.6"}, 3001, 1500},
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
  const FieldTexts texts{"-2.5", "1.5", "-1.5", "1.5", "100", "0.3", "0.6"};
  for (const Case& c : cases) {
    const fs::path path = folder_ / "blocks.png";
    std::FILE* file = std::fopen(path.c_str(), "wb");
    ASSERT_NE(file, nullptr);
    {
      PngRowWriter png(file, path.string(), c.width, c.height, c.blockBytes);
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
  const std::string counts = ReadFile(pgm);
  const std::string header = "P5\n97 61\n65535\n";
  ASSERT_EQ(counts.size(), header.size() + 97U * 61U * 2U);
  ASSERT_EQ(counts.substr(0, header.size()), header);
  bool someSlowPixel = false;
  for (int row = 0; row < 61; ++row) {
    for (int col = 0; col < 97; ++col) {
      const std::size_t at = header.size() + 2U * static_cast<std::size_t>(row * 97 + col);
      const auto n = static_cast<EscapeCount>((static_cast<unsigned char>(counts[at]) << 8) |
                                              static_cast<unsigned char>(counts[at + 1]));
      someSlowPixel = someSlowPixel || n > 255;  // exercises the high byte
      ASSERT_EQ(written->At(col, row), Palette16[static_cast<std::size_t>(PaletteIndexFor(n, InPass{}))])
          << col << "," << row << " n=" << n;
    }
  }
  EXPECT_TRUE(someSlowPixel);
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
      {{"--xmax", "1e39"}, "Floating-point fault (invalid operation) at pixel (0, 0)"},
      {{"--iterations", "40000"}, "Overflow: Iterations must lie between -32768 and 32767"},
      {{"--xmin", "0", "--xmax", "8e10", "--size", "16x4"}, "at pixel (1, 0)"},
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
      {"/dev/full", "No space left on device"},
      // Fails while later blocks of the picture are still being deflated.
      {"/dev/full", "No space left on device", {"--size", "6000x4000", "--iterations", "1"}},
  };
  for (const Case& c : cases) {
    std::vector<std::string> arguments = c.arguments;
    arguments.insert(arguments.end(), {"-o", c.path});
    const ToolRun run = Run(arguments);
    EXPECT_EQ(run.status, 1) << c.path;
    EXPECT_NE(run.err.find(c.message), std::string::npos) << run.err;
  }
  EXPECT_TRUE(FolderContents().empty());
  struct stat device {};
  ASSERT_EQ(::stat("/dev/full", &device), 0);
  EXPECT_TRUE(S_ISCHR(device.st_mode)) << "the device must be written, never replaced";
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
    std::FILE* file = std::fopen(path.c_str(), "wb");
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
  EXPECT_EQ(fs::status(png).permissions() & fs::perms::all,
            fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
  EXPECT_EQ(FolderContents(), std::vector<std::string>{"again.png"});
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
}

}  // namespace
}  // namespace tobrisk
