#pragma once

// A shown Form1 on Win32 whose error report is written down instead of shown,
// with what the tests do to it as a user would (keys through the system's
// input queue, clicks on buttons) and what they read back.

#include <windows.h>

#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include <gtest/gtest.h>

#include "engine/run_time_error.h"
#include "platform/picture.h"
#include "platform/win32/form1_host.h"
#include "platform/win32/message_loop.h"
#include "platform/win32/wide_text.h"
#include "tests/support/win32_input.h"
#include "tests/support/win32_screen.h"
#include "ui/draw_command.h"
#include "ui/form1_layout.h"

namespace tobrisk::test {

struct Report {
  std::string message;
  bool waitCursorShown;
};

class Form1Fixture : public testing::Test {
 protected:
  void SetUp() override {
    form = std::make_unique<Form1Host>([this](HWND, const RunTimeError& error) {
      reports.push_back({error.what(), GetCursor() == LoadCursorW(nullptr, IDC_WAIT)});
    });
    form->Show(SW_SHOW);
    Settle();
    ASSERT_EQ(GetForegroundWindow(), form->Window()) << "the form must be in front to take the keys";
  }
  void TearDown() override {
    form.reset();
    HandleWaitingMessages(nullptr);
  }

  // Lets the window handle the input it was given and repaint.
  void Settle() const {
    for (int round = 0; round < 3; ++round) {
      Sleep(10);
      HandleWaitingMessages(form->Window());
    }
  }

  [[nodiscard]] HWND Control(std::string_view name) const {
    const HWND control = form->Control(name);
    EXPECT_NE(control, nullptr) << name;
    return control;
  }
  [[nodiscard]] HWND FieldOf(Field field) const { return Control(FieldControlName(field)); }

  // A click on a button as the button itself takes it. The pointer is not
  // moved: under Wine's virtual desktop a press may land where the pointer was
  // a moment before.
  void ClickOn(std::string_view name) const {
    SendMessageW(Control(name), BM_CLICK, 0, 0);
    Settle();
  }
  void ClickDraw() const { ClickOn("Command1"); }
  void Press(WORD key, bool shift = false) const {
    PressKey(key, shift);
    Settle();
  }
  // Types into a field as a user replacing its text: the field focused, all of it selected, the new text typed.
  void Type(Field field, std::string_view text) const {
    SetFocus(FieldOf(field));
    SendMessageW(FieldOf(field), EM_SETSEL, 0, -1);
    TypeText(WideText(text));
    Settle();
  }

  [[nodiscard]] static std::string TextOf(HWND control) { return Utf8Text(WindowText(control)); }
  [[nodiscard]] std::vector<std::string> Texts() const {
    std::vector<std::string> texts;
    for (const Field field : kAllFields) texts.push_back(TextOf(FieldOf(field)));
    return texts;
  }
  [[nodiscard]] bool On(std::string_view option) const {
    return SendMessageW(Control(option), BM_GETCHECK, 0, 0) == BST_CHECKED;
  }
  [[nodiscard]] std::string Focused() const {
    for (const ControlDescription& control : kForm1.controls) {
      if (form->Control(control.name) == GetFocus()) return std::string(control.name);
    }
    return "(none)";
  }

  // The drawing area's picture as the screen shows it.
  [[nodiscard]] Picture Shown() const { return ClientPixels(Control("Picture1")); }
  [[nodiscard]] static Picture Empty() { return Picture(320, 200, SystemColour(COLOR_BTNFACE)); }
  // What the Draw command puts on an empty 320 x 200 area; an error leaves what was plotted before it.
  [[nodiscard]] static Picture Drawn(const FieldTexts& texts, bool mandelbrot) {
    Picture picture = Empty();
    try {
      Draw(texts, mandelbrot, picture);
    } catch (const RunTimeError&) {
    }
    return picture;
  }

  std::unique_ptr<Form1Host> form;
  std::vector<Report> reports;
};

}  // namespace tobrisk::test
