#include "bench/window_bench.h"

#include <benchmark/benchmark.h>

#include <QApplication>
#include <QPushButton>

#include "platform/qt/form1_widget.h"

namespace tobrisk {

struct WindowWorkload::Application {
  Application(int& argc, char** argv) : app(argc, argv) {}
  QApplication app;
};

namespace {

// Presses Draw on a new window as a user would after start-up: the handler
// reads the fields and draws the start-up view on the window's drawing area.
void DrawInWindow(benchmark::State& state) {
  bool failed = false;
  Form1Widget form([&failed](QWidget&, const RunTimeError&) { failed = true; });
  auto* draw = form.findChild<QPushButton*>("Command1");
  if (draw == nullptr) {
    state.SkipWithError("the window has no Draw button");
    return;
  }
  for (auto _ : state) draw->click();
  if (failed) state.SkipWithError("the Draw reported an error");
}

}  // namespace

WindowWorkload::WindowWorkload(int& argc, char** argv) {
  // A benchmark needs no screen; a display chosen by the caller is kept.
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  application_ = std::make_unique<Application>(argc, argv);
  benchmark::RegisterBenchmark("W0/fast", DrawInWindow)->Repetitions(5);
}

WindowWorkload::~WindowWorkload() = default;

}  // namespace tobrisk
