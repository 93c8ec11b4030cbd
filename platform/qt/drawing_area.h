#pragma once

#include <QFrame>
#include <QImage>

#include "engine/plot_surface.h"

namespace tobrisk {

// A picture box: a fixed-size image inside a sunken border. It can hold the
// focus but answers no key or mouse. Plotted pixels show at the next repaint and
// survive the window being covered.
class DrawingArea final : public QFrame, public PlotSurface {
  Q_OBJECT

 public:
  // `inner` is the image's size; the border comes on top of it.
  DrawingArea(QSize inner, int borderWidth, QWidget* parent);

  [[nodiscard]] float Width() const override;
  [[nodiscard]] float Height() const override;
  void Plot(std::int16_t col, std::int16_t row, EscapeCount n, Colour colour) override;
  // A row of counts at once, straight into the image's scan line.
  void PlotRow(std::int16_t row, std::span<const EscapeCount> counts) override;

  [[nodiscard]] const QImage& Image() const { return image_; }

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  void RequestRepaint();

  QImage image_;
  bool repaintPending_ = false;
};

}  // namespace tobrisk
