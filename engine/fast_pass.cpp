#include "engine/fast_pass.h"

#include <tbb/task_arena.h>

#include <algorithm>
#include <array>
#include <chrono>
#include <cfenv>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <utility>
#include <vector>

#include "engine/band_work.h"
#include "engine/checked.h"
#include "engine/fast_kernels.h"
#include "engine/fault_test.h"
#include "engine/idle_cores.h"
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
  std::shared_ptr<BandWork> work;  // until the band is complete
  bool wakeHelpers = false;         // when the caller reaches the band
};

// Makes sure no helper writes into a band once the pass has ended, however it ends.
class BandsInFlight {
 public:
  explicit BandsInFlight(std::array<Band, 2>& bands) : bands_(bands) {}
  BandsInFlight(const BandsInFlight&) = delete;
  BandsInFlight& operator=(const BandsInFlight&) = delete;
  ~BandsInFlight() {
    for (Band& band : bands_) {
      if (band.work) band.work->Abandon();
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

// How long the caller counts a pass's first band alone before it judges
// whether helpers would pay, and the work left that repays them (W2, a
// seventh of a millisecond, lost a sixth with them; W1, nine tenths, won a
// third).
constexpr std::chrono::microseconds kAloneAtFirst{50};
constexpr std::chrono::microseconds kWorthWakingHelpers{150};

class Pass {
 public:
  Pass(std::shared_ptr<const PassInputs> inputs, PlotSurface& surface, int rowLast, int colLast,
       const FastPassOptions& options, tbb::task_arena& arena)
      : inputs_(std::move(inputs)), params_(inputs_->params), grid_(inputs_->grid), surface_(surface),
        rowLast_(rowLast), colLast_(colLast), cols_(grid_.xs.size()), computedRows_(static_cast<int>(grid_.ys.size())),
        bandRows_(BandRows(options.bandPixels / std::max<std::size_t>(cols_, 1), grid_.ys.size())),
        mirror_(grid_.ys, params_.Kind == FractalKind::Mandelbrot, options.mirrorBytes),
        rowsCounted_(options.rowsCounted), arena_(arena), helpers_(arena.max_concurrency() - 1) {}

  void Run() {
    const BandsInFlight guard(bands_);
    if (computedRows_ > 0) Start(bands_[0], 0, HelpersWake::Later);
    std::size_t current = 0;
    for (int row = 0; row <= rowLast_; ++row) {
      if (row >= computedRows_) RaiseMappingFault();
      Band& band = bands_[current];
      if (row == band.first) {
        Complete(band);
        const int next = band.first + band.count;
        if (next < computedRows_) Start(bands_[1 - current], next, HelpersWake::Now);
      }
      const auto offset = static_cast<std::size_t>(row - band.first) * cols_;
      PlotRow(static_cast<std::int16_t>(row), band.counts.subspan(offset, cols_));
      if (row == band.first + band.count - 1) current = 1 - current;
    }
    // The reference's row counter cannot step past the last row of 32767.
    if (rowLast_ == 32767) throw RunTimeError(ErrorCause::Overflow, InPass{PassQuantity::RowCounter});
  }

 private:
  // When helpers are woken for a band: at once for a band counted while the
  // caller plots another, or if the caller alone has not soon finished it.
  enum class HelpersWake { Now, Later };

  // Offers a band's items to the helpers; the caller counts what they leave when it reaches the band.
  void Start(Band& band, int first, HelpersWake wake) {
    band.first = first;
    band.count = std::min(bandRows_, computedRows_ - first);
    if (!band.storage) {
      const std::size_t size = static_cast<std::size_t>(bandRows_) * cols_;
      band.storage = std::make_unique_for_overwrite<EscapeCount[]>(size);
      band.counts = std::span(band.storage.get(), size);
    }
    std::vector<char> mustCount(static_cast<std::size_t>(band.count));
    for (int row = 0; row < band.count; ++row) {
      mustCount[static_cast<std::size_t>(row)] = mirror_.MustCount(first + row, first) ? 1 : 0;
    }
    // Items of some two thousand pixels: orbit lengths differ greatly from
    // row to row, and only many small items share a small picture evenly.
    // But items are whole tiles of rows, which the kernels prove and settle
    // together: an item of one wide row would find each tile's proofs again.
    // A large picture has items enough for any core count at a five-hundredth
    // of it an item, and each item costs its setup and the tail of its
    // stragglers' stream.
    // And a band has items enough for the caller to share with its helpers
    // to the end: it waits idle for a helper's last item.
    const std::size_t bandPixels = cols_ * static_cast<std::size_t>(bandRows_);
    const std::size_t itemPixels =
        std::max<std::size_t>(2048, std::min(cols_ * static_cast<std::size_t>(computedRows_) / 512, bandPixels / 16));
    const std::size_t tilePixels = std::max<std::size_t>(cols_ * kTileRows, 1);
    const std::size_t tiles = std::max<std::size_t>(1, (itemPixels + tilePixels - 1) / tilePixels);
    const int itemRows = static_cast<int>(std::min<std::size_t>(tiles * kTileRows, static_cast<std::size_t>(band.count)));
    band.work = std::make_shared<BandWork>(inputs_, first, band.count, itemRows, std::move(mustCount),
                                           band.counts.first(static_cast<std::size_t>(band.count) * cols_), rowsCounted_);
    band.wakeHelpers = wake == HelpersWake::Later;
    if (wake == HelpersWake::Now) WakeHelpers(band, helpers_);
  }

  // Wakes up to `most` helpers for a band.
  void WakeHelpers(const Band& band, int most) {
    const int helpers = std::min(most, static_cast<int>(band.work->Items()) - 1);
    for (int h = 0; h < helpers; ++h) arena_.enqueue([work = band.work] { work->Help(); });
  }

  // Every row of the band counted, those that take an earlier row's counts too.
  void Complete(Band& band) {
    if (band.wakeHelpers) {
      // Waking a helper costs the caller tens of microseconds, and more pass
      // before the helper runs: the caller starts alone, and after a while
      // wakes helpers if the rest of the band, judged by the items it has
      // counted so far, would repay them.
      const auto start = std::chrono::steady_clock::now();
      for (std::size_t counted = 1; band.work->CountNext(); ++counted) {
        const auto elapsed = std::chrono::steady_clock::now() - start;
        if (elapsed < kAloneAtFirst) continue;
        const auto left = static_cast<std::int64_t>(band.work->Items() - counted);
        if (elapsed * left / static_cast<std::int64_t>(counted) >= kWorthWakingHelpers) {
          // Only on processors nothing else wants: on a busy machine a woken
          // helper would stop the caller, or be stopped, for a scheduler
          // slice, longer than a small picture takes. Later bands, counted
          // while the caller plots, wake them regardless: the runnable count
          // then holds this pass's own helpers, and a large picture loses at
          // most an item to a stopped one.
          WakeHelpers(band, std::min(helpers_, IdleCores().value_or(helpers_)));
        }
        break;
      }
    }
    band.work->Resolve();
    band.work.reset();
    mirror_.CompleteBand(band.first, band.count, band.counts.first(static_cast<std::size_t>(band.count) * cols_), cols_);
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

  std::shared_ptr<const PassInputs> inputs_;
  const DrawParameters& params_;
  const PlaneGrid& grid_;
  PlotSurface& surface_;
  int rowLast_;
  int colLast_;
  std::size_t cols_;
  int computedRows_;
  int bandRows_;
  MirrorRows mirror_;  // the caller's alone
  std::atomic<int>* rowsCounted_;
  tbb::task_arena& arena_;
  int helpers_;  // threads besides the caller
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
  auto inputs = std::make_shared<const PassInputs>(PassInputs{params, MapToPlane(params, dx, dy, colLast + 1, rowLast + 1)});
  // The caller is one of the threads; the arena's workers help it.
  tbb::task_arena arena(options.threads > 0 ? options.threads : tbb::task_arena::automatic);
  arena.initialize();
  Pass(std::move(inputs), surface, rowLast, colLast, options, arena).Run();
}

}  // namespace tobrisk
