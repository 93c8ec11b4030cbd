// SPDX-License-Identifier: MIT
// Pictures and count maps that carry their own view: stored as the renderer
// read it, shown as the window's fields, drawn again, enlarged and checked.

#include <sys/stat.h>
#include <sys/types.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string>
#include <thread>
#include <variant>
#include <vector>

#include <png.h>

#include <gtest/gtest.h>

#include "platform/picture.h"
#include "tests/support/pgm_file.h"
#include "tests/support/png_chunks.h"
#include "tests/support/png_file.h"
#include "tests/support/render_tool_folder.h"
#include "tests/support/tool_run.h"
#include "tobrisk/version.h"
#include "tools/view_record/view_record.h"

namespace tobrisk {
namespace {

namespace fs = std::filesystem;

using ViewRecordTool = test::RenderToolFolder;

// The texts a file stores, as written and read back.
TEST(ViewRecordTexts, ReadBackAsWritten) {
  ViewRecord record;
  record.kind = FractalKind::Julia;
  record.fields = {"-1.50", "1.5e0", "-1", "1", "100.4", "-0.8", "0.156"};
  record.width = 97;
  record.height = 61;
  record.colours = {{"Tobrisk Palette", "fire"}, {"Tobrisk Inside", "#fff"}};
  const std::vector<RecordText> texts = RecordTexts(record, "tobrisk-render 9.9");
  EXPECT_EQ(texts.front(), (RecordText{"Software", "tobrisk-render 9.9"}));
  const auto back = RecordFromTexts(texts);
  ASSERT_TRUE(std::holds_alternative<ViewRecord>(back)) << std::get<std::string>(back);
  const ViewRecord& read = std::get<ViewRecord>(back);
  EXPECT_EQ(read.kind, record.kind);
  EXPECT_EQ(read.fields, record.fields);
  EXPECT_EQ(read.width, 97);
  EXPECT_EQ(read.height, 61);
  EXPECT_EQ(read.colours, record.colours);
  EXPECT_EQ(RecordArguments(read),
            (std::vector<std::string>{"--julia", "--xmin=-1.50", "--xmax=1.5e0", "--ymin=-1", "--ymax=1",
                                      "--iterations=100.4", "--real=-0.8", "--imaginary=0.156", "--size=97x61",
                                      "--palette=fire", "--inside=#fff"}));
}

// Each view below, drawn with a count map: both files show the view as the
// window's fields, check as identical, draw again to the very same bytes, and
// enlarge to what drawing the view at the larger size gives.
TEST_F(ViewRecordTool, FilesDrawTheirViewAgain) {
  struct Case {
    const char* name;
    std::vector<std::string> arguments;
    std::string windowText;  // empty: not compared
  };
  const Case cases[] = {
      {"the default view", {},
       "Mandelbrot (chosen)\nX Min: -2.5\nX Max: 1.5\nY Min: -1.5\nY Max: 1.5\nIterations: 100\nReal: 0.3\n"
       "Imaginary: 0.6\nSize: 320x200\nPalette: window\n"},
      {"texts kept exactly as typed",
       {"--xmin", "-2.50", "--xmax=1.5e0", "--iterations", "100.4", "--real", "+0.3", "--size", "64x40"},
       "Mandelbrot (chosen)\nX Min: -2.50\nX Max: 1.5e0\nY Min: -1.5\nY Max: 1.5\nIterations: 100.4\nReal: +0.3\n"
       "Imaginary: 0.6\nSize: 64x40\nPalette: window\n"},
      {"a Julia set in a gradient of true colours",
       {"--julia", "--real", "-0.8", "--imaginary", "0.156", "--iterations", "300", "--palette", "fire", "--cycle",
        "400", "--inside", "#fff", "--size", "97x61"},
       "Julia (chosen)\nX Min: -1.5\nX Max: 1.5\nY Min: -1.5\nY Max: 1.5\nIterations: 300\nReal: -0.8\n"
       "Imaginary: 0.156\nSize: 97x61\nPalette: fire\nCycle: 400\nInside: #fff\n"},
      {"a gradient in a palette", {"--palette", "ocean", "--cycle", "40", "--size", "33x21"}, ""},
      {"a centre and width, stored as the bounds they give",
       {"--centre", "-0.7435,0.1314", "--width", "0.002", "--iterations", "700", "--size", "64x40"}, ""},
  };
  const fs::path png = folder_ / "view.png";
  const fs::path pgm = folder_ / "view.pgm";
  for (const Case& c : cases) {
    std::vector<std::string> arguments = c.arguments;
    arguments.insert(arguments.end(), {"--counts", pgm.string(), "-o", png.string()});
    ASSERT_EQ(Run(arguments).status, 0) << c.name;

    const ToolRun shown = Run({"--print-view", png.string()});
    EXPECT_EQ(shown.status, 0) << c.name << ": " << shown.err;
    if (!c.windowText.empty()) {
      EXPECT_EQ(shown.out, c.windowText) << c.name;
    }
    EXPECT_EQ(Run({"--print-view", pgm.string()}).out, shown.out) << c.name << ": the count map holds another view";

    for (const fs::path& file : {png, pgm}) {
      const ToolRun check = Run({"--check", file.string()});
      EXPECT_EQ(check.status, 0) << c.name << ": " << check.out << check.err;
      EXPECT_EQ(check.out, file.string() + ": identical\n") << c.name;
    }

    const fs::path again = folder_ / "again.png";
    ASSERT_EQ(Run({"--from", png.string(), "-o", again.string()}).status, 0) << c.name;
    EXPECT_EQ(ReadFile(again), ReadFile(png)) << c.name << ": drawn again, the file differs";

    // Enlarged by --from and a later --size, and drawn directly at that size from the shown texts.
    const fs::path big = folder_ / "big.png";
    const fs::path direct = folder_ / "direct.png";
    ASSERT_EQ(Run({"--from", pgm.string(), "--size", "130x90", "-o", big.string()}).status, 0) << c.name;
    std::vector<std::string> directArguments = c.arguments;
    directArguments.insert(directArguments.end(), {"--size", "130x90", "-o", direct.string()});
    ASSERT_EQ(Run(directArguments).status, 0) << c.name;
    if (c.arguments.empty() || c.arguments.front() != "--centre") {  // the centre form's bounds depend on the size
      EXPECT_EQ(ReadFile(big), ReadFile(direct)) << c.name << ": the enlargement is not the view at that size";
    }
    EXPECT_EQ(Run({"--check", big.string()}).status, 0) << c.name;
    fs::remove_all(folder_);
    fs::create_directories(folder_);
  }
}

// Options before --from give way to the file, those after it override it.
TEST_F(ViewRecordTool, OptionsAfterFromOverrideTheFile) {
  const fs::path png = folder_ / "view.png";
  ASSERT_EQ(Run({"--julia", "--iterations", "50", "--size", "40x30", "-o", png.string()}).status, 0);
  struct Case {
    const char* name;
    std::vector<std::string> arguments;
    std::string expectLine;
  };
  const Case cases[] = {
      {"a later limit wins", {"--from", png.string(), "--iterations", "70"}, "Iterations: 70\n"},
      {"an earlier limit gives way", {"--iterations", "70", "--from", png.string()}, "Iterations: 50\n"},
      {"a later kind wins", {"--from", png.string(), "--mandelbrot"}, "Mandelbrot (chosen)\n"},
      {"a later bound wins", {"--from", png.string(), "--xmin=-1"}, "X Min: -1\n"},
      {"a centre and width replace the file's bounds", {"--from", png.string(), "--centre", "0,0", "--width", "2"},
       "X Min: -1\n"},
      {"a later palette wins", {"--from", png.string(), "--palette", "fire"}, "Palette: fire\n"},
  };
  for (const Case& c : cases) {
    const fs::path out = folder_ / "out.png";
    std::vector<std::string> arguments = c.arguments;
    arguments.insert(arguments.end(), {"-o", out.string()});
    const ToolRun run = Run(arguments);
    ASSERT_EQ(run.status, 0) << c.name << ": " << run.err;
    EXPECT_NE(Run({"--print-view", out.string()}).out.find(c.expectLine), std::string::npos) << c.name;
  }
}

// Writes `picture` as an 8-bit RGB PNG with libpng, as another program would.
bool WriteRgbPng(const Picture& picture, int width, int height, const fs::path& path) {
  std::vector<unsigned char> pixels;
  for (int row = 0; row < height; ++row) {
    for (int col = 0; col < width; ++col) {
      const Colour colour = picture.At(col, row);
      pixels.insert(pixels.end(), {colour.red, colour.green, colour.blue});
    }
  }
  png_image image{};
  image.version = PNG_IMAGE_VERSION;
  image.width = static_cast<png_uint_32>(width);
  image.height = static_cast<png_uint_32>(height);
  image.format = PNG_FORMAT_RGB;
  return png_image_write_to_file(&image, path.string().c_str(), 0, pixels.data(), 0, nullptr) != 0;
}

// --check finds the first pixel that differs and names both values, whatever
// the layout its pixels are stored in.
TEST_F(ViewRecordTool, CheckNamesTheFirstDifference) {
  constexpr int kWidth = 37;
  constexpr int kHeight = 23;
  const fs::path png = folder_ / "view.png";
  const fs::path pgm = folder_ / "view.pgm";
  ASSERT_EQ(Run({"--iterations", "300", "--size", "37x23", "--counts", pgm.string(), "-o", png.string()}).status, 0);
  const std::vector<test::PngChunk> chunks = test::SplitPng(ReadFile(png));
  const std::string rows = test::PixelData(chunks);
  const std::size_t stride = 1 + (kWidth + 1) / 2;
  ASSERT_EQ(rows.size(), stride * kHeight);
  std::vector<test::PngChunk> texts;
  for (const test::PngChunk& chunk : chunks) {
    if (chunk.type == "tEXt") texts.push_back(chunk);
  }
  const std::optional<Picture> picture = ReadPng(png);
  ASSERT_TRUE(picture.has_value());

  // Pixel (5, 3): the low half of its row's byte 3 (after the filter byte).
  std::string oneEntryChanged = rows;
  char& byte = oneEntryChanged[3 * stride + 1 + 5 / 2];
  const int entry = byte & 0x0F;
  byte = static_cast<char>((byte & 0xF0) | (entry == 15 ? 1 : entry + 1));
  const fs::path changed = folder_ / "changed.png";
  std::ofstream(changed, std::ios::binary) << test::JoinPng(test::WithPixelData(chunks, oneEntryChanged));

  // The same pixels as another program stores them, with and without the view's texts.
  const fs::path foreign = folder_ / "foreign.png";
  ASSERT_TRUE(WriteRgbPng(*picture, kWidth, kHeight, foreign));
  std::vector<test::PngChunk> rgb = test::SplitPng(ReadFile(foreign));
  ASSERT_FALSE(rgb.empty());
  rgb.insert(rgb.begin() + 1, texts.begin(), texts.end());
  const fs::path asRgb = folder_ / "rgb.png";
  std::ofstream(asRgb, std::ios::binary) << test::JoinPng(rgb);
  Picture recoloured = *picture;
  recoloured.SetPixel(30, 20, Colour{1, 2, 3});
  const fs::path rgbChanged = folder_ / "rgb-changed.png";
  ASSERT_TRUE(WriteRgbPng(recoloured, kWidth, kHeight, rgbChanged));
  rgb = test::SplitPng(ReadFile(rgbChanged));
  rgb.insert(rgb.begin() + 1, texts.begin(), texts.end());
  std::ofstream(rgbChanged, std::ios::binary) << test::JoinPng(rgb);

  // A palette entry's colour changed: the same entries, another picture.
  std::vector<test::PngChunk> repainted = chunks;
  for (test::PngChunk& chunk : repainted) {
    if (chunk.type == "PLTE") chunk.data[3 * entry] = static_cast<char>(chunk.data[3 * entry] ^ 0x10);
  }
  const fs::path otherPalette = folder_ / "palette.png";
  std::ofstream(otherPalette, std::ios::binary) << test::JoinPng(repainted);

  std::string counts = ReadFile(pgm);
  const std::size_t samples = counts.size() - kWidth * kHeight * 2;  // 301 needs two bytes a sample
  const std::size_t at = samples + 2 * (7 * kWidth + 11) + 1;
  counts[at] = static_cast<char>(counts[at] ^ 1);
  const fs::path countChanged = folder_ / "changed.pgm";
  std::ofstream(countChanged, std::ios::binary) << counts;

  struct Case {
    const char* name;
    fs::path file;
    int status;
    std::string answer;  // on standard output for 0 and 1, standard error for 2
  };
  const Case cases[] = {
      {"the untouched picture", png, 0, ": identical"},
      {"the untouched count map", pgm, 0, ": identical"},
      {"one palette entry changed", changed, 1, ": differs at pixel (5, 3): the file has palette entry "},
      {"one count changed", countChanged, 1, ": differs at pixel (11, 7): the file has count "},
      {"another program's PNG", foreign, 2, "it holds no view written by tobrisk-render"},
      {"the same pixels as RGB with the view", asRgb, 0, ": identical"},
      {"RGB with one pixel changed", rgbChanged, 1, ": differs at pixel (30, 20): the file has #010203, its view gives #"},
      {"a palette colour changed", otherPalette, 1, ": differs at pixel (0, 0): the file has #"},
  };
  for (const Case& c : cases) {
    const ToolRun run = Run({"--check", c.file.string()});
    EXPECT_EQ(run.status, c.status) << c.name << ": " << run.out << run.err;
    const std::string& said = c.status == 2 ? run.err : run.out;
    EXPECT_NE(said.find(c.answer), std::string::npos) << c.name << ": " << said;
  }
  EXPECT_NE(Run({"--check", changed.string()}).out.find("its view gives palette entry " + std::to_string(entry)),
            std::string::npos);
}

// A count map's maxval is its largest count, so that viewers scale it to
// white; one byte a sample under 256. Written to a pipe, which cannot be
// rewritten, it is the largest count the limit allows.
TEST_F(ViewRecordTool, CountMapMaxvalIsItsLargestCount) {
  struct Case {
    const char* name;
    std::vector<std::string> arguments;
    bool throughPipe;
    int maxval;  // 0: the largest count in the map
    int sampleBytes;
  };
  const Case cases[] = {
      {"counts under 256 at a limit above", {"--xmin", "1", "--xmax", "2", "--iterations", "1000"}, false, 0, 1},
      {"counts from 256 on", {"--iterations", "300"}, false, 0, 2},
      {"the limit's bound through a pipe", {"--xmin", "1", "--xmax", "2", "--iterations", "1000"}, true, 1001, 2},
      {"a small bound through a pipe", {"--iterations", "20"}, true, 21, 1},
      {"a limit under 1 still counts 2", {"--iterations", "-5"}, true, 2, 1},
  };
  for (const Case& c : cases) {
    const fs::path png = folder_ / "map.png";
    const fs::path pgm = folder_ / "map.pgm";
    std::vector<std::string> arguments = c.arguments;
    arguments.insert(arguments.end(), {"--size", "40x30", "--counts", pgm.string(), "-o", png.string()});
    std::string bytes;
    if (c.throughPipe) {
#ifdef _WIN32
      continue;  // no named pipes in the file system
#else
      ASSERT_EQ(::mkfifo(pgm.c_str(), 0600), 0);
      std::thread reader([&] { bytes = ReadFile(pgm); });
      const ToolRun run = Run(arguments);
      reader.join();
      ASSERT_EQ(run.status, 0) << c.name << ": " << run.err;
#endif
    } else {
      ASSERT_EQ(Run(arguments).status, 0) << c.name;
      bytes = ReadFile(pgm);
    }
    const std::optional<test::CountMapFile> map = test::ParseCountMap(bytes);
    ASSERT_TRUE(map.has_value()) << c.name << ": not a binary PGM";
    const int largest = *std::max_element(map->counts.begin(), map->counts.end());
    EXPECT_EQ(map->maxval, c.maxval == 0 ? largest : c.maxval) << c.name;
    EXPECT_LE(largest, map->maxval) << c.name;
    EXPECT_EQ(map->maxval < 256 ? 1 : 2, c.sampleBytes) << c.name;
    EXPECT_NE(std::find(map->comments.begin(), map->comments.end(), " Tobrisk Size: 40x30"), map->comments.end())
        << c.name << ": the map does not carry its view";
    std::ofstream(folder_ / "saved.pgm", std::ios::binary) << bytes;
    EXPECT_EQ(Run({"--check", (folder_ / "saved.pgm").string()}).status, 0) << c.name;
    fs::remove_all(folder_);
    fs::create_directories(folder_);
  }
}

// Nothing in a file varies with the run, the machine or the path: the same
// view gives the same bytes wherever it is written.
TEST_F(ViewRecordTool, TheSameViewGivesTheSameBytes) {
  ASSERT_EQ(Run({"--size", "64x40", "--counts", (folder_ / "a.pgm").string(), "-o", (folder_ / "a.png").string()}).status, 0);
  fs::create_directories(folder_ / "elsewhere");
  ASSERT_EQ(Run({"--size", "64x40", "--counts", (folder_ / "elsewhere/b.pgm").string(), "-o",
                 (folder_ / "elsewhere/b.png").string(), "--threads", "1"}).status, 0);
  EXPECT_EQ(ReadFile(folder_ / "a.png"), ReadFile(folder_ / "elsewhere/b.png"));
  EXPECT_EQ(ReadFile(folder_ / "a.pgm"), ReadFile(folder_ / "elsewhere/b.pgm"));
  const std::string text = ReadFile(folder_ / "a.png");
  EXPECT_NE(text.find(std::string("Software\0tobrisk-render ", 24) + std::string(kVersion)), std::string::npos);
}

}  // namespace
}  // namespace tobrisk
