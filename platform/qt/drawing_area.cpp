#include "platform/qt/drawing_area.h"

#include <QPaintEvent>
#include <QPainter>

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

void DrawingArea::Plot(std::int16_t col, std::int16_t row, Colour colour) {
  // A picture box ignores pixels outside itself.
  if (col < 0 || row < 0 || col >= image_.width() || row >= image_.height()) return;
  image_.setPixel(col, row, qRgb(colour.red, colour.green, colour.blue));
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
