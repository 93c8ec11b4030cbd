#include "platform/win32/parent_console.h"

#include <windows.h>

#include <cstdio>
#include <iostream>

namespace tobrisk {
namespace {

bool Redirected(DWORD which) {
  const HANDLE handle = GetStdHandle(which);
  return handle != nullptr && handle != INVALID_HANDLE_VALUE && GetFileType(handle) != FILE_TYPE_UNKNOWN;
}

}  // namespace

void SendAnswersToTheParentConsole() {
  const bool outRedirected = Redirected(STD_OUTPUT_HANDLE);
  const bool errRedirected = Redirected(STD_ERROR_HANDLE);
  if ((outRedirected && errRedirected) || AttachConsole(ATTACH_PARENT_PROCESS) == 0) return;
  FILE* reopened = nullptr;
  if (!outRedirected) freopen_s(&reopened, "CONOUT$", "w", stdout);
  if (!errRedirected) freopen_s(&reopened, "CONOUT$", "w", stderr);
  std::cout.clear();
  std::cerr.clear();
}

}  // namespace tobrisk
