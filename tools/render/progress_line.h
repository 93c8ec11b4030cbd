#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

namespace tobrisk {

// Whether a render shows how far it has got: on a terminal when it takes a
// while (Auto), always and from the start (Always), or never (Never).
enum class ProgressMode { Auto, Always, Never };

// One line of progress: "540 of 1080 rows, 50%, 0:03 elapsed, about 0:03 left".
// The estimate assumes the rows still to come take as long as those done.
[[nodiscard]] std::string FormatProgress(int rowsDone, int rows, std::chrono::milliseconds elapsed);

// Shows the progress of a render on `fd` from a thread of its own, so the
// render itself only counts its rows. On a terminal one line is redrawn a few
// times a second and cleared when this ends (finished or failed), so what
// follows starts on a clean line. Elsewhere (a log file, a pipe) each update
// is a line of its own, written when the share done has moved by 5 points or
// 10 seconds have passed, never the same line twice, and a last line when
// this ends.
class ProgressLine {
 public:
  struct Timing {
    std::chrono::milliseconds firstShown;  // nothing for renders quicker than this
    std::chrono::milliseconds interval;
  };

  // How far a job has come, in any unit, and the words for it.
  struct State {
    std::int64_t done = 0;
    std::int64_t all = 1;
  };
  using Format = std::function<std::string(State, std::chrono::milliseconds elapsed)>;

  ProgressLine(int fd, std::function<State()> state, Format format, Timing timing);
  ~ProgressLine();
  ProgressLine(const ProgressLine&) = delete;
  ProgressLine& operator=(const ProgressLine&) = delete;

 private:
  void Loop();
  void Show();
  // Off a terminal: the line, if the log should get it now.
  void Log(bool last);
  void Write(const std::string& text) const;

  int fd_;
  std::function<State()> state_;
  Format format_;
  Timing timing_;
  bool onTerminal_;
  bool shown_ = false;  // a line is on the terminal that must be cleared
  std::string logged_;  // the last line written off a terminal
  int loggedPercent_ = -1;
  std::chrono::steady_clock::time_point loggedAt_;
  std::chrono::steady_clock::time_point start_;
  std::mutex mutex_;
  std::condition_variable wake_;
  bool stop_ = false;
  std::thread thread_;
};

// `asked`, or Never when standard error is closed: a file opened after this
// could take its descriptor, and progress written there would corrupt it.
// Call before opening any file.
[[nodiscard]] ProgressMode UsableProgressMode(ProgressMode asked);

// The progress of a render of `rows` rows on standard error, as `mode` asks;
// null when there is nothing to show.
[[nodiscard]] std::unique_ptr<ProgressLine> ProgressOnStandardError(ProgressMode mode, int rows,
                                                                    std::function<int()> rowsDone);
// The same for any job: its state and the words for it.
[[nodiscard]] std::unique_ptr<ProgressLine> ProgressOnStandardError(ProgressMode mode,
                                                                    std::function<ProgressLine::State()> state,
                                                                    ProgressLine::Format format);

// "m:ss", or "h:mm:ss" from an hour on.
[[nodiscard]] std::string Duration(std::int64_t seconds);
// ", about 0:03 left" for a job `done` of `all` after `elapsed`; empty before it starts and once it is done.
[[nodiscard]] std::string TimeLeft(std::int64_t done, std::int64_t all, std::chrono::milliseconds elapsed);

}  // namespace tobrisk
