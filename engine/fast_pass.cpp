#include "engine/fast_pass.h"

#include <tbb/blocked_range.h>
#include <tbb/parallel_for.h>
#include <tbb/task_arena.h>
#include <tbb/task_group.h>

#include <algorithm>
#include <array>
#include <cfenv>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <vector>

#include "engine/checked.h"
#include "engine/fast_kernels.h"
#include "engine/fault_test.h"
#include "engine/mirror_rows.h"
#include "engine/pass_steps.h"

namespace tobrisk {
namespace {

// Clearing the flags costs some fifty times as much as reading them, and
// after a tested store that passed none of them is pending: clear only when
// some are.
void DiscardAnyPendingFaults() {
  if (PendingFaultFlags(kFaultFlags) != 0) DiscardPendingFaults();
}

// The plane points of the pixels, up to the first one whose mapping faults.
// A pixel's x depends on its column only and is computed before its y, which
// depends on its row only, so one array of each tells where the reference
// pass would fault.
struct PlaneGrid {
  std::vector<float> xs;               // columns 0 ... xs.size() - 1
  std::optional<RunTimeError> xError;  // raised at column xs.size() of row 0
  std::vector<float> ys;               // rows 0 ... ys.size() - 1
  std::optional<RunTimeError> yError;  // raised at column 0 of row ys.size()
};

PlaneGrid MapToPlane(const DrawParameters& params, float dx, float dy, int cols, int rows) {
  PlaneGrid grid;
  grid.xs.reserve(static_cast<std::size_t>(cols));
  grid.ys.reserve(static_cast<std::size_t>(rows));
  try {
    for (int col = 0; col < cols; ++col) {
      DiscardAnyPendingFaults();
      const auto c = static_cast<std::int16_t>(col);
      grid.xs.push_back(PlaneCoordinate(c, dx, params.XMin, AtPixel{c, 0, std::nullopt}));
    }
  } catch (const RunTimeError& error) {
    grid.xError = error;
  }
  try {
    for (int row = 0; row < rows; ++row) {
      DiscardAnyPendingFaults();
      const auto r = static_cast<std::int16_t>(row);
      grid.ys.push_back(PlaneCoordinate(r, dy, params.YMin, AtPixel{0, r, std::nullopt}));
    }
  } catch (const RunTimeError& error) {
    grid.yError = error;
  }
  DiscardAnyPendingFaults();
  return grid;
}

// Rows whose counts are computed together while the previous band is plotted.
struct Band {
  int first = 0;
  int count = 0;
  // Left uninitialised (every count is written before it is read) and made
  // only when the band is first used: clearing it would cost as much as a
  // small picture's orbits.
  std::unique_ptr<EscapeCount[]> storage;
  std::span<EscapeCount> counts;
  tbb::task_group group;
};

// Cancels and waits for outstanding work however the pass ends.
class BandsInFlight {
 public:
  explicit BandsInFlight(std::array<Band, 2>& bands) : bands_(bands) {}
  BandsInFlight(const BandsInFlight&) = delete;
  BandsInFlight& operator=(const BandsInFlight&) = delete;
  ~BandsInFlight() {
    for (Band& band : bands_) {
      band.group.cancel();
      try {
        band.group.wait();
      } catch (...) {  // the pass is ending with its own error already, or has finished this band
      }
    }
  }

 private:
  std::array<Band, 2>& bands_;
};

// Marks are rare: count them with a loop that vectorises before looking for
// one. Counted in 16 bits a chunk at a time, so that the vectors add eight or
// more counts at once instead of widening each to 64 bits.
std::size_t CountMarks(std::span<const EscapeCount> counts) {
  constexpr std::size_t kChunk = 32768;  // marks in a chunk fit in 16 bits
  std::size_t marks = 0;
  for (std::size_t from = 0; from < counts.size(); from += kChunk) {
    std::uint16_t chunkMarks = 0;
    for (const EscapeCount n : counts.subspan(from, std::min(kChunk, counts.size() - from))) {
      chunkMarks = static_cast<std::uint16_t>(chunkMarks + (n == kExactKernelDecides ? 1 : 0));
    }
    marks += chunkMarks;
  }
  return marks;
}

// Rows per band: as many as `rows` wide ones fit the band's pixels, at
// least one, at most the picture's, and whole tiles of rows where there is
// room, so that no band leaves a sliver of a tile to be proven alone.
int BandRows(std::size_t fit, std::size_t rows) {
  std::size_t band = std::clamp<std::size_t>(fit, 1, std::max<std::size_t>(rows, 1));
  if (band > kTileRows && band < rows) band -= band % kTileRows;
  return static_cast<int>(band);
}

class Pass {
 public:
  Pass(const DrawParameters& params, PlotSurface& surface, const PlaneGrid& grid, int rowLast, int colLast,
       const FastPassOptions& options)
      : params_(params), surface_(surface), grid_(grid), rowLast_(rowLast), colLast_(colLast),
        cols_(grid.xs.size()), computedRows_(static_cast<int>(grid.ys.size())),
        bandRows_(BandRows(options.bandPixels / std::max<std::size_t>(cols_, 1), grid.ys.size())),
        mirror_(grid.ys, params.Kind == FractalKind::Mandelbrot, options.mirrorBytes),
        rowsCounted_(options.rowsCounted) {}

  void Run() {
    const BandsInFlight guard(bands_);
    if (computedRows_ > 0) Start(bands_[0], 0);
    std::size_t current = 0;
    for (int row = 0; row <= rowLast_; ++row) {
      if (row >= computedRows_) RaiseMappingFault();
      Band& band = bands_[current];
      if (row == band.first) {
        band.group.wait();
        const int next = band.first + band.count;
        if (next < computedRows_) Start(bands_[1 - current], next);
      }
      const auto offset = static_cast<std::size_t>(row - band.first) * cols_;
      PlotRow(static_cast<std::int16_t>(row), band.counts.subspan(offset, cols_));
      if (row == band.first + band.count - 1) current = 1 - current;
    }
    // The reference's row counter cannot step past the last row of 32767.
    if (rowLast_ == 32767) throw RunTimeError(ErrorCause::Overflow, InPass{PassQuantity::RowCounter});
  }

 private:
  void Start(Band& band, int first) {
    band.first = first;
    band.count = std::min(bandRows_, computedRows_ - first);
    if (!band.storage) {
      const std::size_t size = static_cast<std::size_t>(bandRows_) * cols_;
      band.storage = std::make_unique_for_overwrite<EscapeCount[]>(size);
      band.counts = std::span(band.storage.get(), size);
    }
    // Tasks of some four thousand pixels: orbit lengths differ greatly from row
    // to row, and only many small tasks share a small picture evenly. But
    // tasks are whole tiles of rows, which the kernels prove and settle
    // together: a task of one wide row would find each tile's proofs again.
    // A large picture has tasks enough for any core count at a five-hundredth
    // of it a task, and each task costs its setup and the tail of its
    // stragglers' stream.
    constexpr int kTile = static_cast<int>(kTileRows);
    const std::size_t taskPixels = std::max<std::size_t>(4096, cols_ * static_cast<std::size_t>(computedRows_) / 512);
    const std::size_t tilePixels = std::max<std::size_t>(cols_ * kTileRows, 1);
    const int grain = static_cast<int>(std::max<std::size_t>(1, (taskPixels + tilePixels - 1) / tilePixels));
    const int tiles = (band.count + kTile - 1) / kTile;
    band.group.run([this, &band, grain, tiles] {
      tbb::parallel_for(tbb::blocked_range<int>(0, tiles, grain), [this, &band](const tbb::blocked_range<int>& range) {
        const int last = std::min(range.end() * kTile, band.count);
        // Runs of rows that must be counted; the others take an earlier row's counts below.
        for (int begin = range.begin() * kTile; begin < last;) {
          if (!mirror_.MustCount(band.first + begin, band.first)) {
            ++begin;
            Counted(1);
            continue;
          }
          int end = begin + 1;
          while (end < last && mirror_.MustCount(band.first + end, band.first)) ++end;
          CountRows(band, begin, end);
          Counted(end - begin);
          begin = end;
        }
      });
      if (!tbb::is_current_task_group_canceling()) {
        mirror_.CompleteBand(band.first, band.count, band.counts.first(static_cast<std::size_t>(band.count) * cols_), cols_);
      }
    });
  }

  void Counted(int rows) {
    if (rowsCounted_ != nullptr) rowsCounted_->fetch_add(rows, std::memory_order_relaxed);
  }

  // Counts rows first + begin ... first + end - 1 of a band.
  void CountRows(Band& band, int begin, int end) {
    const auto from = static_cast<std::size_t>(begin);
    const auto size = static_cast<std::size_t>(end - begin);
    const PointGrid points{params_.Kind, grid_.xs, std::span(grid_.ys).subspan(static_cast<std::size_t>(band.first) + from, size),
                           params_.MaxIter, params_.P, params_.Q};
    CountGrid(points, band.counts.subspan(from * cols_, size * cols_));
  }

  // Plots one row, settling marked pixels with the exact kernel, and raises
  // where the reference would, after plotting the pixels before.
  void PlotRow(std::int16_t row, std::span<EscapeCount> counts) {
    std::size_t marks = CountMarks(counts);
    for (std::size_t col = 0; marks > 0; ++col) {
      if (counts[col] != kExactKernelDecides) continue;
      --marks;
      try {
        counts[col] = RunKernel(params_, grid_.xs[col], grid_.ys[static_cast<std::size_t>(row)]);
      } catch (const RunTimeError& error) {
        Plot(row, counts.first(col));
        throw error.AtPixelOf(static_cast<std::int16_t>(col), row);
      }
    }
    Plot(row, counts);
    if (grid_.xError) throw *grid_.xError;
    // The reference's column counter cannot step past the last column of 32767.
    if (colLast_ == 32767) throw RunTimeError(ErrorCause::Overflow, InPass{PassQuantity::ColumnCounter});
  }

  void Plot(std::int16_t row, std::span<const EscapeCount> counts) {
    if (!counts.empty()) surface_.PlotRow(row, counts);
    DiscardAnyPendingFaults();
  }

  // The first pixel of the first row without a y: its x if that faulted, else its y.
  [[noreturn]] void RaiseMappingFault() const {
    if (grid_.xs.empty() && grid_.xError) throw *grid_.xError;
    throw *grid_.yError;
  }

  const DrawParameters& params_;
  PlotSurface& surface_;
  const PlaneGrid& grid_;
  int rowLast_;
  int colLast_;
  std::size_t cols_;
  int computedRows_;
  int bandRows_;
  MirrorRows mirror_;  // used by one band's task at a time: each starts after the previous one ended
  std::atomic<int>* rowsCounted_;
  std::array<Band, 2> bands_;
};

}  // namespace

void FastRenderPass(const DrawParameters& params, PlotSurface& surface, const FastPassOptions& options) {
  // The same steps, in the same order, as the reference, so their faults agree.
  const auto [W, H, dx, dy] = ComputeSteps(params, surface);
  const std::int16_t rowLast = LastIndex(H, PassQuantity::LastRow);
  if (rowLast < 0) return;
  const std::int16_t colLast = LastIndex(W, PassQuantity::LastColumn);
  if (colLast < 0) {  // rows without pixels: only the row counter can fault
    if (rowLast == 32767) throw RunTimeError(ErrorCause::Overflow, InPass{PassQuantity::RowCounter});
    return;
  }
  const PlaneGrid grid = MapToPlane(params, dx, dy, colLast + 1, rowLast + 1);
  Pass pass(params, surface, grid, rowLast, colLast, options);
  tbb::task_arena arena(options.threads > 0 ? options.threads : tbb::task_arena::automatic);
  arena.execute([&pass] { pass.Run(); });
}

}  // namespace tobrisk
