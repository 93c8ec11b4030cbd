#include "platform/qt/error_report.h"

#include <QMessageBox>
#include <QString>

#include "engine/run_time_error.h"

namespace tobrisk {

void ShowErrorMessageBox(QWidget& window, const RunTimeError& error) {
  QMessageBox box(QMessageBox::Critical, QStringLiteral("Tobrisk"), QString::fromUtf8(error.what()), QMessageBox::Ok,
                  &window);
  box.setObjectName(QStringLiteral("ErrorReport"));
  box.exec();
}

}  // namespace tobrisk
