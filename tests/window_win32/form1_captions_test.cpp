// SPDX-License-Identifier: MIT
// Form1's captions on Win32 at the desktop's font and at larger ones: each
// shows whole in the room the table gives its control, and the font is made
// no smaller than that needs.
#include <cstdlib>
#include <string>

#include <gtest/gtest.h>

#include "platform/win32/form1_host.h"
#include "platform/win32/message_loop.h"
#include "platform/win32/wide_text.h"
#include "ui/form1_layout.h"

namespace tobrisk {
namespace {

// What the system draws beside a caption, at 96 dpi, in the classic look and
// with visual styles: the option button's circle with the gap after it and the
// focus rectangle, a push button's edges, a frame's corners beside its title.
int Chrome(ControlKind kind) {
  switch (kind) {
    case ControlKind::OptionButton: return GetSystemMetrics(SM_CXMENUCHECK) + 6 + 1;
    case ControlKind::PushButton: return 8;
    case ControlKind::Frame: return 20;
    default: return 0;
  }
}

struct Measured {
  int width;
  int height;
};

// The caption as DrawText lays it out in the control's own font.
Measured MeasureCaption(HWND control) {
  const std::wstring text = WindowText(control);
  const HDC dc = GetDC(control);
  const HGDIOBJ before = SelectObject(dc, reinterpret_cast<HFONT>(SendMessageW(control, WM_GETFONT, 0, 0)));
  RECT laid{0, 0, 0, 0};
  DrawTextW(dc, text.c_str(), static_cast<int>(text.size()), &laid, DT_CALCRECT | DT_SINGLELINE | DT_NOPREFIX);
  TEXTMETRICW metrics{};
  GetTextMetricsW(dc, &metrics);
  SelectObject(dc, before);
  ReleaseDC(control, dc);
  return {laid.right, static_cast<int>(metrics.tmHeight)};
}

// The first caption, by the table's order, that does not show whole in its control; empty when all do.
std::string FirstCutCaption(const Form1Host& form) {
  for (const ControlDescription& control : kForm1.controls) {
    if (control.kind == ControlKind::DrawingArea || control.kind == ControlKind::Field) continue;
    const Measured needed = MeasureCaption(form.Control(control.name));
    const Rect room = control.Pixels();
    if (needed.width + Chrome(control.kind) > room.width || needed.height > room.height) {
      return std::string(control.name) + " \"" + std::string(control.caption) + "\" needs " +
             std::to_string(needed.width + Chrome(control.kind)) + "x" + std::to_string(needed.height) + " of " +
             std::to_string(room.width) + "x" + std::to_string(room.height);
    }
  }
  return {};
}

TEST(Form1Captions, EveryCaptionShowsWholeAtTheDesktopsFontAndAtLargerOnes) {
  const LOGFONTW desktop = DesktopMessageFont();
  // The desktop's message font (8 points at 96 dpi, 11 pixels), then 10, 12 and 16 points.
  for (const LONG pixels : {std::abs(desktop.lfHeight), 13L, 16L, 21L}) {
    SCOPED_TRACE(std::to_string(pixels) + " pixels");
    LOGFONTW asked = desktop;
    asked.lfHeight = -pixels;
    FontHandle larger;  // outlives the form that shows it
    Form1Host form([](HWND, const RunTimeError&) {}, asked);
    form.Show(SW_SHOW);
    HandleWaitingMessages(form.Window());
    EXPECT_EQ(FirstCutCaption(form), "");
    EXPECT_LE(std::abs(form.Font().lfHeight), pixels);
    EXPECT_EQ(std::wstring(form.Font().lfFaceName), std::wstring(desktop.lfFaceName)) << "the desktop's face";

    // One pixel larger would cut a caption, unless the font is the one asked for.
    if (std::abs(form.Font().lfHeight) < pixels) {
      LOGFONTW description = asked;
      description.lfHeight = -(std::abs(form.Font().lfHeight) + 1);
      larger.reset(CreateFontIndirectW(&description));
      for (const ControlDescription& control : kForm1.controls) {
        SendMessageW(form.Control(control.name), WM_SETFONT, reinterpret_cast<WPARAM>(larger.get()), FALSE);
      }
      EXPECT_NE(FirstCutCaption(form), "") << "the font was made smaller than the captions need";
    }

    // The frame's title stays above the first line of controls inside it.
    const Measured title = MeasureCaption(form.Control("Frame1"));
    EXPECT_LE(title.height, FindControl(kForm1, "Label6")->Pixels().top);
  }
  HandleWaitingMessages(nullptr);
}

}  // namespace
}  // namespace tobrisk
