#include <QApplication>

#include "platform/qt/form1_widget.h"

int main(int argc, char* argv[]) {
  QApplication app(argc, argv);
  QApplication::setApplicationName(QStringLiteral("Tobrisk"));
  // Lets a Wayland compositor find tobrisk.desktop and with it the icon.
  QApplication::setDesktopFileName(QStringLiteral("tobrisk"));
  tobrisk::Form1Widget window;
  window.show();
  return QApplication::exec();
}
