#include <string>

#include <gtest/gtest.h>

#include "engine/run_time_error.h"

namespace tobrisk {
namespace {

TEST(RunTimeError, MessagesNameCauseAndPlace) {
  struct Case {
    RunTimeError error;
    std::string message;
  };
  const Case cases[] = {
      {RunTimeError(ErrorCause::Overflow, InField{"Iterations"}),
       "Overflow: Iterations must lie between -32768 and 32767"},
      {RunTimeError(ErrorCause::FloatingPointInvalid, AtPixel{0, 0, std::nullopt}),
       "Floating-point fault (invalid operation) at pixel (0, 0)"},
      {RunTimeError(ErrorCause::FloatingPointDivisionByZero, InPass{PassQuantity::ColumnStep}),
       "Floating-point fault (division by zero) in the column step (X Max - X Min) / width"},
      {RunTimeError(ErrorCause::FloatingPointOverflow, AtPixel{12, 7, InKernel{3, KernelStep::X2}}),
       "Floating-point fault (overflow) at pixel (12, 7), iteration 3, computing X squared"},
      {RunTimeError(ErrorCause::Overflow, InKernel{32767, KernelStep::Counter}).AtPixelOf(5, 9),
       "Overflow at pixel (5, 9), iteration 32767, the iteration count passed 32767. Iterations 32766 is the largest "
       "limit at which points that never escape can be drawn"},
      {RunTimeError(ErrorCause::FloatingPointInvalid, AtPixel{0, 0, std::nullopt}).WithNote("X Max is odd"),
       "Floating-point fault (invalid operation) at pixel (0, 0). X Max is odd."},
  };
  for (const Case& c : cases) EXPECT_EQ(std::string(c.error.what()), c.message);
}

TEST(RunTimeError, PlacingAtAPixelKeepsCauseAndKernelStep) {
  const RunTimeError inKernel(ErrorCause::FloatingPointInvalid, InKernel{4, KernelStep::Y});
  const RunTimeError placed = inKernel.AtPixelOf(3, 2);
  EXPECT_EQ(placed, RunTimeError(ErrorCause::FloatingPointInvalid, AtPixel{3, 2, InKernel{4, KernelStep::Y}}));
  EXPECT_NE(placed, RunTimeError(ErrorCause::FloatingPointInvalid, AtPixel{3, 2, std::nullopt}));
  EXPECT_EQ(placed.WithNote("a note"), placed) << "a note changes the words, not the error";
}

}  // namespace
}  // namespace tobrisk
