#pragma once

#include "tools/render/centred_view.h"

namespace tobrisk {

// Frame `index` of `frames` (0 ... frames - 1) of a zoom from `start` to
// `end`: the width shrinks (or grows) geometrically, so every frame zooms by
// the same factor, and the centre moves in step with the width, so that the
// end's centre drifts steadily to the middle of the picture. The first frame
// is `start` and the last `end`, exactly. Computed with +, -, * and / alone,
// which round the same on every machine, so a frame rendered alone anywhere
// gets the same view.
[[nodiscard]] PlaneView FrameOfZoom(const PlaneView& start, const PlaneView& end, int frames, int index);

// base^exponent for base > 0, the same on every machine (the C library's pow
// may differ in its last bit between processors).
[[nodiscard]] double PortablePower(double base, double exponent);

}  // namespace tobrisk
