#include "platform/qt/app_icon.h"

#include <cstdint>
#include <vector>

#include <QColor>

#include "engine/fractal.h"

namespace tobrisk {
namespace {

// The whole set, a little off centre so that the bulb and the cardioid fill the square.
constexpr float kCentreX = -0.62F;
constexpr float kHalfSide = 1.38F;
// With 29 iterations a point that never escapes has count 30 and so palette entry 1, the dark blue.
constexpr std::int16_t kIterations = 29;
// Points that leave the disc this early are ground, not picture; it rounds the icon's outline.
constexpr EscapeCount kGround = 2;
// Each icon pixel averages this many samples per side, so small sizes stay smooth.
constexpr int kSamples = 4;

// Keeps what the pass reports for every sample: its colour, and whether it is ground.
class SampleSurface final : public PlotSurface {
 public:
  explicit SampleSurface(int side) : side_(side), samples_(static_cast<std::size_t>(side) * side) {}

  [[nodiscard]] float Width() const override { return static_cast<float>(side_); }
  [[nodiscard]] float Height() const override { return static_cast<float>(side_); }
  void Plot(std::int16_t col, std::int16_t row, EscapeCount n, Colour colour) override {
    Slot(col, row) = {colour, n <= kGround};
  }

  struct Sample {
    Colour colour;
    bool ground = true;
  };
  [[nodiscard]] const Sample& At(int col, int row) const {
    return samples_[static_cast<std::size_t>(row) * side_ + col];
  }

 private:
  Sample& Slot(int col, int row) { return samples_[static_cast<std::size_t>(row) * side_ + col]; }
  int side_;
  std::vector<Sample> samples_;
};

}  // namespace

QImage RenderAppIcon(int size) {
  const int side = size * kSamples;
  SampleSurface samples(side);
  DrawParameters params;
  params.XMin = kCentreX - kHalfSide;
  params.XMax = kCentreX + kHalfSide;
  params.YMin = -kHalfSide;
  params.YMax = kHalfSide;
  params.MaxIter = kIterations;
  params.Kind = FractalKind::Mandelbrot;
  RenderPass(params, samples);

  QImage icon(size, size, QImage::Format_ARGB32);
  for (int row = 0; row < size; ++row) {
    for (int col = 0; col < size; ++col) {
      int red = 0, green = 0, blue = 0, opaque = 0;
      for (int dy = 0; dy < kSamples; ++dy) {
        for (int dx = 0; dx < kSamples; ++dx) {
          const auto& sample = samples.At(col * kSamples + dx, row * kSamples + dy);
          if (sample.ground) continue;
          red += sample.colour.red;
          green += sample.colour.green;
          blue += sample.colour.blue;
          ++opaque;
        }
      }
      const int alpha = 255 * opaque / (kSamples * kSamples);
      icon.setPixel(col, row, opaque == 0 ? qRgba(0, 0, 0, 0) : qRgba(red / opaque, green / opaque, blue / opaque, alpha));
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
