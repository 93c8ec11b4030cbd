#pragma once

#include <windows.h>

#include <map>
#include <string>
#include <string_view>

#include "platform/win32/error_report.h"
#include "platform/win32/form_builder.h"
#include "ui/form1_events.h"
#include "ui/form1_window.h"

namespace tobrisk {

// Form1 on Win32: a top-level window with the controls of the form
// description, the handlers of ui/ bound to the notifications that raise
// their events, and the window services they need. Closing the window ends
// the program's event loop.
class Form1Host final : private Form1Window {
 public:
  explicit Form1Host(ErrorReport report = ShowErrorMessageBox, const LOGFONTW& desktopFont = DesktopMessageFont());
  Form1Host(const Form1Host&) = delete;
  Form1Host& operator=(const Form1Host&) = delete;
  ~Form1Host();

  // Shows the window where the system places new windows, and activates it.
  void Show(int showCommand = SW_SHOWDEFAULT);

  // Null once the user has closed it.
  [[nodiscard]] HWND Window() const { return window_; }
  // A control's window by its name in the form description; null when there is none.
  [[nodiscard]] HWND Control(std::string_view name) const;
  // The font the controls show their texts in, after fitting the captions.
  [[nodiscard]] const LOGFONTW& Font() const { return controls_.fontDescription; }

 private:
  static LRESULT CALLBACK Procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
  LRESULT Answer(UINT message, WPARAM wParam, LPARAM lParam);
  // A button sent BN_CLICKED: the click of a push button, or the choice of an
  // option button, which counts only when it was not on already.
  void Clicked(HWND control);

  [[nodiscard]] std::string FieldText(Field field) const override;
  void SetFieldText(Field field, std::string_view text) override;
  [[nodiscard]] bool Option1On() const override;
  [[nodiscard]] PlotSurface& Picture1() override;
  void ShowBusy(bool busy) override;
  void ReportUnhandledError(const RunTimeError& error) override;

  ErrorReport report_;
  HWND window_ = nullptr;
  BuiltForm controls_;
  // The option button that is on in each option group, by the group's parent.
  std::map<std::string, HWND, std::less<>> optionOn_;
  // Where the focus goes when the window is activated again.
  HWND focus_ = nullptr;
  HCURSOR cursorBeforeBusy_ = nullptr;
};

}  // namespace tobrisk
