#include "platform/qt/app_icon.h"

#include "ui/app_icon.h"

namespace tobrisk {

QImage RenderAppIcon(int size) {
  const IconPicture picture = DrawAppIcon(size);
  QImage icon(size, size, QImage::Format_ARGB32);
  for (int row = 0; row < size; ++row) {
    for (int col = 0; col < size; ++col) {
      const IconPixel& p = picture.At(col, row);
      icon.setPixel(col, row, qRgba(p.red, p.green, p.blue, p.alpha));
    }
  }
  return icon;
}

QIcon AppIcon() {
  QIcon icon;
  for (const int size : {16, 24, 32, 48, 64}) icon.addPixmap(QPixmap::fromImage(RenderAppIcon(size)));
  return icon;
}

}  // namespace tobrisk
