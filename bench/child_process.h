#pragma once

// The processes the benchmarks start: tobrisk-render run as a user would,
// a shell script of many runs, and a helper that keeps one core busy.

#include <memory>
#include <string>
#include <vector>

namespace tobrisk {

struct ChildRun {
  bool succeeded = false;  // started, and exited with status 0
  double peakMiB = 0;      // its peak resident memory, when asked for
};

// Runs `program` with `arguments` to its end.
[[nodiscard]] ChildRun RunChild(const std::string& program, const std::vector<std::string>& arguments,
                                bool measurePeak = false);

// Scripts of the platform's shell (sh, or cmd on Windows) that run
// programs one after another and stop at the first that fails.
[[nodiscard]] std::string ScriptFileName(const std::string& stem);
[[nodiscard]] std::string ScriptLine(const std::string& program, const std::vector<std::string>& arguments);
[[nodiscard]] ChildRun RunScript(const std::string& path);

// A child process that spins on one core from construction to destruction,
// and dies with this process should this one end first.
class SpinningHelper {
 public:
  SpinningHelper();
  SpinningHelper(const SpinningHelper&) = delete;
  SpinningHelper& operator=(const SpinningHelper&) = delete;
  ~SpinningHelper();

 private:
  struct Process;
  std::unique_ptr<Process> process_;
};

// First in main: in the process of a spinning helper that is the benchmark
// program started again, spins and never returns.
void SpinIfHelper(int argc, char** argv);

}  // namespace tobrisk
