#include "platform/qt/drawing_area.h"

#include <QPaintEvent>
#include <QPainter>

#include <algorithm>
#include <array>
#include <cstddef>

namespace tobrisk {

DrawingArea::DrawingArea(QSize inner, int borderWidth, QWidget* parent)
    : QFrame(parent), image_(inner, QImage::Format_RGB32) {
  setFrameStyle(QFrame::Panel | QFrame::Sunken);
  setLineWidth(borderWidth);
  setFocusPolicy(Qt::StrongFocus);
  // Empty at start: the background of the window, as a picture box has.
  image_.fill(palette().color(QPalette::Window));
}

float DrawingArea::Width() const { return static_cast<float>(image_.width()); }

float DrawingArea::Height() const { return static_cast<float>(image_.height()); }

void DrawingArea::Plot(std::int16_t col, std::int16_t row, EscapeCount /*n*/, Colour colour) {
  // A picture box ignores pixels outside itself.
  if (col < 0 || row < 0 || col >= image_.width() || row >= image_.height()) return;
  image_.setPixel(col, row, qRgb(colour.red, colour.green, colour.blue));
  RequestRepaint();
}

void DrawingArea::PlotRow(std::int16_t row, std::span<const EscapeCount> counts) {
  // A picture box ignores pixels outside itself.
  if (row < 0 || row >= image_.height()) return;
  const std::size_t cols = std::min(counts.size(), static_cast<std::size_t>(image_.width()));
  if (cols == 0) return;
  // The pixels as the image stores them (0xffRRGGBB), by palette entry, so a
  // row is one table look-up per pixel.
  static const std::array<QRgb, Palette16.size()> kPixels = [] {
    std::array<QRgb, Palette16.size()> pixels{};
    for (std::size_t i = 0; i < pixels.size(); ++i) pixels[i] = qRgb(Palette16[i].red, Palette16[i].green, Palette16[i].blue);
    return pixels;
  }();
  auto* line = reinterpret_cast<QRgb*>(image_.scanLine(row));
  for (std::size_t col = 0; col < cols; ++col) line[col] = kPixels[PaletteEntryOfCount(counts[col])];
  RequestRepaint();
}

void DrawingArea::RequestRepaint() {
  // Nothing repaints before the handler returns to the event loop, so one
  // request per pass is enough; asking again for each of 64000 pixels costs more than the pixels.
  if (!repaintPending_) {
    repaintPending_ = true;
    update(contentsRect());
  }
}

void DrawingArea::paintEvent(QPaintEvent* event) {
  repaintPending_ = false;
  QFrame::paintEvent(event);
  QPainter painter(this);
  painter.drawImage(contentsRect().topLeft(), image_);
}

}  // namespace tobrisk
