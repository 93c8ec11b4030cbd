#include "engine/run_time_error.h"

#include <string>
#include <utility>

namespace tobrisk {
namespace {

std::string CauseText(ErrorCause cause) {
  switch (cause) {
    case ErrorCause::Overflow: return "Overflow";
    case ErrorCause::FloatingPointOverflow: return "Floating-point fault (overflow)";
    case ErrorCause::FloatingPointDivisionByZero: return "Floating-point fault (division by zero)";
    case ErrorCause::FloatingPointInvalid: return "Floating-point fault (invalid operation)";
  }
  return "Error";
}

const char* QuantityText(PassQuantity quantity) {
  switch (quantity) {
    case PassQuantity::ColumnStep: return "the column step (X Max - X Min) / width";
    case PassQuantity::RowStep: return "the row step (Y Max - Y Min) / height";
    case PassQuantity::LastRow: return "the last row number (height - 1)";
    case PassQuantity::LastColumn: return "the last column number (width - 1)";
    case PassQuantity::RowCounter: return "the row counter, which passed 32767";
    case PassQuantity::ColumnCounter: return "the column counter, which passed 32767";
  }
  return "the render pass";
}

// A point that never escapes is counted up to MaxIter + 1, which 32767 cannot hold.
constexpr std::string_view kLargestDrawableLimit =
    ". Iterations 32766 is the largest limit at which points that never escape can be drawn";

const char* StepText(KernelStep step) {
  switch (step) {
    case KernelStep::X: return "computing X";
    case KernelStep::Y: return "computing Y";
    case KernelStep::X2: return "computing X squared";
    case KernelStep::Y2: return "computing Y squared";
    case KernelStep::SquaredModulus: return "the squared modulus X2 + Y2 lies beyond the single range";
    case KernelStep::Counter: return "the iteration count passed 32767";
  }
  return "in the kernel";
}

// Where the counter ran out, the one limit that still draws the set is worth saying.
std::string KernelText(const InKernel& kernel) {
  std::string text = "iteration " + std::to_string(kernel.iteration) + ", " + StepText(kernel.step);
  if (kernel.step == KernelStep::Counter) text += kLargestDrawableLimit;
  return text;
}

}  // namespace

std::string DescribeError(ErrorCause cause, const ErrorSite& site) {
  const std::string what = CauseText(cause);
  struct Describe {
    const std::string& what;
    std::string operator()(const InField& at) const {
      return what + ": " + std::string(at.caption) + " must lie between -32768 and 32767";
    }
    std::string operator()(const InPass& at) const { return what + " in " + QuantityText(at.quantity); }
    std::string operator()(const InKernel& at) const { return what + " in the kernel at " + KernelText(at); }
    std::string operator()(const AtPixel& at) const {
      std::string text = what + " at pixel (" + std::to_string(at.col) + ", " + std::to_string(at.row) + ")";
      if (at.kernel) text += ", " + KernelText(*at.kernel);
      return text;
    }
  };
  return std::visit(Describe{what}, site);
}

RunTimeError::RunTimeError(ErrorCause cause, ErrorSite site)
    : std::runtime_error(DescribeError(cause, site)), cause_(cause), site_(site) {}

RunTimeError::RunTimeError(ErrorCause cause, ErrorSite site, const std::string& message)
    : std::runtime_error(message), cause_(cause), site_(std::move(site)) {}

RunTimeError RunTimeError::WithNote(std::string_view note) const {
  std::string message = what();
  message += ". ";
  message += note;
  message += '.';
  return {cause_, site_, message};
}

RunTimeError RunTimeError::AtPixelOf(std::int16_t col, std::int16_t row) const {
  std::optional<InKernel> kernel;
  if (const auto* inKernel = std::get_if<InKernel>(&site_)) kernel = *inKernel;
  return RunTimeError(cause_, AtPixel{col, row, kernel});
}

}  // namespace tobrisk
