#include "tools/sequence/sequence_plan.h"

#include <cmath>

#include "platform/number_text.h"
#include "tools/sequence/views_file.h"

namespace tobrisk {
namespace {

// Where a zoom starts: the view by centre and width as given, or the
// middle and width of the bounds.
std::optional<PlaneView> ZoomStart(const RenderOptions& options) {
  if (options.centred) return options.centred;
  const double xMin = TextToNumber(options.XMin);
  const double xMax = TextToNumber(options.XMax);
  const PlaneView start{(xMin + xMax) / 2, (TextToNumber(options.YMin) + TextToNumber(options.YMax)) / 2, xMax - xMin};
  if (!std::isfinite(start.x) || !std::isfinite(start.y) || !std::isfinite(start.width) || !(start.width > 0)) {
    return std::nullopt;
  }
  return start;
}

std::variant<FrameNames, UsageError> NamesFor(std::string_view option, const std::string& pattern, int frames) {
  std::string problem;
  std::optional<FrameNames> names = FrameNames::FromPattern(pattern, &problem);
  if (!names) return UsageError{std::string(option) + " \"" + ShowControlCharacters(pattern) + "\": " + problem};
  if (frames > 1 && !names->Numbered()) {
    return UsageError{std::string(option) + " \"" + ShowControlCharacters(pattern) + "\" would give all " +
                      std::to_string(frames) + " frames one name: put the frame number in it, as in zoom-%05d.png"};
  }
  return *std::move(names);
}

}  // namespace

std::variant<SequencePlan, UsageError> SequencePlan::Make(const RenderOptions& options) {
  const SequenceRequest& request = *options.sequence;
  std::vector<RenderOptions> views;
  PlaneView start;
  int frames = 0;
  if (request.viewsFile) {
    auto read = ReadViewsFile(*request.viewsFile, options);
    if (auto* usage = std::get_if<UsageError>(&read)) return *usage;
    views = std::get<std::vector<RenderOptions>>(std::move(read));
    frames = static_cast<int>(views.size());
  } else {
    const std::optional<PlaneView> zoomStart = ZoomStart(options);
    if (!zoomStart) return UsageError{"--zoom-to needs a start view of a width above 0"};
    start = *zoomStart;
    frames = request.zoom->frames;
  }
  if (request.range && request.range->last >= frames) {
    return UsageError{"--frame-range: the sequence's frames are 0 ... " + std::to_string(frames - 1)};
  }
  auto pictures = NamesFor("-o", options.output, frames);
  if (auto* usage = std::get_if<UsageError>(&pictures)) return *usage;
  std::optional<FrameNames> counts;
  if (options.counts) {
    auto countNames = NamesFor("--counts", *options.counts, frames);
    if (auto* usage = std::get_if<UsageError>(&countNames)) return *usage;
    counts = std::get<FrameNames>(std::move(countNames));
  }
  SequencePlan plan(options, std::get<FrameNames>(std::move(pictures)), std::move(counts));
  plan.frames_ = frames;
  plan.zoomStart_ = start;
  plan.views_ = std::move(views);
  return plan;
}

std::vector<int> SequencePlan::FramesToDraw() const {
  const SequenceRequest& request = *options_.sequence;
  const int first = request.range ? request.range->first : 0;
  const int last = request.range ? request.range->last : frames_ - 1;
  const Shard shard = options_.shard.value_or(Shard{});
  std::vector<int> frames;
  for (int index = first; index <= last; ++index) {
    if (shard.Takes(index)) frames.push_back(index);
  }
  return frames;
}

RenderOptions SequencePlan::FrameOptions(int index) const {
  RenderOptions frame = views_.empty() ? options_ : views_[static_cast<std::size_t>(index)];
  if (views_.empty()) {
    const PlaneView view = FrameOfZoom(zoomStart_, options_.sequence->zoom->end, frames_, index);
    BoundTexts bounds = CentredBounds(view.x, view.y, view.width, frame.width, frame.height);
    frame.XMin = std::move(bounds.XMin);
    frame.XMax = std::move(bounds.XMax);
    frame.YMin = std::move(bounds.YMin);
    frame.YMax = std::move(bounds.YMax);
    frame.centred = view;
  }
  frame.output = pictureNames_.NameOf(index);
  if (countNames_) frame.counts = countNames_->NameOf(index);
  frame.sequence.reset();
  frame.shard.reset();
  frame.pictureArguments.clear();
  return frame;
}

}  // namespace tobrisk
