#pragma once

// POSIX only: the shell command that starts a program, for system() and scripts.

#include <string>
#include <vector>

namespace tobrisk {

// `text` in single quotes, as a POSIX shell reads it back unchanged.
[[nodiscard]] std::string ShellQuoted(const std::string& text);

// `program` and `arguments`, each quoted, separated by spaces.
[[nodiscard]] std::string ShellCommand(const std::string& program, const std::vector<std::string>& arguments);

}  // namespace tobrisk
