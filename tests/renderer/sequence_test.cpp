// SPDX-License-Identifier: MIT
// Sequences of frames: the zoom's path, the frames' names, and the built tool
// drawing zooms and views files as a user would.

#include <algorithm>
#include <chrono>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string>
#include <variant>
#include <vector>

#include <gtest/gtest.h>

#include "tests/support/render_tool_folder.h"
#include "tests/support/tool_run.h"
#include "tools/render/render_options.h"
#include "tools/sequence/frame_names.h"
#include "tools/sequence/sequence_plan.h"
#include "tools/sequence/zoom_path.h"

namespace tobrisk {
namespace {

namespace fs = std::filesystem;

TEST(ZoomPath, EndsExactlyAndZoomsByOneFactorPerFrame) {
  struct Case {
    const char* name;
    PlaneView start, end;
    int frames;
  };
  const Case cases[] = {
      {"into seahorse valley", {-0.5, 0, 4}, {-0.7435, 0.1314, 1e-4}, 240},
      {"out again", {-0.7435, 0.1314, 1e-4}, {-0.5, 0, 4}, 17},
      {"a pan at one width", {0, 0, 1}, {1, -1, 1}, 5},
      {"two frames", {0, 0, 2}, {1, 1, 1e-9}, 2},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(FrameOfZoom(c.start, c.end, c.frames, 0), c.start) << c.name;
    EXPECT_EQ(FrameOfZoom(c.start, c.end, c.frames, c.frames - 1), c.end) << c.name;
    const double factor = std::pow(c.end.width / c.start.width, 1.0 / (c.frames - 1));
    PlaneView previous = c.start;
    for (int index = 1; index < c.frames; ++index) {
      const PlaneView frame = FrameOfZoom(c.start, c.end, c.frames, index);
      EXPECT_NEAR(frame.width / previous.width, factor, 1e-12 * factor) << c.name << " frame " << index;
      // The centre moves towards the end and never overshoots it.
      EXPECT_LE(std::abs(frame.x - c.end.x), std::abs(previous.x - c.end.x)) << c.name << " frame " << index;
      EXPECT_LE(std::abs(frame.y - c.end.y), std::abs(previous.y - c.end.y)) << c.name << " frame " << index;
      previous = frame;
    }
  }
}

TEST(ZoomPath, PortablePowerAgreesWithTheLibrarysWithinItsRounding) {
  for (const double base : {1e-300, 2.5e-5, 0.5, 1.0, 3.0, 1e10, 1.7e308}) {
    for (const double exponent : {0.0, 1.0 / 3, 0.5, 0.999, 1.0}) {  // a zoom's: between 0 and 1
      const double expected = std::pow(base, exponent);
      // The exponent's product is rounded once, so the error grows with the result's binary exponent.
      const double tolerance = 4e-16 * (8 + std::abs(std::log2(expected))) * expected;
      EXPECT_NEAR(PortablePower(base, exponent), expected, tolerance) << base << "^" << exponent;
    }
  }
}

TEST(FrameNames, NumberEachFrameOrSayWhyNot) {
  struct Case {
    std::string_view pattern;
    std::string frame7;  // empty: refused
  };
  const Case cases[] = {
      {"zoom-%05d.png", "zoom-00007.png"}, {"f%d.png", "f7.png"},     {"%3i", "  7"},
      {"100%%-%02d.png", "100%-07.png"},    {"still.png", "still.png"}, {"a-%d-%d.png", ""},
      {"a-%s.png", ""},                     {"a-%", ""},                {"a-%5.png", ""},
  };
  for (const Case& c : cases) {
    std::string problem;
    const std::optional<FrameNames> names = FrameNames::FromPattern(c.pattern, &problem);
    if (c.frame7.empty()) {
      EXPECT_FALSE(names.has_value()) << c.pattern;
      EXPECT_FALSE(problem.empty()) << c.pattern;
      continue;
    }
    ASSERT_TRUE(names.has_value()) << c.pattern << ": " << problem;
    EXPECT_EQ(names->NameOf(7), c.frame7) << c.pattern;
  }
}

using Sequences = test::RenderToolFolder;

std::vector<std::string> With(std::vector<std::string> arguments, const std::vector<std::string>& more) {
  arguments.insert(arguments.end(), more.begin(), more.end());
  return arguments;
}

// Each frame is exactly the picture its own field texts draw alone, and the
// frames of ranges and shards are the frames of the whole.
TEST_F(Sequences, FramesAreThePicturesOfTheirTextsWhateverTheSplit) {
  const std::vector<std::string> zoom{"--centre", "-0.5,0", "--width", "3", "--zoom-to", "-0.7435,0.1314,1e-3",
                                      "--frames", "7", "--size", "64x36", "--iterations", "300",
                                      "--palette", "ocean"};
  const fs::path whole = folder_ / "whole";
  const fs::path split = folder_ / "split";
  fs::create_directories(whole);
  fs::create_directories(split);
  ToolRun run = Run(With(zoom, {"-o", (whole / "f-%02d.png").string()}));
  ASSERT_EQ(run.status, 0) << run.err;
  const std::vector<std::vector<std::string>> splits{
      {"--shard", "0/3"}, {"--shard", "1/3"}, {"--frame-range", "2:4", "--shard", "2/3"}, {"--frame-range", "5:6"}};
  for (const std::vector<std::string>& part : splits) {
    run = Run(With(With(zoom, part), {"-o", (split / "f-%02d.png").string()}));
    ASSERT_EQ(run.status, 0) << run.err;
  }
  EXPECT_EQ(tobrisk::FolderContents(whole).size(), 7U);
  for (int index = 0; index < 7; ++index) {
    const std::string name = "f-0" + std::to_string(index) + ".png";
    EXPECT_EQ(ReadFile(split / name), ReadFile(whole / name)) << name;
  }

  // A frame drawn alone from the texts its plan gives.
  std::vector<std::string_view> arguments(zoom.begin(), zoom.end());
  arguments.insert(arguments.end(), {"-o", "f-%02d.png"});
  const auto options = std::get<RenderOptions>(ParseRenderArguments(arguments));
  const auto plan = std::get<SequencePlan>(SequencePlan::Make(options));
  for (const int index : {0, 3, 6}) {
    const RenderOptions frame = plan.FrameOptions(index);
    const fs::path alone = folder_ / "alone.png";
    run = Run({"--xmin", frame.XMin, "--xmax", frame.XMax, "--ymin", frame.YMin, "--ymax", frame.YMax,
               "--iterations", "300", "--size", "64x36", "--palette", "ocean", "-o", alone.string()});
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(ReadFile(alone), ReadFile(whole / ("f-0" + std::to_string(index) + ".png"))) << "frame " << index;
  }
}

// A frame whose file is whole and holds its view is kept; any other is drawn again.
TEST_F(Sequences, KeepExistingResumesWhereARunStopped) {
  const std::vector<std::string> zoom{"--zoom-to", "-0.7435,0.1314,1e-3", "--frames", "5", "--size", "48x27",
                                      "--iterations", "200", "--counts", (folder_ / "c-%d.pgm").string(),
                                      "-o", (folder_ / "f-%d.png").string()};
  ASSERT_EQ(Run(zoom).status, 0);
  std::vector<std::string> whole;
  for (int index = 0; index < 5; ++index) whole.push_back(ReadFile(folder_ / ("f-" + std::to_string(index) + ".png")));
  // Whole seconds: Windows keeps file times to 100 ns, and a finer time would not read back equal.
  const auto old = std::chrono::floor<std::chrono::seconds>(fs::file_time_type::clock::now() - std::chrono::hours(24));
  for (const std::string& file : FolderContents()) fs::last_write_time(folder_ / file, old);
  fs::resize_file(folder_ / "f-1.png", 100);                        // cut short, as by a full disk
  std::ofstream(folder_ / "f-2.png", std::ios::binary) << "not a picture";
  ASSERT_EQ(Run({"--iterations", "201", "--size", "48x27", "-o", (folder_ / "f-3.png").string()}).status, 0);
  fs::remove(folder_ / "c-4.pgm");                                  // its count map is missing

  const ToolRun run = Run(With(zoom, {"--keep-existing"}));
  ASSERT_EQ(run.status, 0) << run.err;
  for (int index = 0; index < 5; ++index) {
    const fs::path frame = folder_ / ("f-" + std::to_string(index) + ".png");
    EXPECT_EQ(ReadFile(frame), whole[static_cast<std::size_t>(index)]) << "frame " << index;
    EXPECT_EQ(fs::last_write_time(frame) == old, index == 0) << "frame " << index << " kept or drawn again";
  }
}

TEST_F(Sequences, AViewsFileDrawsALineAFrameAndReportsFailuresByFrame) {
  struct Case {
    const char* name;
    std::string lines;
    int status;
    std::vector<std::string> files;
    std::string message;  // what standard error holds
  };
  const Case cases[] = {
      {"comments and blank lines are skipped",
       "# a zoom by hand\n\n--centre -0.75,0.1 --width 0.01 --iterations 500\n  # indented\r\n--julia --iterations=50\n",
       0, {"v-0.png", "v-1.png"}, ""},
      {"a frame that faults is reported and the others drawn",
       "--iterations 20\n--xmax 1e39\n--palette fire --size 8x8\n", 1, {"v-0.png", "v-2.png"},
       "tobrisk-render: frame 1: Floating-point fault (invalid operation) at pixel (0, 0)"},
      {"an option of the run is refused before anything is drawn", "--iterations 20\n--threads 2\n", 2, {},
       "line 2: \"--threads\" is not an option that describes a picture"},
      {"a malformed value names its line", "--iterations 20\n\n--centre 1\n", 2, {}, "line 3: --centre"},
      {"mixing the view's forms with the command line names the line", "--xmin 0\n", 2, {}, "line 1: give the view"},
      {"a file without views", "# nothing\n", 2, {}, "holds no view"},
  };
  for (const Case& c : cases) {
    for (const std::string& file : FolderContents()) fs::remove(folder_ / file);
    std::ofstream(folder_ / "views.txt") << c.lines;
    std::vector<std::string> arguments{"--views", (folder_ / "views.txt").string(), "-o",
                                       (folder_ / "v-%d.png").string(), "--size", "32x20"};
    if (std::string(c.name).starts_with("mixing")) arguments.insert(arguments.end(), {"--width", "2"});
    const ToolRun run = Run(arguments);
    EXPECT_EQ(run.status, c.status) << c.name << ": " << run.err;
    std::vector<std::string> expected = c.files;
    expected.insert(expected.begin(), "views.txt");
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(FolderContents(), expected) << c.name;
    if (c.message.empty()) {
      EXPECT_EQ(run.err, "") << c.name;
    } else {
      EXPECT_NE(run.err.find(c.message), std::string::npos) << c.name << ": " << run.err;
    }
  }
}

}  // namespace
}  // namespace tobrisk
