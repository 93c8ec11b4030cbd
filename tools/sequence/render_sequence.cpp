#include "tools/sequence/render_sequence.h"

#include <tbb/info.h>
#include <tbb/task_arena.h>
#include <tbb/task_group.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <cstdint>
#include <cstdio>
#include <exception>
#include <iostream>
#include <map>
#include <mutex>
#include <optional>
#include <string>

#include "engine/fast_pass.h"
#include "engine/repeated_coordinates.h"
#include "engine/run_time_error.h"
#include "tools/render/picture_files.h"
#include "tools/render/progress_line.h"
#include "tools/render/render_picture.h"
#include "tools/render/view_of_options.h"
#include "tools/view_record/view_file.h"
#include "ui/draw_command.h"

namespace tobrisk {
namespace {

constexpr std::string_view kProgram = "tobrisk-render";

// Frames this small gain nothing from more than one thread each: their
// bands are short, and a pass spread over every core waits at each band
// for its slowest row. Side by side they keep every core busy on its own.
constexpr std::int64_t kSmallFramePixels = std::int64_t{1} << 21;
constexpr int kMostFramesAtOnce = 16;

struct Split {
  int framesAtOnce = 1;
  int threadsPerFrame = 0;  // 0: every core
};

Split SplitCores(int cores, std::int64_t largestFramePixels, std::size_t frames) {
  if (largestFramePixels > kSmallFramePixels || frames < 2 || cores < 2) return {1, cores};
  const int atOnce = std::min({cores, kMostFramesAtOnce, static_cast<int>(frames)});
  return {atOnce, std::max(1, cores / atOnce)};
}

std::string Megapixels(std::int64_t pixels) {
  char text[32];
  std::snprintf(text, sizeof text, "%.1f", static_cast<double>(pixels) / 1e6);
  return text;
}

// Counts what has been drawn, for the progress line, from every frame's thread.
struct SequenceProgress {
  // A frame being drawn: the rows its pass has counted, and its width.
  struct InFlight {
    std::atomic<int> rowsCounted = 0;
    std::atomic<int> width = 0;
  };

  [[nodiscard]] std::int64_t PixelsDone() const {
    std::int64_t done = pixelsOfFinishedFrames.load();
    for (const InFlight& frame : inFlight) {
      done += std::int64_t{frame.rowsCounted.load(std::memory_order_relaxed)} * frame.width.load();
    }
    return std::min(done, pixelsAll);
  }

  std::int64_t pixelsAll = 0;
  std::atomic<std::int64_t> pixelsOfFinishedFrames = 0;
  std::atomic<int> framesFinished = 0;
  int frames = 0;
  std::array<InFlight, kMostFramesAtOnce> inFlight;  // one for each frame drawn at once
};

// Whether a frame's files exist, are whole and hold its view: such a frame
// was finished by an earlier run (files appear only when complete) and need
// not be drawn again.
bool AlreadyDrawn(const RenderOptions& frame) {
  const ViewRecord expected = RecordOfOptions(frame);
  try {
    if (ReadViewRecord(frame.output) != expected) return false;
    return !frame.counts || ReadViewRecord(*frame.counts) == expected;
  } catch (const std::exception&) {  // missing, cut short, damaged or not ours: drawn again
    return false;
  }
}

// Draws one frame into its files; what went wrong, if anything.
std::optional<std::string> DrawFrame(const RenderOptions& frame, int threads, std::atomic<int>& rowsCounted) {
  try {
    const FieldTexts texts = TextsOf(frame);
    const bool mandelbrot = frame.kind == FractalKind::Mandelbrot;
    const DrawParameters params = ReadDrawParameters(texts, mandelbrot);
    PictureFiles files(frame, params, threads);
    Draw(texts, mandelbrot, files.Surface(), FastPassOptions{.threads = threads, .rowsCounted = &rowsCounted});
    files.Commit();
    return std::nullopt;
  } catch (const std::exception& error) {  // a RunTimeError or a file that could not be written
    return ShowControlCharacters(error.what());
  }
}

// What the run is to draw, gathered in one look at every frame before the first is drawn.
struct Survey {
  std::int64_t pixels = 0;
  std::int64_t largestFrame = 0;
  int narrowFrames = 0;  // frames whose neighbouring pixels share a single coordinate
  int firstNarrow = -1;
};

Survey SurveyFrames(const SequencePlan& plan, const std::vector<int>& frames) {
  Survey survey;
  for (const int index : frames) {
    const RenderOptions frame = plan.FrameOptions(index);
    const std::int64_t pixels = std::int64_t{frame.width} * frame.height;
    survey.pixels += pixels;
    survey.largestFrame = std::max(survey.largestFrame, pixels);
    try {
      const DrawParameters params = ReadDrawParameters(TextsOf(frame), frame.kind == FractalKind::Mandelbrot);
      const std::optional<RepeatedCoordinates> repeated = CountRepeatedCoordinates(params, frame.width, frame.height);
      if (repeated && (repeated->columns > 0 || repeated->rows > 0)) {
        ++survey.narrowFrames;
        if (survey.firstNarrow < 0) survey.firstNarrow = index;
      }
    } catch (const RunTimeError&) {
      // The frame reports its own error when drawn.
    }
  }
  return survey;
}

}  // namespace

int RenderSequence(const SequencePlan& plan, const RenderOptions& options) {
  const std::vector<int> frames = plan.FramesToDraw();
  const ProgressMode progressMode = UsableProgressMode(options.progress);
  const Survey survey = SurveyFrames(plan, frames);
  if (options.progress != ProgressMode::Never && survey.narrowFrames > 0) {
    std::cerr << kProgram << ": warning: " << survey.narrowFrames << " of " << frames.size()
              << " frames are narrower than single precision resolves (the first is frame " << survey.firstNarrow
              << "): neighbouring pixels repeat their neighbour's coordinate\n";
  }

  SequenceProgress counts;
  counts.frames = static_cast<int>(frames.size());
  counts.pixelsAll = survey.pixels;
  const int cores = options.threads > 0 ? options.threads : tbb::info::default_concurrency();
  const Split split = SplitCores(cores, survey.largestFrame, frames.size());

  std::mutex failuresMutex;
  std::map<int, std::string> failures;  // by frame, so that they are reported in order
  {
    const std::unique_ptr<ProgressLine> progress = ProgressOnStandardError(
        progressMode,
        [&counts] { return ProgressLine::State{counts.PixelsDone(), std::max<std::int64_t>(counts.pixelsAll, 1)}; },
        [&counts](ProgressLine::State state, std::chrono::milliseconds elapsed) {
          return std::to_string(counts.framesFinished.load()) + " of " + std::to_string(counts.frames) + " frames, " +
                 Megapixels(state.done) + " of " + Megapixels(counts.pixelsAll) + " megapixels, " +
                 std::to_string(state.done * 100 / state.all) + "%, " + Duration(elapsed.count() / 1000) +
                 " elapsed" + TimeLeft(state.done, state.all, elapsed);
        });

    const auto drawFrame = [&](int index) {
      const RenderOptions frame = plan.FrameOptions(index);
      // Each of the arena's threads draws one frame at a time.
      const auto slot = static_cast<std::size_t>(std::max(0, tbb::this_task_arena::current_thread_index()));
      SequenceProgress::InFlight& inFlight = counts.inFlight[slot % counts.inFlight.size()];
      inFlight.rowsCounted = 0;
      inFlight.width = frame.width;
      if (!options.sequence->keepExisting || !AlreadyDrawn(frame)) {
        if (std::optional<std::string> failure = DrawFrame(frame, split.threadsPerFrame, inFlight.rowsCounted)) {
          const std::lock_guard lock(failuresMutex);
          failures.emplace(index, *std::move(failure));
        }
      }
      inFlight.width = 0;
      counts.pixelsOfFinishedFrames += std::int64_t{frame.width} * frame.height;
      counts.framesFinished += 1;
    };
    // Each of the threads takes the next frame not yet taken, so that frames
    // are finished in order: an interrupted run leaves the start of the
    // sequence, and a video can be looked at while the rest is drawn.
    std::atomic<std::size_t> next = 0;
    const auto drawFramesInTurn = [&] {
      for (std::size_t at = next++; at < frames.size(); at = next++) drawFrame(frames[at]);
    };
    tbb::task_arena arena(split.framesAtOnce);
    arena.execute([&] {
      tbb::task_group group;
      for (int thread = 1; thread < split.framesAtOnce; ++thread) group.run(drawFramesInTurn);
      drawFramesInTurn();
      group.wait();
    });
  }
  for (const auto& [index, message] : failures) {
    std::cerr << kProgram << ": frame " << index << ": " << message << '\n';
  }
  return failures.empty() ? 0 : 1;
}

}  // namespace tobrisk
