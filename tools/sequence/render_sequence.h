#pragma once

#include "tools/render/render_options.h"
#include "tools/sequence/sequence_plan.h"

namespace tobrisk {

// Draws the frames of the plan that this run takes, each into its own files,
// replaced atomically as a single picture's are. Small frames are drawn side
// by side, one thread each; large ones one after the other on every thread.
// A frame that fails is reported with its number and the others are still
// drawn. Returns the exit status: 0, or 1 when any frame failed.
[[nodiscard]] int RenderSequence(const SequencePlan& plan, const RenderOptions& options);

}  // namespace tobrisk
