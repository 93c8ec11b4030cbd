#include "platform/win32/drawing_area.h"

#include <algorithm>
#include <array>
#include <cstddef>
#include <stdexcept>

namespace tobrisk {
namespace {

constexpr wchar_t kClassName[] = L"Tobrisk.DrawingArea";

std::uint32_t DibPixel(std::uint8_t red, std::uint8_t green, std::uint8_t blue) {
  return (std::uint32_t{red} << 16U) | (std::uint32_t{green} << 8U) | blue;
}

void RegisterClassOnce(WNDPROC procedure) {
  static const bool registered = [procedure] {
    WNDCLASSEXW windowClass{};
    windowClass.cbSize = sizeof windowClass;
    windowClass.lpfnWndProc = procedure;
    windowClass.hInstance = GetModuleHandleW(nullptr);
    windowClass.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    windowClass.lpszClassName = kClassName;
    return RegisterClassExW(&windowClass) != 0;
  }();
  if (!registered) throw std::runtime_error("cannot register the drawing area's window class");
}

}  // namespace

DrawingArea::DrawingArea(HWND parent, const Rect& outer, int id)
    : width_(outer.width - 2 * kDrawingAreaBorderPixels), height_(outer.height - 2 * kDrawingAreaBorderPixels) {
  RegisterClassOnce(&Procedure);
  BITMAPINFO info{};
  info.bmiHeader.biSize = sizeof info.bmiHeader;
  info.bmiHeader.biWidth = width_;
  info.bmiHeader.biHeight = -height_;  // rows from the top, as the render pass plots them
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  info.bmiHeader.biCompression = BI_RGB;
  void* bits = nullptr;
  bitmap_ = CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
  memory_ = CreateCompatibleDC(nullptr);
  if (bitmap_ == nullptr || memory_ == nullptr) {
    if (bitmap_ != nullptr) DeleteObject(bitmap_);
    if (memory_ != nullptr) DeleteDC(memory_);
    throw std::runtime_error("cannot make the drawing area's picture");
  }
  bits_ = static_cast<std::uint32_t*>(bits);
  bitmapBefore_ = SelectObject(memory_, bitmap_);
  // Empty at start: the background of the window, as a picture box has.
  const COLORREF face = GetSysColor(COLOR_BTNFACE);
  std::fill_n(bits_, static_cast<std::size_t>(width_) * static_cast<std::size_t>(height_),
              DibPixel(GetRValue(face), GetGValue(face), GetBValue(face)));

  // WS_EX_CLIENTEDGE is the system's sunken edge, two pixels wide.
  window_ = CreateWindowExW(WS_EX_CLIENTEDGE, kClassName, L"", WS_CHILD | WS_VISIBLE | WS_TABSTOP | WS_GROUP,
                            outer.left, outer.top, outer.width, outer.height, parent,
                            reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), GetModuleHandleW(nullptr), this);
  if (window_ == nullptr) {
    SelectObject(memory_, bitmapBefore_);
    DeleteDC(memory_);
    DeleteObject(bitmap_);
    throw std::runtime_error("cannot create the drawing area");
  }
}

DrawingArea::~DrawingArea() {
  if (window_ != nullptr) {
    SetWindowLongPtrW(window_, GWLP_USERDATA, 0);
    DestroyWindow(window_);
  }
  SelectObject(memory_, bitmapBefore_);
  DeleteDC(memory_);
  DeleteObject(bitmap_);
}

void DrawingArea::Plot(std::int16_t col, std::int16_t row, EscapeCount /*n*/, Colour colour) {
  // A picture box ignores pixels outside itself.
  if (col < 0 || row < 0 || col >= width_ || row >= height_) return;
  Row(row)[col] = DibPixel(colour.red, colour.green, colour.blue);
  RequestRepaint();
}

void DrawingArea::PlotRow(std::int16_t row, std::span<const EscapeCount> counts) {
  // A picture box ignores pixels outside itself.
  if (row < 0 || row >= height_) return;
  const std::size_t cols = std::min(counts.size(), static_cast<std::size_t>(width_));
  if (cols == 0) return;
  // The pixels as the DIB stores them, by palette entry, so a row is one table look-up per pixel.
  static const std::array<std::uint32_t, Palette16.size()> kPixels = [] {
    std::array<std::uint32_t, Palette16.size()> pixels{};
    for (std::size_t i = 0; i < pixels.size(); ++i) pixels[i] = DibPixel(Palette16[i].red, Palette16[i].green, Palette16[i].blue);
    return pixels;
  }();
  std::uint32_t* line = Row(row);
  for (std::size_t col = 0; col < cols; ++col) line[col] = kPixels[PaletteEntryOfCount(counts[col])];
  RequestRepaint();
}

void DrawingArea::RequestRepaint() {
  // Nothing repaints before the handler returns to the event loop, so one
  // request per pass is enough; asking again for each of 64000 pixels costs more than the pixels.
  if (!repaintPending_) {
    repaintPending_ = true;
    InvalidateRect(window_, nullptr, FALSE);
  }
}

void DrawingArea::Paint() {
  repaintPending_ = false;
  PAINTSTRUCT paint;
  const HDC dc = BeginPaint(window_, &paint);
  BitBlt(dc, 0, 0, width_, height_, memory_, 0, 0, SRCCOPY);
  EndPaint(window_, &paint);
}

LRESULT CALLBACK DrawingArea::Procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_NCCREATE) {
    const auto* create = reinterpret_cast<const CREATESTRUCTW*>(lParam);
    auto* area = static_cast<DrawingArea*>(create->lpCreateParams);
    area->window_ = window;
    SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(area));
  }
  auto* area = reinterpret_cast<DrawingArea*>(GetWindowLongPtrW(window, GWLP_USERDATA));
  if (area != nullptr) {
    switch (message) {
      case WM_PAINT: area->Paint(); return 0;
      // Like a picture box, it takes the focus when clicked, and nothing else happens.
      case WM_LBUTTONDOWN: SetFocus(window); return 0;
      case WM_NCDESTROY:
        area->window_ = nullptr;
        SetWindowLongPtrW(window, GWLP_USERDATA, 0);
        break;
      default: break;
    }
  }
  return DefWindowProcW(window, message, wParam, lParam);
}

}  // namespace tobrisk
