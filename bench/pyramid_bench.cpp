#include "bench/pyramid_bench.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "bench/child_process.h"

namespace tobrisk {
namespace {

struct Timed {
  double ms = 0;
  double peakMiB = 0;
};

struct Side {
  std::vector<Timed> picture, pyramid;
  long tiles = 0;
};

Side& Results() {
  static Side side;
  return side;
}

const std::vector<std::string> kView{"--size", "32767x32767", "--xmin", "-1.5", "--xmax", "0.5", "--ymin", "-1",
                                     "--ymax", "1", "--iterations", "50", "-q"};

// Wall time from start to exit and the peak resident memory.
std::optional<Timed> TimedRun(const std::vector<std::string>& output) {
  std::vector<std::string> arguments = kView;
  arguments.insert(arguments.end(), output.begin(), output.end());
  const auto start = std::chrono::steady_clock::now();
  const ChildRun run = RunChild(TOBRISK_RENDER_PATH, arguments, true);
  const std::chrono::duration<double, std::milli> elapsed = std::chrono::steady_clock::now() - start;
  if (!run.succeeded) return std::nullopt;
  return Timed{elapsed.count(), run.peakMiB};
}

double Median(std::vector<Timed> runs) {
  std::sort(runs.begin(), runs.end(), [](const Timed& a, const Timed& b) { return a.ms < b.ms; });
  const std::size_t middle = runs.size() / 2;
  return runs.size() % 2 == 1 ? runs[middle].ms : (runs[middle - 1].ms + runs[middle].ms) / 2;
}

// In turn, so that whatever else the machine does falls on both alike. Each
// pyramid goes to a new folder: creating files where as many were just
// deleted costs the file system more than creating them afresh.
void SideBySide(benchmark::State& state) {
  Side& side = Results();
  int run = 0;
  for (auto _ : state) {
    for (int turn = 0; turn < 2; ++turn, ++run) {
      const std::string picture = "/tmp/tobrisk-bench-W8.png";
      const std::string pyramid = "/tmp/tobrisk-bench-W8-pyramid-" + std::to_string(run);
      const std::optional<Timed> one = TimedRun({"-o", picture});
      const std::optional<Timed> tiles = TimedRun({"--pyramid", pyramid});
      if (!one || !tiles) {
        state.SkipWithError("tobrisk-render failed");
        return;
      }
      side.picture.push_back(*one);
      side.pyramid.push_back(*tiles);
      side.tiles = 0;
      for (const auto& entry : std::filesystem::recursive_directory_iterator(pyramid)) {
        side.tiles += entry.path().extension() == ".png" ? 1 : 0;
      }
      std::filesystem::remove(picture);
      std::filesystem::remove_all(pyramid);
    }
  }
  state.counters["picture_ms"] = Median(side.picture);
  state.counters["pyramid_ms"] = Median(side.pyramid);
}

}  // namespace

void RegisterPyramidWorkloads() {
  benchmark::RegisterBenchmark("W8/pyramid_and_picture", SideBySide)->Iterations(1)->Repetitions(1);
}

void PrintPyramidSummary() {
  const Side& side = Results();
  if (side.picture.empty()) return;
  double peak = 0;
  for (const Timed& run : side.pyramid) peak = std::max(peak, run.peakMiB);
  const double picture = Median(side.picture);
  const double pyramid = Median(side.pyramid);
  std::printf("W8 size=32767x32767 iterations=50 runs=%zu picture_ms=%.1f pyramid_ms=%.1f ratio=%.2f tiles=%ld "
              "pyramid_peak_rss_MiB=%.1f\n",
              side.picture.size(), picture, pyramid, pyramid / picture, side.tiles, peak);
}

}  // namespace tobrisk
