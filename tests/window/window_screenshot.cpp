// SPDX-License-Identifier: MIT
// Draws the README's screenshots of Form1 after a Draw:
//   xvfb-run -a -s "-screen 0 800x600x24" build/tests/window/window_screenshot docs/window-mandelbrot.png
//   xvfb-run -a -s "-screen 0 800x600x24" build/tests/window/window_screenshot docs/window-julia.png --julia
// With --julia it chooses "Julia" and types c = -0.8 + 0.156i and 200 iterations first.
#include <cstdio>
#include <cstring>

#include <QApplication>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>

#include "platform/qt/form1_widget.h"

namespace {

void Type(QWidget& form, const char* field, const char* text) {
  auto* edit = form.findChild<QLineEdit*>(field);
  edit->selectAll();
  QTest::keyClicks(edit, text);
}

}  // namespace

int main(int argc, char* argv[]) {
  QApplication app(argc, argv);
  if (argc < 2) {
    std::fprintf(stderr, "usage: %s FILE.png [--julia]\n", argv[0]);
    return 2;
  }
  tobrisk::Form1Widget form;
  form.show();
  if (!QTest::qWaitForWindowExposed(&form)) return 1;
  if (argc > 2 && std::strcmp(argv[2], "--julia") == 0) {
    QTest::mouseClick(form.findChild<QRadioButton*>("Option2"), Qt::LeftButton);
    Type(form, "Text5", "200");
    Type(form, "Text6", "-0.8");
    Type(form, "Text7", "0.156");
  }
  QTest::mouseClick(form.findChild<QPushButton*>("Command1"), Qt::LeftButton);
  form.findChild<QWidget*>("Picture1")->setFocus();
  QTest::qWait(50);
  return form.grab().save(QString::fromLocal8Bit(argv[1])) ? 0 : 1;
}
