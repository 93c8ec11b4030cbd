#include "tools/render/render_options.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <optional>

#include "platform/number_text.h"
#include "ui/view_presets.h"

namespace tobrisk {
namespace {

constexpr int kMaxSide = 32767;  // the pass counts columns and rows in 16 bits

bool IsPlainNumber(std::string_view text) {
  if (text.empty() || text.front() == ' ' || text.front() == '\t') return false;
  return ScanNumber(text).length == text.size();
}

std::optional<int> ParseSide(std::string_view text) {
  int value = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (error != std::errc{} || end != text.data() + text.size() || text.front() == '-') return std::nullopt;
  if (value < 1 || value > kMaxSide) return std::nullopt;
  return value;
}

bool ParseSize(std::string_view text, RenderOptions& options) {
  const std::size_t x = text.find_first_of("xX");
  if (x == std::string_view::npos || x == 0 || x + 1 >= text.size()) return false;
  const std::optional<int> width = ParseSide(text.substr(0, x));
  const std::optional<int> height = ParseSide(text.substr(x + 1));
  if (!width || !height) return false;
  options.width = *width;
  options.height = *height;
  return true;
}

struct NumberOption {
  std::string_view name;
  std::string RenderOptions::*member;
};

constexpr std::array<NumberOption, 7> kNumberOptions{{
    {"--xmin", &RenderOptions::XMin},
    {"--xmax", &RenderOptions::XMax},
    {"--ymin", &RenderOptions::YMin},
    {"--ymax", &RenderOptions::YMax},
    {"--iterations", &RenderOptions::MaxIter},
    {"--real", &RenderOptions::P},
    {"--imaginary", &RenderOptions::Q},
}};

// Bounds not given come from the chosen kind's preset, as selecting the kind in the window does.
void FillBoundsFromPreset(RenderOptions& options) {
  const ViewPreset preset = PresetFor(options.kind);
  const auto fill = [](std::string& text, double value) {
    if (text.empty()) text = NumberToText(value);
  };
  fill(options.XMin, preset.XMin);
  fill(options.XMax, preset.XMax);
  fill(options.YMin, preset.YMin);
  fill(options.YMax, preset.YMax);
}

UsageError Usage(std::string message) { return UsageError{std::move(message)}; }

// A value as a message quotes it: control characters escaped and a long
// value cut short.
std::string Quoted(std::string_view value) {
  constexpr std::size_t kShownMax = 60;
  const auto continuesCharacter = [&](std::size_t at) {
    return at < value.size() && (static_cast<unsigned char>(value[at]) & 0xC0U) == 0x80U;
  };
  std::size_t shownLength = std::min(value.size(), kShownMax);
  while (shownLength > 0 && continuesCharacter(shownLength)) --shownLength;  // cut between characters
  std::string quoted(1, '"');
  quoted += ShowControlCharacters(value.substr(0, shownLength));
  if (shownLength < value.size()) quoted += "...";
  quoted += '"';
  return quoted;
}

}  // namespace

ParsedArguments ParseRenderArguments(std::span<const std::string_view> arguments) {
  RenderOptions options;
  bool outputGiven = false;
  for (std::size_t at = 0; at < arguments.size(); ++at) {
    std::string_view name = arguments[at];
    std::optional<std::string_view> inlineValue;
    if (name.starts_with("--")) {
      if (const std::size_t equals = name.find('='); equals != std::string_view::npos) {
        inlineValue = name.substr(equals + 1);
        name = name.substr(0, equals);
      }
    }
    const auto takeValue = [&]() -> std::optional<std::string_view> {
      if (inlineValue) return inlineValue;
      if (at + 1 >= arguments.size()) return std::nullopt;
      return arguments[++at];
    };

    if (name == "--help" || name == "-h") return HelpRequested{};
    if (name == "--version") return VersionRequested{};
    if (name == "--mandelbrot" || name == "--julia") {
      if (inlineValue) return Usage(std::string(name) + " takes no value");
      options.kind = name == "--julia" ? FractalKind::Julia : FractalKind::Mandelbrot;
      continue;
    }
    if (name == "--quiet" || name == "-q" || name == "--progress") {
      if (inlineValue) return Usage(std::string(name) + " takes no value");
      options.progress = name == "--progress" ? ProgressMode::Always : ProgressMode::Never;
      continue;
    }
    const auto* number = std::find_if(kNumberOptions.begin(), kNumberOptions.end(),
                                      [&](const NumberOption& option) { return option.name == name; });
    if (number != kNumberOptions.end()) {
      const std::optional<std::string_view> value = takeValue();
      if (!value) return Usage(std::string(name) + " needs a number");
      if (!IsPlainNumber(*value)) {
        return Usage(std::string(name) + ": " + Quoted(*value) + " is not a number such as -2.5 or 1e-3");
      }
      options.*(number->member) = std::string(*value);
      continue;
    }
    if (name == "--size") {
      const std::optional<std::string_view> value = takeValue();
      if (!value) return Usage("--size needs a size such as 320x200");
      if (!ParseSize(*value, options)) {
        return Usage("--size: " + Quoted(*value) + " is not a size WxH with 1 ... 32767 pixels per side");
      }
      continue;
    }
    if (name == "--counts" || name == "-o" || name == "--output") {
      const std::optional<std::string_view> value = takeValue();
      if (!value || value->empty()) return Usage(std::string(name) + " needs a file name");
      if (name == "--counts") {
        options.counts = std::string(*value);
      } else {
        options.output = std::string(*value);
        outputGiven = true;
      }
      continue;
    }
    return Usage("unknown argument " + Quoted(arguments[at]));
  }
  if (!outputGiven) return Usage("no output file: give -o FILE.png (or -o - for standard output)");
  if (options.counts && (*options.counts == options.output || *options.counts == "-")) {
    return Usage("--counts needs a file of its own");
  }
  FillBoundsFromPreset(options);
  return options;
}

std::string ShowControlCharacters(std::string_view text) {
  std::string shown;
  for (const char c : text) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte >= 0x20 && byte != 0x7F) {
      shown += c;
      continue;
    }
    constexpr std::string_view kHex = "0123456789abcdef";
    shown += "\\x";
    shown += kHex[byte >> 4U];
    shown += kHex[byte & 0xFU];
  }
  return shown;
}

std::string RenderUsage(std::string_view program) {
  std::string text = "Usage: ";
  text += program;
  text += R"( [options] -o FILE.png

Draws the Mandelbrot set or a Julia set as the window's Draw button does, into
an indexed PNG in the 16-colour palette (row 0 at the top).

Options:
  --mandelbrot          draw the Mandelbrot set (the default)
  --julia               draw the Julia set of c = P + Qi
  --xmin X, --xmax X    the real range; column 0 shows X Min
  --ymin Y, --ymax Y    the imaginary range; row 0 shows Y Min
                        (bounds not given come from the kind's preset:
                        -2.5 1.5 -1.5 1.5 for Mandelbrot, -1.5 1.5 -1.5 1.5 for Julia)
  --iterations N        iteration limit, rounded to the nearest integer;
                        -32768 ... 32767 (default 100)
  --real P              real part of the Julia constant (default 0.3)
  --imaginary Q         imaginary part of the Julia constant (default 0.6)
  --size WxH            picture size, 1 ... 32767 pixels per side (default 320x200)
  --counts FILE.pgm     also write each pixel's escape count as a 16-bit binary PGM
  -o, --output FILE     the PNG to write; "-" writes it to standard output
  -q, --quiet           show no progress
  --progress            show progress on standard error from the start, even
                        when it is not a terminal (the last of the two wins)
  -h, --help            show this text
  --version             show the version

Numbers are plain decimals such as -2.5 or 1e-3; a value may follow its option
after a space or an "=". Files are replaced only when the picture is complete.
A render that takes more than a second shows its progress on standard error
when that is a terminal.

Exit status: 0 done, 1 drawing or writing failed (the message says where),
2 the arguments are not understood.
)";
  return text;
}

}  // namespace tobrisk
