#include "ui/draw_command.h"

#include <algorithm>
#include <cmath>
#include <string>

#include "engine/checked.h"
#include "engine/fast_pass.h"
#include "platform/number_text.h"
#include "ui/form1_layout.h"

namespace tobrisk {
namespace {

// A plain store: no fault test follows, so a huge value becomes an infinity
// and the condition it leaves is discarded by the next control call.
float ReadSingle(std::string_view text) { return static_cast<float>(TextToNumber(text)); }

// The number a field's text begins with, as typed, for quoting in a message;
// the rest of the text, which may be long or odd, is left out.
std::string TypedNumber(std::string_view text) {
  constexpr std::size_t kLongest = 24;
  std::string_view number = text.substr(0, ScanNumber(text).length);
  number.remove_prefix(std::min(number.find_first_not_of(" \t"), number.size()));
  return number.size() <= kLongest ? std::string(number) : std::string(number.substr(0, kLongest)) + "...";
}

// A field whose number the Draw stored as an infinity, said in plain words; the
// first in reading order among those the set uses, or an empty text.
std::string OutOfRangeNote(const FieldTexts& texts, const DrawParameters& params) {
  struct Stored {
    Field field;
    float value;
  };
  const Stored stored[] = {{Field::XMin, params.XMin}, {Field::XMax, params.XMax}, {Field::YMin, params.YMin},
                           {Field::YMax, params.YMax}, {Field::Real, params.P},    {Field::Imaginary, params.Q}};
  for (const Stored& s : stored) {
    const bool used = params.Kind == FractalKind::Julia || (s.field != Field::Real && s.field != Field::Imaginary);
    if (!used || !std::isinf(s.value)) continue;
    std::string note = std::string(FieldCaption(s.field)) + " \"" + TypedNumber(texts[s.field]);
    return note + (s.value > 0 ? "\" lies beyond the largest single (about 3.4e38)"
                               : "\" lies beyond the most negative single (about -3.4e38)");
  }
  return {};
}

}  // namespace

DrawParameters ReadDrawParameters(const FieldTexts& texts, bool mandelbrotChosen) {
  DrawParameters params;
  params.XMin = ReadSingle(texts[Field::XMin]);
  params.XMax = ReadSingle(texts[Field::XMax]);
  params.YMin = ReadSingle(texts[Field::YMin]);
  params.YMax = ReadSingle(texts[Field::YMax]);
  params.MaxIter = ToInt16Checked(TextToNumber(texts[Field::Iterations]), InField{FieldCaption(Field::Iterations)});
  params.P = ReadSingle(texts[Field::Real]);
  params.Q = ReadSingle(texts[Field::Imaginary]);
  params.Kind = mandelbrotChosen ? FractalKind::Mandelbrot : FractalKind::Julia;
  return params;
}

void Draw(const FieldTexts& texts, bool mandelbrotChosen, PlotSurface& surface, const FastPassOptions& pass) {
  const DrawParameters params = ReadDrawParameters(texts, mandelbrotChosen);
  try {
    FastRenderPass(params, surface, pass);
  } catch (const RunTimeError& error) {
    // The pass names the pixel; a field beyond the single range is what the user can fix.
    const std::string note = OutOfRangeNote(texts, params);
    if (note.empty()) throw;
    throw error.WithNote(note);
  }
}

}  // namespace tobrisk
