#include "platform/windows_command_line.h"

#include <windows.h>

namespace tobrisk {
namespace {

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

}  // namespace

std::wstring Wide(const std::string& text) {
  if (text.empty()) return {};
  const int size = ::MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
  std::wstring wide(static_cast<std::size_t>(size), L'\0');
  ::MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), wide.data(), size);
  return wide;
}

std::string NativePath(std::string path) {
  if (!path.starts_with('/')) return path;
  for (char& c : path) c = c == '/' ? '\\' : c;
  return "Z:" + path;
}

std::string CommandLine(const std::string& program, const std::vector<std::string>& arguments) {
  std::string command = Quote(program);
  for (const std::string& argument : arguments) {
    command += ' ';
    command += Quote(argument);
  }
  return command;
}

}  // namespace tobrisk
