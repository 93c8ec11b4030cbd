#pragma once

// The pieces of the render pass around the kernels, shared by every pass so
// that the faults they raise are the same whichever pass runs.

#include <cstdint>

#include "engine/plot_surface.h"
#include "engine/run_time_error.h"
#include "engine/types.h"

namespace tobrisk {

// The step sizes, from the surface's width and height (asked once each).
struct PassSteps {
  float W, H, dx, dy;
};
[[nodiscard]] PassSteps ComputeSteps(const DrawParameters& params, const PlotSurface& surface);

// The last counter value for a size: the subtraction is fault-tested, then made 16-bit.
[[nodiscard]] std::int16_t LastIndex(float size, PassQuantity quantity);

// One coordinate of a pixel's plane point: single(index)*step + min, fault-tested at the pixel.
[[nodiscard]] float PlaneCoordinate(std::int16_t index, float step, float min, const AtPixel& pixel);

// The exact kernel of params.Kind at one plane point.
[[nodiscard]] EscapeCount RunKernel(const DrawParameters& params, float x, float y);

}  // namespace tobrisk
