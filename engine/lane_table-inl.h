// SPDX-License-Identifier: MIT
// The lanes' state as a table of fields, compiled once per instruction set:
// included by hwy/foreach_target.h for each target, hence the toggling guard
// instead of #pragma once.
#if defined(TOBRISK_ENGINE_LANE_TABLE_INL_H_) == defined(HWY_TARGET_TOGGLE)
#ifdef TOBRISK_ENGINE_LANE_TABLE_INL_H_
#undef TOBRISK_ENGINE_LANE_TABLE_INL_H_
#else
#define TOBRISK_ENGINE_LANE_TABLE_INL_H_
#endif

#include <cstddef>
#include <new>

#include "engine/lane_fields.h"
#include "hwy/aligned_allocator.h"
#include "hwy/highway.h"

HWY_BEFORE_NAMESPACE();
namespace tobrisk {
namespace HWY_NAMESPACE {
namespace hn = hwy::HWY_NAMESPACE;

// Aligned storage for `count` singles, kept per thread and per `kUse`
// between calls (a fresh allocation per band of rows costs page faults).
// The vector width is known only at run time (SVE), so it is sized then.
template <int kUse>
[[nodiscard]] HWY_INLINE float* ThreadStorage(std::size_t count) {
  static thread_local hwy::AlignedFreeUniquePtr<float[]> storage;
  static thread_local std::size_t capacity = 0;
  if (capacity < count) {
    storage = hwy::AllocateAligned<float>(count);
    if (!storage) throw std::bad_alloc();
    capacity = count;
  }
  return storage.get();
}

// `slots` lanes (a whole number of vectors), each field an aligned array of
// them: vectors are loaded from it around the hot loop and stored after, so
// no vector is ever a member or an array element (SVE's are sizeless).
template <class DF>
class LaneTable {
 public:
  using VF = hn::Vec<DF>;
  using MF = hn::Mask<DF>;

  [[nodiscard]] static std::size_t Size(std::size_t slots) { return lane::kFields * slots; }

  LaneTable(DF df, std::size_t slots, float* HWY_RESTRICT storage) : df_(df), slots_(slots), data_(storage) {}

  [[nodiscard]] VF Load(lane::Field f, std::size_t k) const { return hn::Load(df_, At(f, k)); }
  void Store(lane::Field f, std::size_t k, VF v) { hn::Store(v, df_, At(f, k)); }
  [[nodiscard]] MF LoadActive(std::size_t k) const { return hn::Gt(Load(lane::kActive, k), hn::Zero(df_)); }
  void StoreActive(std::size_t k, MF active) { Store(lane::kActive, k, hn::IfThenElseZero(active, hn::Set(df_, 1.0F))); }
  // Every lane of a field.
  void Fill(lane::Field f, float value) {
    float* HWY_RESTRICT to = data_ + f * slots_;
    for (std::size_t j = 0; j < slots_; ++j) to[j] = value;
  }

  // Single lanes, `slot` counting across the vectors.
  [[nodiscard]] float Get(lane::Field f, std::size_t slot) const { return data_[f * slots_ + slot]; }
  [[nodiscard]] bool IsActive(std::size_t slot) const { return Get(lane::kActive, slot) > 0.0F; }
  [[nodiscard]] Straggler Record(std::size_t slot, std::size_t index) const {
    Straggler s{{}, index};
    for (std::size_t f = 0; f < lane::kFields; ++f) s.fields[f] = data_[f * slots_ + slot];
    return s;
  }
  void Place(std::size_t slot, const Straggler& s) {
    for (std::size_t f = 0; f < lane::kFields; ++f) data_[f * slots_ + slot] = s.fields[f];
  }

 private:
  [[nodiscard]] float* At(lane::Field f, std::size_t k) const { return data_ + f * slots_ + k * hn::Lanes(df_); }

  DF df_;
  std::size_t slots_;
  float* HWY_RESTRICT data_;
};

}  // namespace HWY_NAMESPACE
}  // namespace tobrisk
HWY_AFTER_NAMESPACE();

#endif  // include guard toggle
