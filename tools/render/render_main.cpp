// tobrisk-render: the window's Draw, into a PNG file of any size.

#include <algorithm>
#include <atomic>
#include <exception>
#include <iostream>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "engine/fast_pass.h"
#include "engine/repeated_coordinates.h"
#include "engine/run_time_error.h"
#include "tobrisk/version.h"
#include "tools/colour/picture_colours.h"
#include "tools/count_map/count_map.h"
#include "tools/png/png_rows.h"
#include "tools/render/progress_line.h"
#include "tools/render/render_options.h"
#include "tools/render/streaming_surface.h"
#include "tools/safe_output/output_file.h"
#include "tools/safe_output/output_names.h"
#include "tools/safe_output/signals.h"
#include "tools/safe_output/standard_streams.h"
#include "ui/draw_command.h"

namespace tobrisk {
namespace {

constexpr std::string_view kProgram = "tobrisk-render";

// One line on standard error when neighbouring pixels share a plane
// coordinate: the picture is drawn as defined, but the user asked for detail
// that single precision cannot give.
void WarnOfRepeatedCoordinates(const DrawParameters& params, const RenderOptions& options) {
  const std::optional<RepeatedCoordinates> repeated = CountRepeatedCoordinates(params, options.width, options.height);
  if (!repeated || (repeated->columns == 0 && repeated->rows == 0)) return;
  std::string warning = std::string(kProgram) + ": warning: the view is narrower than single precision resolves: ";
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

FieldTexts TextsOf(const RenderOptions& options) {
  return {options.XMin, options.XMax, options.YMin, options.YMax, options.MaxIter, options.P, options.Q};
}

void Render(const RenderOptions& options) {
  const ProgressMode progressMode = UsableProgressMode(options.progress);
  const FieldTexts texts = TextsOf(options);
  const bool mandelbrot = options.kind == FractalKind::Mandelbrot;
  // Read as the Draw will read them: an Iterations out of range fails here, before any file is opened.
  const DrawParameters params = ReadDrawParameters(texts, mandelbrot);
  if (options.progress != ProgressMode::Never) WarnOfRepeatedCoordinates(params, options);

  OutputFile picture(options.output);
  std::optional<OutputFile> counts;
  if (options.counts) counts.emplace(*options.counts);

  PngRowWriter png(picture.Stream(), options.output, options.width, options.height,
                   ColoursFor(ColouringOf(options), params.MaxIter), PngDeflate{.threads = options.threads});
  std::optional<CountMapWriter> countMap;
  if (counts) countMap.emplace(counts->Stream(), *options.counts, options.width, options.height);
  StreamingSurface surface(options.width, options.height, png, countMap ? &*countMap : nullptr);
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

  png.Finish();
  picture.Finish();
  if (counts) counts->Finish();
  // Both files are complete before either replaces anything, and they replace together.
  OutputFile::CommitTogether({&picture, counts ? &*counts : nullptr});
}

int Run(const std::vector<std::string_view>& arguments) {
  ParsedArguments parsed = ParseRenderArguments(arguments);
  if (std::holds_alternative<HelpRequested>(parsed)) {
    return PrintToStandardOutput(kProgram, RenderUsage(kProgram));
  }
  // Another spelling of one file ("./a.png", a link to it, /dev/stdout for "-")
  // would let the count map replace the picture.
  if (const auto* options = std::get_if<RenderOptions>(&parsed);
      options != nullptr && options->counts && NameOneFile(options->output, *options->counts)) {
    parsed = UsageError{"--counts needs a file of its own"};
  }
  if (const auto* usage = std::get_if<UsageError>(&parsed)) {
    std::cerr << kProgram << ": " << usage->message << "\nTry '" << kProgram << " --help' for more information.\n";
    return 2;
  }
  if (std::holds_alternative<PalettesRequested>(parsed)) return PrintToStandardOutput(kProgram, PaletteList());
  if (std::holds_alternative<VersionRequested>(parsed)) {
    return PrintToStandardOutput(kProgram, std::string(kProgram) + ' ' + std::string(kVersion) + '\n');
  }
  try {
    Render(std::get<RenderOptions>(parsed));
    return 0;
  } catch (const std::exception& error) {  // a RunTimeError or a file that could not be written
    // A file's message names its path as typed, control characters and all.
    std::cerr << kProgram << ": " << ShowControlCharacters(error.what()) << '\n';
    return 1;
  }
}

}  // namespace
}  // namespace tobrisk

int main(int argc, char** argv) {
  if (!tobrisk::OpenClosedStandardStreams()) return 1;  // nowhere to say why: even /dev/null failed
  tobrisk::InstallCleanupOnSignals();
  const std::vector<std::string_view> arguments(argv + 1, argv + argc);
  return tobrisk::Run(arguments);
}
