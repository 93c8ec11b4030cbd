#include "ui/form1_events.h"

#include <array>
#include <cstddef>
#include <string>

#include "engine/types.h"
#include "platform/number_text.h"
#include "ui/draw_command.h"
#include "ui/view_presets.h"

namespace tobrisk {
namespace {

// The wait cursor for the length of a scope, taken down again when an error unwinds it,
// so that the report shows the ordinary cursor.
class BusyScope {
 public:
  explicit BusyScope(Form1Window& form) : form_(form) { form_.ShowBusy(true); }
  BusyScope(const BusyScope&) = delete;
  BusyScope& operator=(const BusyScope&) = delete;
  ~BusyScope() { form_.ShowBusy(false); }

 private:
  Form1Window& form_;
};

void WritePreset(Form1Window& form, FractalKind kind) {
  const ViewPreset preset = PresetFor(kind);
  form.SetFieldText(Field::XMin, NumberToText(preset.XMin));
  form.SetFieldText(Field::XMax, NumberToText(preset.XMax));
  form.SetFieldText(Field::YMin, NumberToText(preset.YMin));
  form.SetFieldText(Field::YMax, NumberToText(preset.YMax));
}

}  // namespace

void Command1Click(Form1Window& form) {
  const BusyScope busy(form);
  ByField<std::string> texts;
  FieldTexts views;
  for (const Field field : kAllFields) views[field] = texts[field] = form.FieldText(field);
  Draw(views, form.Option1On(), form.Picture1());
}

void Option1Click(Form1Window& form) { WritePreset(form, FractalKind::Mandelbrot); }

void Option2Click(Form1Window& form) { WritePreset(form, FractalKind::Julia); }

void RunEventHandler(EventHandler handler, Form1Window& form) {
  try {
    handler(form);
  } catch (const RunTimeError& error) {
    form.ReportUnhandledError(error);
  }
}

}  // namespace tobrisk
