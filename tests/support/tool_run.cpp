#include "tests/support/tool_run.h"

#include <algorithm>
#include <fstream>
#include <iterator>

namespace tobrisk {

bool ToolRunsUnderEmulator() {
#ifdef TOBRISK_TOOL_EMULATOR
  return true;
#else
  return false;
#endif
}

std::string ReadFile(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

std::vector<std::string> FolderContents(const std::filesystem::path& folder) {
  std::vector<std::string> names;
  for (const auto& entry : std::filesystem::directory_iterator(folder)) {
    const std::u8string name = entry.path().filename().u8string();
    names.emplace_back(name.begin(), name.end());
  }
  std::sort(names.begin(), names.end());
  return names;
}

}  // namespace tobrisk
