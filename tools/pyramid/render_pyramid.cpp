#include "tools/pyramid/render_pyramid.h"

#include <atomic>
#include <cerrno>
#include <cstring>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <stdexcept>
#include <string>
#include <system_error>
#include <utility>
#include <vector>

#include "engine/fast_pass.h"
#include "engine/run_time_error.h"
#include "tobrisk/version.h"
#include "tools/pyramid/deep_zoom.h"
#include "tools/pyramid/pyramid_folder.h"
#include "tools/pyramid/tile_files.h"
#include "tools/pyramid/tile_row_surface.h"
#include "tools/pyramid/viewer_page.h"
#include "tools/render/centred_view.h"
#include "tools/render/progress_line.h"
#include "tools/safe_output/file_calls.h"
#include "tools/safe_output/output_file.h"
#include "tools/safe_output/utf8_path.h"
#include "ui/draw_command.h"

namespace tobrisk {
namespace {

namespace fs = std::filesystem;

FieldTexts TextsOf(const RenderOptions& options) {
  return {options.XMin, options.XMax, options.YMin, options.YMax, options.MaxIter, options.P, options.Q};
}

void WriteWholeFile(const fs::path& path, std::string_view bytes) {
  OutputFile file(Utf8OfPath(path));
  if (std::fwrite(bytes.data(), 1, bytes.size(), file.Stream()) != bytes.size()) {
    throw std::runtime_error("cannot write " + Utf8OfPath(path));
  }
  OutputFile::CommitTogether({&file});
}

void RemoveIfThere(const fs::path& path) {
  std::error_code error;
  fs::remove(path, error);
  if (error) throw std::runtime_error("cannot remove the old " + Utf8OfPath(path) + ": " + error.message());
}

// The tiles on the disk: one sync for them all costs what one file's would, where a sync for each tile would
// cost more than drawing it.
void SyncFileSystemOf(const fs::path& folder) {
  if (!file_calls::SyncFileSystemOf(Utf8OfPath(folder))) {
    throw std::runtime_error("cannot write the tiles in " + Utf8OfPath(folder) + ": " + std::strerror(errno));
  }
}

// Draws one level and writes this shard's tiles of it. `rowsCounted` follows the pass for the progress line.
void RenderLevel(const RenderOptions& options, const fs::path& tilesFolder, const std::vector<LevelSize>& levels,
                 int level, TileRowWriter& writer, std::atomic<int>& rowsCounted) {
  const LevelSize size = levels[static_cast<std::size_t>(level)];
  const RenderOptions levelOptions = OptionsAtSize(options, size.width, size.height);
  const Shard shard = options.shard.value_or(Shard{});
  const std::int64_t firstTile = FirstTileOf(levels, level);
  const int columns = TilesAlong(size.width);
  const fs::path levelFolder = tilesFolder / std::to_string(level);
  std::error_code error;
  fs::create_directories(levelFolder, error);
  if (error) throw std::runtime_error("cannot make the folder " + Utf8OfPath(levelFolder) + ": " + error.message());

  TileRowSurface surface(size.width, size.height, [&](TileRowBand& band) {
    const std::int64_t rowStart = firstTile + static_cast<std::int64_t>(band.tileRow) * columns;
    writer.Write(levelFolder, band, [&](int column) { return shard.Takes(rowStart + column); });
  });
  try {
    Draw(TextsOf(levelOptions), options.kind == FractalKind::Mandelbrot, surface,
         FastPassOptions{.threads = options.threads, .rowsCounted = &rowsCounted});
  } catch (const RunTimeError& fault) {
    writer.Finish();  // the tiles drawn before the fault stay
    throw std::runtime_error("level " + std::to_string(level) + " of the pyramid (" + std::to_string(size.width) +
                             "x" + std::to_string(size.height) + " pixels): " + fault.what());
  }
}

}  // namespace

RenderOptions OptionsAtSize(const RenderOptions& options, int width, int height) {
  RenderOptions sized = options;
  sized.width = width;
  sized.height = height;
  if (options.centred) {
    BoundTexts bounds = CentredBounds(options.centred->x, options.centred->y, options.centred->width, width, height);
    sized.XMin = std::move(bounds.XMin);
    sized.XMax = std::move(bounds.XMax);
    sized.YMin = std::move(bounds.YMin);
    sized.YMax = std::move(bounds.YMax);
  }
  return sized;
}

void RenderPyramid(const RenderOptions& options) {
  const ProgressMode progressMode = UsableProgressMode(options.progress);
  const bool mandelbrot = options.kind == FractalKind::Mandelbrot;
  // Read as each level's Draw will read them: an Iterations out of range fails before any file is touched.
  const DrawParameters params = ReadDrawParameters(TextsOf(options), mandelbrot);
  const fs::path folder = PathOfUtf8(*options.pyramid);
  PreparePyramidFolder(folder);
  const bool first = options.shard.value_or(Shard{}).IsFirst();
  if (first) {
    RemoveIfThere(folder / kDescriptorName);
    RemoveIfThere(folder / kPageName);
  }

  const std::vector<LevelSize> levels = DeepZoomLevels(options.width, options.height);
  TileRowWriter writer(ColoursFor(ColouringOf(options), params.MaxIter));
  int rows = 0;
  for (const LevelSize& size : levels) rows += size.height;
  std::atomic<int> rowsBefore = 0;  // of the levels finished
  std::atomic<int> rowsCounted = 0;  // of the level being drawn
  const std::unique_ptr<ProgressLine> progress = ProgressOnStandardError(
      progressMode, rows, [&rowsBefore, &rowsCounted] { return rowsBefore.load() + rowsCounted.load(); });
  for (int level = 0; level < static_cast<int>(levels.size()); ++level) {
    rowsCounted = 0;
    RenderLevel(options, folder / kTilesFolderName, levels, level, writer, rowsCounted);
    rowsBefore += levels[static_cast<std::size_t>(level)].height;
    rowsCounted = 0;
  }
  writer.Finish();
  SyncFileSystemOf(folder);
  if (!first) return;
  for (const auto& [name, bytes] : {std::pair{kViewerScriptName, ViewerScript()},
                                    std::pair{kViewerLicenceName, ViewerScriptLicence()}}) {
    WriteWholeFile(folder / name, std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()));
  }
  WriteWholeFile(folder / kPageName, ViewerPage({mandelbrot, TextsOf(options), options.width, options.height,
                                                 kVersion}));
  // Last: its presence says the pyramid is complete.
  WriteWholeFile(folder / kDescriptorName, DziText(options.width, options.height));
}

}  // namespace tobrisk
