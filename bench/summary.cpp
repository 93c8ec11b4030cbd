#include "bench/summary.h"

#include <cstdio>

namespace tobrisk {
namespace {

double Milliseconds(benchmark::TimeUnit unit) {
  switch (unit) {
    case benchmark::kNanosecond: return 1e-6;
    case benchmark::kMicrosecond: return 1e-3;
    case benchmark::kMillisecond: return 1.0;
    case benchmark::kSecond: return 1e3;
  }
  return 1.0;
}

}  // namespace

void MedianKeeper::ReportRuns(const std::vector<Run>& runs) {
  ConsoleReporter::ReportRuns(runs);
  for (const Run& run : runs) {
    if (run.run_type != Run::RT_Aggregate || run.aggregate_name != "median") continue;
    Median& m = medians_[run.run_name.function_name];
    m.ms = run.GetAdjustedRealTime() * Milliseconds(run.time_unit);
    const auto scale = run.counters.find("scale");
    m.scale = scale == run.counters.end() ? 1.0 : scale->second.value;
    const auto peak = run.counters.find("peak_rss_MiB");
    m.peakMiB = peak == run.counters.end() ? 0.0 : peak->second.value;
    const auto laneSteps = run.counters.find("lane_steps");
    m.laneSteps = laneSteps == run.counters.end() ? 0.0 : laneSteps->second.value;
  }
}

const MedianKeeper::Median* MedianKeeper::Find(const std::string& name) const {
  const auto it = medians_.find(name);
  return it == medians_.end() ? nullptr : &it->second;
}

void PrintSummaryLine(const SummaryLine& line) {
  std::printf("%s", line.workload.c_str());
  if (line.referenceMs) std::printf(" reference_ms=%.3f%s", *line.referenceMs, line.referenceScaled ? "*" : "");
  if (line.fastMs) std::printf(" fast_ms=%.3f", *line.fastMs);
  if (line.referenceMs && line.fastMs) std::printf(" ratio=%.1f", *line.referenceMs / *line.fastMs);
  if (line.w1FastMs && line.fastMs) std::printf(" ratio_to_W1=%.2f", *line.fastMs / *line.w1FastMs);
  if (line.fastOneThreadMs) std::printf(" fast_1thread_ms=%.3f", *line.fastOneThreadMs);
  if (line.peakMiB) std::printf(" peak_rss_MiB=%.1f", *line.peakMiB);
  if (line.pixelIterations) {
    std::printf(" pixel_iterations=%.4g", *line.pixelIterations);
    if (line.fastMs && *line.pixelIterations > 0) {
      std::printf(" ns_per_pixel_iteration=%.3f", *line.fastMs * 1e6 / *line.pixelIterations);
    }
  }
  if (line.interiorDecidedEarly) {
    if (*line.interiorDecidedEarly < 0) std::printf(" interior_decided_early=none_inside");
    else std::printf(" interior_decided_early=%.1f%%", 100.0 * *line.interiorDecidedEarly);
  }
  if (line.plainDoubleMs) {
    std::printf(" plain_double_ms=%.3f", *line.plainDoubleMs);
    if (line.fastMs) std::printf(" ratio_to_plain=%.2f", *line.fastMs / *line.plainDoubleMs);
  }
  std::printf("\n");
}

}  // namespace tobrisk
