#include "dist/windows/icon_file.h"

#include <png.h>

#include <cstdint>
#include <stdexcept>
#include <vector>

namespace tobrisk {
namespace {

static_assert(sizeof(IconPixel) == 4, "an icon's pixels are the RGBA bytes libpng reads");

std::string PngBytes(const IconPicture& picture) {
  png_image image{};
  image.version = PNG_IMAGE_VERSION;
  image.width = static_cast<png_uint_32>(picture.side);
  image.height = static_cast<png_uint_32>(picture.side);
  image.format = PNG_FORMAT_RGBA;
  png_alloc_size_t size = 0;
  if (png_image_write_to_memory(&image, nullptr, &size, 0, picture.pixels.data(), 0, nullptr) == 0) {
    throw std::runtime_error(image.message);
  }
  std::string png(size, '\0');
  if (png_image_write_to_memory(&image, png.data(), &size, 0, picture.pixels.data(), 0, nullptr) == 0) {
    throw std::runtime_error(image.message);
  }
  png.resize(size);
  return png;
}

void Append16(std::string& bytes, unsigned value) {
  bytes += static_cast<char>(value & 0xFFU);
  bytes += static_cast<char>((value >> 8U) & 0xFFU);
}

void Append32(std::string& bytes, std::size_t value) {
  Append16(bytes, static_cast<unsigned>(value & 0xFFFFU));
  Append16(bytes, static_cast<unsigned>((value >> 16U) & 0xFFFFU));
}

}  // namespace

std::string IconFileBytes(std::span<const IconPicture> pictures) {
  constexpr std::size_t kHeader = 6;
  constexpr std::size_t kEntry = 16;
  std::vector<std::string> images;
  for (const IconPicture& picture : pictures) {
    if (picture.side < 1 || picture.side > 256) throw std::invalid_argument("an icon is 1 to 256 pixels a side");
    images.push_back(PngBytes(picture));
  }
  std::string bytes;
  Append16(bytes, 0);  // reserved
  Append16(bytes, 1);  // an icon, not a cursor
  Append16(bytes, static_cast<unsigned>(images.size()));
  std::size_t offset = kHeader + kEntry * images.size();
  for (std::size_t i = 0; i < images.size(); ++i) {
    const auto side = static_cast<unsigned>(pictures[i].side % 256);  // 256 is written as 0
    bytes += static_cast<char>(side);
    bytes += static_cast<char>(side);
    bytes += '\0';       // no palette
    bytes += '\0';       // reserved
    Append16(bytes, 1);   // colour planes
    Append16(bytes, 32);  // bits per pixel
    Append32(bytes, images[i].size());
    Append32(bytes, offset);
    offset += images[i].size();
  }
  for (const std::string& image : images) bytes += image;
  return bytes;
}

}  // namespace tobrisk
