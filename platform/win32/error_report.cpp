#include "platform/win32/error_report.h"

#include "engine/run_time_error.h"
#include "platform/win32/wide_text.h"

namespace tobrisk {

void ShowErrorMessageBox(HWND window, const RunTimeError& error) {
  MessageBoxW(window, WideText(error.what()).c_str(), L"Tobrisk", MB_OK | MB_ICONERROR);
}

}  // namespace tobrisk
