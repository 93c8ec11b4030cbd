#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <span>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "engine/types.h"
#include "tools/colour/picture_colours.h"
#include "tools/png/parallel_deflate.h"
#include "tools/view_record/record_text.h"

namespace tobrisk {

struct PngDeflate {
  // How much of the picture's data is deflated as one piece.
  std::size_t blockBytes = ParallelDeflate::kDefaultBlockBytes;
  int threads = 0;  // 0: every core; 1: the calling thread alone
};

// Streams a PNG one row at a time, so memory does not grow with the picture.
// The rows are deflated on every core. The window's colours and palettes of
// up to 256 entries give an indexed picture (4 bits a pixel up to 16 entries,
// else 8); more colours give 8-bit RGB.
class PngRowWriter {
 public:
  // `texts` go into tEXt chunks before the picture's data, in their order.
  // Throws std::invalid_argument for an empty picture, std::runtime_error when the header cannot be written.
  PngRowWriter(std::FILE* stream, std::string name, int width, int height, PictureColours colours = WindowColours{},
               PngDeflate deflate = {}, std::span<const RecordText> texts = {});
  // The same into memory: the file's bytes are appended to `memory`.
  PngRowWriter(std::string& memory, std::string name, int width, int height, PictureColours colours = WindowColours{},
               PngDeflate deflate = {}, std::span<const RecordText> texts = {});
  PngRowWriter(const PngRowWriter&) = delete;
  PngRowWriter& operator=(const PngRowWriter&) = delete;

  // One palette index per pixel; rows in order from the top. Only for an indexed picture.
  void WriteRow(std::span<const std::uint8_t> indices);
  // A row of a kernel's counts, each written as its colour in the same pass that packs them.
  void WriteCountRow(std::span<const EscapeCount> counts);
  // Throws std::logic_error unless every row was written.
  void Finish();

 private:
  // Packs the row's entries after the filter type 0 (palette pictures
  // compress best unfiltered), four or eight bits each, and deflates the row.
  template <class Value, class Entry>
  void PackRow(std::span<const Value> values, Entry entry);
  void PackColourRow(std::span<const EscapeCount> counts, const TrueColours& colours);
  void StartRow(std::size_t width);
  void EndRow();
  void WriteChunk(std::string_view type, std::span<const std::uint8_t> data);
  void WriteBytes(const void* data, std::size_t size);

  PngRowWriter(std::variant<std::FILE*, std::string*> out, std::string name, int width, int height,
               PictureColours colours, PngDeflate deflate, std::span<const RecordText> texts);

  std::variant<std::FILE*, std::string*> out_;
  std::string name_;  // for messages
  int width_;
  int height_;
  PictureColours colours_;
  int bitsPerEntry_;  // 4 or 8 in an indexed picture
  int rowsWritten_ = 0;
  std::vector<std::uint8_t> filtered_;  // one row: its filter type, then its packed pixels
  ParallelDeflate deflate_;
};

}  // namespace tobrisk
