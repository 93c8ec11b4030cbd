#pragma once

// What a window shows on the screen, read back from its device context as a
// person would see it, as an in-memory Picture.

#include <windows.h>

#include <cstdint>

#include "platform/picture.h"

namespace tobrisk::test {

inline Picture CopyPixels(HDC source, int width, int height) {
  BITMAPINFO info{};
  info.bmiHeader.biSize = sizeof info.bmiHeader;
  info.bmiHeader.biWidth = width;
  info.bmiHeader.biHeight = -height;
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  info.bmiHeader.biCompression = BI_RGB;
  void* bits = nullptr;
  const HBITMAP bitmap = CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
  const HDC memory = CreateCompatibleDC(source);
  const HGDIOBJ before = SelectObject(memory, bitmap);
  BitBlt(memory, 0, 0, width, height, source, 0, 0, SRCCOPY);
  GdiFlush();
  Picture picture(width, height);
  const auto* pixels = static_cast<const std::uint32_t*>(bits);
  for (int row = 0; row < height; ++row) {
    for (int col = 0; col < width; ++col) {
      const std::uint32_t pixel = pixels[row * width + col];
      picture.SetPixel(col, row, {static_cast<std::uint8_t>(pixel >> 16U), static_cast<std::uint8_t>(pixel >> 8U),
                                  static_cast<std::uint8_t>(pixel)});
    }
  }
  SelectObject(memory, before);
  DeleteDC(memory);
  DeleteObject(bitmap);
  return picture;
}

// The client area, once every pending repaint is done.
inline Picture ClientPixels(HWND window) {
  UpdateWindow(window);
  RECT client{};
  GetClientRect(window, &client);
  const HDC dc = GetDC(window);
  Picture picture = CopyPixels(dc, client.right, client.bottom);
  ReleaseDC(window, dc);
  return picture;
}

// The whole window, its border included.
inline Picture WindowPixels(HWND window) {
  RedrawWindow(window, nullptr, nullptr, RDW_FRAME | RDW_INVALIDATE | RDW_UPDATENOW);
  RECT outer{};
  GetWindowRect(window, &outer);
  const HDC dc = GetWindowDC(window);
  Picture picture = CopyPixels(dc, outer.right - outer.left, outer.bottom - outer.top);
  ReleaseDC(window, dc);
  return picture;
}

inline Colour SystemColour(int index) {
  const COLORREF colour = GetSysColor(index);
  return {GetRValue(colour), GetGValue(colour), GetBValue(colour)};
}

}  // namespace tobrisk::test
