#include "tests/support/terminal_run.h"

#include <fcntl.h>
#include <pty.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>

namespace tobrisk {

ToolRun RunToolOnTerminal(const std::string& program, const std::vector<std::string>& arguments,
                          const std::filesystem::path& scratch) {
  const std::filesystem::path out = scratch / "stdout.txt";
  winsize size{};
  size.ws_row = 24;
  size.ws_col = 80;
  int terminal = -1;
  const pid_t child = ::forkpty(&terminal, nullptr, nullptr, &size);
  if (child < 0) return {-1, "", "forkpty failed"};
  if (child == 0) {
    const int file = ::open(out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    if (file < 0 || ::dup2(file, STDOUT_FILENO) < 0) ::_exit(126);
    ::close(file);
    ExecTool(program, arguments);
  }
  // Read until the child's side closes (EIO), or the terminal would fill and stall it.
  std::string received;
  char buffer[4096];
  for (;;) {
    const ssize_t got = ::read(terminal, buffer, sizeof buffer);
    if (got < 0 && errno == EINTR) continue;
    if (got <= 0) break;
    received.append(buffer, static_cast<std::size_t>(got));
  }
  ::close(terminal);
  int raw = 0;
  ::waitpid(child, &raw, 0);
  std::string err;
  for (std::size_t at = 0; at < received.size(); ++at) {
    if (received.compare(at, 2, "\r\n") == 0) continue;  // the terminal's own "\r" before each "\n"
    err += received[at];
  }
  ToolRun run{WIFEXITED(raw) ? WEXITSTATUS(raw) : -1, ReadFile(out), err};
  std::filesystem::remove(out);
  return run;
}

}  // namespace tobrisk
