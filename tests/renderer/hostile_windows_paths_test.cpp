// SPDX-License-Identifier: MIT
// tobrisk-render on Windows with the names Windows users type: drive letters,
// backslashes, \\?\ long paths, spaces and letters beyond ASCII, the names
// Windows keeps for devices. (Ctrl-C: tests/windows/interrupt-render.)

#include <windows.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "tests/support/render_tool_folder.h"
#include "tests/support/tool_run.h"

namespace tobrisk {
namespace {

namespace fs = std::filesystem;

using HostileWindowsPaths = test::RenderToolFolder;

std::string Utf8(const fs::path& path) {
  const std::u8string text = path.u8string();
  return {text.begin(), text.end()};
}

fs::path FromUtf8(const std::string& text) { return fs::path(std::u8string(text.begin(), text.end())); }

// std::filesystem goes through the C library, which cannot reach deeper than
// MAX_PATH; Win32 can, given a \\?\ path.
void RemoveDeepFolder(const std::wstring& folder) {
  WIN32_FIND_DATAW entry{};
  const HANDLE search = ::FindFirstFileW((folder + L"\\*").c_str(), &entry);
  if (search != INVALID_HANDLE_VALUE) {
    do {
      const std::wstring name = entry.cFileName;
      if (name == L"." || name == L"..") continue;
      if ((entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
        RemoveDeepFolder(folder + L"\\" + name);
      } else {
        ::DeleteFileW((folder + L"\\" + name).c_str());
      }
    } while (::FindNextFileW(search, &entry) != 0);
    ::FindClose(search);
  }
  ::RemoveDirectoryW(folder.c_str());
}

TEST_F(HostileWindowsPaths, WindowsNamesWorkForThePictureAndTheCountMap) {
  const std::vector<std::string> view = {"--size", "48x30", "--iterations", "60"};
  std::vector<std::string> plain = view;
  plain.insert(plain.end(), {"-o", Utf8(folder_ / "plain.png"), "--counts", Utf8(folder_ / "plain.pgm")});
  ASSERT_EQ(Run(plain).status, 0);
  const std::string png = ReadFile(folder_ / "plain.png");
  const std::string pgm = ReadFile(folder_ / "plain.pgm");

  std::string backslashed = Utf8(folder_);
  for (char& c : backslashed) c = c == '/' ? '\\' : c;
  std::string forward = backslashed;
  for (char& c : forward) c = c == '\\' ? '/' : c;
  // Deeper than MAX_PATH (260) allows without the \\?\ prefix.
  const std::string deep = backslashed + "\\" + std::string(100, 'd') + "\\" + std::string(100, 'e') + "\\" +
                           std::string(100, 'f');
  ASSERT_TRUE(fs::create_directories(FromUtf8(deep)));
  struct Case {
    const char* name;
    std::string picture;
    std::string counts;
  };
  const Case cases[] = {
      {"a drive letter and backslashes", backslashed + "\\drive.png", backslashed + "\\drive.pgm"},
      {"forward slashes after the drive letter", forward + "/forward.png", forward + "/forward.pgm"},
      {"spaces and letters beyond ASCII", backslashed + "\\Mandelbrot grüße Ωmega.png",
       backslashed + "\\Zählung ñ.pgm"},
      {"a \\\\?\\ path deeper than 260 characters", "\\\\?\\" + deep + "\\long.png", "\\\\?\\" + deep + "\\long.pgm"},
  };
  for (const Case& c : cases) {
    std::vector<std::string> arguments = view;
    arguments.insert(arguments.end(), {"-o", c.picture, "--counts", c.counts});
    const ToolRun run = Run(arguments);
    ASSERT_EQ(run.status, 0) << c.name << ": " << run.err;
    const std::string picture = c.picture.starts_with("\\\\?\\") ? c.picture.substr(4) : c.picture;
    const std::string counts = c.counts.starts_with("\\\\?\\") ? c.counts.substr(4) : c.counts;
    EXPECT_EQ(ReadFile(FromUtf8(picture)), png) << c.name;
    EXPECT_EQ(ReadFile(FromUtf8(counts)), pgm) << c.name;
  }
  // Too deep for the fixture's own clean-up.
  RemoveDeepFolder(L"\\\\?\\" + (folder_ / std::string(100, 'd')).wstring());
}

TEST_F(HostileWindowsPaths, DeviceNamesAreRefusedAsUsageErrors) {
  struct Case {
    std::vector<std::string> arguments;
  };
  const std::string inFolder = Utf8(folder_ / "COM1.png");
  const Case cases[] = {
      {{"-o", "CON"}},
      {{"-o", "aux.png"}},
      {{"-o", inFolder}},
      {{"-o", Utf8(folder_ / "x.png"), "--counts", "nul"}},
      {{"-o", Utf8(folder_ / "x.png"), "--counts", "LPT3.pgm"}},
  };
  for (const Case& c : cases) {
    const ToolRun run = Run(c.arguments);
    EXPECT_EQ(run.status, 2) << c.arguments.back();
    EXPECT_NE(run.err.find("names a device on Windows, not a file"), std::string::npos) << run.err;
  }
  EXPECT_TRUE(FolderContents().empty());
}

TEST_F(HostileWindowsPaths, AnExistingFileIsReplacedWholeWithNothingLeftBeside) {
  const fs::path png = folder_ / "again.png";
  const fs::path pgm = folder_ / "again.pgm";
  for (const fs::path& path : {png, pgm}) std::ofstream(path) << "old";
  ASSERT_EQ(Run({"--size", "20x20", "-o", Utf8(png), "--counts", Utf8(pgm)}).status, 0);
  EXPECT_TRUE(ReadFile(png).starts_with("\x89PNG"));
  EXPECT_TRUE(ReadFile(pgm).starts_with("P5\n"));
  EXPECT_EQ(FolderContents(), (std::vector<std::string>{"again.pgm", "again.png"}));
}

}  // namespace
}  // namespace tobrisk
