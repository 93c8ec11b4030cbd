#include "tools/render/progress_line.h"

#include <fcntl.h>
#include <unistd.h>
#ifdef _WIN32
#include <io.h>
#include <windows.h>
#else
#include <sys/ioctl.h>
#endif

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <utility>

#include "tools/safe_output/signals.h"
#include "tools/safe_output/standard_streams.h"

namespace tobrisk {
namespace {

using std::chrono::milliseconds;

constexpr std::string_view kClearLine = "\r\x1b[K";

#ifdef _WIN32
bool InForeground(int) { return true; }  // a console has no background jobs

int TerminalColumns(int fd) {
  CONSOLE_SCREEN_BUFFER_INFO console{};
  if (::GetConsoleScreenBufferInfo(reinterpret_cast<HANDLE>(::_get_osfhandle(fd)), &console) == 0) return 0;
  return console.srWindow.Right - console.srWindow.Left + 1;
}
#else
// Only the foreground job draws on the terminal: a render sent to the
// background must not write over what the user types next.
bool InForeground(int fd) { return ::tcgetpgrp(fd) == ::getpgrp(); }

int TerminalColumns(int fd) {
  winsize size{};
  return ::ioctl(fd, TIOCGWINSZ, &size) == 0 ? size.ws_col : 0;
}
#endif

int Percent(std::int64_t done, std::int64_t all) { return static_cast<int>(done * 100 / std::max<std::int64_t>(all, 1)); }

}  // namespace

std::string Duration(std::int64_t seconds) {
  const auto twoDigits = [](std::int64_t value) {
    return std::string(value < 10 ? "0" : "") + std::to_string(value);
  };
  const std::int64_t hours = seconds / 3600;
  const std::int64_t minutes = seconds / 60 % 60;
  if (hours > 0) return std::to_string(hours) + ":" + twoDigits(minutes) + ":" + twoDigits(seconds % 60);
  return std::to_string(minutes) + ":" + twoDigits(seconds % 60);
}

std::string TimeLeft(std::int64_t done, std::int64_t all, milliseconds elapsed) {
  if (done <= 0 || done >= all) return {};
  // Rounded up: "0:00 left" would claim the job is as good as done.
  const std::int64_t remainingMs = elapsed.count() * (all - done) / done;
  return ", about " + Duration((remainingMs + 999) / 1000) + " left";
}

std::string FormatProgress(int rowsDone, int rows, milliseconds elapsed) {
  return std::to_string(rowsDone) + " of " + std::to_string(rows) + " rows, " +
         std::to_string(Percent(rowsDone, rows)) + "%, " + Duration(elapsed.count() / 1000) + " elapsed" +
         TimeLeft(rowsDone, std::max(rows, 1), elapsed);
}

ProgressLine::ProgressLine(int fd, std::function<State()> state, Format format, Timing timing)
    : fd_(fd), state_(std::move(state)), format_(std::move(format)), timing_(timing), onTerminal_(::isatty(fd) == 1),
      start_(std::chrono::steady_clock::now()) {
  // Shown from the start means before the first row, however quick the render.
  if (timing_.firstShown.count() <= 0) Show();
  thread_ = std::thread([this] { Loop(); });
}

ProgressLine::~ProgressLine() {
  {
    const std::lock_guard lock(mutex_);
    stop_ = true;
  }
  wake_.notify_one();
  thread_.join();
  if (!onTerminal_) Log(true);
  if (shown_) {
    Write(std::string(kClearLine));
    ClearLineOnSignal(-1);
  }
}

void ProgressLine::Loop() {
  std::unique_lock lock(mutex_);
  auto next = start_ + std::max(timing_.firstShown, timing_.interval);
  while (!wake_.wait_until(lock, next, [this] { return stop_; })) {
    Show();
    next += timing_.interval;
    // A thread that slept through several updates draws once, not once per missed turn.
    const auto now = std::chrono::steady_clock::now();
    if (next < now) next = now + timing_.interval;
  }
}

void ProgressLine::Log(bool last) {
  constexpr int kPercentStep = 5;
  constexpr std::chrono::seconds kQuietest{10};
  const auto now = std::chrono::steady_clock::now();
  const State state = state_();
  const int percent = Percent(state.done, state.all);
  const bool due = loggedPercent_ < 0 || percent - loggedPercent_ >= kPercentStep || now - loggedAt_ >= kQuietest;
  if (!due && !last) return;
  std::string text = format_(state, std::chrono::duration_cast<milliseconds>(now - start_));
  if (text == logged_) return;
  Write(text + "\n");
  logged_ = std::move(text);
  loggedPercent_ = percent;
  loggedAt_ = now;
}

void ProgressLine::Show() {
  if (!onTerminal_) {
    Log(false);
    return;
  }
  const auto elapsed = std::chrono::duration_cast<milliseconds>(std::chrono::steady_clock::now() - start_);
  std::string text = format_(state_(), elapsed);
  if (!InForeground(fd_)) return;
  // A line wider than the terminal would wrap, and the carriage return would
  // then redraw only its last part.
  if (const int columns = TerminalColumns(fd_); columns > 1 && text.size() >= static_cast<std::size_t>(columns)) {
    text.resize(static_cast<std::size_t>(columns) - 1U);
  }
  Write(std::string(kClearLine) + text);
  if (!shown_) ClearLineOnSignal(fd_);
  shown_ = true;
}

// Progress is a courtesy: a write that fails is dropped, never reported.
void ProgressLine::Write(const std::string& text) const {
  std::size_t at = 0;
  while (at < text.size()) {
    const ssize_t written = ::write(fd_, text.data() + at, text.size() - at);
    if (written < 0 && errno == EINTR) continue;
    if (written <= 0) return;
    at += static_cast<std::size_t>(written);
  }
}

ProgressMode UsableProgressMode(ProgressMode asked) {
  return DescriptorIsClosed(STDERR_FILENO) ? ProgressMode::Never : asked;
}

std::unique_ptr<ProgressLine> ProgressOnStandardError(ProgressMode mode, std::function<ProgressLine::State()> state,
                                                      ProgressLine::Format format) {
  constexpr milliseconds kInterval{250};
  switch (mode) {
    case ProgressMode::Never:
      return nullptr;
    case ProgressMode::Always:
      return std::make_unique<ProgressLine>(STDERR_FILENO, std::move(state), std::move(format),
                                            ProgressLine::Timing{milliseconds{0}, kInterval});
    case ProgressMode::Auto:
      if (::isatty(STDERR_FILENO) != 1) return nullptr;
      return std::make_unique<ProgressLine>(STDERR_FILENO, std::move(state), std::move(format),
                                            ProgressLine::Timing{milliseconds{1000}, kInterval});
  }
  return nullptr;
}

std::unique_ptr<ProgressLine> ProgressOnStandardError(ProgressMode mode, int rows, std::function<int()> rowsDone) {
  return ProgressOnStandardError(
      mode, [rows, rowsDone = std::move(rowsDone)] { return ProgressLine::State{rowsDone(), rows}; },
      [](ProgressLine::State state, milliseconds elapsed) {
        return FormatProgress(static_cast<int>(state.done), static_cast<int>(state.all), elapsed);
      });
}

}  // namespace tobrisk
