#pragma once

#include <windows.h>

namespace tobrisk {

// The event loop: messages go through the dialog keys of `form` (Tab and
// Shift+Tab along the tab stops, the arrow keys within an option group) before
// they are dispatched. Returns the exit code once the form has closed.
int RunMessageLoop(HWND form);

// Handles every message that is waiting, the same way, and returns: how a test
// lets the window catch up with the input it was given. The request to end
// the program that a closed form leaves is dropped, as tests close many forms.
void HandleWaitingMessages(HWND form);

}  // namespace tobrisk
