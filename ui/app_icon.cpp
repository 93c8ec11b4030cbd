#include "ui/app_icon.h"

#include <cstddef>

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

IconPicture DrawAppIcon(int side) {
  SampleSurface samples(side * kSamples);
  DrawParameters params;
  params.XMin = kCentreX - kHalfSide;
  params.XMax = kCentreX + kHalfSide;
  params.YMin = -kHalfSide;
  params.YMax = kHalfSide;
  params.MaxIter = kIterations;
  params.Kind = FractalKind::Mandelbrot;
  RenderPass(params, samples);

  IconPicture icon{side, std::vector<IconPixel>(static_cast<std::size_t>(side) * static_cast<std::size_t>(side))};
  for (int row = 0; row < side; ++row) {
    for (int col = 0; col < side; ++col) {
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
      if (opaque == 0) continue;
      icon.pixels[static_cast<std::size_t>(row) * static_cast<std::size_t>(side) + static_cast<std::size_t>(col)] = {
          static_cast<std::uint8_t>(red / opaque), static_cast<std::uint8_t>(green / opaque),
          static_cast<std::uint8_t>(blue / opaque), static_cast<std::uint8_t>(255 * opaque / (kSamples * kSamples))};
    }
  }
  return icon;
}

}  // namespace tobrisk
