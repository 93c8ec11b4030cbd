#include "tests/support/tool_run.h"

#include <sys/wait.h>

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <iterator>

namespace tobrisk {
namespace {

// Built up stepwise: GCC 12 warns falsely (-Wrestrict) on chained string sums.
std::string Quote(const std::string& text) {
  std::string quoted(1, '\'');
  for (const char c : text) quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
  quoted += '\'';
  return quoted;
}

}  // namespace

ToolRun RunTool(const std::string& program, const std::vector<std::string>& arguments,
                const std::filesystem::path& scratch) {
  std::string command;
#ifdef TOBRISK_TOOL_EMULATOR
  // A cross-built program runs through the emulator, as the tests themselves do.
  command = TOBRISK_TOOL_EMULATOR " ";
#endif
  command += Quote(program);
  for (const std::string& argument : arguments) {
    command += ' ';
    command += Quote(argument);
  }
  const std::filesystem::path out = scratch / "stdout.txt";
  const std::filesystem::path err = scratch / "stderr.txt";
  command += " >";
  command += Quote(out.string());
  command += " 2>";
  command += Quote(err.string());
  const int raw = std::system(command.c_str());
  ToolRun run{WIFEXITED(raw) ? WEXITSTATUS(raw) : -1, ReadFile(out), ReadFile(err)};
  std::filesystem::remove(out);
  std::filesystem::remove(err);
  return run;
}

std::string ReadFile(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

std::vector<std::string> FolderContents(const std::filesystem::path& folder) {
  std::vector<std::string> names;
  for (const auto& entry : std::filesystem::directory_iterator(folder)) names.push_back(entry.path().filename().string());
  std::sort(names.begin(), names.end());
  return names;
}

}  // namespace tobrisk
