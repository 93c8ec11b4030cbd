// SPDX-License-Identifier: MIT
// The two-stage count of a grid, compiled once per instruction set: included
// by hwy/foreach_target.h for each target, hence the toggling guard instead
// of #pragma once.
#if defined(TOBRISK_ENGINE_ORBIT_SCHEDULER_INL_H_) == defined(HWY_TARGET_TOGGLE)
#ifdef TOBRISK_ENGINE_ORBIT_SCHEDULER_INL_H_
#undef TOBRISK_ENGINE_ORBIT_SCHEDULER_INL_H_
#else
#define TOBRISK_ENGINE_ORBIT_SCHEDULER_INL_H_
#endif

#include <algorithm>
#include <cstddef>
#include <optional>
#include <vector>

#include "engine/fast_kernels.h"
#include "engine/lane_fields.h"
#include "engine/lane_table-inl.h"
#include "engine/orbit_lanes-inl.h"
#include "engine/short_rows-inl.h"
#include "hwy/highway.h"

HWY_BEFORE_NAMESPACE();
namespace tobrisk {
namespace HWY_NAMESPACE {
namespace hn = hwy::HWY_NAMESPACE;

// Steps before the limit within which a block's orbits are not worth moving
// out until three quarters of them have ended (W6, at a limit of 50: 3%
// fewer instructions than at half; W5, at 1000, 3.8% more at a quarter
// throughout).
inline constexpr std::size_t kNearLimit = 64;

// The first stage: blocks of consecutive points of a row, loaded straight
// from the row, run together until all end or only half (near the limit a
// quarter) still run; those few are moved to `stragglers`.
template <class Arithmetic, bool kCycles, class DF>
HWY_NOINLINE void CountBlocks(DF df, const PointGrid& grid, EscapeCount* HWY_RESTRICT out,
                              std::vector<Straggler>& stragglers) {
  using Lanes = OrbitLanes<Arithmetic, kCycles, DF>;
  constexpr std::size_t K = Lanes::K;
  const std::size_t N = hn::Lanes(df);
  const std::size_t block = K * N;
  const std::size_t cols = grid.xs.size();
  float* HWY_RESTRICT storage = ThreadStorage<2>(Lanes::StorageSize(df) + block);
  Lanes lanes(df, grid, storage);
  float* HWY_RESTRICT padded = storage + Lanes::StorageSize(df);
  static thread_local std::vector<EscapeCount> results;
  results.resize(block);
  std::optional<TileProofs<DF>> tiles;
  if constexpr (kCycles) {
    const BallCounts counts{FirstTestedIterate(grid.Kind), grid.MaxIter, lanes.limit + 1.0F, lanes.decidedMark};
    tiles.emplace(df, grid, K, counts);
  }
  for (std::size_t row = 0; row < grid.ys.size(); ++row) {
    if constexpr (kCycles) {
      if (tiles && row % kTileRows == 0) tiles->FindForRows(row);
    }
    const float y = grid.ys[row];
    for (std::size_t start = 0; start < cols; start += block) {
      const std::size_t m = std::min(block, cols - start);
      const float* xs = grid.xs.data() + start;
      if (m < block) {
        std::copy_n(xs, m, padded);
        std::fill(padded + m, padded + block, xs[0]);
        xs = padded;
      }
      EscapeCount* const blockOut = out + row * cols + start;
      if (tiles && tiles->BlockProven(start / block) != 0.0F) {  // the usual case: no lane is needed
        std::fill_n(blockOut, m, lanes.ResultOfProven(tiles->BlockProven(start / block), m));
        continue;
      }
      std::size_t running = 0;
      std::size_t started = 0;  // the orbits that run: a proven vector's points do not
      for (std::size_t k = 0; k < K; ++k) {
        const std::size_t valid = m > k * N ? std::min(N, m - k * N) : 0;
        if (valid != 0 && tiles && tiles->Proven(start / N + k) != 0.0F) {
          lanes.Settle(k, valid, tiles->Proven(start / N + k));
          continue;
        }
        started += N;
        running += lanes.Start(k, hn::LoadU(df, xs + k * N), hn::Set(df, y), valid, tiles ? &*tiles : nullptr,
                               start / N + k);
      }
      // Most orbits end within a few steps: check early, then at the full
      // stride. The orbits of a block run in step, so the last round ends
      // where the limit does, not up to a stride past it. Start found the
      // discs; stragglers take theirs along.
      int next = FirstTestedIterate(grid.Kind) + 1;  // the iteration every running orbit tests next
      const auto keepsRunning = [&] {
        const bool nearLimit = grid.MaxIter + 1 - next <= static_cast<int>(kNearLimit);
        return running * (nearLimit ? 4 : 2) > started;
      };
      for (std::size_t stride = 2; keepsRunning(); stride = std::min(2 * stride, kStride)) {
        const std::size_t steps = std::min(stride, static_cast<std::size_t>(std::max(1, grid.MaxIter + 1 - next)));
        running = lanes.Round(steps);
        next += static_cast<int>(steps);
      }
      // Every lane's result, a vector at a time; those of orbits still
      // running are placeholders, which the second stage overwrites.
      for (std::size_t k = 0; k < K; ++k) lanes.StoreResults(k, m == block ? blockOut + k * N : results.data() + k * N);
      if (m < block) std::copy_n(results.data(), m, blockOut);
      if (running == 0) continue;  // every orbit ended in the block
      for (std::size_t j = 0; j < m; ++j) {
        if (lanes.table.IsActive(j)) stragglers.push_back(lanes.table.Record(j, row * cols + start + j));
      }
    }
  }
}

// The second stage: the stragglers, streamed through the lanes; a lane whose
// orbit ends takes the next straggler, so long orbits share no lane with
// short ones.
template <class Arithmetic, bool kCycles, class DF>
HWY_NOINLINE void CountStragglers(DF df, const PointGrid& grid, const std::vector<Straggler>& stragglers,
                                  EscapeCount* HWY_RESTRICT out) {
  using Lanes = OrbitLanes<Arithmetic, kCycles, DF>;
  constexpr std::size_t K = Lanes::K;
  const std::size_t N = hn::Lanes(df);
  Lanes lanes(df, grid, ThreadStorage<3>(Lanes::StorageSize(df)));
  // The output index of each lane's orbit, or none.
  constexpr std::size_t kFree = static_cast<std::size_t>(-1);
  static thread_local std::vector<std::size_t> slot;
  slot.assign(K * N, kFree);
  std::size_t next = 0;

  const auto refill = [&](std::size_t k) {
    for (std::size_t j = k * N; j < (k + 1) * N; ++j) {
      if (lanes.table.IsActive(j)) continue;
      if (slot[j] != kFree) out[slot[j]] = lanes.Result(lanes.table.Get(lane::kCount, j));
      slot[j] = kFree;
      if (next == stragglers.size()) continue;
      const Straggler& s = stragglers[next++];
      lanes.table.Place(j, s);
      slot[j] = s.index;
    }
  };

  for (std::size_t k = 0; k < K; ++k) refill(k);
  for (;;) {
    std::size_t running = lanes.Round(kStride);
    if (next < stragglers.size()) {
      running = 0;
      for (std::size_t k = 0; k < K; ++k) {
        // Refilled once a quarter of its lanes are free: idle lanes cost more than refills do.
        if (4 * lanes.Running(k) <= 3 * N) refill(k);
        running += lanes.Running(k);
      }
    }
    if (running == 0 && next == stragglers.size()) break;
  }
  for (std::size_t j = 0; j < K * N; ++j) {
    if (slot[j] != kFree) out[slot[j]] = lanes.Result(lanes.table.Get(lane::kCount, j));
  }
}

// Counts a grid: in two stages where the constant is bounded and the limit
// allows a test (most points end early and cheaply in their blocks, the few
// long orbits share lanes only with each other), vector by vector otherwise.
template <class Arithmetic, bool kCycles, class DF>
HWY_INLINE void CountGridWith(DF df, const PointGrid& grid, EscapeCount* HWY_RESTRICT counts) {
  if (grid.MaxIter >= FirstTestedIterate(grid.Kind) && ConstantIsBounded(df, grid)) {
    // Kept per thread between calls: a fresh vector per band costs page faults.
    static thread_local std::vector<Straggler> stragglers;
    stragglers.clear();
    CountBlocks<Arithmetic, kCycles>(df, grid, counts, stragglers);
    CountStragglers<Arithmetic, kCycles>(df, grid, stragglers, counts);
    return;
  }
  for (std::size_t row = 0; row < grid.ys.size(); ++row) {
    const PointRow points{grid.Kind, grid.xs, grid.ys[row], grid.MaxIter, grid.P, grid.Q};
    CountRowWith<Arithmetic, kCycles>(df, points, counts + row * grid.xs.size());
  }
}

}  // namespace HWY_NAMESPACE
}  // namespace tobrisk
HWY_AFTER_NAMESPACE();

#endif  // include guard toggle
