#pragma once

#include <string>

namespace tobrisk {

// Why the window system could not be started, as one line a user can act on,
// from the environment that chose it. Null stands for an unset variable.
[[nodiscard]] std::string WindowSystemFailureLine(const char* qtPlatform, const char* display,
                                                  const char* waylandDisplay);

// Guards the start of the QApplication. Qt gives up on a missing or broken
// window system with a fatal message and an abort (a core dump and advice to
// reinstall); under this guard the program prints WindowSystemFailureLine and
// exits with status 1 instead. Qt's other messages during the start are held
// back and passed on once the start has succeeded.
class WindowSystemStart {
 public:
  WindowSystemStart();
  WindowSystemStart(const WindowSystemStart&) = delete;
  WindowSystemStart& operator=(const WindowSystemStart&) = delete;
  ~WindowSystemStart();
};

}  // namespace tobrisk
