#include "tools/png/png_rows.h"

#include <array>
#include <cerrno>
#include <cstring>
#include <stdexcept>
#include <utility>

#include <zlib.h>

#include "engine/palette.h"

namespace tobrisk {
namespace {

void PutBigEndian(std::uint8_t* at, std::uint32_t value) {
  for (int i = 0; i < 4; ++i) at[i] = static_cast<std::uint8_t>(value >> (24 - 8 * i));
}

}  // namespace

PngRowWriter::PngRowWriter(std::FILE* stream, std::string name, int width, int height, std::size_t blockBytes)
    : stream_(stream), name_(std::move(name)), width_(width), height_(height),
      filtered_(1 + (static_cast<std::size_t>(width > 0 ? width : 0) + 1) / 2),
      deflate_([this](std::span<const std::uint8_t> piece) { WriteChunk("IDAT", piece); }, blockBytes) {
  if (width <= 0 || height <= 0) throw std::invalid_argument("a PNG needs at least one pixel");
  static constexpr unsigned char kSignature[] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
  WriteBytes(kSignature, sizeof kSignature);
  std::array<std::uint8_t, 13> header{};
  PutBigEndian(&header[0], static_cast<std::uint32_t>(width));
  PutBigEndian(&header[4], static_cast<std::uint32_t>(height));
  header[8] = 4;  // bits per index
  header[9] = 3;  // indexed colour; compression, filtering and interlace stay 0
  WriteChunk("IHDR", header);
  std::array<std::uint8_t, 3 * Palette16.size()> palette{};
  for (std::size_t i = 0; i < Palette16.size(); ++i) {
    palette[3 * i] = Palette16[i].red;
    palette[3 * i + 1] = Palette16[i].green;
    palette[3 * i + 2] = Palette16[i].blue;
  }
  WriteChunk("PLTE", palette);
}

template <class Value, class Entry>
void PngRowWriter::PackRow(std::span<const Value> values, Entry entry) {
  if (static_cast<int>(values.size()) != width_) throw std::logic_error("PNG row of the wrong width");
  if (rowsWritten_ == height_) throw std::logic_error("more PNG rows than the picture has");
  filtered_[0] = 0;
  std::uint8_t* packed = filtered_.data() + 1;
  const std::size_t pairs = values.size() / 2;
  // A loop that vectorises.
  for (std::size_t i = 0; i < pairs; ++i) {
    packed[i] = static_cast<std::uint8_t>((entry(values[2 * i]) << 4) | (entry(values[2 * i + 1]) & 0x0F));
  }
  if (values.size() % 2 != 0) packed[pairs] = static_cast<std::uint8_t>(entry(values.back()) << 4);
  deflate_.Write(filtered_);
  ++rowsWritten_;
}

void PngRowWriter::WriteRow(std::span<const std::uint8_t> indices) {
  PackRow(indices, [](std::uint8_t index) { return index; });
}

void PngRowWriter::WriteCountRow(std::span<const EscapeCount> counts) { PackRow(counts, PaletteEntryOfCount); }

void PngRowWriter::Finish() {
  if (rowsWritten_ != height_) throw std::logic_error("a PNG finished before its last row");
  deflate_.Finish();
  WriteChunk("IEND", {});
}

void PngRowWriter::WriteChunk(std::string_view type, std::span<const std::uint8_t> data) {
  std::array<std::uint8_t, 8> head{};
  PutBigEndian(&head[0], static_cast<std::uint32_t>(data.size()));
  std::memcpy(&head[4], type.data(), 4);
  uLong crc = crc32_z(0, &head[4], 4);
  // (zlib reads no data at a null pointer: it returns the starting value instead.)
  if (!data.empty()) crc = crc32_z(crc, data.data(), data.size());
  std::array<std::uint8_t, 4> tail{};
  PutBigEndian(tail.data(), static_cast<std::uint32_t>(crc));
  WriteBytes(head.data(), head.size());
  WriteBytes(data.data(), data.size());
  WriteBytes(tail.data(), tail.size());
}

void PngRowWriter::WriteBytes(const void* data, std::size_t size) {
  errno = 0;
  if (size > 0 && std::fwrite(data, 1, size, stream_) != size) {
    throw std::runtime_error("cannot write " + name_ + ": " + (errno != 0 ? std::strerror(errno) : "write failed"));
  }
}

}  // namespace tobrisk
