#include "tools/png/png_rows.h"

#include <array>
#include <cerrno>
#include <cstring>
#include <stdexcept>
#include <utility>
#include <variant>

#include <zlib.h>

#include "engine/palette.h"

namespace tobrisk {
namespace {

void PutBigEndian(std::uint8_t* at, std::uint32_t value) {
  for (int i = 0; i < 4; ++i) at[i] = static_cast<std::uint8_t>(value >> (24 - 8 * i));
}

template <class... Ts>
struct Overloaded : Ts... {
  using Ts::operator()...;
};
template <class... Ts>
Overloaded(Ts...) -> Overloaded<Ts...>;  // clang 14 does not deduce an aggregate's arguments

std::span<const Colour> PaletteOf(const PictureColours& colours) {
  return std::visit(Overloaded{[](const WindowColours&) { return std::span<const Colour>(Palette16); },
                               [](const IndexedColours& indexed) { return std::span<const Colour>(indexed.palette); },
                               [](const TrueColours&) { return std::span<const Colour>(); }},
                    colours);
}

std::size_t RowBytes(std::size_t width, const PictureColours& colours, int bitsPerEntry) {
  if (std::holds_alternative<TrueColours>(colours)) return 3 * width;
  return bitsPerEntry == 4 ? (width + 1) / 2 : width;
}

}  // namespace

PngRowWriter::PngRowWriter(std::FILE* stream, std::string name, int width, int height, PictureColours colours,
                           PngDeflate deflate, std::span<const RecordText> texts)
    : PngRowWriter(std::variant<std::FILE*, std::string*>(stream), std::move(name), width, height, std::move(colours),
                   deflate, texts) {}

PngRowWriter::PngRowWriter(std::string& memory, std::string name, int width, int height, PictureColours colours,
                           PngDeflate deflate, std::span<const RecordText> texts)
    : PngRowWriter(std::variant<std::FILE*, std::string*>(&memory), std::move(name), width, height, std::move(colours),
                   deflate, texts) {}

PngRowWriter::PngRowWriter(std::variant<std::FILE*, std::string*> out, std::string name, int width, int height,
                           PictureColours colours, PngDeflate deflate, std::span<const RecordText> texts)
    : out_(out), name_(std::move(name)), width_(width), height_(height), colours_(std::move(colours)),
      bitsPerEntry_(PaletteOf(colours_).size() <= 16 ? 4 : 8),
      filtered_(1 + RowBytes(static_cast<std::size_t>(width > 0 ? width : 0), colours_, bitsPerEntry_)),
      deflate_([this](std::span<const std::uint8_t> piece) { WriteChunk("IDAT", piece); }, deflate.blockBytes,
               deflate.threads) {
  if (width <= 0 || height <= 0) throw std::invalid_argument("a PNG needs at least one pixel");
  const std::span<const Colour> palette = PaletteOf(colours_);
  if (palette.size() > 256) throw std::invalid_argument("a PNG palette holds at most 256 colours");
  static constexpr unsigned char kSignature[] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
  WriteBytes(kSignature, sizeof kSignature);
  std::array<std::uint8_t, 13> header{};
  PutBigEndian(&header[0], static_cast<std::uint32_t>(width));
  PutBigEndian(&header[4], static_cast<std::uint32_t>(height));
  const bool indexed = !palette.empty();
  header[8] = static_cast<std::uint8_t>(indexed ? bitsPerEntry_ : 8);  // bits per index or per channel
  header[9] = indexed ? 3 : 2;  // indexed colour or RGB; compression, filtering and interlace stay 0
  WriteChunk("IHDR", header);
  for (const RecordText& text : texts) {
    std::vector<std::uint8_t> chunk(text.key.begin(), text.key.end());
    chunk.push_back(0);  // a keyword ends at a NUL; the text runs to the chunk's end
    chunk.insert(chunk.end(), text.value.begin(), text.value.end());
    WriteChunk("tEXt", chunk);
  }
  if (!indexed) return;
  std::vector<std::uint8_t> entries(3 * palette.size());
  for (std::size_t i = 0; i < palette.size(); ++i) {
    entries[3 * i] = palette[i].red;
    entries[3 * i + 1] = palette[i].green;
    entries[3 * i + 2] = palette[i].blue;
  }
  WriteChunk("PLTE", entries);
}

void PngRowWriter::StartRow(std::size_t width) {
  if (width != static_cast<std::size_t>(width_)) throw std::logic_error("PNG row of the wrong width");
  if (rowsWritten_ == height_) throw std::logic_error("more PNG rows than the picture has");
  filtered_[0] = 0;
}

void PngRowWriter::EndRow() {
  deflate_.Write(filtered_);
  ++rowsWritten_;
}

template <class Value, class Entry>
void PngRowWriter::PackRow(std::span<const Value> values, Entry entry) {
  StartRow(values.size());
  std::uint8_t* packed = filtered_.data() + 1;
  // Loops that vectorise.
  if (bitsPerEntry_ == 8) {
    for (std::size_t i = 0; i < values.size(); ++i) packed[i] = static_cast<std::uint8_t>(entry(values[i]));
  } else {
    const std::size_t pairs = values.size() / 2;
    for (std::size_t i = 0; i < pairs; ++i) {
      packed[i] = static_cast<std::uint8_t>((entry(values[2 * i]) << 4) | (entry(values[2 * i + 1]) & 0x0F));
    }
    if (values.size() % 2 != 0) packed[pairs] = static_cast<std::uint8_t>(entry(values.back()) << 4);
  }
  EndRow();
}

void PngRowWriter::PackColourRow(std::span<const EscapeCount> counts, const TrueColours& colours) {
  StartRow(counts.size());
  std::uint8_t* packed = filtered_.data() + 1;
  for (const EscapeCount n : counts) {
    const Colour colour = colours.colourOfCount[CountTableIndex(n)];
    *packed++ = colour.red;
    *packed++ = colour.green;
    *packed++ = colour.blue;
  }
  EndRow();
}

void PngRowWriter::WriteRow(std::span<const std::uint8_t> indices) {
  if (std::holds_alternative<TrueColours>(colours_)) throw std::logic_error("palette indices for an RGB picture");
  PackRow(indices, [](std::uint8_t index) { return index; });
}

void PngRowWriter::WriteCountRow(std::span<const EscapeCount> counts) {
  std::visit(Overloaded{[&](const WindowColours&) { PackRow(counts, PaletteEntryOfCount); },
                        [&](const IndexedColours& indexed) {
                          const std::uint8_t* table = indexed.entryOfCount.data();
                          PackRow(counts, [table](EscapeCount n) { return table[CountTableIndex(n)]; });
                        },
                        [&](const TrueColours& colours) { PackColourRow(counts, colours); }},
             colours_);
}

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
  if (std::string* const* memory = std::get_if<std::string*>(&out_)) {
    (*memory)->append(static_cast<const char*>(data), size);
    return;
  }
  errno = 0;
  if (size > 0 && std::fwrite(data, 1, size, std::get<std::FILE*>(out_)) != size) {
    throw std::runtime_error("cannot write " + name_ + ": " + (errno != 0 ? std::strerror(errno) : "write failed"));
  }
}

}  // namespace tobrisk
