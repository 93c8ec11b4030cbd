#include "engine/kernels.h"

#include <cmath>

#include "engine/checked.h"
#include "engine/fault_test.h"

#ifdef __clang__
#pragma STDC FENV_ACCESS ON  // keeps clang from reordering arithmetic across the flag reads
#endif

namespace tobrisk {
namespace {

// The loop body shared by both kernels once its constant (cx, cy) is known.
// The state survives between calls as singles, exactly as the program stores it.
struct Orbit {
  float X, Y, X2, Y2;
};

// Advances to the next iterate and returns its squared modulus rounded to single.
float Step(Orbit& z, double cx, double cy, int i) {
  const double x = z.X;
  const double y = z.Y;
  z.Y = StoreSingle((x * y + cy) + x * y, InKernel{i, KernelStep::Y});
  z.X = StoreSingle((cx - double{z.Y2}) + double{z.X2}, InKernel{i, KernelStep::X});
  z.Y2 = StoreSingle(double{z.Y} * double{z.Y}, InKernel{i, KernelStep::Y2});
  z.X2 = StoreSingle(double{z.X} * double{z.X}, InKernel{i, KernelStep::X2});
  const double s = Tested(double{z.X2} + double{z.Y2}, InKernel{i, KernelStep::SquaredModulus});
  return ToSingleChecked(s, InKernel{i, KernelStep::SquaredModulus});
}

// Iterates from the test of iterate `i` on until escape or past MaxIter.
EscapeCount Escape(Orbit z, double cx, double cy, std::int16_t i, std::int16_t MaxIter) {
  for (;;) {
    // A quiet comparison: a NaN compares not greater and leaves no invalid flag behind.
    if (std::isgreater(Step(z, cx, cy, i), 4.0F)) return i;
    i = CheckedAdd(i, 1, InKernel{i, KernelStep::Counter});
    if (i > MaxIter) return i;
  }
}

}  // namespace

EscapeCount IterateM(float initx, float inity, std::int16_t MaxIter) {
  DiscardPendingFaults();  // the result depends on the arguments alone
  const double cx = initx;
  const double cy = inity;
  Orbit z{};
  z.X = StoreSingle((cx * cx + cx) - cy * cy, InKernel{1, KernelStep::X});
  z.Y = StoreSingle((cx * cy + cy) + cx * cy, InKernel{1, KernelStep::Y});
  z.Y2 = StoreSingle(double{z.Y} * double{z.Y}, InKernel{1, KernelStep::Y2});
  z.X2 = StoreSingle(double{z.X} * double{z.X}, InKernel{1, KernelStep::X2});
  if (MaxIter < 2) return 2;
  return Escape(z, cx, cy, 2, MaxIter);
}

EscapeCount IterateJ(float initx, float inity, std::int16_t MaxIter, float P, float Q) {
  DiscardPendingFaults();
  Orbit z{};
  z.X = StoreSingle(double{initx}, InKernel{0, KernelStep::X});
  z.Y = StoreSingle(double{inity}, InKernel{0, KernelStep::Y});
  z.X2 = StoreSingle(double{z.X} * double{z.X}, InKernel{0, KernelStep::X2});
  z.Y2 = StoreSingle(double{z.Y} * double{z.Y}, InKernel{0, KernelStep::Y2});
  if (MaxIter < 1) return 1;
  return Escape(z, P, Q, 1, MaxIter);
}

}  // namespace tobrisk
