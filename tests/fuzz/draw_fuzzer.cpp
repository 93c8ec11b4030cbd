// SPDX-License-Identifier: MIT
// The headless Draw on a small surface with seven arbitrary field texts.
// Input: one byte choosing the kind (lowest bit set: Julia) and the surface
// size (the next bits), then the texts of Text1 ... Text7 separated by
// newlines; the seventh takes the rest, newlines included.
// The Draw must either complete or raise a RunTimeError, and match pixel for
// pixel and error for error a reference built without the program's reading:
// the slow reading of the texts and the reference render pass.

#include <array>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <string_view>

#include "engine/render_pass.h"
#include "engine/run_time_error.h"
#include "platform/picture.h"
#include "tests/fuzz/slow_number_reading.h"
#include "ui/draw_command.h"

namespace {

using namespace tobrisk;

struct Size {
  int width;
  int height;
};

// Mostly 7x5; the empty sizes reach the pass's own faults.
constexpr std::array<Size, 8> kSizes{{{7, 5}, {7, 5}, {7, 5}, {1, 1}, {0, 5}, {7, 0}, {3, 2}, {2, 7}}};

// Not in the palette, so an unplotted pixel shows.
constexpr Colour kBackground{1, 2, 3};

// The parameters as the window must read them, or the error reading them raises.
std::optional<RunTimeError> ReadSlowly(const FieldTexts& texts, bool mandelbrot, DrawParameters& params) {
  const auto single = [](std::string_view text) {
    return static_cast<float>(testing_support::SlowScanNumber(text).value);
  };
  params.XMin = single(texts[Field::XMin]);
  params.XMax = single(texts[Field::XMax]);
  params.YMin = single(texts[Field::YMin]);
  params.YMax = single(texts[Field::YMax]);
  short maxIter = 0;
  if (!testing_support::SlowToInt16(testing_support::SlowScanNumber(texts[Field::Iterations]).value, maxIter)) {
    return RunTimeError(ErrorCause::Overflow, InField{"Iterations"});
  }
  params.MaxIter = maxIter;
  params.P = single(texts[Field::Real]);
  params.Q = single(texts[Field::Imaginary]);
  params.Kind = mandelbrot ? FractalKind::Mandelbrot : FractalKind::Julia;
  return std::nullopt;
}

[[noreturn]] void Fail(const char* what, const std::optional<RunTimeError>& got,
                       const std::optional<RunTimeError>& expected) {
  std::fprintf(stderr, "%s\n  Draw: %s\n  reference: %s\n", what, got ? got->what() : "completed",
               expected ? expected->what() : "completed");
  std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  const bool mandelbrot = (data[0] & 1U) == 0;
  const Size surfaceSize = kSizes[(data[0] >> 1U) % kSizes.size()];
  std::string_view rest(reinterpret_cast<const char*>(data + 1), size - 1);
  FieldTexts texts{};
  for (std::size_t field = 0; field < texts.size(); ++field) {
    const std::size_t newline = field + 1 < texts.size() ? rest.find('\n') : std::string_view::npos;
    texts[field] = rest.substr(0, newline);
    rest = newline == std::string_view::npos ? std::string_view{} : rest.substr(newline + 1);
  }

  Picture drawn(surfaceSize.width, surfaceSize.height, kBackground);
  std::optional<RunTimeError> drawError;
  try {
    Draw(texts, mandelbrot, drawn);
  } catch (const RunTimeError& error) {
    drawError = error;
  }

  Picture reference(surfaceSize.width, surfaceSize.height, kBackground);
  DrawParameters params;
  std::optional<RunTimeError> referenceError = ReadSlowly(texts, mandelbrot, params);
  if (!referenceError) {
    try {
      RenderPass(params, reference);
    } catch (const RunTimeError& error) {
      referenceError = error;
    }
  }

  if (drawError.has_value() != referenceError.has_value() || (drawError && !(*drawError == *referenceError))) {
    Fail("the Draw and the reference end differently", drawError, referenceError);
  }
  if (!(drawn == reference)) Fail("the Draw and the reference plot different pixels", drawError, referenceError);
  return 0;
}
