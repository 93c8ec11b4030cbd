#include <cmath>
#include <limits>
#include <string>

#include <gtest/gtest.h>

#include "engine/fractal.h"
#include "platform/picture.h"
#include "tests/support/default_views.h"
#include "ui/draw_command.h"
#include "ui/form1_layout.h"

namespace tobrisk {
namespace {

constexpr Colour kBackground{1, 2, 3};
using test::kStartTexts;

FieldTexts WithField(FieldTexts texts, Field field, std::string_view text) {
  texts[field] = text;
  return texts;
}

TEST(ReadDrawParameters, StartTextsGiveTheDefaultView) {
  const DrawParameters params = ReadDrawParameters(kStartTexts, true);
  EXPECT_EQ(params.XMin, -2.5F);
  EXPECT_EQ(params.XMax, 1.5F);
  EXPECT_EQ(params.YMin, -1.5F);
  EXPECT_EQ(params.YMax, 1.5F);
  EXPECT_EQ(params.MaxIter, 100);
  EXPECT_EQ(params.P, 0.3F);
  EXPECT_EQ(params.Q, 0.6F);
  EXPECT_EQ(params.Kind, FractalKind::Mandelbrot);
  EXPECT_EQ(ReadDrawParameters(kStartTexts, false).Kind, FractalKind::Julia);
}

TEST(ReadDrawParameters, FieldTextsReadAsTheirLeadingNumber) {
  struct Case {
    Field field;
    const char* text;
    float value;
  };
  const float inf = std::numeric_limits<float>::infinity();
  for (const Case c : {Case{Field::XMin, "", 0.0F}, Case{Field::XMax, "letters", 0.0F}, Case{Field::YMin, "1.5abc", 1.5F},
                       Case{Field::XMax, "1e39", inf}, Case{Field::YMax, "-1e39", -inf}, Case{Field::Real, "0.1", 0.1F},
                       Case{Field::Imaginary, "1e-50", 0.0F}}) {
    const DrawParameters params = ReadDrawParameters(WithField(kStartTexts, c.field, c.text), true);
    const float members[] = {params.XMin, params.XMax, params.YMin, params.YMax, 0.0F, params.P, params.Q};
    EXPECT_EQ(members[static_cast<int>(c.field)], c.value) << FieldCaption(c.field) << " \"" << c.text << '"';
  }
}

TEST(ReadDrawParameters, IterationsUseTheChecked16BitConversion) {
  struct Case {
    const char* text;
    int maxIter;  // -1000000: overflow
  };
  for (const Case c : {Case{"100.5", 100}, Case{"101.5", 102}, Case{"-5", -5}, Case{"0", 0}, Case{"32767", 32767},
                       Case{"x", 0}, Case{"32768", -1000000}, Case{"-32769", -1000000}, Case{"1e99999", -1000000}}) {
    const FieldTexts texts = WithField(kStartTexts, Field::Iterations, c.text);
    if (c.maxIter == -1000000) {
      try {
        (void)ReadDrawParameters(texts, true);
        ADD_FAILURE() << c.text << " was accepted";
      } catch (const RunTimeError& error) {
        EXPECT_EQ(error, RunTimeError(ErrorCause::Overflow, InField{"Iterations"})) << c.text;
      }
    } else {
      EXPECT_EQ(ReadDrawParameters(texts, true).MaxIter, c.maxIter) << c.text;
    }
  }
}

TEST(Draw, IterationsOverflowDrawsNothing) {
  Picture picture(32, 20, kBackground);
  EXPECT_THROW(Draw(WithField(kStartTexts, Field::Iterations, "40000"), true, picture), RunTimeError);
  EXPECT_EQ(picture, Picture(32, 20, kBackground));
}

TEST(Draw, FaultsFromAFieldBeyondTheSingleRangeSaySoWithNothingDrawn) {
  struct Case {
    const char* what;
    Field field;
    std::string_view text;
    bool mandelbrot;
    std::string message;
  };
  const std::string beyond = "\" lies beyond the largest single (about 3.4e38).";
  const Case cases[] = {
      {"huge X Max", Field::XMax, "1e39", true,
       "Floating-point fault (invalid operation) at pixel (0, 0). X Max \"1e39" + beyond},
      {"only the number is quoted", Field::XMax, " 1e39 and then some", true,
       "Floating-point fault (invalid operation) at pixel (0, 0). X Max \"1e39" + beyond},
      {"a long number is cut", Field::XMin, "-1000000000000000000000000000000000000000", true,
       "Floating-point fault (invalid operation) at pixel (0, 0). X Min \"-10000000000000000000000..."
       "\" lies beyond the most negative single (about -3.4e38)."},
      {"beyond the double range too", Field::YMax, "1e400", true,
       "Floating-point fault (invalid operation) at pixel (0, 0). Y Max \"1e400" + beyond},
      {"huge negative Y Min in a Julia Draw", Field::YMin, "-4e38", false,
       "Floating-point fault (invalid operation) at pixel (0, 0). Y Min \"-4e38"
       "\" lies beyond the most negative single (about -3.4e38)."},
  };
  for (const Case& c : cases) {
    Picture picture(32, 20, kBackground);
    try {
      Draw(WithField(kStartTexts, c.field, c.text), c.mandelbrot, picture);
      ADD_FAILURE() << c.what << ": expected a floating-point fault";
    } catch (const RunTimeError& error) {
      EXPECT_EQ(std::string(error.what()), c.message) << c.what;
      EXPECT_EQ(error, RunTimeError(ErrorCause::FloatingPointInvalid, AtPixel{0, 0, std::nullopt})) << c.what;
    }
    EXPECT_EQ(picture, Picture(32, 20, kBackground)) << c.what;
  }
}

// A fault that no field beyond the range explains keeps its message as it was.
TEST(Draw, AFaultOfAFiniteViewHasNoNote) {
  Picture picture(16, 4, kBackground);
  FieldTexts texts = WithField(kStartTexts, Field::XMin, "0");
  texts = WithField(texts, Field::XMax, "8e10");
  texts = WithField(texts, Field::Real, "1e39");  // not used by a Mandelbrot Draw
  try {
    Draw(texts, true, picture);
    ADD_FAILURE() << "expected a floating-point fault";
  } catch (const RunTimeError& error) {
    EXPECT_EQ(std::string(error.what()), "Floating-point fault (overflow) at pixel (1, 0), iteration 1, computing X squared");
  }
}

TEST(Draw, MandelbrotIgnoresTheJuliaFields) {
  Picture reference(40, 25, kBackground);
  Draw(kStartTexts, true, reference);
  Picture other(40, 25, kBackground);
  FieldTexts texts = WithField(kStartTexts, Field::Real, "1e39");
  texts = WithField(texts, Field::Imaginary, "garbage");
  Draw(texts, true, other);
  EXPECT_EQ(other, reference);
}

TEST(Draw, MatchesTheRenderPassOfTheSameRecord) {
  Picture viaDraw(40, 25, kBackground);
  Draw(kStartTexts, false, viaDraw);
  Picture viaPass(40, 25, kBackground);
  RenderPass({-2.5F, 1.5F, -1.5F, 1.5F, 100, 0.3F, 0.6F, FractalKind::Julia}, viaPass);
  EXPECT_EQ(viaDraw, viaPass);
}

}  // namespace
}  // namespace tobrisk
