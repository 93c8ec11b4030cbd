#include "tools/count_map/count_map.h"

#include <cerrno>
#include <cstring>
#include <stdexcept>
#include <utility>
#include <vector>

namespace tobrisk {
void CountMapWriter::Check(bool written) const {
  if (!written) throw std::runtime_error("cannot write " + name_ + ": " + (errno != 0 ? std::strerror(errno) : "write failed"));
}

CountMapWriter::CountMapWriter(std::FILE* stream, std::string name, int width, int height)
    : stream_(stream), name_(std::move(name)) {
  errno = 0;
  Check(std::fprintf(stream_, "P5\n%d %d\n65535\n", width, height) > 0);
}

void CountMapWriter::WriteRow(std::span<const EscapeCount> counts) {
  std::vector<unsigned char> bytes(counts.size() * 2);
  for (std::size_t i = 0; i < counts.size(); ++i) {
    // Counts are at least 1, so the 16-bit sample holds them unchanged.
    const auto sample = static_cast<std::uint16_t>(counts[i]);
    bytes[2 * i] = static_cast<unsigned char>(sample >> 8);
    bytes[2 * i + 1] = static_cast<unsigned char>(sample & 0xFF);
  }
  errno = 0;
  Check(std::fwrite(bytes.data(), 1, bytes.size(), stream_) == bytes.size());
}

}  // namespace tobrisk
