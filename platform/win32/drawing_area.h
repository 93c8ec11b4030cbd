#pragma once

#include <windows.h>

#include <cstdint>
#include <span>

#include "engine/plot_surface.h"
#include "ui/form_description.h"

namespace tobrisk {

// A picture box on Win32: a child window whose client area shows a DIB
// section of the picture's size, inside the system's 2-pixel sunken edge. It
// can hold the focus but answers no key or mouse. Plotted pixels show at the
// next repaint and survive the window being covered.
class DrawingArea final : public PlotSurface {
 public:
  // `outer` is the window's place on `parent`, border included; the picture is `outer` less the border.
  DrawingArea(HWND parent, const Rect& outer, int id);
  DrawingArea(const DrawingArea&) = delete;
  DrawingArea& operator=(const DrawingArea&) = delete;
  ~DrawingArea() override;

  [[nodiscard]] HWND Window() const { return window_; }

  [[nodiscard]] float Width() const override { return static_cast<float>(width_); }
  [[nodiscard]] float Height() const override { return static_cast<float>(height_); }
  void Plot(std::int16_t col, std::int16_t row, EscapeCount n, Colour colour) override;
  // A row of counts at once, straight into the DIB's row.
  void PlotRow(std::int16_t row, std::span<const EscapeCount> counts) override;

 private:
  static LRESULT CALLBACK Procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
  void Paint();
  void RequestRepaint();
  [[nodiscard]] std::uint32_t* Row(int row) const { return bits_ + static_cast<std::ptrdiff_t>(row) * width_; }

  HWND window_ = nullptr;
  int width_;
  int height_;
  HDC memory_ = nullptr;
  HBITMAP bitmap_ = nullptr;
  HGDIOBJ bitmapBefore_ = nullptr;
  std::uint32_t* bits_ = nullptr;  // top-down rows of 0x00RRGGBB, the DIB's memory
  bool repaintPending_ = false;
};

}  // namespace tobrisk
