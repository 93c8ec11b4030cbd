// SPDX-License-Identifier: MIT
// Form1 on Win32 driven as a user drives it, under Wine on a virtual display:
// clicks and typing through the system's input queue, the drawing area's
// picture read back from the screen and compared with the Draw command's.
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "tests/support/default_views.h"
#include "tests/support/png_file.h"
#include "tests/support/tool_run.h"
#include "tests/window_win32/form1_fixture.h"

namespace tobrisk::test {
namespace {

using Form1Test = Form1Fixture;

std::wstring ClassOf(HWND window) {
  wchar_t name[64] = {};
  GetClassNameW(window, name, 64);
  return name;
}

// The system class and button type each kind of control is made of.
struct Made {
  std::wstring className;
  LONG buttonType;  // BS_TYPEMASK of a button's style; -1 for other classes
};

Made MadeOf(ControlKind kind) {
  switch (kind) {
    case ControlKind::DrawingArea: return {L"Tobrisk.DrawingArea", -1};
    case ControlKind::PushButton: return {L"Button", BS_PUSHBUTTON};
    case ControlKind::Label: return {L"Static", -1};
    case ControlKind::Field: return {L"Edit", -1};
    case ControlKind::OptionButton: return {L"Button", BS_AUTORADIOBUTTON};
    case ControlKind::Frame: return {L"Button", BS_GROUPBOX};
  }
  return {};
}

// Where the table puts a control on the form's client area, at 96 dpi: a frame's controls offset by the frame.
RECT TablePlace(const ControlDescription& control) {
  Rect r = control.Pixels();
  if (const ControlDescription* frame = FindControl(kForm1, control.parent)) {
    r.left += frame->Pixels().left;
    r.top += frame->Pixels().top;
  }
  return {r.left, r.top, r.left + r.width, r.top + r.height};
}

RECT PlaceOnForm(HWND control) {
  RECT place{};
  GetWindowRect(control, &place);
  MapWindowPoints(nullptr, GetParent(control), reinterpret_cast<POINT*>(&place), 2);
  return place;
}

std::string Text(const RECT& r) {
  return std::to_string(r.left) + "," + std::to_string(r.top) + " " + std::to_string(r.right - r.left) + "x" +
         std::to_string(r.bottom - r.top);
}

TEST_F(Form1Test, OpensAt96DpiWithTheTablesControlsAndContents) {
  const HDC screen = GetDC(nullptr);
  ASSERT_EQ(GetDeviceCaps(screen, LOGPIXELSX), 96) << "the table's pixels are pixels at 96 dpi";
  ReleaseDC(nullptr, screen);
  EXPECT_EQ(TextOf(form->Window()), "Tobrisk");
  RECT client{};
  GetClientRect(form->Window(), &client);
  EXPECT_EQ(Text(client), "0,0 350x407");
  const LONG style = GetWindowLongW(form->Window(), GWL_STYLE);
  EXPECT_EQ(style & WS_OVERLAPPEDWINDOW, WS_OVERLAPPEDWINDOW) << "sizable, with minimise and maximise boxes";
  EXPECT_NE(GetClassLongPtrW(form->Window(), GCLP_HICON), 0) << "the program's icon, for the task bar";
  EXPECT_NE(GetClassLongPtrW(form->Window(), GCLP_HICONSM), 0) << "the program's icon, for the title bar";

  for (const ControlDescription& control : kForm1.controls) {
    SCOPED_TRACE(std::string(control.name));
    const HWND made = Control(control.name);
    ASSERT_NE(made, nullptr);
    EXPECT_EQ(GetParent(made), form->Window());
    EXPECT_EQ(Text(PlaceOnForm(made)), Text(TablePlace(control)));
    EXPECT_TRUE(IsWindowVisible(made));
    const Made expected = MadeOf(control.kind);
    EXPECT_EQ(ClassOf(made), expected.className);
    if (expected.buttonType >= 0) {
      EXPECT_EQ(GetWindowLongW(made, GWL_STYLE) & BS_TYPEMASK, expected.buttonType);
    }
    if (control.kind != ControlKind::DrawingArea) {
      EXPECT_EQ(TextOf(made), control.caption);
    }
  }
  EXPECT_TRUE(On("Option1"));
  EXPECT_FALSE(On("Option2"));
  EXPECT_TRUE(Shown() == Empty()) << "nothing is drawn before Draw is pressed";
}

TEST_F(Form1Test, DrawingAreaIs320By200InsideATwoPixelSunkenEdge) {
  const HWND area = Control("Picture1");
  RECT client{};
  GetClientRect(area, &client);
  EXPECT_EQ(Text(client), "0,0 320x200");
  EXPECT_NE(GetWindowLongW(area, GWL_EXSTYLE) & WS_EX_CLIENTEDGE, 0);
  // A sunken edge: shadow above and to the left, light below and to the right, two pixels each.
  const Picture outer = WindowPixels(area);
  ASSERT_EQ(outer.PixelWidth(), 324);
  ASSERT_EQ(outer.PixelHeight(), 204);
  EXPECT_EQ(outer.At(100, 0), SystemColour(COLOR_BTNSHADOW));
  EXPECT_EQ(outer.At(100, 1), SystemColour(COLOR_3DDKSHADOW));
  EXPECT_EQ(outer.At(0, 100), SystemColour(COLOR_BTNSHADOW));
  EXPECT_EQ(outer.At(100, 203), SystemColour(COLOR_BTNHIGHLIGHT));
  EXPECT_EQ(outer.At(100, 202), SystemColour(COLOR_3DLIGHT));
  EXPECT_EQ(outer.At(323, 100), SystemColour(COLOR_BTNHIGHLIGHT));
}

TEST_F(Form1Test, DrawAtStartShowsTheDefaultMandelbrotView) {
  ClickDraw();
  EXPECT_TRUE(reports.empty());
  EXPECT_TRUE(Shown() == Drawn(kStartTexts, true));
  EXPECT_NE(GetCursor(), LoadCursorW(nullptr, IDC_WAIT)) << "the wait cursor must go when the pass ends";
}

// The picture tobrisk-render.exe draws of a view, run as from a shell, read back from its PNG file.
std::optional<Picture> RendererPicture(const std::vector<std::string>& options) {
  const std::filesystem::path scratch =
      std::filesystem::temp_directory_path() / ("tobrisk-window-render-" + std::to_string(GetCurrentProcessId()));
  std::filesystem::create_directories(scratch);
  std::vector<std::string> arguments = options;
  arguments.insert(arguments.end(), {"-o", (scratch / "view.png").string()});
  const ToolRun run = RunTool(TOBRISK_RENDER_PATH, arguments, scratch);
  EXPECT_EQ(run.status, 0) << run.err;
  std::string problem;
  std::optional<Picture> picture = ReadPng(scratch / "view.png", &problem);
  EXPECT_TRUE(picture.has_value()) << problem;
  std::filesystem::remove_all(scratch);
  return picture;
}

TEST_F(Form1Test, DrawShowsTheRenderersPictureOfTheSameView) {
  struct Case {
    const char* view;
    const char* option;  // chosen in the window before Draw; empty: the window as it starts
    std::vector<std::string> renderOptions;
  };
  const Case cases[] = {
      {"the Mandelbrot set at start", "", {}},
      {"the Julia set of 0.3 + 0.6i over its preset", "Option2", {"--julia", "--real", "0.3", "--imaginary", "0.6"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.view);
    if (*c.option != '\0') ClickOn(c.option);
    ClickDraw();
    const std::optional<Picture> rendered = RendererPicture(c.renderOptions);
    ASSERT_TRUE(rendered.has_value());
    ASSERT_EQ(rendered->PixelWidth(), 320);
    ASSERT_EQ(rendered->PixelHeight(), 200);
    EXPECT_TRUE(Shown() == *rendered);
  }
  EXPECT_TRUE(reports.empty());
}

TEST_F(Form1Test, ThePictureSurvivesBeingCoveredAndShownAgain) {
  ClickDraw();
  const Picture drawn = Shown();
  ShowWindow(form->Window(), SW_MINIMIZE);
  Settle();
  ShowWindow(form->Window(), SW_RESTORE);
  Settle();
  EXPECT_TRUE(Shown() == drawn);
}

TEST_F(Form1Test, TypedFieldsAreWhatDrawReads) {
  Type(Field::XMin, "-0.75");
  Type(Field::XMax, "-0.7abc");
  Type(Field::YMin, "0.1");
  Type(Field::YMax, "0.13");
  Type(Field::Iterations, "300.5");
  EXPECT_EQ(Texts(), (std::vector<std::string>{"-0.75", "-0.7abc", "0.1", "0.13", "300.5", "0.3", "0.6"}));
  ClickDraw();
  EXPECT_TRUE(reports.empty());
  EXPECT_TRUE(Shown() == Drawn({"-0.75", "-0.7abc", "0.1", "0.13", "300.5", "0.3", "0.6"}, true));
}

TEST_F(Form1Test, JuliaWritesItsPresetAndTheNextDrawShowsTheJuliaSet) {
  Type(Field::XMin, "-1");
  Type(Field::Iterations, "60");
  Type(Field::Real, "-0.8");
  Type(Field::Imaginary, "0.156");
  ClickOn("Option2");
  EXPECT_EQ(Texts(), (std::vector<std::string>{"-1.5", "1.5", "-1.5", "1.5", "60", "-0.8", "0.156"}));
  EXPECT_FALSE(On("Option1"));
  EXPECT_TRUE(Shown() == Empty()) << "choosing a kind draws nothing";

  ClickDraw();
  EXPECT_TRUE(Shown() == Drawn({"-1.5", "1.5", "-1.5", "1.5", "60", "-0.8", "0.156"}, false));

  // Julia is on already: clicking it again chooses nothing and writes nothing.
  Type(Field::XMin, "7");
  ClickOn("Option2");
  EXPECT_EQ(Texts()[0], "7");

  const Picture julia = Shown();
  ClickOn("Option1");
  EXPECT_EQ(Texts(), (std::vector<std::string>{"-2.5", "1.5", "-1.5", "1.5", "60", "-0.8", "0.156"}));
  EXPECT_TRUE(Shown() == julia) << "choosing a kind leaves the picture";
}

TEST_F(Form1Test, JuliaFieldsDoNotChangeAMandelbrotDrawing) {
  Type(Field::Real, "1e39");
  Type(Field::Imaginary, "garbage");
  ClickDraw();
  EXPECT_TRUE(reports.empty());
  EXPECT_TRUE(Shown() == Drawn(kStartTexts, true));
}

// An unhandled error is reported and the program goes on running.
TEST_F(Form1Test, AnErrorIsReportedAndTheWindowKeepsFieldsAndPixels) {
  struct Case {
    const char* what;
    Field field;
    const char* text;
    std::string message;
  };
  const std::vector<Case> cases{
      // Only the first pixel of the first row is drawn on the empty area: a row cut short.
      {"a fault at the second pixel", Field::XMax, "8e10",
       "Floating-point fault (overflow) at pixel (1, 0), iteration 2, computing Y squared"},
      {"iterations beyond 16 bits", Field::Iterations, "32768", "Overflow: Iterations must lie between -32768 and 32767"},
      {"X Max beyond the single range", Field::XMax, "1e39",
       "Floating-point fault (invalid operation) at pixel (0, 0). X Max \"1e39\" lies beyond the largest single "
       "(about 3.4e38)."},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    reports.clear();
    FieldTexts texts = kStartTexts;
    texts[c.field] = c.text;
    Type(c.field, c.text);
    const Picture before = Shown();
    ClickDraw();
    ASSERT_EQ(reports.size(), 1U);
    EXPECT_EQ(reports[0].message, c.message);
    EXPECT_FALSE(reports[0].waitCursorShown) << "the report comes after the wait cursor has gone";
    EXPECT_NE(GetCursor(), LoadCursorW(nullptr, IDC_WAIT));
    EXPECT_EQ(Texts(), std::vector<std::string>(texts.begin(), texts.end()));
    // Each Draw overwrites the area from its top-left pixel up to the fault.
    Picture expected = before;
    try {
      Draw(texts, true, expected);
    } catch (const RunTimeError&) {
    }
    EXPECT_TRUE(Shown() == expected);
    Type(c.field, kStartTexts[c.field]);
  }
  reports.clear();
  ClickDraw();
  EXPECT_TRUE(reports.empty()) << "the window goes on working after a report";
  EXPECT_TRUE(Shown() == Drawn(kStartTexts, true));
}

TEST_F(Form1Test, ResizingMovesNothing) {
  SetWindowPos(form->Window(), nullptr, 0, 0, 700, 600, SWP_NOMOVE | SWP_NOZORDER);
  Settle();
  for (const ControlDescription& control : kForm1.controls) {
    EXPECT_EQ(Text(PlaceOnForm(Control(control.name))), Text(TablePlace(control))) << control.name;
  }
  RECT client{};
  GetClientRect(Control("Picture1"), &client);
  EXPECT_EQ(Text(client), "0,0 320x200");
}

}  // namespace
}  // namespace tobrisk::test
