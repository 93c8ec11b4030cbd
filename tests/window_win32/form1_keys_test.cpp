// SPDX-License-Identifier: MIT
// Form1's keyboard on Win32, through the event loop's dialog keys: the tab
// order of the tab indices with one stop for the option group, the arrow keys
// within the group, and Enter and Escape, which press nothing.
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "tests/support/default_views.h"
#include "tests/window_win32/form1_fixture.h"

namespace tobrisk::test {
namespace {

using Form1Keys = Form1Fixture;

TEST_F(Form1Keys, FocusStartsOnPicture1AndTabFollowsTheTabIndicesWithOneStopForTheOptions) {
  EXPECT_EQ(Focused(), "Picture1");
  const std::vector<std::string> expected{"Command1", "Text1", "Text2", "Text3", "Text4", "Text5",
                                          "Option1",  "Text6", "Text7", "Picture1"};
  std::vector<std::string> visited;
  for (std::size_t i = 0; i < expected.size(); ++i) {
    Press(VK_TAB);
    visited.push_back(Focused());
  }
  EXPECT_EQ(visited, expected);

  // Shift+Tab goes back the same way.
  std::vector<std::string> back;
  for (int i = 0; i < 3; ++i) {
    Press(VK_TAB, true);
    back.push_back(Focused());
  }
  EXPECT_EQ(back, (std::vector<std::string>{"Text7", "Text6", "Option1"}));

  // With Julia chosen, the group's one stop is Julia.
  ClickOn("Option2");
  SetFocus(FieldOf(Field::Iterations));
  Press(VK_TAB);
  EXPECT_EQ(Focused(), "Option2");
  Press(VK_TAB);
  EXPECT_EQ(Focused(), "Text6");
}

TEST_F(Form1Keys, TheFocusComesBackToItsControlWhenTheWindowIsActivatedAgain) {
  Press(VK_TAB);
  Press(VK_TAB);
  ASSERT_EQ(Focused(), "Text1");
  const HWND other = CreateWindowExW(0, L"Static", L"other", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 400, 0, 200, 100,
                                     nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
  SetForegroundWindow(other);
  Settle();
  SetForegroundWindow(form->Window());
  Settle();
  EXPECT_EQ(Focused(), "Text1");
  DestroyWindow(other);
}

TEST_F(Form1Keys, ArrowKeysInTheOptionGroupChooseTheKind) {
  struct Case {
    const char* key;
    WORD press;
    const char* from;
    const char* to;    // the option that is on, and has the focus, afterwards
    const char* xMin;  // the preset it wrote
  };
  const Case cases[] = {
      {"Down to the next", VK_DOWN, "Option1", "Option2", "-1.5"},
      {"Right to the next", VK_RIGHT, "Option1", "Option2", "-1.5"},
      {"Up to the previous", VK_UP, "Option2", "Option1", "-2.5"},
      {"Left to the previous", VK_LEFT, "Option2", "Option1", "-2.5"},
      {"Down past the last goes round", VK_DOWN, "Option2", "Option1", "-2.5"},
      {"Up past the first goes round", VK_UP, "Option1", "Option2", "-1.5"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.key);
    if (!On(c.from)) ClickOn(c.from);
    Type(Field::XMin, "7");
    SetFocus(Control(c.from));
    Press(c.press);
    EXPECT_TRUE(On(c.to));
    EXPECT_FALSE(On(c.from));
    EXPECT_EQ(Focused(), c.to);
    EXPECT_EQ(Texts()[0], c.xMin);
  }
}

TEST_F(Form1Keys, EnterAndEscapeDrawNothingAndCloseNothing) {
  for (const Field field : {Field::XMin, Field::Iterations, Field::Imaginary}) {
    SetFocus(FieldOf(field));
    Press(VK_RETURN);
    Press(VK_ESCAPE);
  }
  // On the button itself Enter does not press it either; the space bar does.
  SetFocus(Control("Command1"));
  Press(VK_RETURN);
  Press(VK_ESCAPE);
  EXPECT_TRUE(Shown() == Empty());
  EXPECT_TRUE(IsWindowVisible(form->Window()));
  Press(VK_SPACE);
  EXPECT_TRUE(Shown() == Drawn(kStartTexts, true));
}

}  // namespace
}  // namespace tobrisk::test
