#pragma once

#include <cfenv>

namespace tobrisk {

// Reading and clearing the floating-point status flags.
//
// MinGW-w64's fetestexcept and feclearexcept ask the processor with CPUID, at
// every call, whether it has SSE; every x86-64 processor has, and CPUID traps
// to the hypervisor in a virtual machine, which made each fault test cost
// microseconds. There the flags are read from MXCSR (where the SSE arithmetic
// sets them) and from the x87 status word (where the C library's own long
// double code may), as the C library does, without the question.
#if defined(__MINGW64__) && defined(__x86_64__)

// FE_INVALID, FE_DIVBYZERO and FE_OVERFLOW are the same bits in both registers.
[[nodiscard]] inline int PendingFaultFlags(int flags) {
  unsigned int sse = 0;
  unsigned short x87 = 0;
  asm volatile("stmxcsr %0" : "=m"(sse) : : "memory");
  asm volatile("fnstsw %0" : "=am"(x87) : : "memory");
  return static_cast<int>((sse | x87) & static_cast<unsigned int>(flags) & FE_ALL_EXCEPT);
}

inline void ClearFaultFlags(int flags) {
  unsigned int sse = 0;
  asm volatile("stmxcsr %0" : "=m"(sse) : : "memory");
  sse &= ~(static_cast<unsigned int>(flags) & FE_ALL_EXCEPT);
  asm volatile("ldmxcsr %0" : : "m"(sse) : "memory");
  unsigned short x87 = 0;
  asm volatile("fnstsw %0" : "=am"(x87) : : "memory");
  if ((x87 & flags & FE_ALL_EXCEPT) != 0) std::feclearexcept(flags);  // rare: only long double code sets them
}

#else

[[nodiscard]] inline int PendingFaultFlags(int flags) { return std::fetestexcept(flags); }
inline void ClearFaultFlags(int flags) { std::feclearexcept(flags); }

#endif

}  // namespace tobrisk
