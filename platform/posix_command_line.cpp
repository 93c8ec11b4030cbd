#include "platform/posix_command_line.h"

namespace tobrisk {

// Built up stepwise: GCC 12 warns falsely (-Wrestrict) on chained string sums.
std::string ShellQuoted(const std::string& text) {
  std::string quoted(1, '\'');
  for (const char c : text) quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
  quoted += '\'';
  return quoted;
}

std::string ShellCommand(const std::string& program, const std::vector<std::string>& arguments) {
  std::string command = ShellQuoted(program);
  for (const std::string& argument : arguments) {
    command += ' ';
    command += ShellQuoted(argument);
  }
  return command;
}

}  // namespace tobrisk
