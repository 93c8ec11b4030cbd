#include <signal.h>
#include <spawn.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <stdexcept>

#include "bench/child_process.h"
#include "platform/posix_command_line.h"

extern char** environ;

namespace tobrisk {
namespace {

bool SpawnToEnd(std::vector<std::string> arguments) {
  std::vector<char*> argv;
  for (std::string& argument : arguments) argv.push_back(argument.data());
  argv.push_back(nullptr);
  pid_t child = 0;
  if (posix_spawn(&child, argv[0], nullptr, nullptr, argv.data(), environ) != 0) return false;
  int status = 0;
  waitpid(child, &status, 0);
  return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

}  // namespace

// /usr/bin/time reports the peak: a child spawned from this process would
// count this process's pages in its own.
ChildRun RunChild(const std::string& program, const std::vector<std::string>& arguments, bool measurePeak) {
  if (!measurePeak) {
    std::vector<std::string> all{program};
    all.insert(all.end(), arguments.begin(), arguments.end());
    return {SpawnToEnd(std::move(all)), 0};
  }
  const std::string peakFile = "/tmp/tobrisk-bench-" + std::to_string(getpid()) + ".rss";
  std::vector<std::string> all{"/usr/bin/time", "-f", "%M", "-o", peakFile, program};
  all.insert(all.end(), arguments.begin(), arguments.end());
  ChildRun run{SpawnToEnd(std::move(all)), 0};
  if (std::FILE* file = std::fopen(peakFile.c_str(), "r")) {
    long kib = 0;
    if (std::fscanf(file, "%ld", &kib) == 1) run.peakMiB = static_cast<double>(kib) / 1024.0;
    std::fclose(file);
  }
  std::remove(peakFile.c_str());
  return run;
}

std::string ScriptFileName(const std::string& stem) { return stem + ".sh"; }

std::string ScriptLine(const std::string& program, const std::vector<std::string>& arguments) {
  return ShellCommand(program, arguments) + " || exit 1";
}

ChildRun RunScript(const std::string& path) { return {SpawnToEnd({"/bin/sh", path}), 0}; }

struct SpinningHelper::Process {
  pid_t pid = -1;
};

// Forked, not started again: the kernel ends it with its parent, so no
// spinner outlives a crash. Before any thread starts, so that the helper is
// forked from one thread.
SpinningHelper::SpinningHelper() : process_(std::make_unique<Process>()) {
  const pid_t parent = getpid();
  process_->pid = fork();
  if (process_->pid == 0) {
    prctl(PR_SET_PDEATHSIG, SIGKILL);
    if (getppid() != parent) _exit(0);
    volatile unsigned long spins = 0;
    for (;;) spins = spins + 1;
  }
  if (process_->pid < 0) throw std::runtime_error("cannot start the spinning helper process");
}

SpinningHelper::~SpinningHelper() {
  kill(process_->pid, SIGKILL);
  waitpid(process_->pid, nullptr, 0);
}

void SpinIfHelper(int, char**) {}

}  // namespace tobrisk
