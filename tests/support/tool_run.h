#pragma once

// Runs a built program as a user would from a shell, and reads back files.

#include <filesystem>
#include <string>
#include <vector>

namespace tobrisk {

struct ToolRun {
  int status;  // the exit status, or -1 when the program did not exit normally
  std::string out;
  std::string err;
};

// The shell command that runs `program` with `arguments` (quoted), through
// the emulator when the tests run a cross-built program.
[[nodiscard]] std::string ToolCommand(const std::string& program, const std::vector<std::string>& arguments);

// Whether the tests run a cross-built program through an emulator.
[[nodiscard]] bool ToolRunsUnderEmulator();

// Runs `program` with `arguments`, its output captured through files in `scratch`.
// `standardOutput`, a shell redirection such as ">&-" or ">/dev/full", replaces
// the capture of standard output.
[[nodiscard]] ToolRun RunTool(const std::string& program, const std::vector<std::string>& arguments,
                              const std::filesystem::path& scratch, const std::string& standardOutput = "");

#ifndef _WIN32
// Starts `program` with its standard output on a pipe, waits until it holds a
// file open in `folder`, then interrupts it: by `signal`, or for SIGPIPE by
// closing the pipe after reading one byte. Returns the wait status, or -1 when
// no file was opened in time. POSIX only: under Wine, tests/windows/interrupt-render
// sends the signal a terminal's Ctrl-C would.
[[nodiscard]] int InterruptTool(const std::string& program, const std::vector<std::string>& arguments,
                                const std::filesystem::path& folder, int signal);

// POSIX only. In a forked child: replaces the process by `program` with `arguments`,
// through the emulator when the tests run a cross-built program. Never returns.
[[noreturn]] void ExecTool(const std::string& program, const std::vector<std::string>& arguments);
#endif

[[nodiscard]] std::string ReadFile(const std::filesystem::path& path);

// The sorted names of what a folder holds, so stray temporary files show.
[[nodiscard]] std::vector<std::string> FolderContents(const std::filesystem::path& folder);

}  // namespace tobrisk
