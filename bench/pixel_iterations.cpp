#include "bench/pixel_iterations.h"

#include <algorithm>
#include <span>

#include "engine/fast_kernels.h"
#include "engine/fast_pass.h"
#include "engine/run_time_error.h"

namespace tobrisk {
namespace {

// Takes the counts of a pass and keeps only their loop passes' sum and how many never escaped.
class PassCounter final : public PlotSurface {
 public:
  PassCounter(const DrawParameters& params, int width, int height) : params_(params), width_(width), height_(height) {}
  float Width() const override { return static_cast<float>(width_); }
  float Height() const override { return static_cast<float>(height_); }
  void Plot(std::int16_t, std::int16_t, EscapeCount, Colour) override {}
  void PlotRow(std::int16_t, std::span<const EscapeCount> counts) override {
    for (const EscapeCount n : counts) {
      passes_ += LoopPasses(params_.Kind, n, params_.MaxIter);
      interior_ += n == params_.MaxIter + 1 ? 1 : 0;
    }
  }
  [[nodiscard]] std::int64_t Passes() const { return passes_; }
  [[nodiscard]] std::int64_t Interior() const { return interior_; }

 private:
  DrawParameters params_;
  int width_, height_;
  std::int64_t passes_ = 0;
  std::int64_t interior_ = 0;
};

}  // namespace

std::int64_t LoopPasses(FractalKind kind, EscapeCount n, std::int16_t maxIter) {
  // The Mandelbrot kernel computes its first iterate before the loop, which
  // starts at count 2; the Julia kernel's loop starts at 1. Either returns
  // maxIter + 1 when the orbit never escapes, after the loop's last pass at maxIter.
  const std::int64_t first = kind == FractalKind::Mandelbrot ? 2 : 1;
  if (maxIter < first) return 0;
  return std::min<std::int64_t>(n, maxIter) - first + 1;
}

std::optional<PictureWork> MeasurePictureWork(const DrawParameters& params, int width, int height) {
  PassCounter counter(params, width, height);
  ResetInteriorDecidedEarly();
  try {
    // Mirrored rows would be copied, not counted, and so escape the kernels' tally.
    FastRenderPass(params, counter, FastPassOptions{.mirrorBytes = 0});
  } catch (const RunTimeError&) {
    return std::nullopt;
  }
  const double interior = static_cast<double>(counter.Interior());
  return PictureWork{static_cast<double>(counter.Passes()),
                     interior == 0 ? -1.0 : static_cast<double>(InteriorDecidedEarly()) / interior};
}

}  // namespace tobrisk
