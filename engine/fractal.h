#pragma once

// The fractal engine: shared types, checked arithmetic, the exact kernels and
// the render pass. Free of any window system.

#include "engine/checked.h"
#include "engine/kernels.h"
#include "engine/palette.h"
#include "engine/plot_surface.h"
#include "engine/render_pass.h"
#include "engine/run_time_error.h"
#include "engine/types.h"
