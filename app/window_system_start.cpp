#include "app/window_system_start.h"

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include <QString>
#include <QtGlobal>

namespace tobrisk {
namespace {

constexpr const char* kHowToGoOn = "run it as 'xvfb-run tobrisk', or draw into a PNG file with tobrisk-render";

bool IsSet(const char* value) { return value != nullptr && *value != '\0'; }

// A message held back during the start, with copies of what its context points to.
struct HeldMessage {
  QtMsgType type;
  std::string file, function, category, text;
  int line;
};

std::string failureLine;
std::vector<HeldMessage> held;
QtMessageHandler previousHandler = nullptr;

void DuringStart(QtMsgType type, const QMessageLogContext& context, const QString& text) {
  if (type == QtFatalMsg) {
    // Qt aborts when this returns; nothing of the half-made application is worth unwinding.
    std::fputs(failureLine.c_str(), stderr);
    std::fflush(stderr);
    std::_Exit(1);
  }
  held.push_back(HeldMessage{type, context.file ? context.file : "", context.function ? context.function : "",
                  context.category ? context.category : "", text.toStdString(), context.line});
}

}  // namespace

std::string WindowSystemFailureLine(const char* qtPlatform, const char* display, const char* waylandDisplay) {
  std::string line = "tobrisk: ";
  if (IsSet(qtPlatform)) {
    line += "the window system '" + std::string(qtPlatform) + "' named by QT_QPA_PLATFORM could not be started; ";
  } else if (IsSet(display) || IsSet(waylandDisplay)) {
    line += "could not connect to the display '" + std::string(IsSet(display) ? display : waylandDisplay) + "'; ";
  } else {
    line += "no display found (neither DISPLAY nor WAYLAND_DISPLAY is set); ";
  }
  return line + kHowToGoOn + "\n";
}

WindowSystemStart::WindowSystemStart() {
  failureLine = WindowSystemFailureLine(std::getenv("QT_QPA_PLATFORM"), std::getenv("DISPLAY"),
                                        std::getenv("WAYLAND_DISPLAY"));
  previousHandler = qInstallMessageHandler(DuringStart);
}

WindowSystemStart::~WindowSystemStart() {
  qInstallMessageHandler(previousHandler);
  for (const HeldMessage& message : held) {
    const QMessageLogContext context(message.file.c_str(), message.line, message.function.c_str(),
                                     message.category.c_str());
    qt_message_output(message.type, context, QString::fromStdString(message.text));
  }
  held.clear();
}

}  // namespace tobrisk
