#pragma once

#include <filesystem>
#include <string>
#include <string_view>

namespace tobrisk {

// Names are UTF-8 throughout the program. std::filesystem reads a narrow
// string in the C library's code page on Windows, which would turn every
// letter beyond ASCII into others; these conversions say which encoding is meant.
[[nodiscard]] inline std::filesystem::path PathOfUtf8(std::string_view name) {
  return std::filesystem::path(std::u8string(name.begin(), name.end()));
}

[[nodiscard]] inline std::string Utf8OfPath(const std::filesystem::path& path) {
  const std::u8string name = path.u8string();
  return {name.begin(), name.end()};
}

}  // namespace tobrisk
