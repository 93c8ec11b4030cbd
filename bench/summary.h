#pragma once

#include <benchmark/benchmark.h>

#include <map>
#include <optional>
#include <string>
#include <vector>

namespace tobrisk {

// Keeps the median of every benchmark, for the summary.
class MedianKeeper final : public benchmark::ConsoleReporter {
 public:
  struct Median {
    double ms = 0;
    double scale = 1;  // the reference's pixel ratio when timed on a coarser grid
    double peakMiB = 0;
    double laneSteps = 0;  // a step loop's lane-steps per iteration
  };

  void ReportRuns(const std::vector<Run>& runs) override;
  [[nodiscard]] const Median* Find(const std::string& name) const;

 private:
  std::map<std::string, Median> medians_;
};

// One workload's line of the summary. A field left empty is not printed, so
// a new figure is one field here and one line in PrintSummaryLine.
struct SummaryLine {
  std::string workload;
  std::optional<double> referenceMs;
  bool referenceScaled = false;
  std::optional<double> fastMs;
  std::optional<double> fastOneThreadMs;
  std::optional<double> peakMiB;
  std::optional<double> pixelIterations;  // the reference kernel's loop passes, all pixels
  std::optional<double> plainDoubleMs;    // the plain double kernel on the same view
  std::optional<double> w1FastMs;              // for the window's Draw, the same view drawn in memory
  std::optional<double> interiorDecidedEarly;  // share of the points counted MaxIter + 1; < 0: none
};

void PrintSummaryLine(const SummaryLine& line);

}  // namespace tobrisk
