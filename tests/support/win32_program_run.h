#pragma once

// Runs a Windows program from a Windows test, as a shell with its output
// redirected would: standard output and standard error on pipes, read whole.

#include <windows.h>

#include <string>
#include <thread>
#include <vector>

namespace tobrisk::test {

struct ProgramRun {
  int status = -1;  // the exit code, or -1 when the program could not be started
  std::string out;
  std::string err;
};

// Quoted as CommandLineToArgvW reads it back.
inline std::wstring QuotedArgument(const std::wstring& argument) {
  std::wstring quoted = L"\"";
  std::size_t backslashes = 0;
  for (const wchar_t c : argument) {
    if (c == L'\\') {
      ++backslashes;
      continue;
    }
    quoted.append(c == L'"' ? 2 * backslashes + 1 : backslashes, L'\\');
    backslashes = 0;
    quoted += c;
  }
  quoted.append(2 * backslashes, L'\\');
  return quoted + L"\"";
}

inline std::string ReadWhole(HANDLE pipe) {
  std::string text;
  char buffer[4096];
  DWORD got = 0;
  while (ReadFile(pipe, buffer, sizeof buffer, &got, nullptr) && got > 0) text.append(buffer, got);
  return text;
}

inline ProgramRun RunProgram(const std::wstring& program, const std::vector<std::wstring>& arguments) {
  SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
  HANDLE outRead = nullptr, outWrite = nullptr, errRead = nullptr, errWrite = nullptr;
  CreatePipe(&outRead, &outWrite, &inherit, 0);
  CreatePipe(&errRead, &errWrite, &inherit, 0);
  SetHandleInformation(outRead, HANDLE_FLAG_INHERIT, 0);
  SetHandleInformation(errRead, HANDLE_FLAG_INHERIT, 0);

  std::wstring commandLine = QuotedArgument(program);
  for (const std::wstring& argument : arguments) commandLine += L" " + QuotedArgument(argument);
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
  startup.hStdOutput = outWrite;
  startup.hStdError = errWrite;
  PROCESS_INFORMATION process{};
  const bool started = CreateProcessW(program.c_str(), commandLine.data(), nullptr, nullptr, TRUE, 0, nullptr,
                                      nullptr, &startup, &process) != 0;
  CloseHandle(outWrite);
  CloseHandle(errWrite);
  ProgramRun run;
  // Both pipes are read at once, so that a program filling one is never left waiting.
  std::thread errReader([&run, errRead] { run.err = ReadWhole(errRead); });
  run.out = ReadWhole(outRead);
  errReader.join();
  CloseHandle(outRead);
  CloseHandle(errRead);
  if (!started) return run;
  WaitForSingleObject(process.hProcess, INFINITE);
  DWORD code = 0;
  GetExitCodeProcess(process.hProcess, &code);
  CloseHandle(process.hThread);
  CloseHandle(process.hProcess);
  run.status = static_cast<int>(code);
  return run;
}

}  // namespace tobrisk::test
