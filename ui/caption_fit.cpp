#include "ui/caption_fit.h"

#include <algorithm>

namespace tobrisk {

bool CaptionsFit(const FormDescription& form, const CaptionMeasure& measure) {
  return std::all_of(form.controls.begin(), form.controls.end(), [&measure](const ControlDescription& control) {
    if (!ShowsText(control.kind)) return true;
    const CaptionNeed need = measure(control);
    const Rect room = control.Pixels();
    return need.height <= room.height && (!CaptionMustShowWhole(control.kind) || need.width <= room.width);
  });
}

double LargestFittingSize(double largest, double smallest, double step,
                          const std::function<bool(double size)>& fitsAt) {
  double size = largest;
  while (!fitsAt(size) && size - step >= smallest) size -= step;
  return size;
}

}  // namespace tobrisk
