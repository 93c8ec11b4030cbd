#pragma once

#include <array>
#include <cstdint>
#include <cstdio>
#include <span>
#include <stdexcept>
#include <string>
#include <vector>

#include "engine/types.h"
#include "tools/view_record/record_text.h"

// libpng's types, kept out of the header's users.
struct png_struct_def;
struct png_info_def;

namespace tobrisk {

// What is wrong with a file that was to hold a view; the message names no file.
struct ViewFileError : std::runtime_error {
  using std::runtime_error::runtime_error;
};

// A PNG read with libpng row by row, so that memory stays small whatever the
// picture's size, and strictly: a bad checksum in any chunk, a warning from
// libpng, a side over 32767 pixels or a chunk over 1 MiB is an error. Every
// method throws ViewFileError with libpng's reason.
class PngViewReader {
 public:
  // Reads up to the picture's data: the header, the palette and the texts before it.
  explicit PngViewReader(std::FILE* file);
  ~PngViewReader();
  PngViewReader(const PngViewReader&) = delete;
  PngViewReader& operator=(const PngViewReader&) = delete;

  [[nodiscard]] int Width() const { return width_; }
  [[nodiscard]] int Height() const { return height_; }
  // The text chunks read so far (tEXt, zTXt and iTXt; iTXt must be UTF-8).
  [[nodiscard]] std::vector<RecordText> Texts() const;
  // Whether the rows are what tobrisk-render writes: 4-bit indices into the
  // 16-colour palette, not interlaced. Such rows compare byte for byte.
  [[nodiscard]] bool InTobriskLayout() const { return tobriskLayout_; }

  // The rows as stored (InTobriskLayout) or as 8-bit RGBA; call once, before the first row.
  enum class Rows { AsStored, AsRgba };
  void Begin(Rows rows);
  // The bytes of each row as Begin chose.
  [[nodiscard]] std::size_t RowBytes() const { return rowBytes_; }
  void ReadRow(std::span<std::uint8_t> row);
  // Reads the rest of the file to its end chunk, with the texts after the data.
  void Finish();

 private:
  void ReadHeader();
  template <class Step>
  void Guarded(Step step);
  static void OnError(png_struct_def* png, const char* message);
  static void OnWarning(png_struct_def* png, const char* message);

  std::FILE* file_;
  png_struct_def* png_ = nullptr;
  png_info_def* info_ = nullptr;
  std::string message_;  // libpng's last complaint
  bool warned_ = false;
  int width_ = 0;
  int height_ = 0;
  bool tobriskLayout_ = false;
  std::size_t rowBytes_ = 0;
};

}  // namespace tobrisk
