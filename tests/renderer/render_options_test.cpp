#include <array>
#include <optional>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include <gtest/gtest.h>

#include "tools/colour/palettes.h"
#include "tools/render/option_values.h"
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
                             "--real", "--imaginary", "--size", "--counts", "-o", "--quiet", "--progress", "--version",
                             "--from", "--check", "--print-view"}) {
    EXPECT_NE(usage.find(option), std::string::npos) << option << " is not documented";
  }
}

TEST(RenderArguments, TheNewOptionsKeepWhatWasTyped) {
  const auto options = std::get<RenderOptions>(Parse({"--palette", "ocean", "--cycle=96", "--inside", "#FfF",
                                                      "--threads", "3", "-o", "picture"}));
  EXPECT_EQ(options.palette, "ocean");
  EXPECT_EQ(options.cycle, "96");
  EXPECT_EQ(options.inside, "#FfF");
  EXPECT_EQ(options.threads, 3);
  EXPECT_EQ(options.output, "picture") << "a name without an extension is taken as it is";
  const Colouring colouring = ColouringOf(options);
  EXPECT_EQ(colouring.palette.name, "ocean");
  EXPECT_EQ(colouring.cycle, 96);
  EXPECT_EQ(colouring.inside, (Colour{255, 255, 255}));
  EXPECT_TRUE(std::holds_alternative<PalettesRequested>(Parse({"--list-palettes"})));
  for (const NamedPalette& palette : AllPalettes()) {
    EXPECT_NE(PaletteList().find(palette.name), std::string::npos) << palette.name;
    EXPECT_NE(RenderUsage("tobrisk-render").find(palette.name), std::string::npos) << palette.name;
  }
}

TEST(Colours, ReadAsTypedOrRefused) {
  struct Case {
    std::string_view text;
    std::optional<Colour> colour;
  };
  const Case cases[] = {
      {"#000000", Colour{0, 0, 0}},   {"#FfA500", Colour{255, 165, 0}}, {"#abc", Colour{0xAA, 0xBB, 0xCC}},
      {"white", Colour{255, 255, 255}}, {"black", Colour{0, 0, 0}},     {"#12345", std::nullopt},
      {"123456", std::nullopt},       {"#12345g", std::nullopt},        {"#", std::nullopt},
      {"", std::nullopt},             {"White", std::nullopt},          {"#1234567", std::nullopt},
  };
  for (const Case& c : cases) EXPECT_EQ(ParseColour(c.text), c.colour) << '"' << c.text << '"';
}

TEST(OutputNames, WindowsDeviceNamesAreKnownInAnyFolderCaseAndExtension) {
  struct Case {
    std::string_view name;
    bool device;
  };
  const Case cases[] = {
      {"NUL", true},          {"con", true},           {"aux.png", true},        {"Com1.txt", true},
      {"lpt9.tar.gz", true},  {"C:\\out\\prn", true}, {"dir/CONIN$", true},     {"nul .png", true},
      {"C:nul", true},        {"nul:", true},          {"auxiliary.png", false}, {"com0.png", false},
      {"com10.png", false},   {"my.con", false},       {"nul/picture.png", false}, {"conout.png", false},
  };
  for (const Case& c : cases) EXPECT_EQ(NamesWindowsDevice(c.name), c.device) << '"' << c.name << '"';
}

TEST(Colours, GradientsPassThroughTheirStopsAndWrapAround) {
  const std::array<Colour, 2> stops{{{0, 0, 0}, {255, 255, 255}}};
  EXPECT_EQ(GradientColour(stops, 0, 10), (Colour{0, 0, 0}));
  EXPECT_EQ(GradientColour(stops, 5, 10), (Colour{255, 255, 255})) << "half a turn reaches the second stop";
  EXPECT_EQ(GradientColour(stops, 1, 4), (Colour{128, 128, 128})) << "halfway between rounds up";
  EXPECT_EQ(GradientColour(stops, 3, 4), (Colour{128, 128, 128})) << "the way back to the first stop";
  EXPECT_EQ(GradientColour(stops, 0, 1), (Colour{0, 0, 0})) << "a turn of one step";
}

// The centre form becomes the bound texts a user would type into the window.
struct CentredView {
  const char* name;
  std::vector<std::string_view> arguments;
  std::vector<std::string> bounds;  // X Min, X Max, Y Min, Y Max
};

void PrintTo(const CentredView& c, std::ostream* os) { *os << c.name; }

class CentredViews : public testing::TestWithParam<CentredView> {};

TEST_P(CentredViews, BecomeBoundsWithSquarePixels) {
  const CentredView& c = GetParam();
  std::vector<std::string_view> arguments = c.arguments;
  arguments.insert(arguments.end(), {"-o", "a.png"});
  const ParsedArguments parsed = Parse(arguments);
  const auto* options = std::get_if<RenderOptions>(&parsed);
  ASSERT_NE(options, nullptr) << std::get<UsageError>(parsed).message;
  EXPECT_EQ((std::vector<std::string>{options->XMin, options->XMax, options->YMin, options->YMax}), c.bounds);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, CentredViews,
    testing::Values(
        CentredView{"the start-up view's centre and width on 320x200", {"--centre", "-0.5,0", "--width", "4"},
                    {"-2.5", "1.5", "-1.25", "1.25"}},
        CentredView{"the American spelling, after the size", {"--center=0,0", "--width=3", "--size", "640x360"},
                    {"-1.5", "1.5", "-0.84375", "0.84375"}},
        CentredView{"a width alone keeps the preset's centre", {"--width", "0.5", "--size", "100x100"},
                    {"-0.75", "-0.25", "-0.25", "0.25"}},
        CentredView{"a centre alone keeps the preset's width", {"--julia", "--centre", "1,-1", "--size", "300x300"},
                    {"-0.5", "2.5", "-2.5", "0.5"}},
        CentredView{"texts that read back as the doubles computed",
                    {"--centre", "0.1,0.2", "--width", "0.3", "--size", "3x2"},
                    {"-0.04999999999999999", "0.25", "0.10000000000000002", "0.3"}},
        CentredView{"a deep zoom", {"--centre", "-0.7435,0.1314", "--width", "1e-7", "--size", "1000x500"},
                    {"-0.7435000500000001", "-0.74349995", "0.131399975", "0.13140002499999998"}}),
    [](const testing::TestParamInfo<CentredView>& info) { return test::TestNameOf(info.param.name); });

// --from stands for the arguments of the view its file holds, at its place;
// the file's values are checked as typed ones are.
TEST(RenderArguments, FromStandsForTheViewItsFileHolds) {
  const ViewSource files = [](const std::string& path) -> std::variant<std::vector<std::string>, UsageError> {
    if (path == "julia.png") return std::vector<std::string>{"--julia", "--xmin=-1", "--iterations=50", "--size=40x30"};
    if (path == "bad.png") return std::vector<std::string>{"--xmin=abc"};
    return UsageError{"--from \"" + path + "\": it holds no view"};
  };
  const auto parse = [&](std::vector<std::string_view> arguments) { return ParseRenderArguments(arguments, files); };
  const auto later = std::get<RenderOptions>(parse({"--from", "julia.png", "--iterations", "70", "-o", "a.png"}));
  EXPECT_EQ(later.kind, FractalKind::Julia);
  EXPECT_EQ(later.XMin, "-1");
  EXPECT_EQ(later.MaxIter, "70") << "an option after --from overrides the file";
  EXPECT_EQ(later.width, 40);
  const auto earlier = std::get<RenderOptions>(parse({"--iterations", "70", "--mandelbrot", "--from=julia.png", "-o", "a.png"}));
  EXPECT_EQ(earlier.MaxIter, "50") << "an option before --from gives way to the file";
  EXPECT_EQ(earlier.kind, FractalKind::Julia);
  const auto centred = std::get<RenderOptions>(parse({"--from", "julia.png", "--centre", "0,0", "--width", "2", "-o", "a.png"}));
  EXPECT_EQ(centred.XMin, "-1") << "a centre and width replace the file's bounds";
  EXPECT_EQ(centred.XMax, "1");
  const auto bad = parse({"--from", "bad.png", "-o", "a.png"});
  ASSERT_TRUE(std::holds_alternative<UsageError>(bad));
  EXPECT_NE(std::get<UsageError>(bad).message.find("--from \"bad.png\": its view is not one tobrisk-render draws: --xmin"),
            std::string::npos);
  const auto none = parse({"--from", "other.png", "-o", "a.png"});
  ASSERT_TRUE(std::holds_alternative<UsageError>(none));
  EXPECT_EQ(std::get<UsageError>(none).message, "--from \"other.png\": it holds no view");
}

// --check and --print-view read a file; the progress options may go with --check.
TEST(RenderArguments, FileCommandsTakeTheirFile) {
  const auto check = std::get<CheckRequested>(Parse({"-q", "--check", "a.png"}));
  EXPECT_EQ(check.file, "a.png");
  EXPECT_EQ(check.progress, ProgressMode::Never);
  EXPECT_EQ(std::get<CheckRequested>(Parse({"--check=b.pgm", "--progress"})).progress, ProgressMode::Always);
  EXPECT_EQ(std::get<PrintViewRequested>(Parse({"--print-view", "c.png"})).file, "c.png");
  EXPECT_TRUE(std::holds_alternative<HelpRequested>(Parse({"--check", "a.png", "--help"})));
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
                    Refusal{{"--xmin", "1"}, "-o"}, Refusal{{"-o", "a.png", "--counts", "a.png"}, "--counts"},
                    Refusal{{"--from"}, "--from"}, Refusal{{"--from", "", "-o", "a.png"}, "--from"},
                    Refusal{{"--from", "/nonexistent/view.png", "-o", "a.png"}, "--from \"/nonexistent/view.png\""},
                    Refusal{{"--check"}, "--check"}, Refusal{{"--check", "a.png", "-o", "b.png"}, "--check"},
                    Refusal{{"--check=a.png", "--size", "8x8"}, "--check"},
                    Refusal{{"--print-view", "a.png", "--quiet"}, "--print-view"},
                    Refusal{{"--print-view", "a.png", "--check", "b.png"}, "--print-view"},
                    Refusal{{"--centre", "1", "-o", "a.png"}, "--centre"},
                    Refusal{{"--centre", "a,b", "-o", "a.png"}, "--centre"},
                    Refusal{{"--center", "1,2,3", "-o", "a.png"}, "--center"},
                    Refusal{{"--width", "0", "-o", "a.png"}, "--width"},
                    Refusal{{"--width", "-1", "-o", "a.png"}, "--width"},
                    Refusal{{"--width", "inf", "-o", "a.png"}, "--width"},
                    Refusal{{"--width", "1e999", "-o", "a.png"}, "--width"},
                    Refusal{{"--xmin", "-1", "--centre", "0,0", "-o", "a.png"}, "not both"},
                    Refusal{{"--width", "2", "--ymax", "1", "-o", "a.png"}, "not both"},
                    Refusal{{"--centre", "1e308,0", "--width", "1.7e308", "-o", "a.png"}, "--centre and --width"},
                    Refusal{{"--centre", "1e999,0", "-o", "a.png"}, "--centre and --width"},
                    Refusal{{"--cycle", "0", "-o", "a.png"}, "--cycle"},
                    Refusal{{"--cycle", "32768", "-o", "a.png"}, "--cycle"},
                    Refusal{{"--palette", "nosuch", "-o", "a.png"}, "--palette"},
                    Refusal{{"--inside", "#12345", "-o", "a.png"}, "--inside"},
                    Refusal{{"--inside", "#12345g", "-o", "a.png"}, "--inside"},
                    Refusal{{"--shard", "3/3", "-o", "a.png"}, "--shard"},
                    Refusal{{"--shard", "-1/3", "-o", "a.png"}, "--shard"},
                    Refusal{{"--shard", "1", "-o", "a.png"}, "--shard"},
                    Refusal{{"--shard", "0/2", "-o", "a.png"}, "not one picture"},
                    Refusal{{"--zoom-to", "0,0,1", "-o", "a%d.png"}, "--frames"},
                    Refusal{{"--frames", "3", "-o", "a%d.png"}, "--zoom-to"},
                    Refusal{{"--zoom-to", "0,0,1", "--frames", "0", "-o", "a%d.png"}, "--frames"},
                    Refusal{{"--zoom-to", "0,0,1", "--frames", "-1", "-o", "a%d.png"}, "--frames"},
                    Refusal{{"--zoom-to", "0,0,0", "--frames", "2", "-o", "a%d.png"}, "--zoom-to"},
                    Refusal{{"--zoom-to", "0,0,inf", "--frames", "2", "-o", "a%d.png"}, "--zoom-to"},
                    Refusal{{"--zoom-to", "0,0,nan", "--frames", "2", "-o", "a%d.png"}, "--zoom-to"},
                    Refusal{{"--zoom-to", "0,1", "--frames", "2", "-o", "a%d.png"}, "--zoom-to"},
                    Refusal{{"--zoom-to", "0,0,1", "--frames", "4", "--frame-range", "2:4", "-o", "a%d.png"},
                            "frames are 0 ... 3"},
                    Refusal{{"--zoom-to", "0,0,1", "--frames", "4", "--frame-range", "3:2", "-o", "a%d.png"},
                            "--frame-range"},
                    Refusal{{"--zoom-to", "0,0,1", "--frames", "4", "--views", "v.txt", "-o", "a%d.png"}, "not both"},
                    Refusal{{"--zoom-to", "0,0,1", "--frames", "4", "-o", "-"}, "a pattern"},
                    Refusal{{"--keep-existing", "-o", "a.png"}, "need a sequence"},
                    Refusal{{"--frame-range", "0:1", "-o", "a.png"}, "need a sequence"},
                    Refusal{{"--pyramid", "p", "-o", "a.png"}, "-o"},
                    Refusal{{"--pyramid", "p", "--counts", "a.pgm"}, "--counts"},
                    Refusal{{"--pyramid"}, "--pyramid"}, Refusal{{"-q", "--pyramid="}, "--pyramid"},
                    Refusal{{"--pyramid", "p", "--shard", "2/2"}, "--shard"},
                    Refusal{{"--pyramid", "p", "--zoom-to", "0,0,1", "--frames", "2"}, "takes no sequence"},
                    Refusal{{"--threads", "0", "-o", "a.png"}, "--threads"},
                    Refusal{{"--threads", "100000", "-o", "a.png"}, "--threads"},
                    Refusal{{"--list-palettes=all"}, "--list-palettes"},
                    Refusal{{"-o", "picture.jpg"}, "writes PNG"}, Refusal{{"-o", "dir/shot.JPEG"}, "writes PNG"},
                    Refusal{{"--output=a.webp"}, "writes PNG"}, Refusal{{"-o", "counts.pgm"}, "writes PNG"}),
    [](const testing::TestParamInfo<Refusal>& info) { return test::TestNameOf(Joined(info.param.arguments)); });

}  // namespace
}  // namespace tobrisk
