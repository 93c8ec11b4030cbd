#include "platform/win32/form1_host.h"

#include <stdexcept>
#include <utility>

#include "platform/win32/wide_text.h"
#include "ui/form1_layout.h"

namespace tobrisk {
namespace {

constexpr wchar_t kClassName[] = L"Tobrisk.Form1";
// The icon in the program's resources (see dist/windows/).
constexpr WORD kIconResource = 1;

static_assert(OptionGroupsFollowEachOther(kForm1), "Form1's option buttons must follow each other in tab order");

HICON LoadAppIcon(int metricX, int metricY) {
  return static_cast<HICON>(LoadImageW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(kIconResource), IMAGE_ICON,
                                       GetSystemMetrics(metricX), GetSystemMetrics(metricY), LR_DEFAULTCOLOR));
}

void RegisterClassOnce(WNDPROC procedure) {
  static const bool registered = [procedure] {
    WNDCLASSEXW windowClass{};
    windowClass.cbSize = sizeof windowClass;
    windowClass.lpfnWndProc = procedure;
    windowClass.hInstance = GetModuleHandleW(nullptr);
    windowClass.hIcon = LoadAppIcon(SM_CXICON, SM_CYICON);
    windowClass.hIconSm = LoadAppIcon(SM_CXSMICON, SM_CYSMICON);
    windowClass.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    windowClass.lpszClassName = kClassName;
    return RegisterClassExW(&windowClass) != 0;
  }();
  if (!registered) throw std::runtime_error("cannot register Form1's window class");
}

// A sizable window with minimise and maximise boxes, whose client area is the form's size.
constexpr DWORD kStyle = WS_OVERLAPPEDWINDOW;

SIZE OuterSize(const FormDescription& form) {
  RECT outer{0, 0, form.ClientWidthPixels(), form.ClientHeightPixels()};
  AdjustWindowRectEx(&outer, kStyle, FALSE, 0);
  return {outer.right - outer.left, outer.bottom - outer.top};
}

}  // namespace

Form1Host::Form1Host(ErrorReport report, const LOGFONTW& desktopFont) : report_(std::move(report)) {
  RegisterClassOnce(&Procedure);
  const SIZE outer = OuterSize(kForm1);
  window_ = CreateWindowExW(0, kClassName, WideText(kForm1.caption).c_str(), kStyle, CW_USEDEFAULT, CW_USEDEFAULT,
                            outer.cx, outer.cy, nullptr, nullptr, GetModuleHandleW(nullptr), this);
  if (window_ == nullptr) throw std::runtime_error("cannot create Form1");
  controls_ = BuildForm(kForm1, window_, desktopFont);
  focus_ = controls_.firstTabStop;
  for (const ControlDescription& control : kForm1.controls) {
    if (control.on) optionOn_.emplace(std::string(control.parent), Control(control.name));
  }
}

Form1Host::~Form1Host() {
  if (window_ != nullptr) DestroyWindow(window_);
}

void Form1Host::Show(int showCommand) {
  ShowWindow(window_, showCommand);
  SetForegroundWindow(window_);
  UpdateWindow(window_);
}

HWND Form1Host::Control(std::string_view name) const {
  const auto found = controls_.windows.find(name);
  return found == controls_.windows.end() ? nullptr : found->second;
}

LRESULT CALLBACK Form1Host::Procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_NCCREATE) {
    const auto* create = reinterpret_cast<const CREATESTRUCTW*>(lParam);
    SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(create->lpCreateParams));
  }
  auto* host = reinterpret_cast<Form1Host*>(GetWindowLongPtrW(window, GWLP_USERDATA));
  if (host == nullptr || host->window_ != window) return DefWindowProcW(window, message, wParam, lParam);
  return host->Answer(message, wParam, lParam);
}

LRESULT Form1Host::Answer(UINT message, WPARAM wParam, LPARAM lParam) {
  const HWND window = window_;
  switch (message) {
    case WM_COMMAND:
      if (HIWORD(wParam) == BN_CLICKED && lParam != 0) Clicked(reinterpret_cast<HWND>(lParam));
      return 0;
    case WM_ACTIVATE:
      // As a dialog does: the focus leaves with the window and comes back to the same control.
      if (LOWORD(wParam) == WA_INACTIVE) {
        const HWND focus = GetFocus();
        if (focus != nullptr && IsChild(window_, focus)) focus_ = focus;
      } else if (focus_ != nullptr && HIWORD(wParam) == 0) {
        SetFocus(focus_);
      }
      return 0;
    case WM_DESTROY:
      PostQuitMessage(0);
      break;
    case WM_NCDESTROY:
      SetWindowLongPtrW(window, GWLP_USERDATA, 0);
      window_ = nullptr;
      break;
    default: break;
  }
  return DefWindowProcW(window, message, wParam, lParam);
}

void Form1Host::Clicked(HWND control) {
  for (const EventBinding& binding : kForm1Events) {
    if (Control(binding.control) != control) continue;
    const ControlDescription& described = *FindControl(kForm1, binding.control);
    if (described.kind == ControlKind::OptionButton) {
      HWND& on = optionOn_[std::string(described.parent)];
      if (SendMessageW(control, BM_GETCHECK, 0, 0) != BST_CHECKED || on == control) return;
      on = control;
    }
    RunEventHandler(binding.handler, *this);
    return;
  }
}

std::string Form1Host::FieldText(Field field) const {
  return Utf8Text(WindowText(Control(FieldControlName(field))));
}

void Form1Host::SetFieldText(Field field, std::string_view text) {
  SetWindowTextW(Control(FieldControlName(field)), WideText(text).c_str());
}

bool Form1Host::Option1On() const {
  return SendMessageW(Control(kMandelbrotOption), BM_GETCHECK, 0, 0) == BST_CHECKED;
}

PlotSurface& Form1Host::Picture1() { return *controls_.drawingAreas.find(kDrawingArea)->second; }

void Form1Host::ShowBusy(bool busy) {
  // No message is handled while a handler runs, so nothing puts the arrow back before it ends.
  if (busy) {
    cursorBeforeBusy_ = SetCursor(LoadCursorW(nullptr, IDC_WAIT));
  } else {
    SetCursor(cursorBeforeBusy_ != nullptr ? cursorBeforeBusy_ : LoadCursorW(nullptr, IDC_ARROW));
  }
}

void Form1Host::ReportUnhandledError(const RunTimeError& error) { report_(window_, error); }

}  // namespace tobrisk
