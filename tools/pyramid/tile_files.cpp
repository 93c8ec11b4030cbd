#include "tools/pyramid/tile_files.h"

#include <cstdio>
#include <memory>
#include <utility>
#include <stdexcept>
#include <string>
#include <vector>

#include <tbb/parallel_for.h>

#include "tools/png/png_rows.h"
#include "tools/pyramid/deep_zoom.h"
#include "tools/safe_output/output_file.h"
#include "tools/safe_output/utf8_path.h"

namespace tobrisk {
namespace {

// A tile's PNG in memory, so that the tiles of a row are coded in parallel.
std::string CodedTile(const std::string& path, const TileRowBand& band, TileSpan columns,
                      const PictureColours& colours) {
  std::string coded;
  // A tile is small: one thread deflates it, and the tiles of the row go in parallel instead.
  PngRowWriter png(coded, path, columns.end - columns.begin, band.rows, colours, PngDeflate{.threads = 1});
  for (int row = 0; row < band.rows; ++row) {
    png.WriteCountRow(band.Row(row).subspan(static_cast<std::size_t>(columns.begin),
                                            static_cast<std::size_t>(columns.end - columns.begin)));
  }
  png.Finish();
  return coded;
}

void ReplaceFile(const std::string& path, const std::string& bytes) {
  // Each tile is complete when it replaces the old one; the pyramid syncs the disk once at its end.
  OutputFile file(path, OutputFile::Temporary::Named, OutputFile::Sync::ManyAtOnce);
  if (std::fwrite(bytes.data(), 1, bytes.size(), file.Stream()) != bytes.size()) {
    throw std::runtime_error("cannot write " + path);
  }
  OutputFile::CommitTogether({&file});
}

}  // namespace

TileRowWriter::TileRowWriter(PictureColours colours) : colours_(std::move(colours)), thread_([this] { Loop(); }) {}

TileRowWriter::~TileRowWriter() {
  {
    const std::lock_guard lock(mutex_);
    stop_ = true;
  }
  changed_.notify_all();
  thread_.join();
}

void TileRowWriter::RethrowFailure() {
  if (failure_) std::rethrow_exception(std::exchange(failure_, nullptr));
}

void TileRowWriter::Write(const std::filesystem::path& levelFolder, TileRowBand& band, const Wanted& wanted) {
  std::vector<int> columns;
  for (int column = 0; column < TilesAlong(band.width); ++column) {
    if (wanted(column)) columns.push_back(column);
  }
  if (columns.empty()) return;
  std::unique_lock lock(mutex_);
  changed_.wait(lock, [this] { return !jobWaiting_ || failure_; });
  RethrowFailure();
  job_.levelFolder = levelFolder;
  job_.columns = std::move(columns);
  job_.band.tileRow = band.tileRow;
  job_.band.firstRow = band.firstRow;
  job_.band.rows = band.rows;
  job_.band.width = band.width;
  std::swap(job_.band.counts, band.counts);  // no copy: the band gets the vector of a row written before
  jobWaiting_ = true;
  changed_.notify_all();
}

void TileRowWriter::Finish() {
  std::unique_lock lock(mutex_);
  changed_.wait(lock, [this] { return !jobWaiting_ || failure_; });
  RethrowFailure();
}

void TileRowWriter::Loop() {
  std::unique_lock lock(mutex_);
  while (true) {
    changed_.wait(lock, [this] { return jobWaiting_ || stop_; });
    if (!jobWaiting_) return;
    lock.unlock();
    std::exception_ptr failure;
    try {
      WriteJob(job_);
    } catch (...) {
      failure = std::current_exception();
    }
    lock.lock();
    jobWaiting_ = false;
    if (failure) failure_ = failure;
    changed_.notify_all();
  }
}

void TileRowWriter::WriteJob(const Job& job) const {
  const TileRowBand& band = job.band;
  std::vector<std::string> paths(job.columns.size());
  std::vector<std::string> coded(job.columns.size());
  tbb::parallel_for(std::size_t{0}, job.columns.size(), [&](std::size_t at) {
    const int column = job.columns[at];
    paths[at] = Utf8OfPath(job.levelFolder / (std::to_string(column) + '_' + std::to_string(band.tileRow) + ".png"));
    coded[at] = CodedTile(paths[at], band, TileSpanOf(band.width, column), colours_);
  });
  // One at a time: replacing files holds off interrupts, which only one thread may do.
  for (std::size_t at = 0; at < paths.size(); ++at) ReplaceFile(paths[at], coded[at]);
}

}  // namespace tobrisk
