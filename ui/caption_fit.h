#pragma once

#include <functional>

#include "ui/form_description.h"

namespace tobrisk {

// What a control needs to show its text whole at some font, in pixels: the
// width of its caption together with what the control draws beside it (an
// option button's circle, a button's frame), and the height of one line.
struct CaptionNeed {
  int width = 0;
  int height = 0;
};

// Captions that must be read whole: a label's, a button's, an option button's
// and a frame's. A field's text scrolls and a drawing area has none.
[[nodiscard]] constexpr bool CaptionMustShowWhole(ControlKind kind) {
  return kind == ControlKind::Label || kind == ControlKind::PushButton || kind == ControlKind::OptionButton ||
         kind == ControlKind::Frame;
}

// Every kind but the drawing area shows a line of text, which must fit the control's height.
[[nodiscard]] constexpr bool ShowsText(ControlKind kind) { return kind != ControlKind::DrawingArea; }

// Measures a control's text at the window's present font; the window system knows how.
using CaptionMeasure = std::function<CaptionNeed(const ControlDescription&)>;

// Whether every control shows its text whole in the room the table gives it:
// the width for the captions that must show whole, the height for every text.
[[nodiscard]] bool CaptionsFit(const FormDescription& form, const CaptionMeasure& measure);

// The table was laid out for a small 8-point font, and a desktop's own font
// may cut "Imaginary" or "Mandelbrot". Rather than move or widen anything, a
// window takes the desktop's font at the largest size at which every caption
// fits: the first of `largest`, `largest - step`, ... not below `smallest`
// for which `fitsAt` holds, or the last one tried when none does.
[[nodiscard]] double LargestFittingSize(double largest, double smallest, double step,
                                        const std::function<bool(double size)>& fitsAt);

}  // namespace tobrisk
