#include <io.h>
#include <windows.h>

#include <atomic>
#include <string>

#include "tools/safe_output/interrupts.h"

namespace tobrisk::interrupts {
namespace {

std::atomic<Handler> installed{nullptr};

// Console control events arrive on a thread of their own, not as signals, so
// this may wait and convert as any thread may.
BOOL WINAPI OnControlEvent(DWORD event) {
  switch (event) {
    case CTRL_C_EVENT:
    case CTRL_BREAK_EVENT:
    case CTRL_CLOSE_EVENT:
    case CTRL_LOGOFF_EVENT:
    case CTRL_SHUTDOWN_EVENT:
      if (const Handler handler = installed.load()) handler(static_cast<int>(event) + 1);
      return TRUE;
    default:
      return FALSE;
  }
}

}  // namespace

void Install(Handler handler) {
  installed.store(handler);
  ::SetConsoleCtrlHandler(OnControlEvent, TRUE);
}

void RemoveFile(const char* path) noexcept {
  const int size = ::MultiByteToWideChar(CP_UTF8, 0, path, -1, nullptr, 0);
  if (size <= 0) return;
  std::wstring wide(static_cast<std::size_t>(size), L'\0');
  ::MultiByteToWideChar(CP_UTF8, 0, path, -1, wide.data(), size);
  ::DeleteFileW(wide.c_str());
}

void Write(int fd, const char* text, std::size_t size) noexcept {
  DWORD written = 0;
  ::WriteFile(reinterpret_cast<HANDLE>(::_get_osfhandle(fd)), text, static_cast<DWORD>(size), &written, nullptr);
}

// The status a console program ended by Ctrl-C has on Windows. Terminated,
// not exited: the worker threads must not run on while the files are gone.
void EndBy(int) noexcept {
  ::TerminateProcess(::GetCurrentProcess(), static_cast<UINT>(STATUS_CONTROL_C_EXIT));
  for (;;) ::Sleep(INFINITE);
}

void WaitForTheEnd() noexcept {
  for (;;) ::Sleep(INFINITE);
}

}  // namespace tobrisk::interrupts
