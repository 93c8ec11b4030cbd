#pragma once

#include <functional>

class QWidget;

namespace tobrisk {

class RunTimeError;

// How the window tells the user about a RunTimeError that ended a handler.
// Tests put a recorder in place of the message box.
using ErrorReport = std::function<void(QWidget& window, const RunTimeError& error)>;

// A modal message box titled "Tobrisk" with the error's message; returns when the user closes it.
void ShowErrorMessageBox(QWidget& window, const RunTimeError& error);

}  // namespace tobrisk
