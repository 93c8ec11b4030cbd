#pragma once

// A Qt image read back as an in-memory Picture, to compare what a window shows
// with what the Draw command draws.

#include <QImage>
#include <cstdint>

#include "platform/picture.h"

namespace tobrisk {

inline Picture PictureOf(const QImage& image) {
  Picture picture(image.width(), image.height());
  for (int row = 0; row < image.height(); ++row) {
    for (int col = 0; col < image.width(); ++col) {
      const QRgb rgb = image.pixel(col, row);
      picture.SetPixel(col, row, {static_cast<std::uint8_t>(qRed(rgb)), static_cast<std::uint8_t>(qGreen(rgb)),
                                  static_cast<std::uint8_t>(qBlue(rgb))});
    }
  }
  return picture;
}

}  // namespace tobrisk
