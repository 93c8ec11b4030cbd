// SPDX-License-Identifier: MIT
// Writes Tobrisk's icon at one size as a PNG file, for the desktop's icon theme.
#include <cstdio>
#include <cstdlib>
#include <string>

#include <QImage>
#include <QString>

#include "platform/qt/app_icon.h"

int main(int argc, char* argv[]) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: %s SIZE FILE.png\n", argv[0]);
    return 2;
  }
  const int size = std::atoi(argv[1]);
  if (size < 1 || size > 1024) {
    std::fprintf(stderr, "%s: the size must lie between 1 and 1024\n", argv[0]);
    return 2;
  }
  if (!tobrisk::RenderAppIcon(size).save(QString::fromLocal8Bit(argv[2]), "PNG")) {
    std::fprintf(stderr, "%s: cannot write %s\n", argv[0], argv[2]);
    return 1;
  }
  return 0;
}
