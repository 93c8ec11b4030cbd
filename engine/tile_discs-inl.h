// Settling discs shared by tiles of a Mandelbrot grid, compiled once per
// instruction set: included by hwy/foreach_target.h for each target, hence
// the toggling guard instead of #pragma once.
#if defined(TOBRISK_ENGINE_TILE_DISCS_INL_H_) == defined(HWY_TARGET_TOGGLE)
#ifdef TOBRISK_ENGINE_TILE_DISCS_INL_H_
#undef TOBRISK_ENGINE_TILE_DISCS_INL_H_
#else
#define TOBRISK_ENGINE_TILE_DISCS_INL_H_
#endif

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <limits>
#include <span>
#include <vector>

#include "engine/fast_kernels.h"
#include "engine/settling_discs-inl.h"
#include "hwy/highway.h"

HWY_BEFORE_NAMESPACE();
namespace tobrisk {
namespace HWY_NAMESPACE {
namespace hn = hwy::HWY_NAMESPACE;

// One settling disc per tile of kTileRows rows by one block of columns, proven
// for every point of the tile at once from its middle point and the tile's
// spread. A point's own disc costs a square root and some thirty operations
// in double; a tile's is shared by hundreds of points. Where a tile has no
// disc (it straddles the edge of the cardioid or the bulb, or lies outside
// them) the points look for their own.
template <class DF>
class TileDiscs {
 public:
  TileDiscs(DF df, const PointGrid& grid, std::size_t width)
      : df_(df), ys_(grid.ys), tiles_((grid.xs.size() + width - 1) / width) {
    const std::size_t padded = hwy::RoundUpTo(tiles_, hn::Lanes(df));
    middleX_.assign(padded, 0.0F);
    spreadX_.assign(padded, kUnbounded);
    centreX_.resize(padded);
    centreY_.resize(padded);
    radius2_.resize(padded);
    for (std::size_t t = 0; t < tiles_; ++t) {
      const std::span<const float> xs = grid.xs.subspan(t * width, std::min(width, grid.xs.size() - t * width));
      middleX_[t] = xs[xs.size() / 2];
      spreadX_[t] = Spread(xs, middleX_[t]);
    }
  }

  // Finds the discs of the tiles whose rows begin at `firstRow`.
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
      hn::Vec<DF> centreX, centreY, radius2;
      FindSettlingDisc(df_, hn::PromoteTo(dd, hn::LoadU(df_, middleX_.data() + t)), hn::Set(dd, double{middleY}), spread,
                       centreX, centreY, radius2);
      hn::StoreU(centreX, df_, centreX_.data() + t);
      hn::StoreU(centreY, df_, centreY_.data() + t);
      hn::StoreU(radius2, df_, radius2_.data() + t);
    }
  }

  [[nodiscard]] bool Has(std::size_t tile) const { return radius2_[tile] >= 0.0F; }
  [[nodiscard]] hn::Vec<DF> CentreX(std::size_t tile) const { return hn::Set(df_, centreX_[tile]); }
  [[nodiscard]] hn::Vec<DF> CentreY(std::size_t tile) const { return hn::Set(df_, centreY_[tile]); }
  [[nodiscard]] hn::Vec<DF> Radius2(std::size_t tile) const { return hn::Set(df_, radius2_[tile]); }

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
    // Rounded up to single, so that the single kept still bounds it.
    if (largest > std::numeric_limits<float>::max()) return kUnbounded;
    const auto rounded = static_cast<float>(largest);
    return double{rounded} >= largest ? rounded : std::nextafter(rounded, kUnbounded);
  }

  DF df_;
  std::span<const float> ys_;
  std::size_t tiles_;
  std::vector<float> middleX_, spreadX_;  // per tile column
  std::vector<float> centreX_, centreY_, radius2_;
};

}  // namespace HWY_NAMESPACE
}  // namespace tobrisk
HWY_AFTER_NAMESPACE();

#endif  // include guard toggle
