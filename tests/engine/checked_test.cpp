#include <cmath>
#include <cstdint>
#include <limits>
#include <optional>

#include <gtest/gtest.h>

#include "engine/checked.h"
#include "engine/fault_test.h"

namespace tobrisk {
namespace {

const ErrorSite kSite = InField{"Iterations"};

TEST(ToInt16Checked, RoundsHalvesToEvenWithinRange) {
  struct Case {
    double in;
    std::optional<std::int16_t> out;  // empty: overflow
  };
  const double inf = std::numeric_limits<double>::infinity();
  for (const Case c : {Case{100.5, 100}, Case{101.5, 102}, Case{-5, -5}, Case{0, 0}, Case{-0.5, 0}, Case{2.5, 2},
                       Case{32767, 32767}, Case{32767.5, std::nullopt}, Case{32767.49, 32767}, Case{-32768, -32768},
                       Case{-32768.5, -32768}, Case{-32768.51, std::nullopt}, Case{32768, std::nullopt},
                       Case{-32769, std::nullopt}, Case{inf, std::nullopt}, Case{-inf, std::nullopt},
                       Case{std::nan(""), std::nullopt}}) {
    if (c.out) {
      EXPECT_EQ(ToInt16Checked(c.in, kSite), *c.out) << c.in;
    } else {
      EXPECT_THROW((void)ToInt16Checked(c.in, kSite), RunTimeError) << c.in;
    }
  }
}

TEST(CheckedAdd, RaisesPast16Bits) {
  EXPECT_EQ(CheckedAdd(32766, 1, kSite), 32767);
  EXPECT_EQ(CheckedAdd(-32767, -1, kSite), -32768);
  EXPECT_THROW((void)CheckedAdd(32767, 1, kSite), RunTimeError);
  EXPECT_THROW((void)CheckedAdd(-32768, -1, kSite), RunTimeError);
}

TEST(ToSingleChecked, OverflowOnlyWhenRoundingLeavesTheRange) {
  const double maxSingle = std::numeric_limits<float>::max();
  EXPECT_EQ(ToSingleChecked(maxSingle, kSite), std::numeric_limits<float>::max());
  EXPECT_EQ(ToSingleChecked(4.0000001, kSite), 4.0F);
  EXPECT_THROW((void)ToSingleChecked(maxSingle * 1.0000001, kSite), RunTimeError);
  EXPECT_THROW((void)ToSingleChecked(-1e39, kSite), RunTimeError);
  // An infinity is a single already; only a finite value can overflow.
  EXPECT_TRUE(std::isinf(ToSingleChecked(std::numeric_limits<double>::infinity(), kSite)));
}

}  // namespace
}  // namespace tobrisk

namespace tobrisk {
namespace {

// The flags the fault tests read, one operation each; on MinGW they are read
// from the registers directly, so a wrong bit would lose a fault there only.
TEST(FaultFlags, EachFaultIsSeenAloneAndThenCleared) {
  struct Case {
    const char* name;
    double (*operation)(double);
    int flag;
  };
  const Case cases[] = {
      {"overflow rounding to single", [](double x) { return double(static_cast<float>(x * 1e39)); }, FE_OVERFLOW},
      {"division by zero", [](double x) { return x / (x - 1.0); }, FE_DIVBYZERO},
      {"invalid: zero by zero", [](double x) { return (x - 1.0) / (x - 1.0); }, FE_INVALID},
      {"nothing: an exact sum", [](double x) { return x + 1.0; }, 0},
  };
  for (const Case& c : cases) {
    ClearFaultFlags(kFaultFlags);
    volatile double one = 1.0;  // not known to the compiler, so computed at run time
    volatile double result = c.operation(one);
    (void)result;
    EXPECT_EQ(PendingFaultFlags(kFaultFlags), c.flag) << c.name;
    ClearFaultFlags(kFaultFlags);
    EXPECT_EQ(PendingFaultFlags(kFaultFlags), 0) << c.name << ": cleared";
  }
}

}  // namespace
}  // namespace tobrisk
