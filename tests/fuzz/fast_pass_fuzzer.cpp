// SPDX-License-Identifier: MIT
// The fast render pass against the reference pass on fuzzed parameter
// records: any float (infinities, NaNs, subnormals, huge magnitudes, and many
// values near the set), any MaxIter, small surfaces and a few long thin ones
// that reach the 16-bit counters, one or two threads and bands of any size.
// Both must make the same calls on the surface in the same order and end
// with the same error, or none.

#include <fuzzer/FuzzedDataProvider.h>

#include <algorithm>
#include <array>
#include <bit>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <limits>
#include <optional>
#include <vector>

#include "engine/fast_pass.h"
#include "engine/render_pass.h"
#include "engine/run_time_error.h"
#include "tests/support/recording_surface.h"

namespace {

using namespace tobrisk;

using test::RecordingSurface;

float FuzzedFloat(FuzzedDataProvider& data) {
  static constexpr std::array<float, 12> kSpecial{
      0.0F, -0.0F, std::numeric_limits<float>::infinity(), -std::numeric_limits<float>::infinity(),
      std::numeric_limits<float>::denorm_min(), -std::numeric_limits<float>::min(), std::numeric_limits<float>::max(),
      -std::numeric_limits<float>::max(), 2.0F, -2.0F, 0.25F, 1e19F};
  switch (data.ConsumeIntegralInRange<int>(0, 3)) {
    case 0: return std::bit_cast<float>(data.ConsumeIntegral<std::uint32_t>());
    case 1: return static_cast<float>(data.ConsumeIntegral<std::int16_t>()) / 8192.0F;  // within +-4: the set and its edge
    case 2: return data.PickValueInArray(kSpecial);
    default: return static_cast<float>(data.ConsumeIntegralInRange<int>(-8, 8)) / 4.0F;  // exact, often equal bounds
  }
}

struct Size {
  float width;
  float height;
};

// Small surfaces, and thin ones whose long side reaches or passes the 16-bit counters.
Size FuzzedSize(FuzzedDataProvider& data) {
  static constexpr std::array<float, 5> kLong{32767.0F, 32768.0F, 32769.0F, 40000.0F, 1e9F};
  // Thin ones are slow (32768 pixels a row), so rare, and never what a short input gives.
  if (data.ConsumeIntegralInRange<int>(0, 63) != 63) {
    return {static_cast<float>(data.ConsumeIntegralInRange<int>(0, 8)),
            static_cast<float>(data.ConsumeIntegralInRange<int>(0, 6))};
  }
  const float longSide = data.PickValueInArray(kLong);
  const auto shortSide = static_cast<float>(data.ConsumeIntegralInRange<int>(0, 1));
  return data.ConsumeBool() ? Size{longSide, shortSide} : Size{shortSide, longSide};
}

template <typename PassFunction>
std::optional<RunTimeError> RunPass(PassFunction pass, PlotSurface& surface) {
  try {
    pass(surface);
  } catch (const RunTimeError& error) {
    return error;
  }
  return std::nullopt;
}

[[noreturn]] void Fail(const char* what, const DrawParameters& p, Size size, const std::optional<RunTimeError>& fast,
                       const std::optional<RunTimeError>& reference) {
  std::fprintf(stderr, "%s\n  %s %gx%g XMin %a XMax %a YMin %a YMax %a MaxIter %d P %a Q %a\n  fast: %s\n  reference: %s\n",
               what, p.Kind == FractalKind::Mandelbrot ? "Mandelbrot" : "Julia", size.width, size.height, p.XMin,
               p.XMax, p.YMin, p.YMax, p.MaxIter, p.P, p.Q, fast ? fast->what() : "completed",
               reference ? reference->what() : "completed");
  std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* bytes, std::size_t size) {
  FuzzedDataProvider data(bytes, size);
  DrawParameters params;
  params.Kind = data.ConsumeBool() ? FractalKind::Julia : FractalKind::Mandelbrot;
  Size surfaceSize = FuzzedSize(data);
  FastPassOptions options;
  options.threads = data.ConsumeIntegralInRange<int>(1, 2);
  options.bandPixels = data.ConsumeBool() ? data.ConsumeIntegralInRange<std::size_t>(1, 64) : std::size_t{1} << 20;
  // Mostly modest limits; now and then any limit, up to the counter's end, on
  // at most six pixels. Pixels that never escape cost the reference MaxIter
  // steps each, so this keeps a run short.
  if (data.ConsumeIntegralInRange<int>(0, 7) != 7) {
    params.MaxIter = static_cast<std::int16_t>(data.ConsumeIntegralInRange<int>(-2, 300));
  } else {
    params.MaxIter = data.ConsumeIntegral<std::int16_t>();
    surfaceSize.width = std::min(surfaceSize.width, 3.0F);
    surfaceSize.height = std::min(surfaceSize.height, 2.0F);
  }
  const bool thin = surfaceSize.width > 8.0F || surfaceSize.height > 6.0F;
  if (thin && params.MaxIter > 8) params.MaxIter = static_cast<std::int16_t>(params.MaxIter % 9);
  params.XMin = FuzzedFloat(data);
  params.XMax = FuzzedFloat(data);
  params.YMin = FuzzedFloat(data);
  params.YMax = FuzzedFloat(data);
  params.P = FuzzedFloat(data);
  params.Q = FuzzedFloat(data);
  // Read last, so that inputs written before it still mean what they meant:
  // budgets for mirrored rows small enough that rows are counted again.
  if (data.ConsumeBool()) options.mirrorBytes = data.ConsumeIntegralInRange<std::size_t>(0, 200);

  RecordingSurface fast(surfaceSize.width, surfaceSize.height);
  RecordingSurface reference(surfaceSize.width, surfaceSize.height);
  const std::optional<RunTimeError> fastError =
      RunPass([&](PlotSurface& surface) { FastRenderPass(params, surface, options); }, fast);
  const std::optional<RunTimeError> referenceError =
      RunPass([&](PlotSurface& surface) { RenderPass(params, surface); }, reference);

  if (fastError.has_value() != referenceError.has_value() || (fastError && !(*fastError == *referenceError))) {
    Fail("the passes end differently", params, surfaceSize, fastError, referenceError);
  }
  if (fast.plots != reference.plots) {
    std::size_t first = 0;
    while (first < fast.plots.size() && first < reference.plots.size() && fast.plots[first] == reference.plots[first]) {
      ++first;
    }
    std::fprintf(stderr, "plot %zu of %zu (fast) / %zu (reference) differs\n", first, fast.plots.size(),
                 reference.plots.size());
    Fail("the passes draw differently", params, surfaceSize, fastError, referenceError);
  }
  return 0;
}
