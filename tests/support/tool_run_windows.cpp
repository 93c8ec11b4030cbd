#include "tests/support/tool_run.h"

#include <windows.h>

#include "platform/windows_command_line.h"

namespace tobrisk {
namespace {

HANDLE Inheritable(const std::filesystem::path& path, DWORD access, DWORD disposition) {
  SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
  return ::CreateFileW(path.c_str(), access, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, &inherit,
                       disposition, FILE_ATTRIBUTE_NORMAL, nullptr);
}

struct Started {
  PROCESS_INFORMATION process{};
  bool ok = false;
};

Started Start(const std::string& program, const std::vector<std::string>& arguments, HANDLE out, HANDLE err) {
  std::wstring line = Wide(ToolCommand(program, arguments));
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdInput = ::GetStdHandle(STD_INPUT_HANDLE);
  startup.hStdOutput = out;
  startup.hStdError = err;
  Started started;
  started.ok = ::CreateProcessW(nullptr, line.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr, &startup,
                                &started.process) != 0;
  return started;
}

int Finish(const Started& started) {
  ::WaitForSingleObject(started.process.hProcess, INFINITE);
  DWORD status = 0;
  const bool known = ::GetExitCodeProcess(started.process.hProcess, &status) != 0;
  ::CloseHandle(started.process.hThread);
  ::CloseHandle(started.process.hProcess);
  return known ? static_cast<int>(status) : -1;
}

}  // namespace

std::string ToolCommand(const std::string& program, const std::vector<std::string>& arguments) {
  return CommandLine(NativePath(program), arguments);
}

// `standardOutput` may be ">&-" (closed) or ">" and a file; the POSIX shell's other forms have no meaning here.
ToolRun RunTool(const std::string& program, const std::vector<std::string>& arguments,
                const std::filesystem::path& scratch, const std::string& standardOutput) {
  const std::filesystem::path outPath = standardOutput.starts_with('>') && standardOutput != ">&-"
                                            ? std::filesystem::path(Wide(standardOutput.substr(1)))
                                            : scratch / "stdout.txt";
  const std::filesystem::path errPath = scratch / "stderr.txt";
  const HANDLE out = standardOutput == ">&-" ? nullptr : Inheritable(outPath, GENERIC_WRITE, CREATE_ALWAYS);
  const HANDLE err = Inheritable(errPath, GENERIC_WRITE, CREATE_ALWAYS);
  const Started started = Start(program, arguments, out, err);
  if (out != nullptr) ::CloseHandle(out);
  ::CloseHandle(err);
  ToolRun run{started.ok ? Finish(started) : -1, standardOutput.empty() ? ReadFile(outPath) : "", ReadFile(errPath)};
  if (standardOutput.empty()) std::filesystem::remove(outPath);
  std::filesystem::remove(errPath);
  return run;
}

}  // namespace tobrisk
