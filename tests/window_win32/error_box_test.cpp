// SPDX-License-Identifier: MIT
// The report a user sees on Win32: a modal message box titled "Tobrisk" with
// the error's message and the error icon; the program goes on after it.
#include <string>

#include <gtest/gtest.h>

#include "platform/win32/form1_host.h"
#include "platform/win32/message_loop.h"
#include "platform/win32/wide_text.h"

namespace tobrisk {
namespace {

// What the box showed, read while it was open; the timer that reads it runs in the box's own event loop.
struct SeenBox {
  HWND owner = nullptr;
  std::wstring title, text;
  bool errorIcon = false;
  bool ownerDisabled = false;
  bool seen = false;
};
SeenBox seenBox;

BOOL CALLBACK FindTobriskBox(HWND window, LPARAM found) {
  wchar_t className[16] = {};
  GetClassNameW(window, className, 16);
  if (std::wstring(className) != L"#32770" || !IsWindowVisible(window)) return TRUE;
  *reinterpret_cast<HWND*>(found) = window;
  return FALSE;
}

void CALLBACK ReadAndCloseTheBox(HWND, UINT, UINT_PTR timer, DWORD) {
  HWND box = nullptr;
  EnumThreadWindows(GetCurrentThreadId(), &FindTobriskBox, reinterpret_cast<LPARAM>(&box));
  if (box == nullptr) return;
  KillTimer(nullptr, timer);
  seenBox.seen = true;
  seenBox.title = WindowText(box);
  // The box's message and icon are static controls on it, whatever their numbers.
  EnumChildWindows(
      box,
      [](HWND child, LPARAM) -> BOOL {
        wchar_t className[16] = {};
        GetClassNameW(child, className, 16);
        if (std::wstring(className) != L"Static") return TRUE;
        if ((GetWindowLongW(child, GWL_STYLE) & SS_TYPEMASK) == SS_ICON) {
          seenBox.errorIcon = reinterpret_cast<HICON>(SendMessageW(child, STM_GETICON, 0, 0)) == LoadIconW(nullptr, IDI_ERROR);
        } else if (!WindowText(child).empty()) {
          seenBox.text = WindowText(child);
        }
        return TRUE;
      },
      0);
  seenBox.ownerDisabled = IsWindowEnabled(seenBox.owner) == FALSE;
  // The user presses OK.
  SendDlgItemMessageW(box, IDOK, BM_CLICK, 0, 0);
}

TEST(Form1ErrorBox, IsAModalTobriskBoxWithTheErrorIconAndTheProgramGoesOn) {
  Form1Host form;
  form.Show(SW_SHOW);
  HandleWaitingMessages(form.Window());
  seenBox = {};
  seenBox.owner = form.Window();
  SetWindowTextW(form.Control("Text5"), L"40000");
  const UINT_PTR timer = SetTimer(nullptr, 0, 50, &ReadAndCloseTheBox);
  ASSERT_NE(timer, 0U);
  // The box's own loop runs inside the click, until OK is pressed.
  SendMessageW(form.Control("Command1"), BM_CLICK, 0, 0);
  HandleWaitingMessages(form.Window());
  ASSERT_TRUE(seenBox.seen) << "no message box";
  EXPECT_EQ(Utf8Text(seenBox.title), "Tobrisk");
  EXPECT_EQ(Utf8Text(seenBox.text), "Overflow: Iterations must lie between -32768 and 32767");
  EXPECT_TRUE(seenBox.errorIcon);
  EXPECT_TRUE(seenBox.ownerDisabled) << "the box is modal to the window";
  EXPECT_TRUE(IsWindowEnabled(form.Window()));
  EXPECT_TRUE(IsWindowVisible(form.Window()));
  HWND box = nullptr;
  EnumThreadWindows(GetCurrentThreadId(), &FindTobriskBox, reinterpret_cast<LPARAM>(&box));
  EXPECT_EQ(box, nullptr) << "the box closed";
  EXPECT_EQ(WindowText(form.Control("Text5")), L"40000");
}

}  // namespace
}  // namespace tobrisk
