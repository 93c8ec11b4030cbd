// SPDX-License-Identifier: MIT
// tobrisk-render --pyramid run as a user would: every level against a plain
// render of its size, shards against an unsplit pyramid, faults and folders
// that are not pyramids.

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <future>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "platform/picture.h"
#include "tests/support/png_file.h"
#include "tests/support/render_tool_folder.h"
#include "tests/support/tool_run.h"
#include "tools/pyramid/deep_zoom.h"

namespace tobrisk {
namespace {

namespace fs = std::filesystem;

using Pyramid = test::RenderToolFolder;

Picture Crop(const Picture& picture, TileSpan columns, TileSpan rows) {
  Picture crop(columns.end - columns.begin, rows.end - rows.begin);
  for (int row = rows.begin; row < rows.end; ++row) {
    for (int col = columns.begin; col < columns.end; ++col) {
      crop.SetPixel(col - columns.begin, row - rows.begin, picture.At(col, row));
    }
  }
  return crop;
}

// Every file under `folder` by its path there, with its bytes.
std::map<std::string, std::string> FilesUnder(const fs::path& folder) {
  std::map<std::string, std::string> files;
  for (const fs::directory_entry& entry : fs::recursive_directory_iterator(folder)) {
    if (entry.is_regular_file()) files[fs::relative(entry.path(), folder).generic_string()] = ReadFile(entry.path());
  }
  return files;
}

std::vector<std::string> TileNames(LevelSize size) {
  std::vector<std::string> names;
  for (int col = 0; col < TilesAlong(size.width); ++col) {
    for (int row = 0; row < TilesAlong(size.height); ++row) {
      names.push_back(std::to_string(col) + "_" + std::to_string(row) + ".png");
    }
  }
  std::sort(names.begin(), names.end());
  return names;
}

std::vector<std::string> With(std::vector<std::string> arguments, const std::vector<std::string>& more) {
  arguments.insert(arguments.end(), more.begin(), more.end());
  return arguments;
}

TEST_F(Pyramid, EachLevelIsThePlainRenderOfItsSizeCutIntoTiles) {
  struct Case {
    const char* name;
    std::vector<std::string> view;
    int width, height;
  };
  const Case cases[] = {
      {"the start view, three tiles wide", {"--size", "600x400"}, 600, 400},
      // By centre and width, each level's bounds follow its own shape, as a render of that size would.
      {"a Julia set by centre and width of an odd shape in a gradient",
       {"--julia", "--centre", "0.1,-0.2", "--width", "2.5", "--size", "300x517", "--palette", "fire"}, 300, 517},
  };
  for (const Case& c : cases) {
    const fs::path pyramid = folder_ / "pyramid";
    fs::remove_all(pyramid);
    const ToolRun run = Run(With(c.view, {"-q", "--pyramid", pyramid.string()}));
    ASSERT_EQ(run.status, 0) << c.name << ": " << run.err;
    EXPECT_EQ(ReadFile(pyramid / "picture.dzi"), DziText(c.width, c.height)) << c.name;
    const std::vector<LevelSize> levels = DeepZoomLevels(c.width, c.height);
    EXPECT_EQ(tobrisk::FolderContents(pyramid / "picture_files").size(), levels.size()) << c.name;
    for (std::size_t level = 0; level < levels.size(); ++level) {
      const LevelSize size = levels[level];
      const std::string where = std::string(c.name) + ", level " + std::to_string(level);
      const fs::path levelFolder = pyramid / "picture_files" / std::to_string(level);
      ASSERT_EQ(tobrisk::FolderContents(levelFolder), TileNames(size)) << where;
      const fs::path plainPath = folder_ / "plain.png";
      const std::string sizeText = std::to_string(size.width) + "x" + std::to_string(size.height);
      const ToolRun plainRun = Run(With(c.view, {"-q", "--size", sizeText, "-o", plainPath.string()}));
      ASSERT_EQ(plainRun.status, 0) << where << ": " << plainRun.err;
      const std::optional<Picture> plain = ReadPng(plainPath);
      ASSERT_TRUE(plain.has_value()) << where;
      for (int col = 0; col < TilesAlong(size.width); ++col) {
        for (int row = 0; row < TilesAlong(size.height); ++row) {
          const std::string tile = std::to_string(col) + "_" + std::to_string(row) + ".png";
          std::string problem;
          const std::optional<Picture> written = ReadPng(levelFolder / tile, &problem);
          ASSERT_TRUE(written.has_value()) << where << ", " << tile << ": " << problem;
          EXPECT_TRUE(*written == Crop(*plain, TileSpanOf(size.width, col), TileSpanOf(size.height, row)))
              << where << ", tile " << tile << " differs from the plain render of " << sizeText;
        }
      }
    }
  }
}

TEST_F(Pyramid, ThreeShardsInOneFolderMakeTheUnsplitPyramid) {
  const std::vector<std::string> view{"-q", "--size", "700x300", "--iterations", "60", "--palette", "ocean"};
  const fs::path whole = folder_ / "whole";
  const fs::path shared = folder_ / "shared";
  ASSERT_EQ(Run(With(view, {"--pyramid", whole.string()})).status, 0);
  // As three machines would: at the same time, into one folder.
  std::vector<std::future<ToolRun>> shards;
  for (const char* shard : {"0/3", "1/3", "2/3"}) {
    const fs::path logs = logs_ / (std::string("shard-") + shard[0]);
    fs::create_directories(logs);
    shards.push_back(std::async(std::launch::async, [&view, &shared, shard, logs] {
      return RunTool(TOBRISK_RENDER_PATH, With(view, {"--shard", shard, "--pyramid", shared.string()}), logs);
    }));
  }
  for (std::future<ToolRun>& shard : shards) {
    const ToolRun run = shard.get();
    EXPECT_EQ(run.status, 0) << run.err;
  }
  const std::map<std::string, std::string> unsplit = FilesUnder(whole);
  EXPECT_EQ(unsplit.size(), 9 + 2 + 6 + 4U)
      << "one tile for levels 0 ... 8, 2 and 6 above, the page, the script and its licence, the descriptor";
  EXPECT_TRUE(FilesUnder(shared) == unsplit) << "the shards' union differs from the unsplit pyramid";

  // Alone, a shard other than 0 writes its tiles and nothing that marks the pyramid complete.
  const fs::path alone = folder_ / "alone";
  ASSERT_EQ(Run(With(view, {"--shard", "1/3", "--pyramid", alone.string()})).status, 0);
  const std::map<std::string, std::string> written = FilesUnder(alone);
  const std::vector<LevelSize> levels = DeepZoomLevels(700, 300);
  std::int64_t tile = 0;
  std::size_t taken = 0;
  for (std::size_t level = 0; level < levels.size(); ++level) {
    for (int row = 0; row < TilesAlong(levels[level].height); ++row) {
      for (int col = 0; col < TilesAlong(levels[level].width); ++col, ++tile) {
        const std::string name =
            "picture_files/" + std::to_string(level) + "/" + std::to_string(col) + "_" + std::to_string(row) + ".png";
        EXPECT_EQ(written.count(name), tile % 3 == 1 ? 1U : 0U) << name << ", tile " << tile << " of the order";
        taken += tile % 3 == 1 ? 1 : 0;
      }
    }
  }
  EXPECT_EQ(written.size(), taken) << "no picture.dzi, index.html, script or licence from shard 1";
}

TEST_F(Pyramid, AFaultingLevelFailsThePyramidAndLeavesNoDescriptor) {
  const fs::path pyramid = folder_ / "pyramid";
  ASSERT_EQ(Run({"-q", "--size", "64x16", "--pyramid", pyramid.string()}).status, 0);
  ASSERT_TRUE(fs::exists(pyramid / "picture.dzi"));
  // Level 0 is one pixel at X Min = 0 and draws; level 1's second pixel overflows.
  const ToolRun run = Run({"-q", "--xmin", "0", "--xmax", "8e10", "--size", "64x16", "--pyramid", pyramid.string()});
  EXPECT_EQ(run.status, 1);
  EXPECT_EQ(run.err,
            "tobrisk-render: level 1 of the pyramid (2x1 pixels): Floating-point fault (overflow) at pixel (1, 0), "
            "iteration 1, computing X squared\n");
  EXPECT_FALSE(fs::exists(pyramid / "picture.dzi")) << "the old descriptor would show a half-new pyramid as complete";
  EXPECT_FALSE(fs::exists(pyramid / "index.html"));
  EXPECT_TRUE(ReadPng(pyramid / "picture_files" / "0" / "0_0.png").has_value()) << "the tiles drawn before stay";
}

TEST_F(Pyramid, FoldersThatHoldSomethingElseAreRefused) {
  struct Case {
    const char* name;
    std::vector<std::string> files;  // made in the folder first; a name ending in / is a folder
    int status;
    std::string message;
  };
  const Case cases[] = {
      {"a folder of other files", {"notes.txt", "picture_files/"}, 2, "holds notes.txt, so it is not a pyramid"},
      {"another program's page beside tiles", {"index.html", "picture_files/"}, 2, "no pyramid of tobrisk-render"},
      {"a page without tiles", {"picture.dzi"}, 2, "no pyramid of tobrisk-render"},
      {"an empty folder", {}, 0, ""},
      {"tiles alone, as another shard leaves them", {"picture_files/"}, 0, ""},
  };
  for (const Case& c : cases) {
    const fs::path pyramid = folder_ / "pyramid";
    fs::remove_all(pyramid);
    fs::create_directories(pyramid);
    for (const std::string& name : c.files) {
      if (name.ends_with('/')) {
        fs::create_directories(pyramid / name);
      } else {
        std::ofstream(pyramid / name) << "someone's " << name;
      }
    }
    const std::map<std::string, std::string> before = FilesUnder(pyramid);
    const ToolRun run = Run({"-q", "--size", "40x30", "--pyramid", pyramid.string()});
    EXPECT_EQ(run.status, c.status) << c.name << ": " << run.err;
    if (c.status != 0) {
      EXPECT_NE(run.err.find(c.message), std::string::npos) << c.name << ": " << run.err;
      EXPECT_TRUE(FilesUnder(pyramid) == before) << c.name << ": the folder was changed";
    } else {
      EXPECT_TRUE(fs::exists(pyramid / "picture.dzi")) << c.name;
    }
  }
  // The same folder again: a pyramid may be drawn over an old one.
  EXPECT_EQ(Run({"-q", "--size", "80x30", "--pyramid", (folder_ / "pyramid").string()}).status, 0);
  EXPECT_EQ(ReadFile(folder_ / "pyramid" / "picture.dzi"), DziText(80, 30));

  std::ofstream(folder_ / "a file") << "not a folder";
  const ToolRun file = Run({"-q", "--pyramid", (folder_ / "a file").string()});
  EXPECT_EQ(file.status, 2);
  EXPECT_NE(file.err.find("is not a folder"), std::string::npos) << file.err;
}

TEST_F(Pyramid, ThePageNamesTheViewAndBringsItsScript) {
  const fs::path pyramid = folder_ / "pyramid";
  ASSERT_EQ(Run({"-q", "--julia", "--real", "-0.8", "--size", "90x60", "--pyramid", pyramid.string()}).status, 0);
  const std::string page = ReadFile(pyramid / "index.html");
  for (const char* shown : {"Julia set", "X Min <b>-1.5</b>", "Real <b>-0.8</b>", "Imaginary <b>0.6</b>",
                            "Iterations <b>100</b>", "90 &times; 60", "tobrisk-render ",
                            "<script src=\"openseadragon.min.js\">", "Width: \"90\", Height: \"60\""}) {
    EXPECT_NE(page.find(shown), std::string::npos) << "the page lacks " << shown;
  }
  EXPECT_EQ(page.find("http"), page.find("http://schemas.microsoft.com/deepzoom/2008")) << "nothing from the network";
  const std::string script = ReadFile(pyramid / "openseadragon.min.js");
  EXPECT_GT(script.size(), 100000U);
  EXPECT_NE(script.find("OpenSeadragon"), std::string::npos);
  EXPECT_NE(ReadFile(pyramid / "openseadragon-license.txt").find("Redistribution and use in source and binary forms"),
            std::string::npos)
      << "the script's licence goes with it";
}

}  // namespace
}  // namespace tobrisk
