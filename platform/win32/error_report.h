#pragma once

#include <windows.h>

#include <functional>

namespace tobrisk {

class RunTimeError;

// How the window tells the user about a RunTimeError that ended a handler.
// Tests put a recorder in place of the message box.
using ErrorReport = std::function<void(HWND window, const RunTimeError& error)>;

// A modal message box titled "Tobrisk" with the error's message and the
// error icon; returns when the user closes it.
void ShowErrorMessageBox(HWND window, const RunTimeError& error);

}  // namespace tobrisk
