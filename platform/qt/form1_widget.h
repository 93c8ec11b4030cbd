#pragma once

#include <string>
#include <string_view>

#include <QWidget>

#include "platform/qt/error_report.h"
#include "platform/qt/form_builder.h"
#include "ui/form1_events.h"
#include "ui/form1_window.h"

namespace tobrisk {

class DrawingArea;

// Form1 on Qt: the controls of the form description, the handlers of ui/
// connected to the events they answer, and the window services they need.
class Form1Widget final : public QWidget, private Form1Window {
  Q_OBJECT

 public:
  explicit Form1Widget(ErrorReport report = ShowErrorMessageBox, QWidget* parent = nullptr);

 private:
  // A bound event happened: run its handler as the forms run-time does.
  void EventRaised(EventHandler handler);

  [[nodiscard]] std::string FieldText(Field field) const override;
  void SetFieldText(Field field, std::string_view text) override;
  [[nodiscard]] bool Option1On() const override;
  [[nodiscard]] PlotSurface& Picture1() override;
  void ShowBusy(bool busy) override;
  void ReportUnhandledError(const RunTimeError& error) override;

  template <typename Widget>
  [[nodiscard]] Widget& ControlAs(std::string_view name) const;

  BuiltControls controls_;
  ErrorReport report_;
};

}  // namespace tobrisk
