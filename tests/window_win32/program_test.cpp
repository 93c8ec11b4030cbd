// SPDX-License-Identifier: MIT
// The Windows program itself: what it answers from a shell, and the icon and
// manifest among its resources.
#include <windows.h>

#include <array>
#include <filesystem>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "platform/win32/wide_text.h"
#include "tests/support/tool_run.h"
#include "tobrisk/version.h"
#include "ui/app_icon.h"

namespace tobrisk {
namespace {

const std::wstring kProgram = WideText(TOBRISK_PATH);

// The program writes text as Windows programs do: each line ends with CR LF.
std::string WindowsLines(const std::string& text) {
  std::string lines;
  for (const char c : text) lines += c == '\n' ? std::string("\r\n") : std::string(1, c);
  return lines;
}

TEST(TobriskProgram, AnswersHelpVersionAndUsageErrorsOnItsRedirectedOutput) {
  struct Case {
    const char* what;
    std::vector<std::string> arguments;
    int status;
    std::string out;
    std::string err;
  };
  const std::string usage =
      "Usage: tobrisk [OPTION]...\n"
      "Opens the Tobrisk window, which draws the Mandelbrot set or a Julia set of\n"
      "z <- z^2 + c. Type the view into the fields and press Draw.\n"
      "\n"
      "  -h, --help     show this help and exit\n"
      "      --version  show the version and exit\n";
  const std::string tryHelp = "\nTry 'tobrisk --help' for more information.\n";
  const std::vector<Case> cases{
      {"version from the project", {"--version"}, 0, "tobrisk " + std::string(kVersion) + "\n", ""},
      {"help without Qt's options", {"--help"}, 0, usage, ""},
      {"unknown option", {"--bogus"}, 2, "", "tobrisk: unknown option '--bogus'" + tryHelp},
      {"stray argument", {"picture.png"}, 2, "", "tobrisk: unexpected argument 'picture.png'" + tryHelp},
      {"Qt's options mean nothing here", {"-style", "fusion"}, 2, "", "tobrisk: unknown option '-style'" + tryHelp},
      {"an argument beyond ASCII comes back whole", {"\xc3\xa9t\xc3\xa9.png"}, 2, "",
       "tobrisk: unexpected argument '\xc3\xa9t\xc3\xa9.png'" + tryHelp},
  };
  const std::filesystem::path scratch =
      std::filesystem::temp_directory_path() / ("tobrisk-program-test-" + std::to_string(GetCurrentProcessId()));
  std::filesystem::create_directories(scratch);
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const ToolRun run = RunTool(TOBRISK_PATH, c.arguments, scratch);
    EXPECT_EQ(run.status, c.status) << run.err;
    EXPECT_EQ(run.out, WindowsLines(c.out));
    EXPECT_EQ(run.err, WindowsLines(c.err));
  }
  std::filesystem::remove_all(scratch);
}

// The program's own resources, read from its file.
class ProgramResources : public testing::Test {
 protected:
  void SetUp() override {
    module_ = LoadLibraryExW(kProgram.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE);
    ASSERT_NE(module_, nullptr);
  }
  void TearDown() override { FreeLibrary(module_); }
  HMODULE module_ = nullptr;
};

// The icon Windows shows at each size it asks for is the engine's picture at that size, pixel for pixel.
TEST_F(ProgramResources, TheIconIsTheEnginesPictureAtEverySize) {
  for (const int size : {16, 24, 32, 48, 256}) {
    SCOPED_TRACE(std::to_string(size) + " pixels");
    const auto icon = static_cast<HICON>(LoadImageW(module_, MAKEINTRESOURCEW(1), IMAGE_ICON, size, size, 0));
    ASSERT_NE(icon, nullptr);
    ICONINFO parts{};
    ASSERT_TRUE(GetIconInfo(icon, &parts));
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = size;
    info.bmiHeader.biHeight = -size;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    std::vector<std::array<std::uint8_t, 4>> bgra(static_cast<std::size_t>(size) * static_cast<std::size_t>(size));
    const HDC screen = GetDC(nullptr);
    EXPECT_EQ(GetDIBits(screen, parts.hbmColor, 0, static_cast<UINT>(size), bgra.data(), &info, DIB_RGB_COLORS), size);
    ReleaseDC(nullptr, screen);
    DeleteObject(parts.hbmColor);
    DeleteObject(parts.hbmMask);
    DestroyIcon(icon);

    const IconPicture drawn = DrawAppIcon(size);
    int differing = 0;
    for (std::size_t i = 0; i < bgra.size(); ++i) {
      const IconPixel& want = drawn.pixels[i];
      const IconPixel got{bgra[i][2], bgra[i][1], bgra[i][0], bgra[i][3]};
      if (want.alpha == 0 ? got.alpha != 0 : !(got == want)) ++differing;
    }
    EXPECT_EQ(differing, 0);
    EXPECT_EQ(drawn.At(0, 0).alpha, 0) << "a transparent ground";
  }
}

TEST_F(ProgramResources, TheManifestAsksForCommonControls6Utf8And96Dpi) {
  const HRSRC found = FindResourceW(module_, MAKEINTRESOURCEW(1), MAKEINTRESOURCEW(24));
  ASSERT_NE(found, nullptr);
  const auto* bytes = static_cast<const char*>(LockResource(LoadResource(module_, found)));
  const std::string manifest(bytes, SizeofResource(module_, found));
  for (const char* asked : {"name=\"Microsoft.Windows.Common-Controls\" version=\"6.0.0.0\"",
                            "<activeCodePage xmlns=\"http://schemas.microsoft.com/SMI/2019/WindowsSettings\">UTF-8<",
                            "<dpiAware xmlns=\"http://schemas.microsoft.com/SMI/2005/WindowsSettings\">false<"}) {
    EXPECT_NE(manifest.find(asked), std::string::npos) << asked;
  }
  // The tests carry the same resources, and the system honours them.
  EXPECT_EQ(GetACP(), 65001U);
}

}  // namespace
}  // namespace tobrisk
