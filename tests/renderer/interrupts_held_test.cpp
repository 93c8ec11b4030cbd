// SPDX-License-Identifier: MIT
// Holds on interrupts taken from several threads at once, as frames drawn
// side by side commit their files: no hold waits for another, and an
// interrupt that comes meanwhile ends the program at the last release.

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <barrier>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <functional>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "tools/safe_output/signals.h"

namespace tobrisk {
namespace {

namespace fs = std::filesystem;

// Runs `body` in a child process: its wait status, or none when it was
// still running after 30 s (it is then killed, so that a hang fails the test
// instead of stopping the suite).
std::optional<int> StatusOfChild(const std::function<void()>& body) {
  const pid_t child = ::fork();
  if (child == 0) {
    body();
    ::_exit(0);
  }
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
  while (std::chrono::steady_clock::now() < deadline) {
    int status = 0;
    if (::waitpid(child, &status, WNOHANG) == child) return status;
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  ::kill(child, SIGKILL);
  ::waitpid(child, nullptr, 0);
  return std::nullopt;
}

TEST(InterruptsHeld, HoldsTakenByManyThreadsAtOnceNeverWaitForEachOther) {
  const std::optional<int> status = StatusOfChild([] {
    InstallCleanupOnSignals();
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t) {
      threads.emplace_back([] {
        for (int round = 0; round < 20000; ++round) {
          const InterruptsHeld held;
          const InterruptsHeld nested;  // a thread's own holds nest
        }
      });
    }
    for (std::thread& thread : threads) thread.join();
  });
  ASSERT_TRUE(status.has_value()) << "a hold waited for ever";
  EXPECT_TRUE(WIFEXITED(*status) && WEXITSTATUS(*status) == 0) << "status " << *status;
}

// Two threads hold; one of them is interrupted. Its release must not end
// the program while the other still holds, and the other's must.
TEST(InterruptsHeld, AnInterruptWhileTwoThreadsHoldEndsTheProgramAtTheLastRelease) {
  struct Case {
    const char* name;
    int signal;  // 0: none
    bool goesOn;
  };
  const Case cases[] = {
      {"no interrupt: both holds end and the program goes on", 0, true},
      {"TERM while both hold", SIGTERM, false},
      {"INT while both hold", SIGINT, false},
  };
  const fs::path folder = fs::temp_directory_path() / ("tobrisk-holds-" + std::to_string(::getpid()));
  for (const Case& c : cases) {
    fs::remove_all(folder);
    fs::create_directories(folder);
    const std::optional<int> status = StatusOfChild([&] {
      InstallCleanupOnSignals();
      std::barrier together(2);
      std::thread first([&] {
        {
          const InterruptsHeld held;
          together.arrive_and_wait();  // both hold
          if (c.signal != 0) ::raise(c.signal);
        }
        together.arrive_and_wait();  // the first hold is released
      });
      {
        const InterruptsHeld held;
        together.arrive_and_wait();
        together.arrive_and_wait();
        std::ofstream(folder / "still-running-after-the-first-release");
      }
      first.join();
      std::ofstream(folder / "went-on");
    });
    ASSERT_TRUE(status.has_value()) << c.name << ": a hold waited for ever";
    if (c.goesOn) {
      EXPECT_TRUE(WIFEXITED(*status) && WEXITSTATUS(*status) == 0) << c.name << ": status " << *status;
    } else {
      EXPECT_TRUE(WIFSIGNALED(*status) && WTERMSIG(*status) == c.signal) << c.name << ": status " << *status;
    }
    EXPECT_TRUE(fs::exists(folder / "still-running-after-the-first-release")) << c.name;
    EXPECT_EQ(fs::exists(folder / "went-on"), c.goesOn) << c.name;
  }
  fs::remove_all(folder);
}

}  // namespace
}  // namespace tobrisk
