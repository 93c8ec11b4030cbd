#pragma once

#include <cfenv>

#include "engine/fault_flags.h"
#include "engine/run_time_error.h"

namespace tobrisk {

// Underflow and inexact results are never reported.
inline constexpr int kFaultFlags = FE_OVERFLOW | FE_DIVBYZERO | FE_INVALID;

inline void DiscardPendingFaults() { ClearFaultFlags(kFaultFlags); }

[[noreturn]] void RaiseFault(int raisedFlags, const ErrorSite& site);

// Compilers treat the flag read as unrelated to register arithmetic and may
// move the computation of `value` below it; making the value observable memory
// with a memory clobber pins the computation before the read that follows.
template <typename Real>
inline void Materialize(Real& value) {
#if defined(__GNUC__) || defined(__clang__)
  asm volatile("" : "+m"(value) : : "memory");
#else
  volatile Real pinned = value;
  value = pinned;
#endif
}

// The fault test: raises if an overflow, a division by zero or an invalid
// operation occurred while `value` was computed.
template <typename Real>
[[nodiscard]] inline Real Tested(Real value, const ErrorSite& site) {
  Materialize(value);
  if (const int raised = PendingFaultFlags(kFaultFlags); raised != 0) [[unlikely]] RaiseFault(raised, site);
  return value;
}

// One assignment: the right side was evaluated in double, it is rounded to single, stored and tested.
[[nodiscard]] inline float StoreSingle(double exact, const ErrorSite& site) {
  return Tested(static_cast<float>(exact), site);
}

}  // namespace tobrisk
