// SPDX-License-Identifier: MIT
// The vector escape-time loop, compiled once per instruction set: included by
// hwy/foreach_target.h for each target, hence the toggling guard instead of
// #pragma once. Its parts, one job each: the exact arithmetic, the settling
// discs, the lanes' state table, the vectors of orbits, the rows counted a
// vector at a time and the two-stage scheduler.
#if defined(TOBRISK_ENGINE_FAST_KERNELS_INL_H_) == defined(HWY_TARGET_TOGGLE)
#ifdef TOBRISK_ENGINE_FAST_KERNELS_INL_H_
#undef TOBRISK_ENGINE_FAST_KERNELS_INL_H_
#else
#define TOBRISK_ENGINE_FAST_KERNELS_INL_H_
#endif

#include "engine/exact_arithmetic-inl.h"
#include "engine/lane_table-inl.h"
#include "engine/orbit_lanes-inl.h"
#include "engine/orbit_scheduler-inl.h"
#include "engine/settling_discs-inl.h"
#include "engine/short_rows-inl.h"

#endif  // include guard toggle
