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

// Tiles of kTileRows rows by one vector of columns. For a Mandelbrot grid,
// one settling disc per tile, proven for every point of the tile at once
// from its middle point and the tile's spread: a point's own disc costs a
// square root and some thirty operations in double, a tile's is shared by
// dozens of points. Where a tile has no disc (it straddles the edge of the
// cardioid or the bulb, or lies outside them) the points look for their own.
// For either kind, the count of every point of a tile where one ball of
// orbits proves it (see ProveTileCounts): whole tiles far outside the set or
// deep inside it then cost no orbit of their own.
template <class DF>
class TileProofs {
 public:
  TileProofs(DF df, const PointGrid& grid, const BallCounts& counts)
      : df_(df), mandelbrot_(grid.Kind == FractalKind::Mandelbrot), P_(grid.P), Q_(grid.Q), ys_(grid.ys),
        counts_(counts), tiles_((grid.xs.size() + hn::Lanes(df) - 1) / hn::Lanes(df)) {
    const std::size_t padded = hwy::RoundUpTo(tiles_, hn::Lanes(df));
    middleX_.assign(padded, 0.0F);
    spreadX_.assign(padded, kUnbounded);
    centreX_.resize(padded);
    centreY_.resize(padded);
    radius2_.resize(padded);
    proven_.assign(padded, 0.0F);
    const std::size_t width = hn::Lanes(df);
    for (std::size_t t = 0; t < tiles_; ++t) {
      const std::span<const float> xs = grid.xs.subspan(t * width, std::min(width, grid.xs.size() - t * width));
      middleX_[t] = xs[xs.size() / 2];
      spreadX_[t] = xs.size() == width ? SpreadOfVector(xs.data(), middleX_[t]) : Spread(xs, middleX_[t]);
    }
    if (!mandelbrot_) {  // one constant, so one disc for every tile
      const hn::Rebind<double, DF> dd;
      hn::Vec<DF> centreX, centreY, radius2;
      FindSettlingDisc(df_, hn::Set(dd, double{P_}), hn::Set(dd, double{Q_}), hn::Zero(dd), centreX, centreY, radius2);
      for (std::size_t t = 0; t < padded; t += hn::Lanes(df)) {
        hn::StoreU(centreX, df_, centreX_.data() + t);
        hn::StoreU(centreY, df_, centreY_.data() + t);
        hn::StoreU(radius2, df_, radius2_.data() + t);
      }
    }
  }

  // Finds the discs and counts of the tiles whose rows begin at `firstRow`.
  void FindForRows(std::size_t firstRow) {
    const std::span<const float> ys = ys_.subspan(firstRow, std::min(kTileRows, ys_.size() - firstRow));
    const float middleY = ys[ys.size() / 2];
    const double spreadY = Spread(ys, middleY);
    const hn::Rebind<double, DF> dd;
    const std::size_t N = hn::Lanes(df_);
    for (std::size_t t = 0; t < tiles_; t += N) {
      // The sum of the two spreads, rounded once in double, bounds |c - middle| with room to spare.
      const auto spread = hn::Mul(hn::Add(hn::PromoteTo(dd, hn::LoadU(df_, spreadX_.data() + t)), hn::Set(dd, spreadY)),
                                  hn::Set(dd, 1.0 + 0x1p-50));
      const auto middleX = hn::PromoteTo(dd, hn::LoadU(df_, middleX_.data() + t));
      const auto middleYs = hn::Set(dd, double{middleY});
      if (mandelbrot_) {
        hn::Vec<DF> centreX = hn::Zero(df_), centreY = hn::Zero(df_), radius2 = hn::Set(df_, -1.0F);
        // A tile whose middle lies outside both has no disc: skip the search.
        if (!hn::AllFalse(df_, MayHaveSettlingDisc(df_, hn::LoadU(df_, middleX_.data() + t), hn::Set(df_, middleY)))) {
          FindSettlingDisc(df_, middleX, middleYs, spread, centreX, centreY, radius2);
        }
        hn::StoreU(centreX, df_, centreX_.data() + t);
        hn::StoreU(centreY, df_, centreY_.data() + t);
        hn::StoreU(radius2, df_, radius2_.data() + t);
      }
      const auto discX = hn::LoadU(df_, centreX_.data() + t);
      const auto discY = hn::LoadU(df_, centreY_.data() + t);
      const auto discR2 = hn::LoadU(df_, radius2_.data() + t);
      const auto proven = mandelbrot_ ? ProveTileCounts(df_, true, middleX, middleYs, middleX, middleYs, spread, discX,
                                                        discY, discR2, counts_)
                                      : ProveTileCounts(df_, false, hn::Set(dd, double{P_}), hn::Set(dd, double{Q_}),
                                                        middleX, middleYs, spread, discX, discY, discR2, counts_);
      hn::StoreU(hn::DemoteTo(df_, proven), df_, proven_.data() + t);
    }
  }

  [[nodiscard]] bool Has(std::size_t tile) const { return radius2_[tile] >= 0.0F; }
  [[nodiscard]] hn::Vec<DF> CentreX(std::size_t tile) const { return hn::Set(df_, centreX_[tile]); }
  [[nodiscard]] hn::Vec<DF> CentreY(std::size_t tile) const { return hn::Set(df_, centreY_[tile]); }
  [[nodiscard]] hn::Vec<DF> Radius2(std::size_t tile) const { return hn::Set(df_, radius2_[tile]); }
  // The count every point of the tile gets, in the lanes' reading, or 0 where none is proven.
  [[nodiscard]] float Proven(std::size_t tile) const { return proven_[tile]; }

 private:
  // A spread too large for any disc: a tile with a non-finite point has none.
  static constexpr float kUnbounded = std::numeric_limits<float>::infinity();

  // The largest |v - middle| over the values, in double (where the
  // difference of two singles is within 2^-53 of exact), or kUnbounded.
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
  std::size_t tiles_;
  std::vector<float> middleX_, spreadX_;  // per tile column
  std::vector<float> centreX_, centreY_, radius2_, proven_;
};

}  // namespace HWY_NAMESPACE
}  // namespace tobrisk
HWY_AFTER_NAMESPACE();

#endif  // include guard toggle
