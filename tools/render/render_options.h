#pragma once

#include <functional>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "engine/types.h"
#include "tools/colour/picture_colours.h"
#include "tools/render/centred_view.h"
#include "tools/render/progress_line.h"
#include "tools/render/shard.h"

namespace tobrisk {

// Frames first ... last of a sequence, both included.
struct FrameRange {
  int first = 0;
  int last = 0;
  friend bool operator==(const FrameRange&, const FrameRange&) = default;
};

// Many pictures instead of one: a zoom from the view given to another, or
// the views of a file, one per line.
struct SequenceRequest {
  struct Zoom {
    PlaneView end;
    int frames = 0;
  };
  std::optional<Zoom> zoom;
  std::optional<std::string> viewsFile;
  std::optional<FrameRange> range;
  bool keepExisting = false;  // frames whose file already holds their view are not drawn again
};

// Everything one run of the renderer draws and writes. The seven field texts
// are kept as texts so that the Draw command reads them exactly as the window
// does; they are named as the DrawParameters they become. A view given by
// centre and width is already turned into its four bound texts.
struct RenderOptions {
  FractalKind kind = FractalKind::Mandelbrot;
  std::string XMin, XMax, YMin, YMax;
  std::optional<PlaneView> centred;   // the view as given by centre and width, if it was
  std::string MaxIter = "100";
  std::string P = "0.3";
  std::string Q = "0.6";
  int width = 320;
  int height = 200;
  // The colouring as typed; the parser has checked each.
  std::string palette = "window";
  std::optional<std::string> cycle;
  std::optional<std::string> inside;
  int threads = 0;                    // 0: every core
  std::optional<Shard> shard;         // this machine's share of a job of many pieces
  std::optional<SequenceRequest> sequence;
  // The arguments that say how each picture is drawn and named (all but the
  // sequence's own), in order: a line of a views file is read after them.
  std::vector<std::string> pictureArguments;
  std::optional<std::string> pyramid;  // the folder of a zoomable pyramid of tiles, instead of one picture
  std::string output;                 // "-" is standard output
  std::optional<std::string> counts;  // 16-bit PGM of the escape counts
  ProgressMode progress = ProgressMode::Auto;
};

// --check FILE: draws the view a file holds again and compares.
struct CheckRequested {
  std::string file;
  ProgressMode progress = ProgressMode::Auto;
};

// --print-view FILE: shows the view a file holds as the window's fields.
struct PrintViewRequested {
  std::string file;
};

struct HelpRequested {};
struct VersionRequested {};
struct PalettesRequested {};

struct UsageError {
  std::string message;
};

using ParsedArguments = std::variant<RenderOptions, HelpRequested, VersionRequested, PalettesRequested, UsageError,
                                     CheckRequested, PrintViewRequested>;

// The arguments that draw the view a file holds (for --from), or why there are none.
using ViewSource = std::function<std::variant<std::vector<std::string>, UsageError>(const std::string& path)>;

// Reads the view of a file that tobrisk-render wrote (tools/render/view_of_options.h).
[[nodiscard]] std::variant<std::vector<std::string>, UsageError> ViewArgumentsOfFile(const std::string& path);

// Parses the arguments after the program name. Values must be plain decimal
// numbers in their entirety; a negative value may follow its option after a space.
// A views file is named, not read. --from FILE stands for the arguments of the
// view `viewSource` finds in FILE, at its place.
[[nodiscard]] ParsedArguments ParseRenderArguments(std::span<const std::string_view> arguments,
                                                   const ViewSource& viewSource = ViewArgumentsOfFile);

[[nodiscard]] std::string RenderUsage(std::string_view program);

// The palettes, one line each, for --list-palettes.
[[nodiscard]] std::string PaletteList();

// The colouring the options chose (the parser has checked them).
[[nodiscard]] Colouring ColouringOf(const RenderOptions& options);

// The most threads --threads accepts.
inline constexpr int kMaxThreads = 1024;
// The most frames a zoom may have.
inline constexpr int kMaxFrames = 1000000;

// A value as a message quotes it: control characters escaped and a long value cut short.
[[nodiscard]] std::string Quoted(std::string_view value);

// The text with each control character shown as \xHH, for messages that
// repeat what a user typed: such characters could act on the terminal or split the line.
[[nodiscard]] std::string ShowControlCharacters(std::string_view text);

}  // namespace tobrisk
