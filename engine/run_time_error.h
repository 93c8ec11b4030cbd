#pragma once

#include <cstdint>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <variant>

namespace tobrisk {

enum class ErrorCause : std::uint8_t {
  Overflow,  // a checked 16-bit step or conversion, or a checked conversion to single
  FloatingPointOverflow,
  FloatingPointDivisionByZero,
  FloatingPointInvalid,
};

// Quantities the render pass computes outside the pixels.
enum class PassQuantity : std::uint8_t { ColumnStep, RowStep, LastRow, LastColumn, RowCounter, ColumnCounter };

// The kernel statement whose check failed.
enum class KernelStep : std::uint8_t { X, Y, X2, Y2, SquaredModulus, Counter };

// A number the user typed, named by the caption the window gives its field
// ("Iterations"). The caption is not copied: it must outlive the error, as
// the window's captions, which live as long as the program, do.
struct InField {
  std::string_view caption;
  friend bool operator==(const InField&, const InField&) = default;
};

struct InPass {
  PassQuantity quantity;
  friend bool operator==(const InPass&, const InPass&) = default;
};

// Raised by a kernel, which does not know its pixel; the pass adds it.
struct InKernel {
  int iteration;
  KernelStep step;
  friend bool operator==(const InKernel&, const InKernel&) = default;
};

struct AtPixel {
  std::int16_t col;
  std::int16_t row;
  std::optional<InKernel> kernel;  // empty when mapping the pixel to the plane failed
  friend bool operator==(const AtPixel&, const AtPixel&) = default;
};

using ErrorSite = std::variant<InField, InPass, InKernel, AtPixel>;

// The one error the program raises: its cause and where it arose. The message
// says both in plain words for a user.
class RunTimeError : public std::runtime_error {
 public:
  RunTimeError(ErrorCause cause, ErrorSite site);

  [[nodiscard]] ErrorCause Cause() const { return cause_; }
  [[nodiscard]] const ErrorSite& Site() const { return site_; }

  // The same error placed at a pixel; used by the pass for errors from a kernel.
  [[nodiscard]] RunTimeError AtPixelOf(std::int16_t col, std::int16_t row) const;

  // The same error, its message followed by a sentence that traces it back to
  // what the user typed, e.g. a field beyond the single range.
  [[nodiscard]] RunTimeError WithNote(std::string_view note) const;

  friend bool operator==(const RunTimeError& a, const RunTimeError& b) {
    return a.cause_ == b.cause_ && a.site_ == b.site_;
  }

 private:
  RunTimeError(ErrorCause cause, ErrorSite site, const std::string& message);

  ErrorCause cause_;
  ErrorSite site_;
};

[[nodiscard]] std::string DescribeError(ErrorCause cause, const ErrorSite& site);

}  // namespace tobrisk
