#include <algorithm>
#include <utility>
#include <string>
#include <string_view>
#include <vector>

#include <gtest/gtest.h>

#include "ui/caption_fit.h"
#include "ui/form1_layout.h"

namespace tobrisk {
namespace {

// Pixel geometry, tab index and parent of every control as the window's design gives them, in pixels at 96 dpi.
struct Expected {
  std::string_view name;
  Rect pixels;
  int tabIndex;
  std::string_view parent;
};

constexpr Expected kDesignTable[] = {
    {"Picture1", {8, 8, 324, 204}, 0, ""},   {"Command1", {104, 360, 105, 33}, 1, ""},
    {"Label1", {8, 232, 57, 17}, 2, ""},     {"Label2", {8, 256, 57, 17}, 3, ""},
    {"Label3", {8, 280, 57, 17}, 4, ""},     {"Label4", {8, 304, 57, 17}, 5, ""},
    {"Text1", {80, 232, 49, 19}, 6, ""},     {"Text2", {80, 256, 49, 19}, 7, ""},
    {"Text3", {80, 280, 49, 19}, 8, ""},     {"Text4", {80, 304, 49, 19}, 9, ""},
    {"Label5", {8, 328, 49, 17}, 10, ""},    {"Text5", {80, 328, 49, 19}, 11, ""},
    {"Option1", {152, 312, 81, 17}, 12, ""}, {"Option2", {152, 336, 57, 17}, 13, ""},
    {"Frame1", {152, 224, 145, 81}, 14, ""}, {"Label6", {8, 24, 41, 17}, 15, "Frame1"},
    {"Text6", {64, 24, 57, 19}, 16, "Frame1"}, {"Label7", {8, 48, 49, 17}, 17, "Frame1"},
    {"Text7", {64, 48, 57, 19}, 18, "Frame1"},
};

TEST(Form1Layout, ControlsMatchTheDesignTableInPixels) {
  ASSERT_EQ(kForm1.controls.size(), std::size(kDesignTable));
  for (std::size_t i = 0; i < std::size(kDesignTable); ++i) {
    const Expected& want = kDesignTable[i];
    const ControlDescription& got = kForm1.controls[i];
    EXPECT_EQ(got.name, want.name) << "control " << i;
    EXPECT_EQ(got.Pixels(), want.pixels) << want.name;
    EXPECT_EQ(got.tabIndex, want.tabIndex) << want.name;
    EXPECT_EQ(got.parent, want.parent) << want.name;
  }
}

TEST(Form1Layout, WindowIsTobriskWithA350By407ClientArea) {
  EXPECT_EQ(kForm1.caption, "Tobrisk");
  EXPECT_EQ(kForm1.ClientWidthPixels(), 350);
  EXPECT_EQ(kForm1.ClientHeightPixels(), 407);
}

TEST(Form1Layout, DrawingAreaIs320By200InsideItsBorder) {
  const ControlDescription* picture = FindControl(kForm1, kDrawingArea);
  ASSERT_NE(picture, nullptr);
  EXPECT_EQ(picture->InnerPixels(), (Rect{2, 2, 320, 200}));
}

TEST(Form1Layout, FieldsHoldTheDesignTimeTextsAndOnlyMandelbrotIsOn) {
  const ByField<std::string_view> texts{"-2.5", "1.5", "-1.5", "1.5", "100", "0.3", "0.6"};
  for (const Field f : kAllFields) {
    const ControlDescription* field = FindControl(kForm1, FieldControlName(f));
    ASSERT_NE(field, nullptr);
    EXPECT_EQ(field->caption, texts[f]) << field->name;
  }
  std::vector<std::string_view> on;
  for (const ControlDescription& control : kForm1.controls) {
    if (control.on) on.push_back(control.name);
  }
  EXPECT_EQ(on, std::vector<std::string_view>{"Option1"});
}

TEST(Form1Layout, FocusStopsFollowTheTabIndices) {
  std::vector<std::pair<int, std::string_view>> stops;
  for (const ControlDescription& control : kForm1.controls) {
    if (TakesFocus(control.kind)) stops.emplace_back(control.tabIndex, control.name);
  }
  std::sort(stops.begin(), stops.end());
  std::vector<std::string_view> names;
  for (const auto& stop : stops) names.push_back(stop.second);
  EXPECT_EQ(names, (std::vector<std::string_view>{"Picture1", "Command1", "Text1", "Text2", "Text3", "Text4", "Text5",
                                                  "Option1", "Option2", "Text6", "Text7"}));

  // The order the windows build their tab stops in: every control, labels and the frame included.
  std::vector<std::string_view> ordered;
  for (const ControlDescription* control : ControlsInTabOrder(kForm1)) ordered.push_back(control->name);
  EXPECT_EQ(ordered, (std::vector<std::string_view>{"Picture1", "Command1", "Label1", "Label2", "Label3", "Label4",
                                                    "Text1", "Text2", "Text3", "Text4", "Label5", "Text5", "Option1",
                                                    "Option2", "Frame1", "Label6", "Text6", "Label7", "Text7"}));
}

// Every window shrinks its font by the same rule: which texts must fit, and how far.
TEST(CaptionFit, WidthCountsForCaptionsAndHeightForEveryText) {
  struct Case {
    const char* what;
    ControlKind kind;
    CaptionNeed need;  // against a room of 4 x 3 pixels
    bool fits;
  };
  const Case cases[] = {
      {"a label exactly as wide as its room", ControlKind::Label, {4, 3}, true},
      {"a label one pixel too wide", ControlKind::Label, {5, 3}, false},
      {"a label one pixel too tall", ControlKind::Label, {4, 4}, false},
      {"a push button too wide", ControlKind::PushButton, {5, 1}, false},
      {"an option button too wide", ControlKind::OptionButton, {5, 1}, false},
      {"a frame's title too wide", ControlKind::Frame, {5, 1}, false},
      {"a field's text scrolls sideways", ControlKind::Field, {50, 3}, true},
      {"a field's line too tall", ControlKind::Field, {1, 4}, false},
      {"a drawing area shows no text", ControlKind::DrawingArea, {50, 50}, true},
  };
  for (const Case& c : cases) {
    const ControlDescription other{"Label9", ControlKind::Label, "y", {0, 60, 60, 45}, 1};
    const ControlDescription controls[] = {{"Control1", c.kind, "x", {0, 0, 60, 45}, 0}, other};
    const FormDescription form{"Form", "Test", 300, 300, controls};
    std::vector<std::string_view> measured;
    const bool fits = CaptionsFit(form, [&](const ControlDescription& control) {
      measured.push_back(control.name);
      return control.name == "Control1" ? c.need : CaptionNeed{1, 1};
    });
    EXPECT_EQ(fits, c.fits) << c.what;
    if (c.fits) {
      EXPECT_EQ(measured.size(), ShowsText(c.kind) ? 2U : 1U) << c.what << ": every text measured";
    }
  }
}

TEST(CaptionFit, TheFontShrinksToTheLargestSizeThatFits) {
  struct Case {
    const char* what;
    double largest, smallest, step;
    double fitsFrom;  // sizes at or below this fit
    double size;
    int tries;
  };
  const Case cases[] = {
      {"the desktop's size fits", 9.0, 5.0, 0.5, 10.0, 9.0, 1},
      {"half points down to the first that fits", 9.0, 5.0, 0.5, 7.5, 7.5, 4},
      {"whole pixels down to the first that fits", 13.0, 7.0, 1.0, 11.0, 11.0, 3},
      {"nothing fits: the smallest size", 9.0, 5.0, 0.5, 4.0, 5.0, 9},
      {"nothing fits, the desktop's size already the smallest", 5.0, 5.0, 0.5, 4.0, 5.0, 1},
      {"a desktop font below the smallest is kept", 4.0, 5.0, 0.5, 3.0, 4.0, 1},
  };
  for (const Case& c : cases) {
    int tries = 0;
    const double size = LargestFittingSize(c.largest, c.smallest, c.step, [&](double tried) {
      ++tries;
      return tried <= c.fitsFrom;
    });
    EXPECT_EQ(size, c.size) << c.what;
    EXPECT_EQ(tries, c.tries) << c.what;
  }
}

// A faulty table must be caught by the check that guards kForm1 at compile time.
TEST(FirstLayoutProblem, NamesEachKindOfFault) {
  struct Case {
    const char* fault;
    std::vector<ControlDescription> controls;
    int clientWidth;
    std::string_view problem;
  };
  const ControlDescription button{"Command1", ControlKind::PushButton, "Draw", {15, 15, 150, 150}, 0};
  const ControlDescription frame{"Frame1", ControlKind::Frame, "F", {0, 0, 300, 300}, 1};
  const ControlDescription on{"Option1", ControlKind::OptionButton, "A", {0, 0, 15, 15}, 1, {}, true};
  const ControlDescription off{"Option2", ControlKind::OptionButton, "B", {0, 0, 15, 15}, 2};
  const std::vector<Case> cases{
      {"well formed", {button, on, off}, 300, ""},
      {"client width", {button}, 301, "the client area is not a whole number of pixels"},
      {"geometry", {{"Command1", ControlKind::PushButton, "Draw", {16, 15, 150, 150}, 0}}, 300,
       "a control's geometry is not a whole number of pixels"},
      {"no name", {{"", ControlKind::PushButton, "Draw", {15, 15, 150, 150}, 0}}, 300, "a control has no name"},
      {"tab index range", {{"Command1", ControlKind::PushButton, "Draw", {15, 15, 150, 150}, 1}}, 300,
       "a tab index lies outside 0 ... n-1"},
      {"shared name", {button, {"Command1", ControlKind::Label, "x", {0, 0, 15, 15}, 1}}, 300,
       "two controls share a name"},
      {"shared tab index", {button, {"Label1", ControlKind::Label, "x", {0, 0, 15, 15}, 0}}, 300,
       "two controls share a tab index"},
      {"parent later", {{"Label1", ControlKind::Label, "x", {0, 0, 15, 15}, 0, "Frame1"}, frame}, 300,
       "a parent is not listed before its children"},
      {"parent not a frame", {button, {"Label1", ControlKind::Label, "x", {0, 0, 15, 15}, 1, "Command1"}}, 300,
       "a parent is not a frame"},
      {"no option on", {button, {"Label1", ControlKind::Label, "x", {0, 0, 15, 15}, 1}, off}, 300, "an option group does not have exactly one button on"},
      {"two options on", {{"Option3", ControlKind::OptionButton, "C", {0, 0, 15, 15}, 0, {}, true}, on}, 300,
       "an option group does not have exactly one button on"},
      {"label on", {{"Label1", ControlKind::Label, "x", {0, 0, 15, 15}, 0, {}, true}}, 300,
       "only option buttons can be on"},
      {"tiny drawing area", {{"Picture1", ControlKind::DrawingArea, "", {0, 0, 60, 600}, 0}}, 300,
       "a drawing area has no room inside its border"},
  };
  for (const Case& c : cases) {
    const FormDescription form{"Form", "Test", c.clientWidth, 300, c.controls};
    EXPECT_EQ(FirstLayoutProblem(form), c.problem) << c.fault;
  }
}

}  // namespace
}  // namespace tobrisk
