#pragma once

// A PNG file read back with libpng as an in-memory Picture, refused when
// libpng finds anything to warn about (a bad checksum, data left over...) or
// when the chunks libpng does not read are wrong.

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <string>
#include <vector>

#include <png.h>
#include <zlib.h>

#include "platform/picture.h"

namespace tobrisk {

// Empty when every chunk's checksum is right and the file ends with IEND;
// else what is wrong. libpng stops reading after the picture's data.
inline std::string ChunkProblem(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  const std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  const auto u32 = [&bytes](std::size_t at) {
    std::uint32_t v = 0;
    for (std::size_t i = 0; i < 4; ++i) v = (v << 8) | static_cast<unsigned char>(bytes[at + i]);
    return v;
  };
  if (bytes.compare(0, 8, std::string("\x89PNG\r\n\x1a\n", 8)) != 0) return "no PNG signature";
  std::size_t at = 8;
  while (at + 12 <= bytes.size()) {
    const std::size_t length = u32(at);
    if (at + 12 + length > bytes.size()) return "a chunk runs past the end";
    const auto* start = reinterpret_cast<const Bytef*>(bytes.data() + at + 4);
    if (crc32(0, start, static_cast<uInt>(length + 4)) != u32(at + 8 + length)) {
      return "bad checksum in " + bytes.substr(at + 4, 4);
    }
    const bool end = bytes.compare(at + 4, 4, "IEND") == 0;
    at += 12 + length;
    if (end) return at == bytes.size() ? "" : "bytes after IEND";
  }
  return "no IEND";
}

inline std::optional<Picture> ReadPng(const std::filesystem::path& path, std::string* problem = nullptr) {
  png_image image{};
  image.version = PNG_IMAGE_VERSION;
  const auto refuse = [&image, problem]() -> std::optional<Picture> {
    if (problem != nullptr) *problem = image.message;
    png_image_free(&image);
    return std::nullopt;
  };
  if (std::string chunks = ChunkProblem(path); !chunks.empty()) {
    if (problem != nullptr) *problem = chunks;
    return std::nullopt;
  }
  if (png_image_begin_read_from_file(&image, path.string().c_str()) == 0) return refuse();
  image.format = PNG_FORMAT_RGB;
  std::vector<unsigned char> pixels(PNG_IMAGE_SIZE(image));
  if (png_image_finish_read(&image, nullptr, pixels.data(), 0, nullptr) == 0) return refuse();
  if (image.warning_or_error != 0) return refuse();
  Picture picture(static_cast<int>(image.width), static_cast<int>(image.height));
  for (std::size_t i = 0; i < pixels.size() / 3; ++i) {
    picture.SetPixel(static_cast<int>(i % image.width), static_cast<int>(i / image.width),
                     Colour{pixels[3 * i], pixels[3 * i + 1], pixels[3 * i + 2]});
  }
  return picture;
}

}  // namespace tobrisk
