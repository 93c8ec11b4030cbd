#include <cstdio>
#include <optional>
#include <iostream>
#include <string>
#include <string_view>
#include <vector>

#include <QApplication>

#include "app/command_line.h"
#include "app/window_system_start.h"
#include "platform/qt/form1_widget.h"
#include "tobrisk/version.h"

namespace {

// Writes an answer to standard output; a full disk or a closed pipe is a failure.
int Answer(const std::string& text) {
  std::cout << text << std::flush;
  return std::cout ? 0 : 1;
}

}  // namespace

int main(int argc, char* argv[]) {
  // Help, version and usage errors need no display, so they come before Qt.
  const tobrisk::ParsedCommandLine parsed = tobrisk::ParseCommandLine({argv + 1, argv + argc});
  switch (parsed.request) {
    case tobrisk::StartRequest::ShowHelp: return Answer(tobrisk::WindowUsage());
    case tobrisk::StartRequest::ShowVersion: return Answer("tobrisk " + std::string(tobrisk::kVersion) + "\n");
    case tobrisk::StartRequest::UsageError:
      std::cerr << "tobrisk: " << parsed.problem << "\nTry 'tobrisk --help' for more information.\n";
      return 2;
    case tobrisk::StartRequest::OpenWindow: break;
  }

  std::optional<tobrisk::WindowSystemStart> guard(std::in_place);
  QApplication app(argc, argv);
  guard.reset();
  QApplication::setApplicationName(QStringLiteral("Tobrisk"));
  QApplication::setApplicationVersion(QString::fromUtf8(tobrisk::kVersion.data(), tobrisk::kVersion.size()));
  // Lets a Wayland compositor find tobrisk.desktop and with it the icon.
  QApplication::setDesktopFileName(QStringLiteral("tobrisk"));
  tobrisk::Form1Widget window;
  window.show();
  return QApplication::exec();
}
