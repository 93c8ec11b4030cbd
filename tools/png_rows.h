#pragma once

#include <cstdint>
#include <cstdio>
#include <span>
#include <string>
#include <vector>

#include <png.h>

namespace tobrisk {

// Streams an indexed PNG in the 16-colour palette, one row at a time, so
// memory does not grow with the picture.
class PngRowWriter {
 public:
  // Throws std::runtime_error when libpng cannot start.
  PngRowWriter(std::FILE* stream, std::string name, int width, int height);
  ~PngRowWriter();
  PngRowWriter(const PngRowWriter&) = delete;
  PngRowWriter& operator=(const PngRowWriter&) = delete;

  // One palette index (0 ... 15) per pixel; rows in order from the top.
  void WriteRow(std::span<const std::uint8_t> indices);
  void Finish();

 private:
  png_structp png_ = nullptr;
  png_infop info_ = nullptr;
  std::string name_;  // for messages
  std::string error_;
  std::vector<std::uint8_t> packed_;  // one row, two indices per byte
  int width_;
};

}  // namespace tobrisk
