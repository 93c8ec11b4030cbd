#include "app/command_line.h"

#include <algorithm>
#include <array>

namespace tobrisk {
namespace {

// Qt's documented application options; those in the first list take a value,
// either as the next argument or after "=".
constexpr std::array<std::string_view, 12> kQtOptionsWithValue{
    "platform", "platformpluginpath", "platformtheme", "plugin",  "qwindowgeometry", "qwindowicon",
    "qwindowtitle", "session", "style", "stylesheet", "display", "geometry"};
constexpr std::array<std::string_view, 5> kQtFlags{"reverse", "widgetcount", "nograb", "dograb", "sync"};

template <std::size_t N>
bool Lists(const std::array<std::string_view, N>& names, std::string_view name) {
  return std::find(names.begin(), names.end(), name) != names.end();
}

}  // namespace

ParsedCommandLine ParseCommandLine(const std::vector<std::string_view>& arguments) {
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
    if (Lists(kQtFlags, name) && !valueAttached) continue;
    if (!Lists(kQtOptionsWithValue, name)) {
      return {StartRequest::UsageError, "unknown option '" + std::string(argument) + "'"};
    }
    if (!valueAttached && ++i == arguments.size()) {
      return {StartRequest::UsageError, "option '" + std::string(argument) + "' needs a value"};
    }
  }
  return parsed;
}

std::string WindowUsage() {
  return "Usage: tobrisk [OPTION]...\n"
         "Opens the Tobrisk window, which draws the Mandelbrot set or a Julia set of\n"
         "z <- z^2 + c. Type the view into the fields and press Draw.\n"
         "\n"
         "  -h, --help     show this help and exit\n"
         "      --version  show the version and exit\n"
         "\n"
         "Qt's window options (-platform NAME, -style NAME, -reverse, ...) are passed on.\n"
         "Without a display, run it as 'xvfb-run tobrisk', or draw into a PNG file\n"
         "with tobrisk-render.\n";
}

}  // namespace tobrisk
