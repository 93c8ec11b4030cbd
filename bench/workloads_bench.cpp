// SPDX-License-Identifier: MIT
// The render pass workloads W1 ... W9: the reference pass and the fast pass
// (one thread and every core) side by side in one process, the window's Draw
// (W0) and a plain double kernel as yardsticks, then one summary line per
// workload. With --load_one_core a helper process keeps one core busy the
// whole run, as on a desktop doing something else.

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "bench/child_process.h"
#include "bench/pixel_iterations.h"
#include "bench/plain_double_kernel.h"
#include "bench/plain_float_kernel.h"
#include "bench/pyramid_bench.h"
#include "bench/sequence_bench.h"
#include "bench/summary.h"
#include "engine/fast_kernels.h"
#include "engine/fast_pass.h"
#include "engine/render_pass.h"
#include "platform/picture.h"

#ifdef TOBRISK_BENCH_WINDOW
#include "bench/window_bench.h"
#endif

namespace tobrisk {
namespace {

constexpr auto M = FractalKind::Mandelbrot;
constexpr auto J = FractalKind::Julia;

struct Workload {
  const char* name;
  DrawParameters params;
  int width, height;
  // The reference pass is timed on a coarser grid of the same view when the
  // full picture would take minutes; its time is scaled by the pixel ratio.
  int referenceWidth, referenceHeight;
};

const std::vector<Workload>& PassWorkloads() {
  static const std::vector<Workload> workloads{
      {"W1", {-2.5F, 1.5F, -1.5F, 1.5F, 100, 0.3F, 0.6F, M}, 320, 200, 320, 200},
      {"W2", {-0.3F, 0.1F, -0.2F, 0.2F, 32766, 0.3F, 0.6F, M}, 320, 200, 16, 10},
      {"W3", {-0.7475F, -0.7435F, 0.1F, 0.104F, 5000, 0.3F, 0.6F, M}, 320, 200, 320, 200},
      {"W4a", {-1.5F, 1.5F, -1.5F, 1.5F, 100, 0.3F, 0.6F, J}, 320, 200, 320, 200},
      {"W4b", {-1.5F, 1.5F, -1.5F, 1.5F, 5000, -0.8F, 0.156F, J}, 320, 200, 320, 200},
  };
  return workloads;
}

void ReferencePass(benchmark::State& state, const Workload& w) {
  Picture picture(w.referenceWidth, w.referenceHeight);
  for (auto _ : state) {
    RenderPass(w.params, picture);
    benchmark::DoNotOptimize(picture);
  }
  state.counters["scale"] = static_cast<double>(w.width) * w.height / (double{1.0} * w.referenceWidth * w.referenceHeight);
}

void FastPass(benchmark::State& state, const Workload& w, int threads) {
  Picture picture(w.width, w.height);
  for (auto _ : state) {
    FastRenderPass(w.params, picture, FastPassOptions{threads});
    benchmark::DoNotOptimize(picture);
  }
}

// The cost of exactness: the exact vector kernel without cycle detection
// against a plain single kernel of the same loop shape, on one thread, over
// the points of W3 (long orbits near the boundary).
template <class CountFunction>
void KernelOverGrid(benchmark::State& state, const Workload& w, CountFunction count) {
  std::vector<float> xs(static_cast<std::size_t>(w.width));
  std::vector<float> ys(static_cast<std::size_t>(w.height));
  const float dx = (w.params.XMax - w.params.XMin) / static_cast<float>(w.width);
  const float dy = (w.params.YMax - w.params.YMin) / static_cast<float>(w.height);
  for (std::size_t i = 0; i < xs.size(); ++i) xs[i] = static_cast<float>(i) * dx + w.params.XMin;
  for (std::size_t i = 0; i < ys.size(); ++i) ys[i] = static_cast<float>(i) * dy + w.params.YMin;
  std::vector<EscapeCount> counts(xs.size() * ys.size());
  const PointGrid points{w.params.Kind, xs, ys, w.params.MaxIter, w.params.P, w.params.Q};
  for (auto _ : state) {
    count(points, std::span(counts));
    benchmark::DoNotOptimize(counts.data());
  }
}

// The step loop alone, every lane running: what one step of one orbit costs
// in each arithmetic, the rounds' bookkeeping aside.
void StepLoop(benchmark::State& state, StepArithmetic arithmetic) {
  std::uint64_t laneSteps = 0;
  for (auto _ : state) laneSteps = RunStepLoop(arithmetic, kStepLoopMaxSteps);
  state.counters["lane_steps"] = static_cast<double>(laneSteps);
}

// A surface that takes the rows and keeps nothing: the pass without plotting costs.
class DiscardingSurface final : public PlotSurface {
 public:
  DiscardingSurface(int width, int height) : width_(width), height_(height) {}
  float Width() const override { return static_cast<float>(width_); }
  float Height() const override { return static_cast<float>(height_); }
  void Plot(std::int16_t, std::int16_t, EscapeCount, Colour) override {}
  void PlotRow(std::int16_t, std::span<const EscapeCount> counts) override { benchmark::DoNotOptimize(counts.data()); }

 private:
  int width_, height_;
};

struct ToolWorkload {
  const char* name;
  std::vector<std::string> arguments;
  Workload sample;  // the same view for the reference pass, on a coarser grid
  bool againstPlainDouble = false;  // timed against the plain double kernel too
};

const std::vector<ToolWorkload>& ToolWorkloads() {
  static const std::vector<ToolWorkload> workloads{
      {"W5",
       {"--size", "3840x2160", "--iterations", "1000"},
       {"W5", {-2.5F, 1.5F, -1.5F, 1.5F, 1000, 0.3F, 0.6F, M}, 3840, 2160, 384, 216}},
      {"W6",
       {"--size", "16000x16000", "--xmin", "-1.5", "--xmax", "0.5", "--ymin", "-1", "--ymax", "1", "--iterations", "50"},
       {"W6", {-1.5F, 0.5F, -1.0F, 1.0F, 50, 0.3F, 0.6F, M}, 16000, 16000, 400, 400},
       true},
      // W6 shifted off the real axis, so that no row mirrors another.
      {"W6s",
       {"--size", "16000x16000", "--xmin", "-1.5", "--xmax", "0.5", "--ymin", "-0.9", "--ymax", "1.1", "--iterations",
        "50"},
       {"W6s", {-1.5F, 0.5F, -0.9F, 1.1F, 50, 0.3F, 0.6F, M}, 16000, 16000, 400, 400},
       true},
      // A frame of a zoom into seahorse valley: centre -0.7435 + 0.1314i, width
      // 0.002, long orbits along the boundary.
      {"W9",
       {"--size", "1920x1080", "--xmin", "-0.7445", "--xmax", "-0.7425", "--ymin", "0.1308375", "--ymax", "0.1319625",
        "--iterations", "5000"},
       {"W9", {-0.7445F, -0.7425F, 0.1308375F, 0.1319625F, 5000, 0.3F, 0.6F, M}, 1920, 1080, 192, 108},
       true},
  };
  return workloads;
}

// Runs tobrisk-render to a PNG file: wall time from start to exit, and the
// tool's peak resident memory.
void Tool(benchmark::State& state, const ToolWorkload& w) {
  const std::string output = std::string("/tmp/tobrisk-bench-") + w.name + ".png";
  std::vector<std::string> arguments = w.arguments;
  arguments.insert(arguments.end(), {"-o", output});
  double peakMiB = 0;
  for (auto _ : state) {
    const ChildRun run = RunChild(TOBRISK_RENDER_PATH, arguments, true);
    if (!run.succeeded) {
      state.SkipWithError("tobrisk-render failed");
      break;
    }
    peakMiB = std::max(peakMiB, run.peakMiB);
  }
  state.counters["peak_rss_MiB"] = peakMiB;
  std::remove(output.c_str());
}

// The plain double kernel on a workload's view, at its size and limit.
void PlainDouble(benchmark::State& state, const Workload& w) {
  const PlainDoubleView view{w.params.XMin, w.params.XMax, w.params.YMin, w.params.YMax, w.width, w.height,
                             w.params.MaxIter};
  std::vector<std::uint8_t> bits(PlainDoubleBytes(view));
  for (auto _ : state) {
    PlainDoubleBits(view, bits);
    benchmark::DoNotOptimize(bits.data());
  }
}

void RegisterAll() {
  for (const Workload& w : PassWorkloads()) {
    const std::string name = w.name;
    benchmark::RegisterBenchmark((name + "/reference").c_str(), ReferencePass, w)->Repetitions(5);
    benchmark::RegisterBenchmark((name + "/fast_1thread").c_str(), FastPass, w, 1)->Repetitions(5);
    benchmark::RegisterBenchmark((name + "/fast").c_str(), FastPass, w, 0)->Repetitions(5);
  }
  const Workload& w3 = PassWorkloads()[2];
  using CountFunction = void (*)(const PointGrid&, std::span<EscapeCount>);
  benchmark::RegisterBenchmark("exactness/plain_float", KernelOverGrid<CountFunction>, w3, &CountGridPlainFloat)
      ->Repetitions(5);
  benchmark::RegisterBenchmark("exactness/exact_no_cycles", KernelOverGrid<CountFunction>, w3,
                               [](const PointGrid& grid, std::span<EscapeCount> counts) {
                                 CountGrid(grid, counts, CycleDetection::Off);
                               })
      ->Repetitions(5);
  benchmark::RegisterBenchmark("exactness/step_loop_plain", StepLoop, StepArithmetic::Plain)->Repetitions(5);
  benchmark::RegisterBenchmark("exactness/step_loop_exact", StepLoop, StepArithmetic::Exact)->Repetitions(5);
  for (const ToolWorkload& w : ToolWorkloads()) {
    const std::string name = w.name;
    benchmark::RegisterBenchmark((name + "/reference").c_str(), ReferencePass, w.sample)->Repetitions(3);
    benchmark::RegisterBenchmark((name + "/fast_compute_only").c_str(),
                                 [](benchmark::State& state, const Workload& sample) {
                                   DiscardingSurface surface(sample.width, sample.height);
                                   for (auto _ : state) FastRenderPass(sample.params, surface);
                                 },
                                 w.sample)
        ->Repetitions(3);
    benchmark::RegisterBenchmark((name + "/fast").c_str(), Tool, w)->Repetitions(3)->Iterations(1);
    if (w.againstPlainDouble) {
      benchmark::RegisterBenchmark((name + "/plain_double").c_str(), PlainDouble, w.sample)->Repetitions(3)->Iterations(1);
    }
  }
}

// The summary line of a workload from the medians, with its pixel-iterations.
std::optional<SummaryLine> Summarise(const MedianKeeper& keeper, const std::string& name,
                                     const Workload& view) {
  const auto* fast = keeper.Find(name + "/fast");
  if (fast == nullptr) return std::nullopt;
  SummaryLine line;
  line.workload = name;
  line.fastMs = fast->ms;
  if (const auto* reference = keeper.Find(name + "/reference")) {
    line.referenceMs = reference->ms * reference->scale;
    line.referenceScaled = reference->scale != 1.0;
  }
  if (const auto* one = keeper.Find(name + "/fast_1thread")) line.fastOneThreadMs = one->ms;
  if (fast->peakMiB > 0) line.peakMiB = fast->peakMiB;
  if (const auto* plain = keeper.Find(name + "/plain_double")) line.plainDoubleMs = plain->ms;
  if (const auto work = MeasurePictureWork(view.params, view.width, view.height)) {
    line.pixelIterations = work->pixelIterations;
    line.interiorDecidedEarly = work->interiorDecidedEarly;
  }
  return line;
}

// Removes --load_one_core from the arguments; whether it was there.
bool TakeLoadFlag(int& argc, char** argv) {
  bool found = false;
  int kept = 1;
  for (int i = 1; i < argc; ++i) {
    if (std::string(argv[i]) == "--load_one_core") {
      found = true;
    } else {
      argv[kept++] = argv[i];
    }
  }
  argc = kept;
  return found;
}

}  // namespace
}  // namespace tobrisk

int main(int argc, char** argv) {
  using namespace tobrisk;
  SpinIfHelper(argc, argv);
  // Before any thread starts, so that the helper is forked from one thread.
  std::optional<SpinningHelper> load;
  if (TakeLoadFlag(argc, argv)) {
    load.emplace();
    std::printf("One core kept busy by a spinning helper process for the whole run.\n");
  }
  benchmark::Initialize(&argc, argv);
#ifdef TOBRISK_BENCH_WINDOW
  const WindowWorkload window(argc, argv);  // first, so W0 runs before W1
#endif
  RegisterAll();
  RegisterSequenceWorkloads();
  RegisterPyramidWorkloads();
  MedianKeeper keeper;
  benchmark::RunSpecifiedBenchmarks(&keeper);
  std::printf("\nMedians; reference times marked * were measured on a coarser grid of the same view and scaled by the pixel ratio.\n");
  const Workload& w1 = PassWorkloads()[0];
  if (auto line = Summarise(keeper, "W0", w1)) {
    if (const auto* drawnInMemory = keeper.Find("W1/fast")) line->w1FastMs = drawnInMemory->ms;
    PrintSummaryLine(*line);
  }
  for (const Workload& w : PassWorkloads()) {
    if (const auto line = Summarise(keeper, w.name, w)) PrintSummaryLine(*line);
  }
  for (const ToolWorkload& w : ToolWorkloads()) {
    if (const auto line = Summarise(keeper, w.name, w.sample)) PrintSummaryLine(*line);
  }
  PrintSequenceSummary(keeper);
  PrintPyramidSummary();
  if (const auto* plain = keeper.Find("exactness/plain_float"), *exact = keeper.Find("exactness/exact_no_cycles");
      plain && exact) {
    std::printf("exactness plain_float_ms=%.3f exact_no_cycles_ms=%.3f cost=%.2fx\n", plain->ms, exact->ms,
                exact->ms / plain->ms);
  }
  if (const auto* plain = keeper.Find("exactness/step_loop_plain"), *exact = keeper.Find("exactness/step_loop_exact");
      plain && exact && plain->laneSteps > 0 && exact->laneSteps > 0) {
    const double plainNs = plain->ms * 1e6 / plain->laneSteps, exactNs = exact->ms * 1e6 / exact->laneSteps;
    std::printf("exactness step_loop plain_ns_per_lane_step=%.3f exact_ns_per_lane_step=%.3f cost=%.2fx\n", plainNs,
                exactNs, exactNs / plainNs);
  }
  benchmark::Shutdown();
  return 0;
}
