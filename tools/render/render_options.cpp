#include "tools/render/render_options.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <optional>
#include <utility>

#include "platform/number_text.h"
#include "tools/colour/palettes.h"
#include "tools/render/centred_view.h"
#include "tools/render/file_commands.h"
#include "tools/render/option_values.h"
#include "tools/render/view_of_options.h"
#include "ui/view_presets.h"

namespace tobrisk {
namespace {

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

// The view by centre and width, as typed; either part may be left to the kind's preset.
struct CentreForm {
  std::optional<std::pair<std::string, std::string>> centre;
  std::optional<double> width;
  [[nodiscard]] bool Given() const { return centre || width; }
};

// False when a bound would lie beyond the doubles: no text could hold it.
bool FillBoundsFromCentre(const CentreForm& form, RenderOptions& options) {
  const ViewPreset preset = PresetFor(options.kind);
  const double x = form.centre ? TextToNumber(form.centre->first) : (preset.XMin + preset.XMax) / 2;
  const double y = form.centre ? TextToNumber(form.centre->second) : (preset.YMin + preset.YMax) / 2;
  const double width = form.width.value_or(preset.XMax - preset.XMin);
  const double height = width * options.height / options.width;
  for (const double bound : {x - width / 2, x + width / 2, y - height / 2, y + height / 2}) {
    if (!std::isfinite(bound)) return false;
  }
  options.centred = PlaneView{x, y, width};
  BoundTexts bounds = CentredBounds(x, y, width, options.width, options.height);
  options.XMin = std::move(bounds.XMin);
  options.XMax = std::move(bounds.XMax);
  options.YMin = std::move(bounds.YMin);
  options.YMax = std::move(bounds.YMax);
  return true;
}

std::string PaletteNames() {
  std::string names;
  for (const NamedPalette& palette : AllPalettes()) {
    if (!names.empty()) names += ", ";
    names += palette.name;
  }
  return names;
}

// The options that belong to a sequence as a whole rather than to each of its pictures.
bool IsSequenceOption(std::string_view name) {
  return name == "--zoom-to" || name == "--frames" || name == "--views" || name == "--frame-range" ||
         name == "--keep-existing" || name == "--shard";
}

// Keeps the arguments of one option, as typed, among the picture's own
// when the option is one of those; runs however the option's handling ends.
class PictureArgumentKeeper {
 public:
  PictureArgumentKeeper(const std::vector<std::string>& arguments, const std::size_t& at,
                        std::vector<std::string>& kept)
      : arguments_(arguments), start_(at), at_(at), kept_(kept) {}
  PictureArgumentKeeper(const PictureArgumentKeeper&) = delete;
  PictureArgumentKeeper& operator=(const PictureArgumentKeeper&) = delete;
  ~PictureArgumentKeeper() {
    if (!keep_) return;
    for (std::size_t i = start_; i <= at_ && i < arguments_.size(); ++i) kept_.emplace_back(arguments_[i]);
  }
  void Drop() { keep_ = false; }

 private:
  const std::vector<std::string>& arguments_;  // as --from has added to them
  std::size_t start_;
  const std::size_t& at_;
  std::vector<std::string>& kept_;
  bool keep_ = true;
};

// A sequence's checks that need the whole command line.
std::optional<UsageError> CheckSequence(RenderOptions& options, std::optional<PlaneView> zoomEnd,
                                        std::optional<int> frames) {
  SequenceRequest* sequence = options.sequence ? &*options.sequence : nullptr;
  const bool views = sequence != nullptr && sequence->viewsFile;
  if (zoomEnd && !frames) return Usage("--zoom-to needs --frames N, the number of frames");
  if (frames && !zoomEnd) return Usage("--frames needs --zoom-to X,Y,WIDTH, where the zoom ends");
  if (zoomEnd && views) return Usage("give a sequence either by --zoom-to or by --views, not both");
  if (zoomEnd) {
    if (sequence == nullptr) sequence = &options.sequence.emplace();
    sequence->zoom = SequenceRequest::Zoom{*zoomEnd, *frames};
  }
  if (sequence != nullptr && options.pyramid) {
    return Usage("--pyramid draws one view as tiles: it takes no sequence (--zoom-to, --views, --frame-range)");
  }
  if (sequence == nullptr) {
    if (options.shard && !options.pyramid) {
      return Usage("--shard splits a job of many pieces: a sequence of frames or a pyramid of tiles, not one picture");
    }
    return std::nullopt;
  }
  if (!sequence->zoom && !sequence->viewsFile) {
    return Usage("--frame-range and --keep-existing need a sequence: --zoom-to with --frames, or --views");
  }
  if (options.output == "-") {
    return Usage("a sequence writes a file per frame: give -o a pattern such as frames/zoom-%05d.png");
  }
  if (sequence->zoom) {
    const int last = sequence->zoom->frames - 1;
    if (sequence->range && sequence->range->last > last) {
      return Usage("--frame-range: the zoom's frames are 0 ... " + std::to_string(last));
    }
  }
  return std::nullopt;
}

}  // namespace

ParsedArguments ParseRenderArguments(std::span<const std::string_view> given, const ViewSource& viewSource) {
  if (std::optional<ParsedArguments> command = ParseFileCommand(given)) return *command;
  RenderOptions options;
  bool outputGiven = false;
  bool boundsGiven = false;
  CentreForm centreForm;
  std::optional<PlaneView> zoomEnd;
  std::optional<int> frames;
  std::vector<std::string> arguments(given.begin(), given.end());  // --from adds to them
  std::vector<bool> fromFile(arguments.size(), false);  // a file's bounds give way to --centre and --width
  for (std::size_t at = 0; at < arguments.size(); ++at) {
    PictureArgumentKeeper keeper(arguments, at, options.pictureArguments);
    const bool givenByFile = fromFile[at];
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
    const auto flag = [&](std::string_view flagName) { return name == flagName && !inlineValue; };
    if (IsSequenceOption(name)) keeper.Drop();
    if (inlineValue && (name == "--list-palettes" || name == "--keep-existing" ||
                        name == "--mandelbrot" || name == "--julia" || name == "--quiet" || name == "--progress")) {
      return Usage(std::string(name) + " takes no value");
    }

    if (name == "--help" || name == "-h") return HelpRequested{};
    if (name == "--version") return VersionRequested{};
    if (flag("--list-palettes")) return PalettesRequested{};
    if (name == "--from") {
      const std::optional<std::string_view> value = takeValue();
      if (!value || value->empty()) return Usage("--from needs a file name");
      auto view = ViewArgumentsFrom(std::string(*value), viewSource);
      if (auto* error = std::get_if<UsageError>(&view)) return *error;
      const auto& held = std::get<std::vector<std::string>>(view);
      keeper.Drop();  // the file's arguments are kept one by one as they are read
      const auto after = static_cast<std::ptrdiff_t>(at) + 1;
      arguments.insert(arguments.begin() + after, held.begin(), held.end());
      fromFile.insert(fromFile.begin() + after, held.size(), true);
      continue;
    }
    if (flag("--mandelbrot") || flag("--julia")) {
      options.kind = name == "--julia" ? FractalKind::Julia : FractalKind::Mandelbrot;
      continue;
    }
    if (flag("--quiet") || name == "-q" || flag("--progress")) {
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
      boundsGiven = boundsGiven || (!givenByFile && (number->member == &RenderOptions::XMin ||
                                                     number->member == &RenderOptions::XMax ||
                                                     number->member == &RenderOptions::YMin ||
                                                     number->member == &RenderOptions::YMax));
      continue;
    }
    if (name == "--centre" || name == "--center") {
      const std::optional<std::string_view> value = takeValue();
      if (!value) return Usage(std::string(name) + " needs a point X,Y such as -0.75,0.1");
      centreForm.centre = ParseCentre(*value);
      if (!centreForm.centre) {
        return Usage(std::string(name) + ": " + Quoted(*value) + " is not a point X,Y of two numbers such as -0.75,0.1");
      }
      continue;
    }
    if (name == "--width") {
      const std::optional<std::string_view> value = takeValue();
      if (!value) return Usage("--width needs the plane width, a number such as 0.01");
      const double width = value && IsPlainNumber(*value) ? TextToNumber(*value) : 0.0;
      if (!(width > 0.0) || !std::isfinite(width)) {
        return Usage("--width: " + Quoted(*value) + " is not a plane width: a number above 0 such as 0.01");
      }
      centreForm.width = width;
      continue;
    }
    if (name == "--size") {
      const std::optional<std::string_view> value = takeValue();
      if (!value) return Usage("--size needs a size such as 320x200");
      const std::optional<std::pair<int, int>> size = ParseSize(*value);
      if (!size) {
        return Usage("--size: " + Quoted(*value) + " is not a size WxH with 1 ... 32767 pixels per side");
      }
      options.width = size->first;
      options.height = size->second;
      continue;
    }
    if (name == "--palette") {
      const std::optional<std::string_view> value = takeValue();
      if (!value || !FindPalette(*value)) {
        return Usage("--palette: " + (value ? Quoted(*value) + " is not a palette" : std::string("needs a name")) +
                     "; choose one of " + PaletteNames() + " (--list-palettes describes them)");
      }
      options.palette = std::string(*value);
      continue;
    }
    if (name == "--cycle") {
      const std::optional<std::string_view> value = takeValue();
      if (!value || !WholeNumber(*value, 1, 32767)) {
        return Usage("--cycle: " + (value ? Quoted(*value) + " is not" : std::string("needs")) +
                     " a number of counts per turn of the gradient, 1 ... 32767");
      }
      options.cycle = std::string(*value);
      continue;
    }
    if (name == "--inside") {
      const std::optional<std::string_view> value = takeValue();
      if (!value || !ParseColour(*value)) {
        return Usage("--inside: " + (value ? Quoted(*value) + " is not" : std::string("needs")) +
                     " a colour such as #000000, #fff, black or white");
      }
      options.inside = std::string(*value);
      continue;
    }
    if (name == "--threads") {
      const std::optional<std::string_view> value = takeValue();
      const std::optional<int> threads = value ? WholeNumber(*value, 1, kMaxThreads) : std::nullopt;
      if (!threads) {
        return Usage("--threads: " + (value ? Quoted(*value) + " is not" : std::string("needs")) +
                     " a number of threads, 1 ... " + std::to_string(kMaxThreads));
      }
      options.threads = *threads;
      continue;
    }
    if (name == "--zoom-to") {
      const std::optional<std::string_view> value = takeValue();
      zoomEnd = value ? ParseZoomEnd(*value) : std::nullopt;
      if (!zoomEnd) {
        return Usage("--zoom-to: " + (value ? Quoted(*value) + " is not" : std::string("needs")) +
                     " the zoom's end X,Y,WIDTH: a centre and a width above 0, such as -0.7435,0.1314,1e-4");
      }
      continue;
    }
    if (name == "--frames") {
      const std::optional<std::string_view> value = takeValue();
      frames = value ? WholeNumber(*value, 1, kMaxFrames) : std::nullopt;
      if (!frames) {
        return Usage("--frames: " + (value ? Quoted(*value) + " is not" : std::string("needs")) +
                     " a number of frames, 1 ... " + std::to_string(kMaxFrames));
      }
      continue;
    }
    if (name == "--views") {
      const std::optional<std::string_view> value = takeValue();
      if (!value || value->empty()) return Usage("--views needs a file of views, one per line");
      if (!options.sequence) options.sequence.emplace();
      options.sequence->viewsFile = std::string(*value);
      continue;
    }
    if (name == "--frame-range") {
      const std::optional<std::string_view> value = takeValue();
      const std::optional<FrameRange> range = value ? ParseFrameRange(*value) : std::nullopt;
      if (!range) {
        return Usage("--frame-range: " + (value ? Quoted(*value) + " is not" : std::string("needs")) +
                     " a range of frames FIRST:LAST, both counted, such as 0:79");
      }
      if (!options.sequence) options.sequence.emplace();
      options.sequence->range = range;
      continue;
    }
    if (flag("--keep-existing")) {
      if (!options.sequence) options.sequence.emplace();
      options.sequence->keepExisting = true;
      continue;
    }
    if (name == "--shard") {
      const std::optional<std::string_view> value = takeValue();
      options.shard = value ? ParseShard(*value) : std::nullopt;
      if (!options.shard) {
        return Usage("--shard: " + (value ? Quoted(*value) + " is not" : std::string("needs")) +
                     " a share K/N of a job, with 0 <= K < N, such as 0/3");
      }
      continue;
    }
    if (name == "--pyramid") {
      const std::optional<std::string_view> value = takeValue();
      if (!value || value->empty()) return Usage("--pyramid needs a folder name");
      options.pyramid = std::string(*value);
      continue;
    }
    if (name == "--counts" || name == "-o" || name == "--output") {
      const std::optional<std::string_view> value = takeValue();
      if (!value || value->empty()) return Usage(std::string(name) + " needs a file name");
      if (kDeviceNamesReserved && NamesWindowsDevice(*value)) {
        return Usage(std::string(name) + ": " + Quoted(*value) +
                     " names a device on Windows, not a file (so do CON, PRN, AUX, NUL, COM1 to COM9 and LPT1 to LPT9,"
                     " with any extension): choose another name");
      }
      if (name == "--counts") {
        options.counts = std::string(*value);
      } else {
        if (NamesAnotherImageFormat(*value)) {
          return Usage(std::string(name) + ": " + Quoted(*value) +
                       " names another image format, but tobrisk-render writes PNG: give a name ending in .png");
        }
        options.output = std::string(*value);
        outputGiven = true;
      }
      continue;
    }
    return Usage("unknown argument " + Quoted(arguments[at]));
  }
  if (options.pyramid && (outputGiven || options.counts)) {
    return Usage(std::string("--pyramid writes a folder of tiles: it takes no ") + (outputGiven ? "-o" : "--counts"));
  }
  if (!outputGiven && !options.pyramid) {
    return Usage("no output file: give -o FILE.png (or -o - for standard output) or --pyramid DIR");
  }
  if (options.counts && (*options.counts == options.output || *options.counts == "-")) {
    return Usage("--counts needs a file of its own");
  }
  if (std::optional<UsageError> problem = CheckSequence(options, zoomEnd, frames)) return *problem;
  if (boundsGiven && centreForm.Given()) {
    return Usage("give the view either by --xmin, --xmax, --ymin and --ymax or by --centre and --width, not both");
  }
  if (centreForm.Given() && !FillBoundsFromCentre(centreForm, options)) {
    return Usage("--centre and --width give a view whose bounds lie beyond the range of numbers");
  }
  FillBoundsFromPreset(options);
  return options;
}

Colouring ColouringOf(const RenderOptions& options) {
  Colouring colouring;
  colouring.palette = *FindPalette(options.palette);
  if (options.cycle) colouring.cycle = *WholeNumber(*options.cycle, 1, 32767);
  if (options.inside) colouring.inside = ParseColour(*options.inside);
  return colouring;
}

}  // namespace tobrisk
