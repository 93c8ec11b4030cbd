#include <cmath>
#include <cstdint>
#include <limits>
#include <optional>
#include <string>

#include <gtest/gtest.h>

#include "engine/fractal.h"
#include "tests/support/test_names.h"

namespace tobrisk {
namespace {

constexpr float kInf = std::numeric_limits<float>::infinity();

struct KernelCase {
  const char* name;
  FractalKind kind;
  float x, y;
  std::int16_t maxIter;
  float p = 0.0F, q = 0.0F;
};

EscapeCount RunKernel(const KernelCase& c) {
  return c.kind == FractalKind::Mandelbrot ? IterateM(c.x, c.y, c.maxIter) : IterateJ(c.x, c.y, c.maxIter, c.p, c.q);
}

struct CountCase {
  KernelCase input;
  EscapeCount expected;
};

void PrintTo(const CountCase& c, std::ostream* os) { *os << c.input.name; }

class KernelCounts : public testing::TestWithParam<CountCase> {};

TEST_P(KernelCounts, ReturnsEscapeIndex) {
  const CountCase& c = GetParam();
  EXPECT_EQ(RunKernel(c.input), c.expected) << c.input.name;
}

constexpr auto M = FractalKind::Mandelbrot;
constexpr auto J = FractalKind::Julia;

INSTANTIATE_TEST_SUITE_P(
    Samples, KernelCounts,
    testing::Values(CountCase{{"origin never escapes", M, 0.0F, 0.0F, 100}, 101},
                    CountCase{{"cusp 0.25 stays", M, 0.25F, 0.0F, 100}, 101},
                    CountCase{{"just past the cusp", M, 0.26F, 0.0F, 100}, 29},
                    CountCase{{"tip: modulus exactly 4 does not escape", M, -2.0F, 0.0F, 100}, 101},
                    CountCase{{"z1 untested, z2 escapes", M, 1.0F, 0.0F, 100}, 2},
                    CountCase{{"corner of default view", M, -2.5F, -1.5F, 100}, 2},
                    CountCase{{"(0.5, 0.5)", M, 0.5F, 0.5F, 100}, 4},
                    CountCase{{"(-0.75, 0.1)", M, -0.75F, 0.1F, 100}, 32},
                    CountCase{{"MaxIter 1 skips testing", M, 0.0F, 0.0F, 1}, 2},
                    CountCase{{"MaxIter 0 skips testing", M, 100.0F, 0.0F, 0}, 2},
                    CountCase{{"negative MaxIter skips testing", M, 0.0F, 0.0F, -5}, 2},
                    CountCase{{"MaxIter 2 tests once", M, 0.0F, 0.0F, 2}, 3},
                    CountCase{{"MaxIter 32766 runs to the top", M, 0.0F, 0.0F, 32766}, 32767},
                    CountCase{{"Julia origin", J, 0.0F, 0.0F, 100, 0.3F, 0.6F}, 15},
                    CountCase{{"Julia corner", J, -1.5F, -1.5F, 100, 0.3F, 0.6F}, 1},
                    CountCase{{"Julia MaxIter 0", J, 0.0F, 0.0F, 0, 0.3F, 0.6F}, 1},
                    CountCase{{"Julia z1 = 4 escapes at once", J, 2.0F, 0.0F, 100, 0.0F, 0.0F}, 1},
                    CountCase{{"Julia orbit fixed at 2", J, -2.0F, 0.0F, 100, -2.0F, 0.0F}, 101},
                    CountCase{{"Julia infinite constant escapes", J, 0.0F, 0.0F, 100, kInf, 0.0F}, 1},
                    CountCase{{"Julia NaN constant never escapes", J, 0.0F, 0.0F, 100,
                               std::numeric_limits<float>::quiet_NaN(), 0.0F},
                              101}),
    [](const testing::TestParamInfo<CountCase>& info) { return test::TestNameOf(info.param.input.name); });

struct FaultCase {
  KernelCase input;
  ErrorCause cause;
  InKernel where;
};

void PrintTo(const FaultCase& c, std::ostream* os) { *os << c.input.name; }

class KernelFaults : public testing::TestWithParam<FaultCase> {};

// One case for every statement that can fail, so that each fault test is seen
// to observe its own assignment (also in the unoptimised build of this file).
TEST_P(KernelFaults, RaiseAtTheFailingStatement) {
  const FaultCase& c = GetParam();
  try {
    const EscapeCount n = RunKernel(c.input);
    ADD_FAILURE() << c.input.name << ": returned " << n << " instead of raising";
  } catch (const RunTimeError& error) {
    EXPECT_EQ(error, RunTimeError(c.cause, c.where)) << c.input.name << ": got \"" << error.what() << '"';
  }
}

using enum KernelStep;
constexpr auto kOverflow = ErrorCause::Overflow;
constexpr auto kFpOverflow = ErrorCause::FloatingPointOverflow;
constexpr auto kInvalid = ErrorCause::FloatingPointInvalid;

INSTANTIATE_TEST_SUITE_P(
    EveryStatement, KernelFaults,
    testing::Values(
        FaultCase{{"M: X of z1 invalid", M, kInf, kInf, 100}, kInvalid, {1, X}},
        FaultCase{{"M: Y of z1 invalid", M, kInf, 0.0F, 100}, kInvalid, {1, Y}},
        FaultCase{{"M: Y of z1 overflows", M, 2e19F, 2e19F, 100}, kFpOverflow, {1, Y}},
        FaultCase{{"M: X of z1 overflows", M, 0.0F, 2e19F, 100}, kFpOverflow, {1, X}},
        FaultCase{{"M: Y2 of z1 overflows", M, 1e10F, 1e10F, 100}, kFpOverflow, {1, Y2}},
        FaultCase{{"M: X2 of z1 overflows", M, 1e10F, 0.0F, 100}, kFpOverflow, {1, X2}},
        FaultCase{{"M: X2 of z2 overflows", M, 1e9F, 0.0F, 100}, kFpOverflow, {2, X2}},
        FaultCase{{"M: faults even when MaxIter skips testing", M, 1e10F, 0.0F, 0}, kFpOverflow, {1, X2}},
        FaultCase{{"M: counter passes 32767", M, 0.0F, 0.0F, 32767}, kOverflow, {32767, Counter}},
        FaultCase{{"J: X2 of z0 overflows", J, 1e20F, 0.0F, 100}, kFpOverflow, {0, X2}},
        FaultCase{{"J: Y2 of z0 overflows", J, 0.0F, 1e20F, 100}, kFpOverflow, {0, Y2}},
        FaultCase{{"J: Y of z1 invalid", J, 0.0F, kInf, 100}, kInvalid, {1, Y}},
        FaultCase{{"J: X of z1 invalid", J, 1.0F, kInf, 100, kInf, 0.0F}, kInvalid, {1, X}},
        FaultCase{{"J: Y of z1 overflows", J, 1e19F, 1e19F, 100, 0.0F, 2e38F}, kFpOverflow, {1, Y}},
        FaultCase{{"J: Y2 of z1 overflows", J, 0.0F, 0.0F, 100, 0.0F, 3e38F}, kFpOverflow, {1, Y2}},
        FaultCase{{"J: X of z1 overflows", J, 0.0F, 1.5e19F, 100, -3e38F, 0.0F}, kFpOverflow, {1, X}},
        FaultCase{{"J: X2 of z1 overflows", J, 0.0F, 0.0F, 100, 3e38F, 0.0F}, kFpOverflow, {1, X2}},
        FaultCase{{"J: squared modulus beyond single", J, 0.0F, 0.0F, 100, 1.4142e19F, 1.4142e19F}, kOverflow,
                  {1, SquaredModulus}},
        FaultCase{{"J: counter passes 32767", J, -2.0F, 0.0F, 32767, -2.0F, 0.0F}, kOverflow, {32767, Counter}}),
    [](const testing::TestParamInfo<FaultCase>& info) { return test::TestNameOf(info.param.input.name); });

TEST(Kernels, PendingConditionsFromEarlierWorkAreNotReported) {
  volatile float huge = 3e38F;
  volatile float product = huge * huge;  // leaves the overflow flag raised
  (void)product;
  EXPECT_EQ(IterateM(0.0F, 0.0F, 10), 11);
  EXPECT_EQ(IterateJ(0.0F, 0.0F, 10, 0.0F, 0.0F), 11);
}

}  // namespace
}  // namespace tobrisk
