#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include <gtest/gtest.h>

#include "tools/render/render_options.h"
#include "tests/support/test_names.h"

namespace tobrisk {
namespace {

ParsedArguments Parse(std::vector<std::string_view> arguments) { return ParseRenderArguments(arguments); }

TEST(RenderArguments, DefaultsAreTheWindowsStartUpContents) {
  const auto options = std::get<RenderOptions>(Parse({"-o", "out.png"}));
  EXPECT_EQ(options.kind, FractalKind::Mandelbrot);
  EXPECT_EQ((std::vector<std::string>{options.XMin, options.XMax, options.YMin, options.YMax, options.MaxIter,
                                      options.P, options.Q}),
            (std::vector<std::string>{"-2.5", "1.5", "-1.5", "1.5", "100", "0.3", "0.6"}));
  EXPECT_EQ(options.width, 320);
  EXPECT_EQ(options.height, 200);
  EXPECT_EQ(options.output, "out.png");
  EXPECT_FALSE(options.counts.has_value());
  EXPECT_EQ(options.progress, ProgressMode::Auto);
  EXPECT_EQ(std::get<RenderOptions>(Parse({"--quiet", "--progress", "-o", "a.png"})).progress, ProgressMode::Always);
  EXPECT_EQ(std::get<RenderOptions>(Parse({"--progress", "-q", "-o", "a.png"})).progress, ProgressMode::Never);
}

TEST(RenderArguments, JuliaTakesItsPresetForBoundsNotGiven) {
  const auto preset = std::get<RenderOptions>(Parse({"--julia", "-o", "j.png"}));
  EXPECT_EQ(preset.kind, FractalKind::Julia);
  EXPECT_EQ(preset.XMin, "-1.5");
  EXPECT_EQ(preset.XMax, "1.5");
  const auto partly = std::get<RenderOptions>(Parse({"--xmax", "0.5", "--julia", "-o", "j.png"}));
  EXPECT_EQ(partly.XMin, "-1.5");
  EXPECT_EQ(partly.XMax, "0.5");
}

TEST(RenderArguments, ValuesAfterASpaceOrAnEqualsSign) {
  const auto options = std::get<RenderOptions>(Parse({"--xmin", "-0.75", "--ymax=-1e-3", "--iterations", "-5",
                                                      "--real=+2.", "--imaginary", ".5", "--size", "1920x1080",
                                                      "--counts", "c.pgm", "--output=-"}));
  EXPECT_EQ(options.XMin, "-0.75");
  EXPECT_EQ(options.YMax, "-1e-3");
  EXPECT_EQ(options.MaxIter, "-5");
  EXPECT_EQ(options.P, "+2.");
  EXPECT_EQ(options.Q, ".5");
  EXPECT_EQ(options.width, 1920);
  EXPECT_EQ(options.height, 1080);
  EXPECT_EQ(options.counts, "c.pgm");
  EXPECT_EQ(options.output, "-");
}

TEST(RenderArguments, HelpWinsOverEverythingElse) {
  EXPECT_TRUE(std::holds_alternative<HelpRequested>(Parse({"--xmin", "-1", "--help"})));
  EXPECT_TRUE(std::holds_alternative<HelpRequested>(Parse({"-h"})));
  EXPECT_TRUE(std::holds_alternative<VersionRequested>(Parse({"--size", "4x4", "--version"})));
  const std::string usage = RenderUsage("tobrisk-render");
  for (const char* option : {"--julia", "--mandelbrot", "--xmin", "--xmax", "--ymin", "--ymax", "--iterations",
                             "--real", "--imaginary", "--size", "--counts", "-o", "--quiet", "--progress", "--version"}) {
    EXPECT_NE(usage.find(option), std::string::npos) << option << " is not documented";
  }
}

struct Refusal {
  std::vector<std::string_view> arguments;
  std::string_view mentions;
};

std::string Joined(const std::vector<std::string_view>& arguments) {
  std::string text;
  for (const std::string_view argument : arguments) {
    if (!text.empty()) text += ' ';
    text += argument;
  }
  return text;
}

void PrintTo(const Refusal& c, std::ostream* os) { *os << Joined(c.arguments); }

class RenderArgumentRefusals : public testing::TestWithParam<Refusal> {};

TEST_P(RenderArgumentRefusals, NameTheOffendingArgument) {
  const Refusal& c = GetParam();
  const ParsedArguments parsed = Parse(c.arguments);
  const auto* error = std::get_if<UsageError>(&parsed);
  ASSERT_NE(error, nullptr) << "accepted although " << c.mentions << " is wrong";
  EXPECT_NE(error->message.find(c.mentions), std::string::npos) << error->message;
}

INSTANTIATE_TEST_SUITE_P(
    Cases, RenderArgumentRefusals,
    testing::Values(Refusal{{"--xmin", "abc", "-o", "a.png"}, "--xmin"},
                    Refusal{{"--xmax", "1.5x", "-o", "a.png"}, "--xmax"},
                    Refusal{{"--ymin", "1,5", "-o", "a.png"}, "--ymin"},
                    Refusal{{"--ymax", " 1", "-o", "a.png"}, "--ymax"},
                    Refusal{{"--iterations", "0x10", "-o", "a.png"}, "--iterations"},
                    Refusal{{"--real", "inf", "-o", "a.png"}, "--real"},
                    Refusal{{"--imaginary", "nan", "-o", "a.png"}, "--imaginary"},
                    Refusal{{"--imaginary", "", "-o", "a.png"}, "--imaginary"},
                    Refusal{{"--real", "1e", "-o", "a.png"}, "--real"},
                    Refusal{{"-o", "a.png", "--xmin"}, "--xmin"},
                    Refusal{{"--size", "0x200", "-o", "a.png"}, "--size"},
                    Refusal{{"--size", "32768x1", "-o", "a.png"}, "--size"},
                    Refusal{{"--size", "320", "-o", "a.png"}, "--size"},
                    Refusal{{"--size", "-3x5", "-o", "a.png"}, "--size"},
                    Refusal{{"--size", "3x+5", "-o", "a.png"}, "--size"},
                    Refusal{{"--size", "99999999999x5", "-o", "a.png"}, "--size"},
                    Refusal{{"--julia=1", "-o", "a.png"}, "--julia"},
                    Refusal{{"--quiet=yes", "-o", "a.png"}, "--quiet"},
                    Refusal{{"--progress=1", "-o", "a.png"}, "--progress"}, Refusal{{"--zoom", "2", "-o", "a.png"}, "--zoom"},
                    Refusal{{"--xmin", "1"}, "-o"}, Refusal{{"-o", "a.png", "--counts", "a.png"}, "--counts"}),
    [](const testing::TestParamInfo<Refusal>& info) { return test::TestNameOf(Joined(info.param.arguments)); });

}  // namespace
}  // namespace tobrisk
