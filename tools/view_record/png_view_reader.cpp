#include "tools/view_record/png_view_reader.h"

#include <csetjmp>

#include <png.h>

#include "engine/palette.h"
#include "tools/view_record/view_record.h"

namespace tobrisk {
namespace {

constexpr png_uint_32 kMaxSide = 32767;                // tobrisk-render writes no larger side
constexpr png_alloc_size_t kMaxChunk = 1U << 20;       // far above any text a view needs
constexpr png_uint_32 kMaxAncillaryChunks = 200;

bool IsUtf8(std::string_view text) {
  for (std::size_t at = 0; at < text.size();) {
    const auto lead = static_cast<unsigned char>(text[at]);
    const std::size_t length = lead < 0x80 ? 1 : (lead >> 5) == 0x6 ? 2 : (lead >> 4) == 0xE ? 3 : (lead >> 3) == 0x1E ? 4 : 0;
    if (length == 0 || at + length > text.size()) return false;
    std::uint32_t code = length == 1 ? lead : lead & (0x7FU >> length);
    for (std::size_t i = 1; i < length; ++i) {
      const auto next = static_cast<unsigned char>(text[at + i]);
      if ((next & 0xC0) != 0x80) return false;
      code = (code << 6) | (next & 0x3FU);
    }
    // Overlong forms, surrogates and code points past U+10FFFF are not UTF-8.
    static constexpr std::uint32_t kLeast[] = {0, 0, 0x80, 0x800, 0x10000};
    if (code < kLeast[length] || (code >= 0xD800 && code <= 0xDFFF) || code > 0x10FFFF) return false;
    at += length;
  }
  return true;
}

void ReadBytes(png_structp png, png_bytep data, png_size_t size) {
  auto* file = static_cast<std::FILE*>(png_get_io_ptr(png));
  if (std::fread(data, 1, size, file) != size) {
    png_error(png, std::ferror(file) != 0 ? "it cannot be read" : "it ends early: the file is cut short");
  }
}

}  // namespace

void PngViewReader::OnError(png_struct_def* png, const char* message) {
  auto* self = static_cast<PngViewReader*>(png_get_error_ptr(png));
  self->message_ = message;
  png_longjmp(png, 1);
}

void PngViewReader::OnWarning(png_struct_def* png, const char* message) {
  auto* self = static_cast<PngViewReader*>(png_get_error_ptr(png));
  if (!self->warned_) self->message_ = message;
  self->warned_ = true;
}

// libpng reports errors by a long jump, which must not cross a frame with
// anything to destroy: each step is a lambda holding only references and
// plain values, and this frame is the jump's target.
template <class Step>
void PngViewReader::Guarded(Step step) {
  if (setjmp(png_jmpbuf(png_)) == 0) {
    step();
    if (!warned_) return;
  }
  // The file's own words for a file cut short; libpng's, so named, for all else.
  if (message_.starts_with("it ")) throw ViewFileError(message_);
  throw ViewFileError("libpng refuses it: " + (message_.empty() ? std::string("no reason given") : message_));
}

PngViewReader::PngViewReader(std::FILE* file) : file_(file) {
  png_ = png_create_read_struct(PNG_LIBPNG_VER_STRING, this, OnError, OnWarning);
  if (png_ != nullptr) info_ = png_create_info_struct(png_);
  if (png_ == nullptr || info_ == nullptr) {
    png_destroy_read_struct(png_ != nullptr ? &png_ : nullptr, nullptr, nullptr);
    throw ViewFileError("libpng has no memory to read it");
  }
  // A constructor that throws runs no destructor: the structures go here.
  try {
    ReadHeader();
  } catch (...) {
    png_destroy_read_struct(&png_, &info_, nullptr);
    throw;
  }
}

void PngViewReader::ReadHeader() {
  png_uint_32 width = 0;
  png_uint_32 height = 0;
  int bitDepth = 0;
  int colourType = 0;
  int interlace = 0;
  Guarded([&] {
    png_set_read_fn(png_, file_, ReadBytes);
    png_set_user_limits(png_, kMaxSide, kMaxSide);
    png_set_chunk_malloc_max(png_, kMaxChunk);
    png_set_chunk_cache_max(png_, kMaxAncillaryChunks);
    png_set_crc_action(png_, PNG_CRC_ERROR_QUIT, PNG_CRC_ERROR_QUIT);
    png_set_benign_errors(png_, 0);
    png_read_info(png_, info_);
    png_get_IHDR(png_, info_, &width, &height, &bitDepth, &colourType, &interlace, nullptr, nullptr);
  });
  width_ = static_cast<int>(width);
  height_ = static_cast<int>(height);
  png_colorp palette = nullptr;
  int entries = 0;
  bool samePalette = false;
  if (colourType == PNG_COLOR_TYPE_PALETTE && png_get_PLTE(png_, info_, &palette, &entries) != 0 &&
      entries == static_cast<int>(Palette16.size())) {
    samePalette = true;
    for (std::size_t i = 0; i < Palette16.size(); ++i) {
      samePalette = samePalette && palette[i].red == Palette16[i].red && palette[i].green == Palette16[i].green &&
                    palette[i].blue == Palette16[i].blue;
    }
  }
  tobriskLayout_ = samePalette && bitDepth == 4 && interlace == PNG_INTERLACE_NONE &&
                   png_get_valid(png_, info_, PNG_INFO_tRNS) == 0;
  (void)Texts();  // a text that cannot be a record's is refused before any row is read
}

PngViewReader::~PngViewReader() { png_destroy_read_struct(&png_, &info_, nullptr); }

std::vector<RecordText> PngViewReader::Texts() const {
  png_textp texts = nullptr;
  int count = 0;
  png_get_text(png_, info_, &texts, &count);
  std::vector<RecordText> result;
  for (int i = 0; i < count; ++i) {
    const png_text& text = texts[i];
    const bool international = text.compression == PNG_ITXT_COMPRESSION_NONE || text.compression == PNG_ITXT_COMPRESSION_zTXt;
    const std::size_t length = international ? text.itxt_length : text.text_length;
    std::string value(text.text != nullptr ? text.text : "", text.text != nullptr ? length : 0);
    if (international && !IsUtf8(value)) {
      throw ViewFileError(std::string("its iTXt chunk \"") + ShownKey(text.key) + "\" holds text that is not UTF-8");
    }
    result.push_back({text.key, std::move(value)});
  }
  return result;
}

void PngViewReader::Begin(Rows rows) {
  int interlace = png_get_interlace_type(png_, info_);
  if (interlace != PNG_INTERLACE_NONE) {
    throw ViewFileError("it is interlaced, which tobrisk-render never writes and cannot compare row by row");
  }
  Guarded([&] {
    if (rows == Rows::AsRgba) {
      png_set_expand(png_);
      png_set_strip_16(png_);
      png_set_gray_to_rgb(png_);
      png_set_add_alpha(png_, 0xFF, PNG_FILLER_AFTER);
    }
    png_read_update_info(png_, info_);
  });
  rowBytes_ = png_get_rowbytes(png_, info_);
}

void PngViewReader::ReadRow(std::span<std::uint8_t> row) {
  if (row.size() != rowBytes_) throw std::logic_error("a row of the wrong size for the PNG");
  Guarded([&] { png_read_row(png_, row.data(), nullptr); });
}

void PngViewReader::Finish() {
  Guarded([&] { png_read_end(png_, info_); });
  if (std::fgetc(file_) != EOF) throw ViewFileError("it goes on after its end chunk");
}

}  // namespace tobrisk
