#include "engine/render_pass.h"

#include "engine/checked.h"
#include "engine/fault_test.h"
#include "engine/kernels.h"
#include "engine/palette.h"
#include "engine/pass_steps.h"

#ifdef __clang__
#pragma STDC FENV_ACCESS ON  // keeps clang from reordering arithmetic across the flag reads
#endif

namespace tobrisk {
std::int16_t LastIndex(float size, PassQuantity quantity) {
  const double last = Tested(double{size} - 1.0, InPass{quantity});
  return ToInt16Checked(last, InPass{quantity});
}

EscapeCount RunKernel(const DrawParameters& params, float x, float y) {
  return params.Kind == FractalKind::Mandelbrot ? IterateM(x, y, params.MaxIter)
                                                : IterateJ(x, y, params.MaxIter, params.P, params.Q);
}

PassSteps ComputeSteps(const DrawParameters& params, const PlotSurface& surface) {
  // Asking the surface is a control call, which discards pending conditions.
  const float W = surface.Width();
  DiscardPendingFaults();
  const float dx = StoreSingle((double{params.XMax} - double{params.XMin}) / double{W}, InPass{PassQuantity::ColumnStep});
  const float H = surface.Height();
  DiscardPendingFaults();
  const float dy = StoreSingle((double{params.YMax} - double{params.YMin}) / double{H}, InPass{PassQuantity::RowStep});
  return {W, H, dx, dy};
}

float PlaneCoordinate(std::int16_t index, float step, float min, const AtPixel& pixel) {
  return StoreSingle(double{static_cast<float>(index)} * double{step} + double{min}, pixel);
}

std::int16_t PaletteIndexFor(EscapeCount n, const ErrorSite& site) {
  return CheckedAdd(static_cast<std::int16_t>(n % 15), 1, site);
}

void RenderPass(const DrawParameters& params, PlotSurface& surface) {
  const auto [W, H, dx, dy] = ComputeSteps(params, surface);
  const std::int16_t rowLast = LastIndex(H, PassQuantity::LastRow);
  for (std::int16_t row = 0; row <= rowLast; row = CheckedAdd(row, 1, InPass{PassQuantity::RowCounter})) {
    const std::int16_t colLast = LastIndex(W, PassQuantity::LastColumn);
    for (std::int16_t col = 0; col <= colLast; col = CheckedAdd(col, 1, InPass{PassQuantity::ColumnCounter})) {
      const AtPixel pixel{col, row, std::nullopt};
      const float x = PlaneCoordinate(col, dx, params.XMin, pixel);
      const float y = PlaneCoordinate(row, dy, params.YMin, pixel);
      EscapeCount n = 0;
      try {
        n = RunKernel(params, x, y);
      } catch (const RunTimeError& error) {
        throw error.AtPixelOf(col, row);
      }
      const std::int16_t k = PaletteIndexFor(n, pixel);
      surface.Plot(col, row, n, Palette16[static_cast<std::size_t>(k)]);
      DiscardPendingFaults();
    }
  }
}

}  // namespace tobrisk
