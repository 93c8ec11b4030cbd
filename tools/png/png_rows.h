#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "engine/types.h"
#include "tools/png/parallel_deflate.h"

namespace tobrisk {

// Streams an indexed PNG in the 16-colour palette, one row at a time, so
// memory does not grow with the picture. The rows are deflated on every core.
class PngRowWriter {
 public:
  // `blockBytes` is how much of the picture's data is deflated as one piece.
  // Throws std::invalid_argument for an empty picture, std::runtime_error when the header cannot be written.
  PngRowWriter(std::FILE* stream, std::string name, int width, int height,
               std::size_t blockBytes = ParallelDeflate::kDefaultBlockBytes);
  PngRowWriter(const PngRowWriter&) = delete;
  PngRowWriter& operator=(const PngRowWriter&) = delete;

  // One palette index (0 ... 15) per pixel; rows in order from the top.
  void WriteRow(std::span<const std::uint8_t> indices);
  // The same from a kernel's counts, each written as its palette entry
  // (PaletteEntryOfCount) in the same pass that packs them.
  void WriteCountRow(std::span<const EscapeCount> counts);
  // Throws std::logic_error unless every row was written.
  void Finish();

 private:
  // Packs two entries a byte, the left one in the high half, after the
  // filter type 0 (palette pictures compress best unfiltered), and deflates the row.
  template <class Value, class Entry>
  void PackRow(std::span<const Value> values, Entry entry);
  void WriteChunk(std::string_view type, std::span<const std::uint8_t> data);
  void WriteBytes(const void* data, std::size_t size);

  std::FILE* stream_;
  std::string name_;  // for messages
  int width_;
  int height_;
  int rowsWritten_ = 0;
  std::vector<std::uint8_t> filtered_;  // one row: its filter type, then two indices per byte
  ParallelDeflate deflate_;
};

}  // namespace tobrisk
