// SPDX-License-Identifier: MIT
// The renderer's command-line parser. Input: the arguments separated by NUL
// bytes, as a program's argv can never hold one. Whatever they are, parsing
// returns; accepted options are all valid; and writing the accepted options
// back as arguments parses to the very same options.

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "platform/number_text.h"
#include "tests/fuzz/slow_number_reading.h"
#include "tools/colour/palettes.h"
#include "tools/render/centred_view.h"
#include "tools/render/render_options.h"

namespace {

using namespace tobrisk;

[[noreturn]] void Fail(const std::string& what) {
  std::fprintf(stderr, "%s\n", what.c_str());
  std::abort();
}

// Every accepted number is a number through and through, by the slow reading too.
void CheckNumber(std::string_view name, const std::string& text) {
  if (text.empty() || text.front() == ' ' || text.front() == '\t' ||
      testing_support::SlowScanNumber(text).length != text.size()) {
    Fail(std::string(name) + " accepted \"" + text + "\", which is not wholly a number");
  }
}

std::vector<std::string> AsArguments(const RenderOptions& options) {
  std::vector<std::string> arguments{options.kind == FractalKind::Julia ? "--julia" : "--mandelbrot",
                                     "--xmin=" + options.XMin,
                                     "--xmax=" + options.XMax,
                                     "--ymin=" + options.YMin,
                                     "--ymax=" + options.YMax,
                                     "--iterations=" + options.MaxIter,
                                     "--real=" + options.P,
                                     "--imaginary=" + options.Q,
                                     "--size=" + std::to_string(options.width) + "x" + std::to_string(options.height),
                                     options.pyramid ? "--pyramid=" + *options.pyramid : "--output=" + options.output};
  if (options.counts) arguments.push_back("--counts=" + *options.counts);
  arguments.push_back("--palette=" + options.palette);
  if (options.cycle) arguments.push_back("--cycle=" + *options.cycle);
  if (options.inside) arguments.push_back("--inside=" + *options.inside);
  if (options.threads != 0) arguments.push_back("--threads=" + std::to_string(options.threads));
  if (options.shard) {
    arguments.push_back("--shard=" + std::to_string(options.shard->index) + "/" + std::to_string(options.shard->count));
  }
  if (const std::optional<SequenceRequest>& sequence = options.sequence) {
    if (sequence->zoom) {
      const PlaneView& end = sequence->zoom->end;
      arguments.push_back("--zoom-to=" + ExactText(end.x) + "," + ExactText(end.y) + "," + ExactText(end.width));
      arguments.push_back("--frames=" + std::to_string(sequence->zoom->frames));
    }
    if (sequence->viewsFile) arguments.push_back("--views=" + *sequence->viewsFile);
    if (sequence->range) {
      arguments.push_back("--frame-range=" + std::to_string(sequence->range->first) + ":" +
                          std::to_string(sequence->range->last));
    }
    if (sequence->keepExisting) arguments.emplace_back("--keep-existing");
  }
  if (options.progress != ProgressMode::Auto) {
    arguments.emplace_back(options.progress == ProgressMode::Always ? "--progress" : "--quiet");
  }
  return arguments;
}

bool SameSequence(const std::optional<SequenceRequest>& a, const std::optional<SequenceRequest>& b) {
  if (!a || !b) return a.has_value() == b.has_value();
  const bool sameZoom = a->zoom.has_value() == b->zoom.has_value() &&
                        (!a->zoom || (a->zoom->end == b->zoom->end && a->zoom->frames == b->zoom->frames));
  return sameZoom && a->viewsFile == b->viewsFile && a->range == b->range && a->keepExisting == b->keepExisting;
}

bool Same(const RenderOptions& a, const RenderOptions& b) {
  return a.kind == b.kind && a.XMin == b.XMin && a.XMax == b.XMax && a.YMin == b.YMin && a.YMax == b.YMax &&
         a.MaxIter == b.MaxIter && a.P == b.P && a.Q == b.Q && a.width == b.width &&
         a.height == b.height && a.output == b.output && a.counts == b.counts && a.progress == b.progress &&
         a.palette == b.palette && a.cycle == b.cycle && a.inside == b.inside && a.threads == b.threads &&
         a.pyramid == b.pyramid && a.shard == b.shard && SameSequence(a.sequence, b.sequence);
}

ParsedArguments Parse(const std::vector<std::string>& texts) {
  const std::vector<std::string_view> views(texts.begin(), texts.end());
  return ParseRenderArguments(views);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::vector<std::string> arguments;
  std::string_view rest(reinterpret_cast<const char*>(data), size);
  while (!rest.empty()) {
    const std::size_t nul = rest.find('\0');
    arguments.emplace_back(rest.substr(0, nul));
    rest = nul == std::string_view::npos ? std::string_view{} : rest.substr(nul + 1);
  }

  const ParsedArguments parsed = Parse(arguments);
  if (const auto* usage = std::get_if<UsageError>(&parsed)) {
    if (usage->message.empty()) Fail("a usage error without a message");
    return 0;
  }
  const auto* options = std::get_if<RenderOptions>(&parsed);
  if (options == nullptr) return 0;  // help or version

  CheckNumber("--xmin", options->XMin);
  CheckNumber("--xmax", options->XMax);
  CheckNumber("--ymin", options->YMin);
  CheckNumber("--ymax", options->YMax);
  CheckNumber("--iterations", options->MaxIter);
  CheckNumber("--real", options->P);
  CheckNumber("--imaginary", options->Q);
  if (options->width < 1 || options->width > 32767 || options->height < 1 || options->height > 32767) {
    Fail("accepted a size of " + std::to_string(options->width) + "x" + std::to_string(options->height));
  }
  if (options->output.empty() == !options->pyramid) Fail("accepted no output, or both a picture and a pyramid");
  if (options->pyramid && options->pyramid->empty()) Fail("accepted an empty pyramid folder");
  if (options->shard && (options->shard->index < 0 || options->shard->index >= options->shard->count)) {
    Fail("accepted the shard " + std::to_string(options->shard->index) + "/" + std::to_string(options->shard->count));
  }
  if (!FindPalette(options->palette)) Fail("accepted the palette \"" + options->palette + "\"");
  if (options->inside && !ParseColour(*options->inside)) Fail("accepted the colour \"" + *options->inside + "\"");
  if (options->threads < 0 || options->threads > kMaxThreads) Fail("accepted " + std::to_string(options->threads) + " threads");
  if (const Colouring colouring = ColouringOf(*options); colouring.cycle < 1 || colouring.cycle > 32767) {
    Fail("accepted a cycle of " + std::to_string(colouring.cycle));
  }
  if (options->counts && (options->counts->empty() || *options->counts == options->output || *options->counts == "-")) {
    Fail("accepted a count map that is no file of its own");
  }

  const ParsedArguments again = Parse(AsArguments(*options));
  const auto* reparsed = std::get_if<RenderOptions>(&again);
  if (reparsed == nullptr || !Same(*options, *reparsed)) Fail("the accepted options do not parse back to themselves");
  return 0;
}
