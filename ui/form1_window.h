#pragma once

#include <string>
#include <string_view>

#include "engine/plot_surface.h"
#include "engine/run_time_error.h"
#include "ui/fields.h"

namespace tobrisk {

// What Form1's event handlers ask of the window: its controls' contents, the
// drawing area, the wait cursor and the report of an error that no handler
// caught. The Qt window implements it; the handler tests use a fake.
class Form1Window {
 public:
  // The whole text of the field that holds `field` (Text1 ... Text7).
  [[nodiscard]] virtual std::string FieldText(Field field) const = 0;
  virtual void SetFieldText(Field field, std::string_view text) = 0;

  // Whether Option1 ("Mandelbrot") is on.
  [[nodiscard]] virtual bool Option1On() const = 0;

  // Picture1 as the render pass sees it: 320 x 200 pixels inside the border.
  [[nodiscard]] virtual PlotSurface& Picture1() = 0;

  // The wait cursor, shown while a handler keeps the window from taking events.
  virtual void ShowBusy(bool busy) = 0;

  // Tells the user about a RunTimeError that ended a handler; the program goes on afterwards.
  virtual void ReportUnhandledError(const RunTimeError& error) = 0;

 protected:
  Form1Window() = default;
  Form1Window(const Form1Window&) = default;
  Form1Window& operator=(const Form1Window&) = default;
  ~Form1Window() = default;
};

}  // namespace tobrisk
