#include "platform/win32/form_builder.h"

#include <commctrl.h>

#include <cstdlib>
#include <memory>
#include <stdexcept>
#include <string>
#include <utility>

#include "platform/win32/wide_text.h"
#include "ui/caption_fit.h"

namespace tobrisk {
namespace {

// Enter and Escape send IDOK and IDCANCEL to the window; no control may answer them.
constexpr int kFirstControlId = 100;

// The smallest font the form shrinks to, in pixels, as the Qt window's.
constexpr double kSmallestFontPixels = 7.0;

// What a control draws beside its caption, in pixels at 96 dpi, as the system
// draws it in the classic look and with visual styles alike: an option
// button's circle, the gap after it and the focus rectangle's right edge; a
// push button's edge and inner margin on both sides; the corner a frame's
// title keeps from the frame's sides.
constexpr int kOptionGap = 6 + 1;
constexpr int kButtonMargins = 2 * (2 + 2);
constexpr int kFrameTitleMargins = 2 * 10;

int ChromeWidth(ControlKind kind) {
  switch (kind) {
    case ControlKind::OptionButton: return GetSystemMetrics(SM_CXMENUCHECK) + kOptionGap;
    case ControlKind::PushButton: return kButtonMargins;
    case ControlKind::Frame: return kFrameTitleMargins;
    default: return 0;
  }
}

// A control's place on the form's client area: a frame's controls lie offset by the frame's corner.
Rect PlaceOnForm(const FormDescription& form, const ControlDescription& control) {
  Rect place = control.Pixels();
  for (const ControlDescription* parent = FindControl(form, control.parent); parent != nullptr;
       parent = FindControl(form, parent->parent)) {
    place.left += parent->Pixels().left;
    place.top += parent->Pixels().top;
  }
  return place;
}

struct ClassAndStyle {
  const wchar_t* className;
  DWORD style;
  DWORD extendedStyle;
};

ClassAndStyle ClassFor(ControlKind kind) {
  switch (kind) {
    // Not BS_DEFPUSHBUTTON: Enter must not press it.
    case ControlKind::PushButton: return {WC_BUTTONW, BS_PUSHBUTTON | WS_TABSTOP, 0};
    case ControlKind::Label: return {WC_STATICW, SS_LEFT | SS_NOPREFIX, 0};  // a caption is text, never a mnemonic
    case ControlKind::Field: return {WC_EDITW, ES_LEFT | ES_AUTOHSCROLL | WS_TABSTOP, WS_EX_CLIENTEDGE};
    // The one that is on takes WS_TABSTOP from BM_SETCHECK, which moves it along with the choice.
    case ControlKind::OptionButton: return {WC_BUTTONW, BS_AUTORADIOBUTTON, 0};
    case ControlKind::Frame: return {WC_BUTTONW, BS_GROUPBOX, 0};
    case ControlKind::DrawingArea: break;
  }
  throw std::logic_error("a drawing area is not a system control");
}

// A run of option buttons of one parent is one group; every other control starts a group of its own.
bool StartsGroup(const ControlDescription& control, const ControlDescription* before) {
  return control.kind != ControlKind::OptionButton || before == nullptr || before->kind != ControlKind::OptionButton ||
         before->parent != control.parent;
}

HWND MakeControl(const ControlDescription& control, const Rect& at, HWND window, int id, bool startsGroup) {
  const ClassAndStyle kind = ClassFor(control.kind);
  const HWND made = CreateWindowExW(kind.extendedStyle, kind.className, WideText(control.caption).c_str(),
                                    WS_CHILD | WS_VISIBLE | kind.style | (startsGroup ? WS_GROUP : 0U), at.left,
                                    at.top, at.width, at.height, window,
                                    reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), GetModuleHandleW(nullptr),
                                    nullptr);
  if (made == nullptr) throw std::runtime_error("cannot create the control " + std::string(control.name));
  // A field keeps all that is typed or pasted; the system's default cuts it at 32767 characters.
  if (control.kind == ControlKind::Field) SendMessageW(made, EM_SETLIMITTEXT, 0, 0);
  if (control.on) SendMessageW(made, BM_SETCHECK, BST_CHECKED, 0);
  return made;
}

// The form's font at `pixels`, sent to every control; sizes are whole pixels, the sign as the desktop's.
void SetFormFont(BuiltForm& built, const LOGFONTW& desktopFont, double pixels) {
  LOGFONTW description = desktopFont;
  description.lfHeight = desktopFont.lfHeight < 0 ? -static_cast<LONG>(pixels) : static_cast<LONG>(pixels);
  description.lfWidth = 0;
  FontHandle font(CreateFontIndirectW(&description));
  if (!font) throw std::runtime_error("cannot create the form's font");
  for (const auto& [name, control] : built.windows) {
    SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(font.get()), FALSE);
  }
  built.font = std::move(font);
  built.fontDescription = description;
}

bool CaptionsFitAtFormFont(const FormDescription& form, const BuiltForm& built, HDC dc) {
  const HGDIOBJ before = SelectObject(dc, built.font.get());
  TEXTMETRICW metrics{};
  GetTextMetricsW(dc, &metrics);
  const bool fits = CaptionsFit(form, [&](const ControlDescription& control) {
    const std::wstring text = WindowText(built.windows.find(control.name)->second);
    SIZE extent{};
    GetTextExtentPoint32W(dc, text.c_str(), static_cast<int>(text.size()), &extent);
    return CaptionNeed{static_cast<int>(extent.cx) + ChromeWidth(control.kind), static_cast<int>(metrics.tmHeight)};
  });
  SelectObject(dc, before);
  return fits;
}

// A LOGFONT may give its height as 0, "the default": its size in pixels is then read off the font itself.
double HeightInPixels(const LOGFONTW& description, HDC dc) {
  if (description.lfHeight != 0) return std::abs(description.lfHeight);
  const HFONT font = CreateFontIndirectW(&description);
  const HGDIOBJ before = SelectObject(dc, font);
  TEXTMETRICW metrics{};
  GetTextMetricsW(dc, &metrics);
  SelectObject(dc, before);
  DeleteObject(font);
  return static_cast<double>(metrics.tmHeight - metrics.tmInternalLeading);
}

void FitCaptionsByFontSize(const FormDescription& form, BuiltForm& built, HWND window, LOGFONTW desktopFont) {
  const HDC dc = GetDC(window);
  const double largest = HeightInPixels(desktopFont, dc);
  if (desktopFont.lfHeight == 0) desktopFont.lfHeight = -static_cast<LONG>(largest);
  const double pixels = LargestFittingSize(largest, kSmallestFontPixels, 1.0, [&](double size) {
    SetFormFont(built, desktopFont, size);
    return CaptionsFitAtFormFont(form, built, dc);
  });
  ReleaseDC(window, dc);
  if (std::abs(built.fontDescription.lfHeight) != static_cast<LONG>(pixels)) SetFormFont(built, desktopFont, pixels);
}

}  // namespace

BuiltForm BuildForm(const FormDescription& form, HWND window, const LOGFONTW& desktopFont) {
  BuiltForm built;
  const ControlDescription* before = nullptr;
  for (const ControlDescription* control : ControlsInTabOrder(form)) {
    const Rect at = PlaceOnForm(form, *control);
    const int id = kFirstControlId + static_cast<int>(control - form.controls.data());
    HWND made = nullptr;
    if (control->kind == ControlKind::DrawingArea) {
      auto area = std::make_unique<DrawingArea>(window, at, id);
      made = area->Window();
      built.drawingAreas.emplace(std::string(control->name), std::move(area));
    } else {
      made = MakeControl(*control, at, window, id, StartsGroup(*control, before));
    }
    built.windows.emplace(std::string(control->name), made);
    if (built.firstTabStop == nullptr && TakesFocus(control->kind)) built.firstTabStop = made;
    before = control;
  }
  FitCaptionsByFontSize(form, built, window, desktopFont);
  return built;
}

LOGFONTW DesktopMessageFont() {
  NONCLIENTMETRICSW metrics{};
  metrics.cbSize = sizeof metrics;
  if (SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof metrics, &metrics, 0) == 0) {
    LOGFONTW fallback{};
    GetObjectW(GetStockObject(DEFAULT_GUI_FONT), sizeof fallback, &fallback);
    return fallback;
  }
  return metrics.lfMessageFont;
}

}  // namespace tobrisk
