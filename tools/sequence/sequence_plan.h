#pragma once

#include <string>
#include <variant>
#include <vector>

#include "tools/render/render_options.h"
#include "tools/sequence/frame_names.h"
#include "tools/sequence/zoom_path.h"

namespace tobrisk {

// The frames of a sequence and the options of each, worked out and checked
// before anything is drawn.
class SequencePlan {
 public:
  // The plan for the options' sequence, or a usage error: a views file that
  // cannot be read or holds a malformed line (named by its number), output
  // names that would give two frames one name, a range beyond the frames.
  [[nodiscard]] static std::variant<SequencePlan, UsageError> Make(const RenderOptions& options);

  [[nodiscard]] int FrameCount() const { return frames_; }
  // The frames this run draws, in order: those of the range that are this shard's.
  [[nodiscard]] std::vector<int> FramesToDraw() const;
  // Frame `index`'s own options: its view and its file names.
  [[nodiscard]] RenderOptions FrameOptions(int index) const;

 private:
  SequencePlan(const RenderOptions& options, FrameNames pictures, std::optional<FrameNames> counts)
      : options_(options), pictureNames_(std::move(pictures)), countNames_(std::move(counts)) {}

  RenderOptions options_;
  FrameNames pictureNames_;
  std::optional<FrameNames> countNames_;
  int frames_ = 0;
  PlaneView zoomStart_;
  std::vector<RenderOptions> views_;  // a views file's, one per line
};

}  // namespace tobrisk
