#pragma once

// A count map read back as the netpbm format defines it, independently of
// the tool's own reader: comments anywhere in the header, one-byte samples
// under maxval 256, two big-endian bytes from it on.

#include <cctype>
#include <cstddef>
#include <optional>
#include <string>
#include <vector>

namespace tobrisk::test {

struct CountMapFile {
  int width = 0;
  int height = 0;
  int maxval = 0;
  std::vector<std::string> comments;  // each without its '#' and line end
  std::vector<int> counts;            // row by row
};

inline std::optional<CountMapFile> ParseCountMap(const std::string& bytes) {
  CountMapFile map;
  if (bytes.compare(0, 2, "P5") != 0) return std::nullopt;
  std::size_t at = 2;
  const auto number = [&]() -> std::optional<int> {
    for (;;) {
      while (at < bytes.size() && std::isspace(static_cast<unsigned char>(bytes[at])) != 0) ++at;
      if (at >= bytes.size() || bytes[at] != '#') break;
      const std::size_t end = bytes.find('\n', at);
      if (end == std::string::npos) return std::nullopt;
      map.comments.push_back(bytes.substr(at + 1, end - at - 1));
      at = end + 1;
    }
    std::size_t digits = 0;
    int value = 0;
    while (at < bytes.size() && std::isdigit(static_cast<unsigned char>(bytes[at])) != 0 && digits < 6) {
      value = value * 10 + (bytes[at++] - '0');
      ++digits;
    }
    if (digits == 0) return std::nullopt;
    return value;
  };
  const std::optional<int> width = number();
  const std::optional<int> height = number();
  const std::optional<int> maxval = number();
  if (!width || !height || !maxval || at >= bytes.size()) return std::nullopt;
  ++at;  // the single whitespace after maxval
  map.width = *width;
  map.height = *height;
  map.maxval = *maxval;
  const std::size_t sampleBytes = map.maxval < 256 ? 1 : 2;
  const std::size_t samples = static_cast<std::size_t>(map.width) * static_cast<std::size_t>(map.height);
  if (bytes.size() - at != samples * sampleBytes) return std::nullopt;
  for (std::size_t i = 0; i < samples; ++i) {
    const auto byte = [&](std::size_t k) { return static_cast<unsigned char>(bytes[at + i * sampleBytes + k]); };
    map.counts.push_back(sampleBytes == 1 ? byte(0) : (byte(0) << 8) | byte(1));
  }
  return map;
}

}  // namespace tobrisk::test
