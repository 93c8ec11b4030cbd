#pragma once

#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace tobrisk {

// What the window program's command line asks for.
enum class StartRequest { OpenWindow, ShowHelp, ShowVersion, UsageError };

struct ParsedCommandLine {
  StartRequest request = StartRequest::OpenWindow;
  std::string problem;  // for UsageError: what was wrong, in a few words
};

// The options of the window system beneath, which the program leaves to it
// unread: those in `withValue` take a value, as the next argument or after "=".
struct PassedOnOptions {
  std::span<const std::string_view> withValue;
  std::span<const std::string_view> flags;
  std::string_view usageNote;  // what --help says of them and of starting without a display
};

// Qt's documented application options (-platform, -style, -reverse and the like), left for QApplication.
extern const PassedOnOptions kQtOptions;
// A window system that reads nothing from the command line.
inline constexpr PassedOnOptions kNoPassedOnOptions{};

[[nodiscard]] ParsedCommandLine ParseCommandLine(const std::vector<std::string_view>& arguments,
                                                 const PassedOnOptions& passedOn);

// The text of --help.
[[nodiscard]] std::string WindowUsage(const PassedOnOptions& passedOn);

// Answers what needs no window (help, version, a usage error) on standard
// output or standard error and gives the exit status; nothing when the window is to open.
[[nodiscard]] std::optional<int> AnswerWithoutWindow(const ParsedCommandLine& parsed, const PassedOnOptions& passedOn);

}  // namespace tobrisk
