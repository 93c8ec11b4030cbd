#include "tests/support/tool_run.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <sstream>
#include <chrono>
#include <thread>

#include "platform/posix_command_line.h"

namespace tobrisk {

std::string ToolCommand(const std::string& program, const std::vector<std::string>& arguments) {
  std::string command;
#ifdef TOBRISK_TOOL_EMULATOR
  // A cross-built program runs through the emulator, as the tests themselves do.
  command = TOBRISK_TOOL_EMULATOR " ";
#endif
  command += ShellCommand(program, arguments);
  return command;
}

ToolRun RunTool(const std::string& program, const std::vector<std::string>& arguments,
                const std::filesystem::path& scratch, const std::string& standardOutput) {
  std::string command = ToolCommand(program, arguments);
  const std::filesystem::path out = scratch / "stdout.txt";
  const std::filesystem::path err = scratch / "stderr.txt";
  if (standardOutput.empty()) {
    command += " >";
    command += ShellQuoted(out.string());
  } else {
    command += ' ';
    command += standardOutput;
  }
  command += " 2>";
  command += ShellQuoted(err.string());
  const int raw = std::system(command.c_str());
  ToolRun run{WIFEXITED(raw) ? WEXITSTATUS(raw) : -1, ReadFile(out), ReadFile(err)};
  std::filesystem::remove(out);
  std::filesystem::remove(err);
  return run;
}

namespace {

bool HoldsFileIn(pid_t process, const std::string& folder) {
  std::error_code error;
  for (const auto& entry : std::filesystem::directory_iterator("/proc/" + std::to_string(process) + "/fd", error)) {
    const std::filesystem::path target = std::filesystem::read_symlink(entry.path(), error);
    if (!error && target.string().starts_with(folder)) return true;
  }
  return false;
}

}  // namespace

void ExecTool(const std::string& program, const std::vector<std::string>& arguments) {
  std::vector<std::string> words;
#ifdef TOBRISK_TOOL_EMULATOR
  std::istringstream emulator(TOBRISK_TOOL_EMULATOR);
  for (std::string word; emulator >> word;) words.push_back(word);
#endif
  words.push_back(program);
  words.insert(words.end(), arguments.begin(), arguments.end());
  std::vector<char*> argv;
  for (std::string& word : words) argv.push_back(word.data());
  argv.push_back(nullptr);
  ::execvp(argv[0], argv.data());
  ::_exit(127);
}

int InterruptTool(const std::string& program, const std::vector<std::string>& arguments,
                  const std::filesystem::path& folder, int signal) {
  int ends[2];
  if (::pipe(ends) != 0) return -1;
  const pid_t child = ::fork();
  if (child == 0) {
    ::dup2(ends[1], STDOUT_FILENO);
    ::dup2(::open("/dev/null", O_WRONLY), STDERR_FILENO);
    ::close(ends[0]);
    ::close(ends[1]);
    ::signal(SIGPIPE, SIG_DFL);
    ExecTool(program, arguments);
  }
  ::close(ends[1]);
  const std::string watched = std::filesystem::canonical(folder).string() + "/";
  bool seen = false;
  for (int wait = 0; wait < 2000 && !(seen = HoldsFileIn(child, watched)); ++wait) {
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  if (signal == SIGPIPE) {
    char byte = 0;
    seen = seen && ::read(ends[0], &byte, 1) == 1;
  } else {
    ::kill(child, signal);
  }
  ::close(ends[0]);
  int status = 0;
  ::waitpid(child, &status, 0);
  return seen ? status : -1;
}

}  // namespace tobrisk
