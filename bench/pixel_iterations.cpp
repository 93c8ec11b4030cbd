#include "bench/pixel_iterations.h"

#include <algorithm>
#include <span>

#include "engine/fast_pass.h"
#include "engine/run_time_error.h"

namespace tobrisk {
namespace {

// Takes the counts of a pass and keeps only their loop passes' sum.
class PassCounter final : public PlotSurface {
 public:
  PassCounter(const DrawParameters& params, int width, int height) : params_(params), width_(width), height_(height) {}
  float Width() const override { return static_cast<float>(width_); }
  float Height() const override { return static_cast<float>(height_); }
  void Plot(std::int16_t, std::int16_t, EscapeCount, Colour) override {}
  void PlotRow(std::int16_t, std::span<const EscapeCount> counts) override {
    for (const EscapeCount n : counts) passes_ += LoopPasses(params_.Kind, n, params_.MaxIter);
  }
  [[nodiscard]] std::int64_t Passes() const { return passes_; }

 private:
  DrawParameters params_;
  int width_, height_;
  std::int64_t passes_ = 0;
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

std::optional<double> PixelIterations(const DrawParameters& params, int width, int height) {
  PassCounter counter(params, width, height);
  try {
    FastRenderPass(params, counter);
  } catch (const RunTimeError&) {
    return std::nullopt;
  }
  return static_cast<double>(counter.Passes());
}

}  // namespace tobrisk
