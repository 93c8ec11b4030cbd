// SPDX-License-Identifier: MIT
// tobrisk-render: the window's Draw, into a PNG file of any size.

#include <tbb/global_control.h>

#include <exception>
#include <iostream>
#include <new>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "engine/run_time_error.h"
#include "tobrisk/version.h"
#include "tools/pyramid/pyramid_folder.h"
#include "tools/pyramid/render_pyramid.h"
#include "tools/render/check_view.h"
#include "tools/render/render_options.h"
#include "tools/render/render_picture.h"
#include "tools/render/view_of_options.h"
#include "tools/safe_output/output_names.h"
#include "tools/safe_output/signals.h"
#include "tools/safe_output/standard_streams.h"
#include "tools/sequence/render_sequence.h"
#include "tools/sequence/sequence_plan.h"
#include "tools/view_record/view_file.h"

namespace tobrisk {
namespace {

constexpr std::string_view kProgram = "tobrisk-render";

int ReportUsageError(const UsageError& usage) {
  std::cerr << kProgram << ": " << usage.message << "\nTry '" << kProgram << " --help' for more information.\n";
  return 2;
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
  if (const auto* options = std::get_if<RenderOptions>(&parsed)) {
    if (std::optional<std::string> problem = RecordProblem(RecordOfOptions(*options))) {
      parsed = UsageError{"the view cannot be stored in the files: " + *problem};
    }
  }
  if (const auto* usage = std::get_if<UsageError>(&parsed)) return ReportUsageError(*usage);
  if (std::holds_alternative<PalettesRequested>(parsed)) return PrintToStandardOutput(kProgram, PaletteList());
  if (std::holds_alternative<VersionRequested>(parsed)) {
    return PrintToStandardOutput(kProgram, std::string(kProgram) + ' ' + std::string(kVersion) + '\n');
  }
  if (const auto* check = std::get_if<CheckRequested>(&parsed)) return CheckViewFile(*check, std::cout, std::cerr);
  if (const auto* print = std::get_if<PrintViewRequested>(&parsed)) {
    try {
      const ViewRecord record = ReadViewRecord(print->file);
      (void)OptionsOfRecord(record);  // a view tobrisk-render would not draw is not shown as one
      return PrintToStandardOutput(kProgram, RecordAsWindowText(record));
    } catch (const ViewFileError& error) {
      std::cerr << kProgram << ": " << ShowControlCharacters(print->file) << ": " << ShowControlCharacters(error.what()) << '\n';
      return 2;
    }
  }
  const auto& options = std::get<RenderOptions>(parsed);
  if (options.sequence) {
    auto plan = SequencePlan::Make(options);
    if (const auto* usage = std::get_if<UsageError>(&plan)) return ReportUsageError(*usage);
    return RenderSequence(std::get<SequencePlan>(plan), options);
  }
  try {
    if (options.pyramid) {
      RenderPyramid(options);
    } else {
      RenderPicture(options);
    }
    return 0;
  } catch (const PyramidFolderRefused& refused) {  // the wrong folder named: as a usage error, nothing written
    std::cerr << kProgram << ": " << ShowControlCharacters(refused.what()) << '\n';
    return 2;
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
  // A pass that finished before the helpers it woke began leaves them
  // queued; waiting for the library's threads at the end lets them run (they
  // find nothing left) and free the band they hold.
  tbb::task_scheduler_handle workers{tbb::attach{}};
  const std::vector<std::string_view> arguments(argv + 1, argv + argc);
  const int status = tobrisk::Run(arguments);
  static_cast<void>(tbb::finalize(workers, std::nothrow));
  return status;
}
