#pragma once

// Runs a built program as from an interactive shell, on a pseudo-terminal.

#include <filesystem>
#include <string>
#include <vector>

#include "tests/support/tool_run.h"

namespace tobrisk {

// Runs `program` with its standard error on a pseudo-terminal of 80 columns;
// `err` is what the terminal received, with its line ends back to "\n".
// Standard output is captured through a file in `scratch`.
[[nodiscard]] ToolRun RunToolOnTerminal(const std::string& program, const std::vector<std::string>& arguments,
                                        const std::filesystem::path& scratch);

}  // namespace tobrisk
