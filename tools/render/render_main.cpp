// tobrisk-render: the window's Draw, into a PNG file of any size.

#include <exception>
#include <iostream>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "engine/run_time_error.h"
#include "tobrisk/version.h"
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

void Render(const RenderOptions& options) {
  const ProgressMode progressMode = UsableProgressMode(options.progress);
  OutputFile picture(options.output);
  std::optional<OutputFile> counts;
  if (options.counts) counts.emplace(*options.counts);

  PngRowWriter png(picture.Stream(), options.output, options.width, options.height);
  std::optional<CountMapWriter> countMap;
  if (counts) countMap.emplace(counts->Stream(), *options.counts, options.width, options.height);
  StreamingSurface surface(options.width, options.height, png, countMap ? &*countMap : nullptr);
  // Gone, and its line cleared, before any message about the render.
  const std::unique_ptr<ProgressLine> progress =
      ProgressOnStandardError(progressMode, options.height, [&surface] { return surface.RowsWritten(); });

  const FieldTexts texts{options.XMin, options.XMax, options.YMin, options.YMax,
                         options.MaxIter, options.P, options.Q};
  Draw(texts, options.kind == FractalKind::Mandelbrot, surface);

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
