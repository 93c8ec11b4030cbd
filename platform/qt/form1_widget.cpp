#include "platform/qt/form1_widget.h"

#include <utility>

#include <QAbstractButton>
#include <QApplication>
#include <QLineEdit>
#include <QRadioButton>
#include <QString>

#include "platform/qt/app_icon.h"
#include "platform/qt/drawing_area.h"
#include "ui/form1_layout.h"

namespace tobrisk {

Form1Widget::Form1Widget(ErrorReport report, QWidget* parent)
    : QWidget(parent), controls_(BuildForm(kForm1, *this)), report_(std::move(report)) {
  setObjectName(QString::fromUtf8(kForm1.name.data(), static_cast<qsizetype>(kForm1.name.size())));
  setWindowIcon(AppIcon());
  for (const EventBinding& binding : kForm1Events) {
    QWidget* control = controls_.find(binding.control)->second;
    const EventHandler handler = binding.handler;
    // A click on a push button, the selection (not the deselection) of an option button.
    if (auto* option = qobject_cast<QRadioButton*>(control)) {
      connect(option, &QRadioButton::toggled, this, [this, handler](bool on) {
        if (on) EventRaised(handler);
      });
    } else if (auto* button = qobject_cast<QAbstractButton*>(control)) {
      connect(button, &QAbstractButton::clicked, this, [this, handler] { EventRaised(handler); });
    }
  }
}

void Form1Widget::EventRaised(EventHandler handler) { RunEventHandler(handler, *this); }

template <typename Widget>
Widget& Form1Widget::ControlAs(std::string_view name) const {
  return *qobject_cast<Widget*>(controls_.find(name)->second);
}

std::string Form1Widget::FieldText(Field field) const {
  return ControlAs<QLineEdit>(FieldControlName(field)).text().toStdString();
}

void Form1Widget::SetFieldText(Field field, std::string_view text) {
  ControlAs<QLineEdit>(FieldControlName(field))
      .setText(QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size())));
}

bool Form1Widget::Option1On() const { return ControlAs<QRadioButton>(kMandelbrotOption).isChecked(); }

PlotSurface& Form1Widget::Picture1() { return ControlAs<DrawingArea>(kDrawingArea); }

void Form1Widget::ShowBusy(bool busy) {
  if (busy) {
    QApplication::setOverrideCursor(Qt::WaitCursor);
  } else {
    QApplication::restoreOverrideCursor();
  }
}

void Form1Widget::ReportUnhandledError(const RunTimeError& error) { report_(*this, error); }

}  // namespace tobrisk
