// SPDX-License-Identifier: MIT
#pragma once

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstddef>
#include <memory>
#include <optional>
#include <span>
#include <thread>
#include <utility>
#include <vector>

#include "engine/fast_kernels.h"
#include "engine/item_claims.h"
#include "engine/run_time_error.h"
#include "engine/types.h"

namespace tobrisk {

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

// The least time the caller waits for a helper's item before counting it itself.
constexpr std::chrono::microseconds kLeastPatience{200};

// What helpers read. Shared with them: a helper that the system stopped may
// finish its item after the pass has returned, and finds its inputs alive.
struct PassInputs {
  DrawParameters params;
  PlaneGrid grid;
};

// The rows of one band, in items of whole tiles of rows that one thread
// counts, shared by the caller and its helpers (see ItemClaims).
class BandWork {
 public:
  BandWork(std::shared_ptr<const PassInputs> inputs, int first, int count, int itemRows, std::vector<char> mustCount,
           std::span<EscapeCount> counts, std::atomic<int>* rowsCounted)
      : inputs_(std::move(inputs)), first_(first), count_(count), itemRows_(itemRows), mustCount_(std::move(mustCount)),
        counts_(counts), rowsCounted_(rowsCounted), claims_(static_cast<std::size_t>((count + itemRows - 1) / itemRows)) {}

  [[nodiscard]] std::size_t Items() const { return claims_.Items(); }

  // A helper: counts items aside while any are left; writes those it finishes first.
  void Help() {
    try {
      static thread_local std::vector<EscapeCount> aside;
      while (!abandoned_.load(std::memory_order_relaxed)) {
        const std::optional<std::size_t> item = claims_.Claim();
        if (!item) return;
        const auto [begin, end] = Rows(*item);
        aside.resize(static_cast<std::size_t>(end - begin) * Cols());
        Count(begin, end, aside, begin);
        if (!claims_.BeginPublish(*item)) continue;  // the caller counted it meanwhile
        std::copy(aside.begin(), aside.end(), counts_.begin() + static_cast<std::ptrdiff_t>(Offset(begin)));
        Counted(end - begin);
        claims_.Published(*item);
      }
    } catch (...) {  // out of memory, say: the caller counts what this helper leaves
    }
  }

  // The caller: counts the next unclaimed item in place, if there is one.
  bool CountNext() {
    const std::optional<std::size_t> claimed = claims_.Claim();
    if (!claimed) return false;
    claims_.Keep(*claimed);
    CountInPlace(*claimed);
    return true;
  }

  // The caller: every item counted, in place, by itself where no helper has.
  void Resolve() {
    for (std::size_t item = 0; item < Items(); ++item) {
      while (!claims_.Settled(item)) {
        if (CountNext()) continue;
        if (HelperSeemsStopped(item) && claims_.TakeOrAwait(item)) CountInPlace(item);
      }
    }
  }

  // After a failure: no helper claims or writes anything from now on.
  void Abandon() {
    abandoned_.store(true, std::memory_order_relaxed);
    for (std::size_t item = 0; item < Items(); ++item) static_cast<void>(claims_.TakeOrAwait(item));
  }

 private:
  [[nodiscard]] std::size_t Cols() const { return inputs_->grid.xs.size(); }
  [[nodiscard]] std::size_t Offset(int row) const { return static_cast<std::size_t>(row) * Cols(); }
  [[nodiscard]] std::pair<int, int> Rows(std::size_t item) const {
    const int begin = static_cast<int>(item) * itemRows_;
    return {begin, std::min(begin + itemRows_, count_)};
  }

  void CountInPlace(std::size_t item) {
    const auto start = std::chrono::steady_clock::now();
    const auto [begin, end] = Rows(item);
    Count(begin, end, counts_.subspan(Offset(begin), Offset(end) - Offset(begin)), begin);
    Counted(end - begin);
    ownTime_ += std::chrono::steady_clock::now() - start;
    ++ownItems_;
  }

  // Waits for the helper that holds `item` while it may still be running,
  // yielding the processor: true once it has taken several times as long as
  // the caller's own items do, when the system has likely stopped it.
  // Counting the item again at once would waste up to a whole item's time
  // on a machine whose helpers are all running.
  [[nodiscard]] bool HelperSeemsStopped(std::size_t item) const {
    const auto mean = ownItems_ > 0 ? ownTime_ / ownItems_ : std::chrono::steady_clock::duration{};
    const auto patience = std::max<std::chrono::steady_clock::duration>(3 * mean, kLeastPatience);
    const auto since = std::chrono::steady_clock::now();
    while (!claims_.Settled(item)) {
      if (std::chrono::steady_clock::now() - since > patience) return true;
      std::this_thread::yield();
    }
    return false;
  }

  // Counts the band's rows begin ... end - 1 that must be counted into `to`,
  // whose first row is band row `toFirst`; the others take an earlier row's
  // counts when the band is complete.
  void Count(int begin, int end, std::span<EscapeCount> to, int toFirst) const {
    while (begin < end) {
      if (mustCount_[static_cast<std::size_t>(begin)] == 0) {
        ++begin;
        continue;
      }
      int runEnd = begin + 1;
      while (runEnd < end && mustCount_[static_cast<std::size_t>(runEnd)] != 0) ++runEnd;
      const DrawParameters& params = inputs_->params;
      const auto rows = std::span(inputs_->grid.ys).subspan(static_cast<std::size_t>(first_ + begin),
                                                             static_cast<std::size_t>(runEnd - begin));
      const PointGrid points{params.Kind, inputs_->grid.xs, rows, params.MaxIter, params.P, params.Q};
      CountGrid(points, to.subspan(Offset(begin - toFirst), Offset(runEnd - begin)));
      begin = runEnd;
    }
  }

  void Counted(int rows) const {
    if (rowsCounted_ != nullptr) rowsCounted_->fetch_add(rows, std::memory_order_relaxed);
  }

  std::shared_ptr<const PassInputs> inputs_;
  int first_;
  int count_;
  int itemRows_;
  std::vector<char> mustCount_;  // by band row
  std::span<EscapeCount> counts_;
  std::atomic<int>* rowsCounted_;
  ItemClaims claims_;
  std::atomic<bool> abandoned_{false};
  std::chrono::steady_clock::duration ownTime_{};  // the caller's items, for its patience
  int ownItems_ = 0;
};

}  // namespace tobrisk
