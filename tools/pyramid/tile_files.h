#pragma once

#include <condition_variable>
#include <exception>
#include <filesystem>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

#include "engine/types.h"
#include "tools/colour/picture_colours.h"
#include "tools/pyramid/tile_row_surface.h"

namespace tobrisk {

// Writes the tiles of finished rows of tiles as LEVEL_FOLDER/COL_ROW.png on
// a thread of its own, so the pass draws the next row of tiles meanwhile.
// The tiles of a row are coded in parallel and each replaces its old file
// only when complete. The files are not synced to the disk one by one: the
// caller syncs the file system once for all of them. At most one row of
// tiles waits besides the one being drawn, so memory stays bounded.
class TileRowWriter {
 public:
  using Wanted = std::function<bool(int column)>;  // this shard's tiles of the row, by column

  explicit TileRowWriter(PictureColours colours);
  ~TileRowWriter();
  TileRowWriter(const TileRowWriter&) = delete;
  TileRowWriter& operator=(const TileRowWriter&) = delete;

  // Takes the band's counts (leaving it a vector to reuse) once the thread
  // has written the row before; first throws what writing an earlier row
  // threw (std::runtime_error naming the file).
  void Write(const std::filesystem::path& levelFolder, TileRowBand& band, const Wanted& wanted);
  // Waits until every row handed over is written, and throws as Write does.
  void Finish();

 private:
  struct Job {
    std::filesystem::path levelFolder;
    TileRowBand band;
    std::vector<int> columns;
  };
  void Loop();
  void WriteJob(const Job& job) const;
  void RethrowFailure();

  PictureColours colours_;
  std::mutex mutex_;
  std::condition_variable changed_;
  Job job_;  // one row at a time: the pass draws the next meanwhile
  bool jobWaiting_ = false;
  bool stop_ = false;
  std::exception_ptr failure_;
  std::thread thread_;
};

}  // namespace tobrisk
