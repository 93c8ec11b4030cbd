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

// Runs `program` with `arguments`, its output captured through files in `scratch`.
[[nodiscard]] ToolRun RunTool(const std::string& program, const std::vector<std::string>& arguments,
                              const std::filesystem::path& scratch);

[[nodiscard]] std::string ReadFile(const std::filesystem::path& path);

// The sorted names of what a folder holds, so stray temporary files show.
[[nodiscard]] std::vector<std::string> FolderContents(const std::filesystem::path& folder);

}  // namespace tobrisk
