#include "bench/sequence_bench.h"

#include <benchmark/benchmark.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <variant>
#include <vector>

#include "bench/child_process.h"
#include "tools/render/render_options.h"
#include "tools/sequence/sequence_plan.h"

namespace tobrisk {
namespace {

constexpr int kFrames = 240;

// From the whole set into seahorse valley, at 1280x720 and 500 iterations.
std::vector<std::string> ZoomArguments(const std::string& folder) {
  return {"--centre", "-0.5,0", "--width", "4", "--zoom-to", "-0.7435,0.1314,1e-4", "--frames",
          std::to_string(kFrames), "--size", "1280x720", "--iterations", "500", "-o", folder + "/zoom-%05d.png"};
}

std::string Folder(const char* name) {
  const std::string folder = std::string("/tmp/tobrisk-bench-") + name;
  std::filesystem::remove_all(folder);
  std::filesystem::create_directories(folder);
  return folder;
}

void OneProcess(benchmark::State& state) {
  const std::string folder = Folder("W7");
  const std::vector<std::string> arguments = ZoomArguments(folder);
  for (auto _ : state) {
    if (!RunChild(TOBRISK_RENDER_PATH, arguments).succeeded) state.SkipWithError("tobrisk-render failed");
  }
  std::filesystem::remove_all(folder);
}

// The frames' own texts, one process a frame, from a shell script written beforehand.
void ShellLoop(benchmark::State& state) {
  const std::string folder = Folder("W7-loop");
  const std::vector<std::string> zoom = ZoomArguments(folder);
  const std::vector<std::string_view> views(zoom.begin(), zoom.end());
  const auto options = std::get<RenderOptions>(ParseRenderArguments(views));
  const auto plan = std::get<SequencePlan>(SequencePlan::Make(options));
  const std::string script = ScriptFileName(folder + "/frames");
  {
    std::ofstream out(script);
    for (int index = 0; index < kFrames; ++index) {
      const RenderOptions frame = plan.FrameOptions(index);
      out << ScriptLine(TOBRISK_RENDER_PATH, {"--xmin=" + frame.XMin, "--xmax=" + frame.XMax, "--ymin=" + frame.YMin,
                                             "--ymax=" + frame.YMax, "--size", "1280x720", "--iterations", "500",
                                             "-o", frame.output})
          << "\n";
    }
  }
  for (auto _ : state) {
    if (!RunScript(script).succeeded) state.SkipWithError("the shell loop failed");
  }
  std::filesystem::remove_all(folder);
}

}  // namespace

void RegisterSequenceWorkloads() {
  benchmark::RegisterBenchmark("W7/sequence", OneProcess)->Repetitions(3)->Iterations(1);
  benchmark::RegisterBenchmark("W7/shell_loop", ShellLoop)->Repetitions(3)->Iterations(1);
}

void PrintSequenceSummary(const MedianKeeper& keeper) {
  const auto* sequence = keeper.Find("W7/sequence");
  const auto* loop = keeper.Find("W7/shell_loop");
  if (sequence == nullptr || loop == nullptr) return;
  std::printf("W7 frames=%d sequence_ms=%.1f frames_per_second=%.2f shell_loop_ms=%.1f ratio_to_shell_loop=%.2f\n",
              kFrames, sequence->ms, kFrames / (sequence->ms / 1000), loop->ms, loop->ms / sequence->ms);
}

}  // namespace tobrisk
