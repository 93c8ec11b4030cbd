#pragma once

#include <cfenv>

#include "engine/run_time_error.h"

namespace tobrisk {

// Underflow and inexact results are never reported.
inline constexpr int kFaultFlags = FE_OVERFLOW | FE_DIVBYZERO | FE_INVALID;

#if defined(__MINGW32__) && defined(__x86_64__)
// MinGW's fetestexcept and feclearexcept ask the processor whether it has SSE
// (cpuid) on every call, which costs microseconds under a hypervisor: the
// reference pass of a 256-pixel icon took a minute and a half. Every x86-64
// processor has SSE, so the flags of the x87 status word and of MXCSR are read
// and cleared here as those functions do, without the question. The FE_ bits
// are the flags' bits in both registers. Like the calls they replace, the reads
// and writes are barriers to memory, not to arithmetic in registers (see Materialize).
[[nodiscard]] inline int PendingFlags(int flags) {
  unsigned short x87 = 0;
  unsigned int sse = 0;
  asm volatile("fnstsw %0" : "=am"(x87) : : "memory");
  asm volatile("stmxcsr %0" : "=m"(sse) : : "memory");
  return static_cast<int>((x87 | sse) & static_cast<unsigned>(flags) & FE_ALL_EXCEPT);
}
inline void ClearFlags(int flags) {
  fenv_t x87;
  asm volatile("fnstenv %0" : "=m"(x87) : : "memory");
  x87.__status_word &= static_cast<unsigned short>(~(flags & FE_ALL_EXCEPT));
  asm volatile("fldenv %0" : : "m"(x87) : "memory");
  unsigned int sse = 0;
  asm volatile("stmxcsr %0" : "=m"(sse) : : "memory");
  sse &= ~static_cast<unsigned>(flags & FE_ALL_EXCEPT);
  asm volatile("ldmxcsr %0" : : "m"(sse) : "memory");
}
#else
[[nodiscard]] inline int PendingFlags(int flags) { return std::fetestexcept(flags); }
inline void ClearFlags(int flags) { std::feclearexcept(flags); }
#endif

inline void DiscardPendingFaults() { ClearFlags(kFaultFlags); }

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
  if (const int raised = PendingFlags(kFaultFlags); raised != 0) [[unlikely]] RaiseFault(raised, site);
  return value;
}

// One assignment: the right side was evaluated in double, it is rounded to single, stored and tested.
[[nodiscard]] inline float StoreSingle(double exact, const ErrorSite& site) {
  return Tested(static_cast<float>(exact), site);
}

}  // namespace tobrisk
