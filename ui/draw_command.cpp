#include "ui/draw_command.h"

#include "engine/checked.h"
#include "engine/fast_pass.h"
#include "platform/number_text.h"

namespace tobrisk {
namespace {

// A plain store: no fault test follows, so a huge value becomes an infinity
// and the condition it leaves is discarded by the next control call.
float ReadSingle(std::string_view text) { return static_cast<float>(TextToNumber(text)); }

}  // namespace

DrawParameters ReadDrawParameters(const FieldTexts& texts, bool mandelbrotChosen) {
  DrawParameters params;
  params.XMin = ReadSingle(texts[0]);
  params.XMax = ReadSingle(texts[1]);
  params.YMin = ReadSingle(texts[2]);
  params.YMax = ReadSingle(texts[3]);
  params.MaxIter = ToInt16Checked(TextToNumber(texts[4]), InField{Field::Iterations});
  params.P = ReadSingle(texts[5]);
  params.Q = ReadSingle(texts[6]);
  params.Kind = mandelbrotChosen ? FractalKind::Mandelbrot : FractalKind::Julia;
  return params;
}

void Draw(const FieldTexts& texts, bool mandelbrotChosen, PlotSurface& surface) {
  FastRenderPass(ReadDrawParameters(texts, mandelbrotChosen), surface);
}

}  // namespace tobrisk
