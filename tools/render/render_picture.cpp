#include "tools/render/render_picture.h"

#include <algorithm>
#include <atomic>
#include <iostream>
#include <memory>
#include <string>
#include <string_view>

#include "engine/fast_pass.h"
#include "engine/repeated_coordinates.h"
#include "tools/render/picture_files.h"
#include "tools/render/progress_line.h"
#include "ui/draw_command.h"

namespace tobrisk {
namespace {

constexpr std::string_view kProgram = "tobrisk-render";

// One line on standard error when neighbouring pixels share a plane
// coordinate: the picture is drawn as defined, but the user asked for detail
// that single precision cannot give.
void WarnOfRepeatedCoordinates(std::string_view program, const DrawParameters& params, const RenderOptions& options) {
  const std::optional<RepeatedCoordinates> repeated = CountRepeatedCoordinates(params, options.width, options.height);
  if (!repeated || (repeated->columns == 0 && repeated->rows == 0)) return;
  std::string warning = std::string(program) + ": warning: the view is narrower than single precision resolves: ";
  if (repeated->columns > 0) {
    warning += std::to_string(repeated->columns) + " of " + std::to_string(options.width) +
               " columns repeat their neighbour's x";
  }
  if (repeated->rows > 0) {
    if (repeated->columns > 0) warning += " and ";
    warning += std::to_string(repeated->rows) + " of " + std::to_string(options.height) +
               " rows repeat their neighbour's y";
  }
  std::cerr << warning << '\n';
}

}  // namespace

FieldTexts TextsOf(const RenderOptions& options) {
  return {options.XMin, options.XMax, options.YMin, options.YMax, options.MaxIter, options.P, options.Q};
}

void RenderPicture(const RenderOptions& options) {
  const ProgressMode progressMode = UsableProgressMode(options.progress);
  const FieldTexts texts = TextsOf(options);
  const bool mandelbrot = options.kind == FractalKind::Mandelbrot;
  // Read as the Draw will read them: an Iterations out of range fails here, before any file is opened.
  const DrawParameters params = ReadDrawParameters(texts, mandelbrot);
  if (options.progress != ProgressMode::Never) WarnOfRepeatedCoordinates(kProgram, params, options);

  PictureFiles files(options, params, options.threads);
  StreamingSurface& surface = files.Surface();
  std::atomic<int> rowsCounted = 0;
  std::atomic<bool> failed = false;
  // Gone, and its line cleared or finished, before any message about the render.
  const std::unique_ptr<ProgressLine> progress =
      ProgressOnStandardError(progressMode, options.height, [&surface, &rowsCounted, &failed, &options] {
        // Rows count as the workers finish them, not a band at a time as they
        // are written; after a failure, only the rows written count.
        if (failed.load()) return surface.RowsWritten();
        return std::max(surface.RowsWritten(), std::min(rowsCounted.load(std::memory_order_relaxed), options.height));
      });

  try {
    Draw(texts, mandelbrot, surface, FastPassOptions{.threads = options.threads, .rowsCounted = &rowsCounted});
  } catch (...) {
    failed = true;
    throw;
  }

  files.Commit();
}

}  // namespace tobrisk
