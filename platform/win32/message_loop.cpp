#include "platform/win32/message_loop.h"

namespace tobrisk {
namespace {

void Handle(HWND form, MSG& message) {
  if (form != nullptr && IsWindow(form) && IsDialogMessageW(form, &message)) return;
  TranslateMessage(&message);
  DispatchMessageW(&message);
}

}  // namespace

int RunMessageLoop(HWND form) {
  MSG message{};
  BOOL got = 0;
  while ((got = GetMessageW(&message, nullptr, 0, 0)) > 0) Handle(form, message);
  return got == 0 ? static_cast<int>(message.wParam) : 1;
}

void HandleWaitingMessages(HWND form) {
  MSG message{};
  while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
    if (message.message != WM_QUIT) Handle(form, message);
  }
}

}  // namespace tobrisk
