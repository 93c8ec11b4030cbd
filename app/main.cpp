#include <optional>
#include <string_view>
#include <vector>

#include <QApplication>

#include "app/command_line.h"
#include "app/window_system_start.h"
#include "platform/qt/form1_widget.h"
#include "tobrisk/version.h"

int main(int argc, char* argv[]) {
  // Help, version and usage errors need no display, so they come before Qt.
  const tobrisk::ParsedCommandLine parsed =
      tobrisk::ParseCommandLine(std::vector<std::string_view>(argv + 1, argv + argc), tobrisk::kQtOptions);
  if (const std::optional<int> status = tobrisk::AnswerWithoutWindow(parsed, tobrisk::kQtOptions)) return *status;

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
