#include "engine/repeated_coordinates.h"

#include <cstdint>

#include "engine/fault_test.h"
#include "engine/pass_steps.h"

namespace tobrisk {
namespace {

// Only the size matters: the steps come from it exactly as the pass takes them.
class SizeOnly final : public PlotSurface {
 public:
  SizeOnly(int width, int height) : width_(static_cast<float>(width)), height_(static_cast<float>(height)) {}
  [[nodiscard]] float Width() const override { return width_; }
  [[nodiscard]] float Height() const override { return height_; }
  void Plot(std::int16_t /*col*/, std::int16_t /*row*/, EscapeCount /*n*/, Colour /*colour*/) override {}

 private:
  float width_;
  float height_;
};

int CountRepeats(int count, float step, float min) {
  int repeats = 0;
  float previous = 0.0F;
  for (int index = 0; index < count; ++index) {
    const auto at = static_cast<std::int16_t>(index);
    const float coordinate = PlaneCoordinate(at, step, min, AtPixel{at, at, std::nullopt});
    if (index > 0 && coordinate == previous) ++repeats;
    previous = coordinate;
  }
  return repeats;
}

}  // namespace

std::optional<RepeatedCoordinates> CountRepeatedCoordinates(const DrawParameters& params, int width, int height) {
  std::optional<RepeatedCoordinates> repeated;
  try {
    const SizeOnly size(width, height);
    const PassSteps steps = ComputeSteps(params, size);
    repeated = RepeatedCoordinates{CountRepeats(width, steps.dx, params.XMin), CountRepeats(height, steps.dy, params.YMin)};
  } catch (const RunTimeError&) {
  }
  // The pass that follows must start from clean flags, as after any control call.
  DiscardPendingFaults();
  return repeated;
}

}  // namespace tobrisk
