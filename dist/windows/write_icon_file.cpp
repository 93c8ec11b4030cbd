// SPDX-License-Identifier: MIT
// Writes Tobrisk's icon as a Windows icon file in the sizes Windows asks for,
// for the program's resources.
#include <array>
#include <cstdio>
#include <exception>
#include <fstream>
#include <string>
#include <vector>

#include "dist/windows/icon_file.h"

int main(int argc, char* argv[]) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: %s FILE.ico\n", argv[0]);
    return 2;
  }
  // Small icons for title bars and lists, 32 and 48 for the desktop, 256 for large views.
  constexpr std::array<int, 5> kSizes{16, 24, 32, 48, 256};
  try {
    std::vector<tobrisk::IconPicture> pictures;
    for (const int size : kSizes) pictures.push_back(tobrisk::DrawAppIcon(size));
    const std::string bytes = tobrisk::IconFileBytes(pictures);
    std::ofstream file(argv[1], std::ios::binary | std::ios::trunc);
    file.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    file.close();
    if (!file) {
      std::fprintf(stderr, "%s: cannot write %s\n", argv[0], argv[1]);
      return 1;
    }
  } catch (const std::exception& error) {
    std::fprintf(stderr, "%s: %s\n", argv[0], error.what());
    return 1;
  }
  return 0;
}
