#include "tests/support/tool_run.h"

#include <windows.h>


namespace tobrisk {
namespace {

std::wstring Wide(const std::string& text) {
  if (text.empty()) return {};
  const int size = ::MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
  std::wstring wide(static_cast<std::size_t>(size), L'\0');
  ::MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), wide.data(), size);
  return wide;
}

// The build machine's paths compiled into the tests: under Wine its root is drive Z:.
std::string NativePath(std::string path) {
  if (!path.starts_with('/')) return path;
  for (char& c : path) c = c == '/' ? '\\' : c;
  return "Z:" + path;
}

// As the C library splits a command line: quotes around each argument, a
// quote inside escaped, and the backslashes before a quote doubled.
std::string Quote(const std::string& text) {
  std::string quoted(1, '"');
  std::size_t backslashes = 0;
  for (const char c : text) {
    if (c == '\\') {
      ++backslashes;
      continue;
    }
    quoted.append(c == '"' ? 2 * backslashes + 1 : backslashes, '\\');
    backslashes = 0;
    quoted += c;
  }
  quoted.append(2 * backslashes, '\\');
  quoted += '"';
  return quoted;
}

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
  std::string command = Quote(NativePath(program));
  for (const std::string& argument : arguments) {
    command += ' ';
    command += Quote(argument);
  }
  return command;
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
