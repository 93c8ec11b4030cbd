#pragma once

#include <cstdint>
#include <cstdio>
#include <span>
#include <string>

#include "engine/types.h"

namespace tobrisk {

// Streams the escape counts as a 16-bit binary PGM (P5, maxval 65535,
// big-endian samples), one row at a time.
class CountMapWriter {
 public:
  CountMapWriter(std::FILE* stream, std::string name, int width, int height);
  // Throws std::runtime_error when the stream refuses the data.
  void WriteRow(std::span<const EscapeCount> counts);

 private:
  void Check(bool written) const;

  std::FILE* stream_;
  std::string name_;  // for messages
};

}  // namespace tobrisk
