#include "app/command_line.h"

#include <algorithm>
#include <array>
#include <iostream>

#include "tobrisk/version.h"

namespace tobrisk {
namespace {

constexpr std::array<std::string_view, 12> kQtOptionsWithValue{
    "platform", "platformpluginpath", "platformtheme", "plugin",  "qwindowgeometry", "qwindowicon",
    "qwindowtitle", "session", "style", "stylesheet", "display", "geometry"};
constexpr std::array<std::string_view, 5> kQtFlags{"reverse", "widgetcount", "nograb", "dograb", "sync"};

bool Lists(std::span<const std::string_view> names, std::string_view name) {
  return std::find(names.begin(), names.end(), name) != names.end();
}

// Writes an answer to standard output; a full disk or a closed pipe is a failure.
int Answer(const std::string& text) {
  std::cout << text << std::flush;
  return std::cout ? 0 : 1;
}

}  // namespace

const PassedOnOptions kQtOptions{
    kQtOptionsWithValue, kQtFlags,
    "Qt's window options (-platform NAME, -style NAME, -reverse, ...) are passed on.\n"
    "Without a display, run it as 'xvfb-run tobrisk', or draw into a PNG file\n"
    "with tobrisk-render.\n"};

ParsedCommandLine ParseCommandLine(const std::vector<std::string_view>& arguments, const PassedOnOptions& passedOn) {
  ParsedCommandLine parsed;
  for (std::size_t i = 0; i < arguments.size(); ++i) {
    const std::string_view argument = arguments[i];
    if (argument == "--help" || argument == "-h") return {StartRequest::ShowHelp, {}};
    if (argument == "--version") {
      parsed.request = StartRequest::ShowVersion;
      continue;
    }
    if (argument.size() < 2 || argument[0] != '-') {
      return {StartRequest::UsageError, "unexpected argument '" + std::string(argument) + "'"};
    }
    std::string_view name = argument.substr(argument.starts_with("--") ? 2 : 1);
    const bool valueAttached = name.find('=') != std::string_view::npos;
    name = name.substr(0, name.find('='));
    if (Lists(passedOn.flags, name) && !valueAttached) continue;
    if (!Lists(passedOn.withValue, name)) {
      return {StartRequest::UsageError, "unknown option '" + std::string(argument) + "'"};
    }
    if (!valueAttached && ++i == arguments.size()) {
      return {StartRequest::UsageError, "option '" + std::string(argument) + "' needs a value"};
    }
  }
  return parsed;
}

std::string WindowUsage(const PassedOnOptions& passedOn) {
  std::string usage =
      "Usage: tobrisk [OPTION]...\n"
      "Opens the Tobrisk window, which draws the Mandelbrot set or a Julia set of\n"
      "z <- z^2 + c. Type the view into the fields and press Draw.\n"
      "\n"
      "  -h, --help     show this help and exit\n"
      "      --version  show the version and exit\n";
  if (!passedOn.usageNote.empty()) {
    usage += '\n';
    usage += passedOn.usageNote;
  }
  return usage;
}

std::optional<int> AnswerWithoutWindow(const ParsedCommandLine& parsed, const PassedOnOptions& passedOn) {
  switch (parsed.request) {
    case StartRequest::ShowHelp: return Answer(WindowUsage(passedOn));
    case StartRequest::ShowVersion: return Answer("tobrisk " + std::string(kVersion) + "\n");
    case StartRequest::UsageError:
      std::cerr << "tobrisk: " << parsed.problem << "\nTry 'tobrisk --help' for more information.\n";
      return 2;
    case StartRequest::OpenWindow: break;
  }
  return std::nullopt;
}

}  // namespace tobrisk
