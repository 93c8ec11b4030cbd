#include <signal.h>
#include <unistd.h>

#include <array>

#include "tools/safe_output/interrupts.h"

namespace tobrisk::interrupts {
namespace {

constexpr std::array kCleanupSignals{SIGHUP, SIGINT, SIGQUIT, SIGTERM, SIGPIPE, SIGXCPU, SIGXFSZ};

}  // namespace

void Install(Handler handler) {
  struct sigaction action {};
  action.sa_handler = handler;
  ::sigemptyset(&action.sa_mask);
  for (const int signal : kCleanupSignals) ::sigaddset(&action.sa_mask, signal);
  for (const int signal : kCleanupSignals) {
    struct sigaction previous {};
    if (::sigaction(signal, nullptr, &previous) == 0 && previous.sa_handler == SIG_IGN) continue;
    ::sigaction(signal, &action, nullptr);
  }
}

void RemoveFile(const char* path) noexcept { ::unlink(path); }

void Write(int fd, const char* text, std::size_t size) noexcept {
  [[maybe_unused]] const auto ignored = ::write(fd, text, size);
}

// The default action, so that a shell sees 128 + the signal's number.
void EndBy(int signal) noexcept {
  struct sigaction fallback {};
  fallback.sa_handler = SIG_DFL;
  ::sigemptyset(&fallback.sa_mask);
  ::sigaction(signal, &fallback, nullptr);
  sigset_t only;
  ::sigemptyset(&only);
  ::sigaddset(&only, signal);
  ::raise(signal);
  ::pthread_sigmask(SIG_UNBLOCK, &only, nullptr);  // inside a handler the signal is blocked until here
  ::_exit(128 + signal);  // not reached: the default action ends the program
}

void WaitForTheEnd() noexcept {
  for (;;) ::pause();
}

}  // namespace tobrisk::interrupts
