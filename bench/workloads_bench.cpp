// The render pass workloads W1 ... W6: the reference pass and the fast pass
// (one thread and every core) side by side in one process, then one summary
// line per workload.

#include <spawn.h>
#include <sys/wait.h>

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <map>
#include <span>
#include <stdexcept>
#include <string>
#include <vector>

#include "bench/plain_float_kernel.h"
#include "engine/fast_kernels.h"
#include "engine/fast_pass.h"
#include "engine/render_pass.h"
#include "platform/picture.h"

extern char** environ;

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

// The share of a workload's interior points (count MaxIter + 1) that the
// kernels decided before MaxIter, over its whole picture (-1 without
// interior points): the points mapped as the pass maps them, counted
// untimed on one thread, band by band.
double InteriorDecidedEarlyShare(const Workload& w) {
  const auto step = [](float min, float max, int size) {
    return static_cast<float>((double{max} - double{min}) / static_cast<double>(size));
  };
  const auto coordinates = [](float min, float delta, int size) {
    std::vector<float> values(static_cast<std::size_t>(size));
    for (int i = 0; i < size; ++i) values[static_cast<std::size_t>(i)] = static_cast<float>(double{static_cast<float>(i)} * delta + min);
    return values;
  };
  const std::vector<float> xs = coordinates(w.params.XMin, step(w.params.XMin, w.params.XMax, w.width), w.width);
  const std::vector<float> ys = coordinates(w.params.YMin, step(w.params.YMin, w.params.YMax, w.height), w.height);
  const std::size_t bandRows = std::max<std::size_t>(1, (std::size_t{1} << 20) / xs.size());
  std::vector<EscapeCount> counts(bandRows * xs.size());
  std::uint64_t interior = 0;
  ResetInteriorDecidedEarly();
  for (std::size_t first = 0; first < ys.size(); first += bandRows) {
    const std::size_t rows = std::min(bandRows, ys.size() - first);
    const std::span<EscapeCount> band(counts.data(), rows * xs.size());
    CountGrid(PointGrid{w.params.Kind, xs, std::span(ys).subspan(first, rows), w.params.MaxIter, w.params.P, w.params.Q}, band);
    interior += static_cast<std::uint64_t>(std::count(band.begin(), band.end(), static_cast<EscapeCount>(w.params.MaxIter + 1)));
  }
  return interior == 0 ? -1.0 : static_cast<double>(InteriorDecidedEarly()) / static_cast<double>(interior);
}

// A surface that takes the rows and keeps nothing: the pass without plotting costs.
class DiscardingSurface final : public PlotSurface {
 public:
  DiscardingSurface(int width, int height) : width_(width), height_(height) {}
  float Width() const override { return static_cast<float>(width_); }
  float Height() const override { return static_cast<float>(height_); }
  void Plot(std::int16_t, std::int16_t, Colour) override {}
  void PlotRow(std::int16_t, std::span<const EscapeCount> counts) override { benchmark::DoNotOptimize(counts.data()); }

 private:
  int width_, height_;
};

struct ToolWorkload {
  const char* name;
  std::vector<std::string> arguments;
  Workload sample;  // the same view for the reference pass, on a coarser grid
};

const std::vector<ToolWorkload>& ToolWorkloads() {
  static const std::vector<ToolWorkload> workloads{
      {"W5",
       {"--size", "3840x2160", "--iterations", "1000"},
       {"W5", {-2.5F, 1.5F, -1.5F, 1.5F, 1000, 0.3F, 0.6F, M}, 3840, 2160, 384, 216}},
      {"W6",
       {"--size", "16000x16000", "--xmin", "-1.5", "--xmax", "0.5", "--ymin", "-1", "--ymax", "1", "--iterations", "50"},
       {"W6", {-1.5F, 0.5F, -1.0F, 1.0F, 50, 0.3F, 0.6F, M}, 16000, 16000, 400, 400}},
  };
  return workloads;
}

// Runs tobrisk-render to a PNG file: wall time from start to exit, and the
// tool's peak resident set size. /usr/bin/time reports the peak: a child
// spawned from this process would count this process's pages in its own.
void Tool(benchmark::State& state, const ToolWorkload& w) {
  const std::string output = std::string("/tmp/tobrisk-bench-") + w.name + ".png";
  const std::string peakFile = output + ".rss";
  std::vector<std::string> arguments{"/usr/bin/time", "-f", "%M", "-o", peakFile, TOBRISK_RENDER_PATH};
  arguments.insert(arguments.end(), w.arguments.begin(), w.arguments.end());
  arguments.insert(arguments.end(), {"-o", output});
  std::vector<char*> argv;
  for (std::string& a : arguments) argv.push_back(a.data());
  argv.push_back(nullptr);
  long peakKiB = 0;
  for (auto _ : state) {
    pid_t child = 0;
    if (posix_spawn(&child, argv[0], nullptr, nullptr, argv.data(), environ) != 0) {
      state.SkipWithError("cannot start /usr/bin/time");
      break;
    }
    int status = 0;
    waitpid(child, &status, 0);
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
      state.SkipWithError("tobrisk-render failed");
      break;
    }
    if (std::FILE* file = std::fopen(peakFile.c_str(), "r")) {
      long kib = 0;
      if (std::fscanf(file, "%ld", &kib) == 1) peakKiB = std::max(peakKiB, kib);
      std::fclose(file);
    }
  }
  state.counters["peak_rss_MiB"] = static_cast<double>(peakKiB) / 1024.0;
  std::remove(output.c_str());
  std::remove(peakFile.c_str());
}

// The workload of a name, whether the pass or the tool runs it.
const Workload* FindWorkload(const std::string& name) {
  for (const Workload& w : PassWorkloads()) {
    if (name == w.name) return &w;
  }
  for (const ToolWorkload& w : ToolWorkloads()) {
    if (name == w.name) return &w.sample;
  }
  return nullptr;
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
  }
}

// Keeps the median of every benchmark, for the summary.
class MedianKeeper final : public benchmark::ConsoleReporter {
 public:
  void ReportRuns(const std::vector<Run>& runs) override {
    ConsoleReporter::ReportRuns(runs);
    for (const Run& run : runs) {
      if (run.run_type != Run::RT_Aggregate || run.aggregate_name != "median") continue;
      Median& m = medians[run.run_name.function_name];
      m.ms = run.GetAdjustedRealTime() * Milliseconds(run.time_unit);
      const auto scale = run.counters.find("scale");
      m.scale = scale == run.counters.end() ? 1.0 : scale->second.value;
      const auto peak = run.counters.find("peak_rss_MiB");
      m.peakMiB = peak == run.counters.end() ? 0.0 : peak->second.value;
    }
  }
  struct Median {
    double ms = 0;
    double scale = 1;
    double peakMiB = 0;
  };
  std::map<std::string, Median> medians;

 private:
  static double Milliseconds(benchmark::TimeUnit unit) {
    switch (unit) {
      case benchmark::kNanosecond: return 1e-6;
      case benchmark::kMicrosecond: return 1e-3;
      case benchmark::kMillisecond: return 1.0;
      case benchmark::kSecond: return 1e3;
    }
    return 1.0;
  }
};

}  // namespace
}  // namespace tobrisk

int main(int argc, char** argv) {
  using tobrisk::MedianKeeper;
  benchmark::Initialize(&argc, argv);
  tobrisk::RegisterAll();
  MedianKeeper keeper;
  benchmark::RunSpecifiedBenchmarks(&keeper);
  const auto& m = keeper.medians;
  const auto find = [&m](const std::string& name) -> const MedianKeeper::Median* {
    const auto it = m.find(name);
    return it == m.end() ? nullptr : &it->second;
  };
  std::printf("\nMedians; reference times marked * were measured on a coarser grid of the same view and scaled by the pixel ratio.\n");
  for (const char* w : {"W1", "W2", "W3", "W4a", "W4b", "W5", "W6"}) {
    const auto* reference = find(std::string(w) + "/reference");
    const auto* fast = find(std::string(w) + "/fast");
    if (reference == nullptr || fast == nullptr) continue;
    const double referenceMs = reference->ms * reference->scale;
    std::printf("%s reference_ms=%.3f%s fast_ms=%.3f ratio=%.1f", w, referenceMs, reference->scale != 1.0 ? "*" : "",
                fast->ms, referenceMs / fast->ms);
    if (const auto* one = find(std::string(w) + "/fast_1thread")) std::printf(" fast_1thread_ms=%.3f", one->ms);
    if (fast->peakMiB > 0) std::printf(" peak_rss_MiB=%.1f", fast->peakMiB);
    if (const auto* workload = tobrisk::FindWorkload(w)) {
      const double share = tobrisk::InteriorDecidedEarlyShare(*workload);
      if (share >= 0) std::printf(" interior_decided_early=%.1f%%", 100.0 * share);
      if (share < 0) std::printf(" interior_decided_early=none_inside");
    }
    std::printf("\n");
  }
  if (const auto* plain = find("exactness/plain_float"), *exact = find("exactness/exact_no_cycles"); plain && exact) {
    std::printf("exactness plain_float_ms=%.3f exact_no_cycles_ms=%.3f cost=%.2fx\n", plain->ms, exact->ms,
                exact->ms / plain->ms);
  }
  benchmark::Shutdown();
  return 0;
}
