// SPDX-License-Identifier: MIT
// What is proven once for a whole tile of a grid's points, compiled once per
// instruction set: included by hwy/foreach_target.h for each target, hence
// the toggling guard instead of #pragma once.
#if defined(TOBRISK_ENGINE_TILE_PROOFS_INL_H_) == defined(HWY_TARGET_TOGGLE)
#ifdef TOBRISK_ENGINE_TILE_PROOFS_INL_H_
#undef TOBRISK_ENGINE_TILE_PROOFS_INL_H_
#else
#define TOBRISK_ENGINE_TILE_PROOFS_INL_H_
#endif

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <limits>
#include <span>
#include <vector>

#include "engine/fast_kernels.h"
#include "engine/settling_discs-inl.h"
#include "engine/tile_balls-inl.h"
#include "hwy/highway.h"

HWY_BEFORE_NAMESPACE();
namespace tobrisk {
namespace HWY_NAMESPACE {
namespace hn = hwy::HWY_NAMESPACE;

// The middle and spread of each group of columns of a grid, padded to whole
// vectors of groups.
struct TileColumns {
  std::size_t count = 0;
  std::vector<float> middle, spread;
};

// Settling discs, one per tile (radius2 < 0: none).
struct TileDiscs {
  std::vector<float> centreX, centreY, radius2;
  void Resize(std::size_t tiles) {
    centreX.assign(tiles, 0.0F);
    centreY.assign(tiles, 0.0F);
    radius2.assign(tiles, -1.0F);
  }
};

// Tiles of kTileRows rows by one block of columns, and within them by one
// vector of columns. The count of every point of a tile is proven where the
// tile's orbits prove it (see ProveTileCounts): whole tiles far outside the
// set or deep inside it then cost no orbit of their own. Blocks are tried
// first; the vectors of a block left unproven are tried one by one, being
// narrower. For a Mandelbrot grid, each tile tried gets a settling disc,
// proven for all its points at once from its middle point and its spread:
// a point's own disc costs a square root and some thirty operations in
// double, a tile's is shared by dozens of points. The points of a vector
// left unproven start with its disc, or find their own where it has none
// (it straddles the edge of the cardioid or the bulb, or lies outside them).
template <class DF>
class TileProofs {
 public:
  TileProofs(DF df, const PointGrid& grid, std::size_t blockVectors, const BallCounts& counts)
      : df_(df), mandelbrot_(grid.Kind == FractalKind::Mandelbrot), P_(grid.P), Q_(grid.Q), ys_(grid.ys),
        counts_(counts), blockVectors_(blockVectors), vectors_(VectorColumns(grid.xs)), blocks_(BlockColumns(grid.xs)) {
    const std::size_t N = hn::Lanes(df);
    blockDiscs_.Resize(blocks_.middle.size());
    vectorDiscs_.Resize(vectors_.middle.size());
    gatheredDiscs_.Resize(N);
    blockProven_.assign(blocks_.middle.size(), 0.0F);
    proven_.assign(vectors_.middle.size(), 0.0F);
    queue_.assign(N, 0);
    gathered_.count = N;
    gathered_.middle.assign(N, 0.0F);
    gathered_.spread.assign(N, 0.0F);
    gatheredCounts_.assign(N, 0.0F);
    if (!mandelbrot_) {  // one constant, so one disc for every tile
      const hn::Rebind<double, DF> dd;
      hn::Vec<DF> centreX, centreY, radius2;
      FindSettlingDisc(df_, hn::Set(dd, double{P_}), hn::Set(dd, double{Q_}), hn::Zero(dd), centreX, centreY, radius2);
      for (TileDiscs* discs : {&blockDiscs_, &vectorDiscs_, &gatheredDiscs_}) {
        for (std::size_t t = 0; t < discs->radius2.size(); t += N) {
          hn::StoreU(centreX, df_, discs->centreX.data() + t);
          hn::StoreU(centreY, df_, discs->centreY.data() + t);
          hn::StoreU(radius2, df_, discs->radius2.data() + t);
        }
      }
    }
  }

  // Proves what it can of the tiles whose rows begin at `firstRow`.
  void FindForRows(std::size_t firstRow) {
    const std::span<const float> ys = ys_.subspan(firstRow, std::min(kTileRows, ys_.size() - firstRow));
    const float middleY = ys[ys.size() / 2];
    const double spreadY = Spread(ys, middleY);
    const std::size_t N = hn::Lanes(df_);
    for (std::size_t b = 0; b < blocks_.count; b += N) {
      if (mandelbrot_) FindDiscs(blocks_, b, middleY, spreadY, blockDiscs_);
      hn::StoreU(Prove(blocks_, b, blockDiscs_, middleY, spreadY), df_, blockProven_.data() + b);
    }
    std::size_t queued = 0;
    for (std::size_t b = 0; b < blocks_.count; ++b) {
      for (std::size_t v = b * blockVectors_; v < std::min((b + 1) * blockVectors_, vectors_.count); ++v) {
        proven_[v] = blockProven_[b];
        if (blockProven_[b] != 0.0F) continue;
        queue_[queued] = v;
        gathered_.middle[queued] = vectors_.middle[v];
        gathered_.spread[queued] = vectors_.spread[v];
        if (++queued == N) queued = ProveQueued(queued, middleY, spreadY);
      }
    }
    if (queued != 0) ProveQueued(queued, middleY, spreadY);
  }

  // The settling disc of vector tile `vector`, for points that run (their tile unproven).
  [[nodiscard]] bool Has(std::size_t vector) const { return vectorDiscs_.radius2[vector] >= 0.0F; }
  [[nodiscard]] hn::Vec<DF> CentreX(std::size_t vector) const { return hn::Set(df_, vectorDiscs_.centreX[vector]); }
  [[nodiscard]] hn::Vec<DF> CentreY(std::size_t vector) const { return hn::Set(df_, vectorDiscs_.centreY[vector]); }
  [[nodiscard]] hn::Vec<DF> Radius2(std::size_t vector) const { return hn::Set(df_, vectorDiscs_.radius2[vector]); }
  // The count every point of vector tile `vector` (of block tile `block`)
  // gets, in the lanes' reading, or 0 where none is proven.
  [[nodiscard]] float Proven(std::size_t vector) const { return proven_[vector]; }
  [[nodiscard]] float BlockProven(std::size_t block) const { return blockProven_[block]; }

 private:
  // The middle and spread of each vector of columns.
  [[nodiscard]] TileColumns VectorColumns(std::span<const float> xs) const {
    const std::size_t width = hn::Lanes(df_);
    TileColumns columns;
    columns.count = (xs.size() + width - 1) / width;
    columns.middle.assign(hwy::RoundUpTo(columns.count, width), 0.0F);
    columns.spread.assign(columns.middle.size(), kUnbounded);
    for (std::size_t t = 0; t < columns.count; ++t) {
      const std::span<const float> group = xs.subspan(t * width, std::min(width, xs.size() - t * width));
      columns.middle[t] = group[group.size() / 2];
      columns.spread[t] = group.size() == width ? SpreadOfVector(group.data(), columns.middle[t])
                                                : Spread(group, columns.middle[t]);
    }
    return columns;
  }

  // The same for each block, from its vectors': a point lies within its
  // vector's spread of the vector's middle, which lies so far from the block's
  // (a difference and a sum rounded to nearest, covered by TileSpread).
  [[nodiscard]] TileColumns BlockColumns(std::span<const float> xs) const {
    const std::size_t width = blockVectors_ * hn::Lanes(df_);
    TileColumns columns;
    columns.count = (xs.size() + width - 1) / width;
    columns.middle.assign(hwy::RoundUpTo(columns.count, hn::Lanes(df_)), 0.0F);
    columns.spread.assign(columns.middle.size(), kUnbounded);
    for (std::size_t b = 0; b < columns.count; ++b) {
      const std::size_t first = b * width, size = std::min(width, xs.size() - first);
      const float middle = xs[first + size / 2];
      double largest = 0.0;
      for (std::size_t v = b * blockVectors_; v < std::min((b + 1) * blockVectors_, vectors_.count); ++v) {
        largest = std::max(largest, std::abs(double{vectors_.middle[v]} - double{middle}) + double{vectors_.spread[v]});
      }
      columns.middle[b] = middle;
      columns.spread[b] = RoundedUp(largest);
    }
    return columns;
  }

  // The discs of tiles t ... t + N - 1 of `columns`. A tile whose middle lies
  // outside both the cardioid and the bulb has none: the search is skipped.
  void FindDiscs(const TileColumns& columns, std::size_t t, float middleY, double spreadY, TileDiscs& discs) const {
    const hn::Rebind<double, DF> dd;
    hn::Vec<DF> centreX = hn::Zero(df_), centreY = hn::Zero(df_), radius2 = hn::Set(df_, -1.0F);
    const auto middleX = hn::LoadU(df_, columns.middle.data() + t);
    if (!hn::AllFalse(df_, MayHaveSettlingDisc(df_, middleX, hn::Set(df_, middleY)))) {
      FindSettlingDisc(df_, hn::PromoteTo(dd, middleX), hn::Set(dd, double{middleY}),
                       TileSpread(columns.spread.data() + t, spreadY), centreX, centreY, radius2);
    }
    hn::StoreU(centreX, df_, discs.centreX.data() + t);
    hn::StoreU(centreY, df_, discs.centreY.data() + t);
    hn::StoreU(radius2, df_, discs.radius2.data() + t);
  }

  // The hypotenuse of the two spreads bounds |c - middle|: computed in
  // double (four roundings, each within 2^-53) and widened to cover them.
  // The spreads themselves may lie below the exact largest distance: each
  // difference of two singles is rounded to nearest in double, which can
  // round down (2^24 - (-2^-40) gives 2^24), and a block's sum with its
  // vector's spread rounds once more, so a spread may fall short by a factor
  // (1 - 2^-53)^3 before RoundedUp, which only rounds up. With the four
  // roundings here and the widening's own, at most nine factors of 1 + 2^-53
  // are to be covered: 1 + 2^-48 covers them with room.
  // A tile's corners lie that far from its middle, not the sum's 1.41 times.
  [[nodiscard]] auto TileSpread(const float* spreadX, double spreadY) const {
    const hn::Rebind<double, DF> dd;
    const auto x = hn::PromoteTo(dd, hn::LoadU(df_, spreadX));
    const auto y = hn::Set(dd, spreadY);
    return hn::Mul(hn::Sqrt(hn::Add(hn::Mul(x, x), hn::Mul(y, y))), hn::Set(dd, 1.0 + 0x1p-48));
  }

  // The proven counts of tiles t ... t + N - 1 of `columns`, with their discs.
  [[nodiscard]] hn::Vec<DF> Prove(const TileColumns& columns, std::size_t t, const TileDiscs& discs, float middleY,
                                  double spreadY) const {
    const hn::Rebind<double, DF> dd;
    const auto x = hn::PromoteTo(dd, hn::LoadU(df_, columns.middle.data() + t));
    const auto y = hn::Set(dd, double{middleY});
    const auto cx = mandelbrot_ ? x : hn::Set(dd, double{P_});
    const auto cy = mandelbrot_ ? y : hn::Set(dd, double{Q_});
    return hn::DemoteTo(df_, ProveTileCounts(df_, mandelbrot_, cx, cy, x, y, TileSpread(columns.spread.data() + t, spreadY),
                                             hn::LoadU(df_, discs.centreX.data() + t),
                                             hn::LoadU(df_, discs.centreY.data() + t),
                                             hn::LoadU(df_, discs.radius2.data() + t), counts_));
  }

  // Finds the discs of and proves the `queued` vector tiles gathered (the
  // rest of the lanes repeat the first), and scatters both; returns 0, the
  // queue now empty.
  std::size_t ProveQueued(std::size_t queued, float middleY, double spreadY) {
    std::fill(gathered_.middle.begin() + static_cast<std::ptrdiff_t>(queued), gathered_.middle.end(), gathered_.middle[0]);
    std::fill(gathered_.spread.begin() + static_cast<std::ptrdiff_t>(queued), gathered_.spread.end(), gathered_.spread[0]);
    if (mandelbrot_) FindDiscs(gathered_, 0, middleY, spreadY, gatheredDiscs_);
    hn::StoreU(Prove(gathered_, 0, gatheredDiscs_, middleY, spreadY), df_, gatheredCounts_.data());
    for (std::size_t i = 0; i < queued; ++i) {
      const std::size_t v = queue_[i];
      proven_[v] = gatheredCounts_[i];
      vectorDiscs_.centreX[v] = gatheredDiscs_.centreX[i];
      vectorDiscs_.centreY[v] = gatheredDiscs_.centreY[i];
      vectorDiscs_.radius2[v] = gatheredDiscs_.radius2[i];
    }
    return 0;
  }

  // A spread too large for any disc: a tile with a non-finite point has none.
  static constexpr float kUnbounded = std::numeric_limits<float>::infinity();

  // The largest |v - middle| over the values, in double (where the
  // difference of two singles is within 2^-53 of exact, but may lie below
  // it: TileSpread covers that), or kUnbounded.
  static float Spread(std::span<const float> values, float middle) {
    double largest = 0.0;
    for (const float v : values) {
      const double d = std::abs(double{v} - double{middle});
      if (!std::isfinite(d)) return kUnbounded;
      largest = std::max(largest, d);
    }
    return RoundedUp(largest);
  }

  // The same for one vector of values, from their least and greatest: the
  // rounded differences grow with the exact ones, so the largest is the same.
  float SpreadOfVector(const float* values, float middle) const {
    const auto v = hn::LoadU(df_, values);
    if (!hn::AllTrue(df_, hn::IsFinite(v))) return kUnbounded;
    const double least = hn::GetLane(hn::MinOfLanes(df_, v));
    const double greatest = hn::GetLane(hn::MaxOfLanes(df_, v));
    return RoundedUp(std::max(greatest - double{middle}, double{middle} - least));
  }

  // Rounded up to single, so that the single kept still bounds it.
  static float RoundedUp(double largest) {
    if (!(largest <= std::numeric_limits<float>::max())) return kUnbounded;
    const auto rounded = static_cast<float>(largest);
    return double{rounded} >= largest ? rounded : std::nextafter(rounded, kUnbounded);
  }

  DF df_;
  bool mandelbrot_;
  float P_, Q_;
  std::span<const float> ys_;
  BallCounts counts_;
  std::size_t blockVectors_;
  TileColumns vectors_, blocks_;
  TileDiscs vectorDiscs_, blockDiscs_;
  std::vector<float> proven_, blockProven_;
  // Vector tiles of unproven blocks, queued to be tried a vector of them at once.
  std::vector<std::size_t> queue_;
  TileColumns gathered_;
  TileDiscs gatheredDiscs_;
  std::vector<float> gatheredCounts_;
};

}  // namespace HWY_NAMESPACE
}  // namespace tobrisk
HWY_AFTER_NAMESPACE();

#endif  // include guard toggle
