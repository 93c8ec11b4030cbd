#pragma once

#include <windows.h>

#include <map>
#include <memory>
#include <string>
#include <string_view>

#include "platform/win32/drawing_area.h"
#include "ui/form_description.h"

namespace tobrisk {

// A font the form's controls share; deleted with the form.
struct FontDeleter {
  void operator()(HFONT font) const { DeleteObject(font); }
};
using FontHandle = std::unique_ptr<std::remove_pointer_t<HFONT>, FontDeleter>;

// The controls made from a form description: every control's window by its
// name, the drawing areas by theirs, and the font they show their texts in.
// The form's window owns the control windows; the drawing areas own their pictures.
struct BuiltForm {
  std::map<std::string, HWND, std::less<>> windows;
  std::map<std::string, std::unique_ptr<DrawingArea>, std::less<>> drawingAreas;
  FontHandle font;
  LOGFONTW fontDescription{};
  HWND firstTabStop = nullptr;  // the control of tab index 0, or the first after it that takes the focus
};

// Win32 orders dialog navigation by the windows' order, and groups option
// buttons by runs of them: the option buttons of one parent must follow each
// other in tab order for them to be one group.
[[nodiscard]] constexpr bool OptionGroupsFollowEachOther(const FormDescription& form) {
  for (const ControlDescription& a : form.controls) {
    for (const ControlDescription& b : form.controls) {
      if (a.kind != ControlKind::OptionButton || b.kind != ControlKind::OptionButton || a.parent != b.parent) continue;
      for (const ControlDescription& between : form.controls) {
        const bool inside = between.tabIndex > a.tabIndex && between.tabIndex < b.tabIndex;
        if (inside && (between.kind != ControlKind::OptionButton || between.parent != a.parent)) return false;
      }
    }
  }
  return true;
}

// Turns a form description into the system's controls on `window`: a drawing
// area becomes a DrawingArea, a push button a BUTTON that is not the default, a
// label a STATIC, a field an EDIT, a frame a group box, and the option buttons
// of each parent one group of automatic radio buttons whose tab stop is the
// one that is on. Positions are the table's at 15 twips to the pixel; the
// controls of a frame lie on the window, offset by the frame's corner, where
// the group box is drawn around them. Windows are made in tab order, which
// the dialog keys follow. The font is
// `desktopFont`, made smaller where needed so that every caption shows whole
// in the room the table gives it.
[[nodiscard]] BuiltForm BuildForm(const FormDescription& form, HWND window, const LOGFONTW& desktopFont);

// The system's font for messages and dialogs, as the desktop sets it.
[[nodiscard]] LOGFONTW DesktopMessageFont();

}  // namespace tobrisk
