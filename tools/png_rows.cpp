#include "tools/png_rows.h"

#include <cerrno>
#include <csetjmp>
#include <cstring>
#include <stdexcept>
#include <utility>

#include <zlib.h>  // the compression strategy

#include "engine/palette.h"

namespace tobrisk {
namespace {

// libpng reports errors by longjmp; the message is kept for the exception
// thrown once control is back in a frame without live C++ objects in between.
void KeepError(png_structp png, png_const_charp message) {
  auto* error = static_cast<std::string*>(png_get_error_ptr(png));
  *error = message;
  png_longjmp(png, 1);
}

void IgnoreWarning(png_structp, png_const_charp) {}

// libpng's own writer says only "Write Error"; this one says why.
void WriteToStream(png_structp png, png_bytep data, png_size_t length) {
  auto* stream = static_cast<std::FILE*>(png_get_io_ptr(png));
  errno = 0;
  if (std::fwrite(data, 1, length, stream) != length) png_error(png, errno != 0 ? std::strerror(errno) : "write failed");
}

void FlushStream(png_structp png) { std::fflush(static_cast<std::FILE*>(png_get_io_ptr(png))); }

}  // namespace

PngRowWriter::PngRowWriter(std::FILE* stream, std::string name, int width, int height)
    : name_(std::move(name)), width_(width) {
  png_ = png_create_write_struct(PNG_LIBPNG_VER_STRING, &error_, KeepError, IgnoreWarning);
  if (png_ != nullptr) info_ = png_create_info_struct(png_);
  if (png_ == nullptr || info_ == nullptr) {
    png_destroy_write_struct(&png_, &info_);
    throw std::runtime_error("cannot start the PNG encoder");
  }
  if (setjmp(png_jmpbuf(png_)) != 0) {
    png_destroy_write_struct(&png_, &info_);
    throw std::runtime_error("cannot write " + name_ + ": " + error_);
  }
  png_set_write_fn(png_, stream, WriteToStream, FlushStream);
  png_set_IHDR(png_, info_, static_cast<png_uint_32>(width), static_cast<png_uint_32>(height), 4,
               PNG_COLOR_TYPE_PALETTE, PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
  png_color palette[Palette16.size()];
  for (std::size_t i = 0; i < Palette16.size(); ++i) {
    palette[i] = png_color{Palette16[i].red, Palette16[i].green, Palette16[i].blue};
  }
  png_set_PLTE(png_, info_, palette, static_cast<int>(Palette16.size()));
  // Palette pictures compress best unfiltered.
  png_set_filter(png_, PNG_FILTER_TYPE_BASE, PNG_FILTER_NONE);
  // Escape-time pictures are long runs of one index: run-length matching
  // finds nearly all there is to find, in a fraction of the default's time,
  // which matters when the PNG is written while later rows are computed.
  png_set_compression_strategy(png_, Z_RLE);
  png_set_compression_level(png_, 1);
  png_write_info(png_, info_);
  packed_.resize((static_cast<std::size_t>(width) + 1) / 2);
}

PngRowWriter::~PngRowWriter() { png_destroy_write_struct(&png_, &info_); }

void PngRowWriter::WriteRow(std::span<const std::uint8_t> indices) {
  if (static_cast<int>(indices.size()) != width_) throw std::logic_error("PNG row of the wrong width");
  // Two indices per byte, the left one in the high half; a loop the compiler
  // vectorises, where libpng's own packing goes byte by byte.
  const std::size_t pairs = indices.size() / 2;
  for (std::size_t i = 0; i < pairs; ++i) {
    packed_[i] = static_cast<std::uint8_t>((indices[2 * i] << 4) | (indices[2 * i + 1] & 0x0F));
  }
  if (indices.size() % 2 != 0) packed_[pairs] = static_cast<std::uint8_t>(indices.back() << 4);
  if (setjmp(png_jmpbuf(png_)) != 0) throw std::runtime_error("cannot write " + name_ + ": " + error_);
  png_write_row(png_, packed_.data());
}

void PngRowWriter::Finish() {
  if (setjmp(png_jmpbuf(png_)) != 0) throw std::runtime_error("cannot write " + name_ + ": " + error_);
  png_write_end(png_, nullptr);
}

}  // namespace tobrisk
