#include <windows.h>
// After windows.h, which it needs.
#include <psapi.h>

#include <algorithm>
#include <stdexcept>
#include <string_view>

#include "bench/child_process.h"
#include "platform/windows_command_line.h"

namespace tobrisk {
namespace {

constexpr std::string_view kSpinFlag = "--tobrisk_spinning_helper";

// Started with `flags` and this process's standard streams, so that its
// messages show as on POSIX; empty handles when it could not be started.
PROCESS_INFORMATION Start(const std::string& commandLine, DWORD flags) {
  std::wstring line = Wide(commandLine);
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdInput = ::GetStdHandle(STD_INPUT_HANDLE);
  startup.hStdOutput = ::GetStdHandle(STD_OUTPUT_HANDLE);
  startup.hStdError = ::GetStdHandle(STD_ERROR_HANDLE);
  PROCESS_INFORMATION process{};
  if (::CreateProcessW(nullptr, line.data(), nullptr, nullptr, TRUE, flags, nullptr, nullptr, &startup, &process) ==
      0) {
    return {};
  }
  return process;
}

// The peak working set so far; 0 when unknown.
double PeakMiB(HANDLE process) {
  PROCESS_MEMORY_COUNTERS counters{};
  if (::GetProcessMemoryInfo(process, &counters, sizeof counters) == 0) return 0;
  return static_cast<double>(counters.PeakWorkingSetSize) / (1024.0 * 1024.0);
}

// Waits for the end. Wine tells only a running process's peak, so the peak
// is read every few milliseconds while it runs and once more at its end.
ChildRun Finish(const PROCESS_INFORMATION& process, bool measurePeak) {
  ChildRun run;
  const DWORD poll = measurePeak ? 10 : INFINITE;
  for (bool ended = false; !ended;) {
    ended = ::WaitForSingleObject(process.hProcess, poll) != WAIT_TIMEOUT;
    if (measurePeak) run.peakMiB = std::max(run.peakMiB, PeakMiB(process.hProcess));
  }
  DWORD status = 1;
  run.succeeded = ::GetExitCodeProcess(process.hProcess, &status) != 0 && status == 0;
  ::CloseHandle(process.hThread);
  ::CloseHandle(process.hProcess);
  return run;
}

ChildRun RunToEnd(const std::string& commandLine, bool measurePeak) {
  const PROCESS_INFORMATION process = Start(commandLine, 0);
  if (process.hProcess == nullptr) return {};
  return Finish(process, measurePeak);
}

// This program's own path, to start it again as the spinning helper.
std::string OwnPath() {
  std::wstring path(MAX_PATH, L'\0');
  for (;;) {
    const DWORD size = ::GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
    if (size < path.size()) {
      path.resize(size);
      break;
    }
    path.resize(2 * path.size());
  }
  const int bytes = ::WideCharToMultiByte(CP_UTF8, 0, path.data(), static_cast<int>(path.size()), nullptr, 0,
                                          nullptr, nullptr);
  std::string text(static_cast<std::size_t>(bytes), '\0');
  ::WideCharToMultiByte(CP_UTF8, 0, path.data(), static_cast<int>(path.size()), text.data(), bytes, nullptr,
                        nullptr);
  return text;
}

}  // namespace

ChildRun RunChild(const std::string& program, const std::vector<std::string>& arguments, bool measurePeak) {
  return RunToEnd(CommandLine(NativePath(program), arguments), measurePeak);
}

std::string ScriptFileName(const std::string& stem) { return stem + ".cmd"; }

// cmd passes the rest of the line to the program as it stands, so the C
// library's quoting serves; there is no % in the texts the benchmarks pass.
// Wine's cmd runs what follows || even after a success, so the status is
// tested on a line of its own; @ keeps cmd from echoing each line.
std::string ScriptLine(const std::string& program, const std::vector<std::string>& arguments) {
  // Built up stepwise: GCC 12 warns falsely (-Wrestrict) on chained string sums.
  std::string line(1, '@');
  line += CommandLine(NativePath(program), arguments);
  line += "\n@if errorlevel 1 exit /b 1";
  return line;
}

// A path that starts with / would read to cmd as a switch.
ChildRun RunScript(const std::string& path) {
  return RunToEnd("cmd.exe /d /c " + CommandLine(NativePath(path), {}), false);
}

struct SpinningHelper::Process {
  HANDLE job = nullptr;
  PROCESS_INFORMATION process{};
};

// This program started again, in a job that ends it when the job's last
// handle closes: when this process ends, however it ends. Suspended until
// it is in the job, so that it cannot escape it.
SpinningHelper::SpinningHelper() : process_(std::make_unique<Process>()) {
  process_->job = ::CreateJobObjectW(nullptr, nullptr);
  JOBOBJECT_EXTENDED_LIMIT_INFORMATION limits{};
  limits.BasicLimitInformation.LimitFlags = JOB_OBJECT_LIMIT_KILL_ON_JOB_CLOSE;
  if (process_->job == nullptr ||
      ::SetInformationJobObject(process_->job, JobObjectExtendedLimitInformation, &limits, sizeof limits) == 0) {
    throw std::runtime_error("cannot make a job for the spinning helper process");
  }
  process_->process = Start(CommandLine(OwnPath(), {std::string(kSpinFlag)}), CREATE_SUSPENDED);
  if (process_->process.hProcess == nullptr ||
      ::AssignProcessToJobObject(process_->job, process_->process.hProcess) == 0 ||
      ::ResumeThread(process_->process.hThread) == static_cast<DWORD>(-1)) {
    if (process_->process.hProcess != nullptr) ::TerminateProcess(process_->process.hProcess, 1);
    throw std::runtime_error("cannot start the spinning helper process");
  }
}

SpinningHelper::~SpinningHelper() {
  ::TerminateProcess(process_->process.hProcess, 0);
  ::WaitForSingleObject(process_->process.hProcess, INFINITE);
  ::CloseHandle(process_->process.hThread);
  ::CloseHandle(process_->process.hProcess);
  ::CloseHandle(process_->job);
}

void SpinIfHelper(int argc, char** argv) {
  if (argc != 2 || argv[1] != kSpinFlag) return;
  volatile unsigned long spins = 0;
  for (;;) spins = spins + 1;
}

}  // namespace tobrisk
