#pragma once

// A PNG file taken apart into its chunks and put together again, so that
// tests can build hostile files from real ones: chunks dropped, doubled,
// altered, given wrong checksums or lengths.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include <zlib.h>

namespace tobrisk::test {

inline const std::string kPngSignature("\x89PNG\r\n\x1a\n", 8);

struct PngChunk {
  std::string type;
  std::string data;
};

inline std::string BigEndian32(std::uint32_t value) {
  std::string bytes(4, '\0');
  for (int i = 0; i < 4; ++i) bytes[static_cast<std::size_t>(i)] = static_cast<char>(value >> (24 - 8 * i));
  return bytes;
}

inline std::uint32_t ChunkCrc(const PngChunk& chunk) {
  const std::string typed = chunk.type + chunk.data;
  return static_cast<std::uint32_t>(crc32(0, reinterpret_cast<const Bytef*>(typed.data()), static_cast<uInt>(typed.size())));
}

// One chunk as stored: length, type, data and its checksum.
inline std::string ChunkBytes(const PngChunk& chunk) {
  return BigEndian32(static_cast<std::uint32_t>(chunk.data.size())) + chunk.type + chunk.data +
         BigEndian32(ChunkCrc(chunk));
}

// The chunks of a well-formed file, in order; empty when it is not one.
inline std::vector<PngChunk> SplitPng(const std::string& bytes) {
  std::vector<PngChunk> chunks;
  if (bytes.compare(0, 8, kPngSignature) != 0) return {};
  for (std::size_t at = 8; at + 12 <= bytes.size();) {
    std::uint32_t length = 0;
    for (std::size_t i = 0; i < 4; ++i) length = (length << 8) | static_cast<unsigned char>(bytes[at + i]);
    if (at + 12 + length > bytes.size()) return {};
    chunks.push_back({bytes.substr(at + 4, 4), bytes.substr(at + 8, length)});
    at += 12 + length;
  }
  return chunks;
}

inline std::string JoinPng(const std::vector<PngChunk>& chunks) {
  std::string bytes = kPngSignature;
  for (const PngChunk& chunk : chunks) bytes += ChunkBytes(chunk);
  return bytes;
}

inline PngChunk TextChunk(std::string_view key, std::string_view value) {
  std::string data(key);
  data += '\0';
  data += value;
  return {"tEXt", data};
}

// An uncompressed iTXt chunk with no language tag or translated keyword.
inline PngChunk InternationalTextChunk(std::string_view key, std::string_view value) {
  std::string data(key);
  data += std::string("\0\0\0\0\0", 5);  // NUL, not compressed, method 0, empty language, empty translation
  data += value;
  return {"iTXt", data};
}

// The filtered rows a file's IDAT chunks hold, inflated; empty on any error.
inline std::string PixelData(const std::vector<PngChunk>& chunks) {
  std::string deflated;
  for (const PngChunk& chunk : chunks) {
    if (chunk.type == "IDAT") deflated += chunk.data;
  }
  std::string rows(1 << 16, '\0');
  for (;;) {
    uLongf size = rows.size();
    const int result = uncompress(reinterpret_cast<Bytef*>(rows.data()), &size,
                                  reinterpret_cast<const Bytef*>(deflated.data()), deflated.size());
    if (result == Z_OK) return rows.substr(0, size);
    if (result != Z_BUF_ERROR) return {};
    rows.resize(rows.size() * 4);
  }
}

// The chunks with their IDAT chunks replaced by one holding `rows` deflated.
inline std::vector<PngChunk> WithPixelData(const std::vector<PngChunk>& chunks, const std::string& rows) {
  std::string deflated(compressBound(rows.size()), '\0');
  uLongf size = deflated.size();
  compress(reinterpret_cast<Bytef*>(deflated.data()), &size, reinterpret_cast<const Bytef*>(rows.data()), rows.size());
  deflated.resize(size);
  std::vector<PngChunk> result;
  for (const PngChunk& chunk : chunks) {
    if (chunk.type != "IDAT") result.push_back(chunk);
    else if (result.back().type != "IDAT") result.push_back({"IDAT", deflated});
  }
  return result;
}

}  // namespace tobrisk::test
