#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace tobrisk {

// What the window program's command line asks for. Qt's own window options
// (-platform, -style, -reverse and the like) are left for QApplication.
enum class StartRequest { OpenWindow, ShowHelp, ShowVersion, UsageError };

struct ParsedCommandLine {
  StartRequest request = StartRequest::OpenWindow;
  std::string problem;  // for UsageError: what was wrong, in a few words
};

[[nodiscard]] ParsedCommandLine ParseCommandLine(const std::vector<std::string_view>& arguments);

// The text of --help.
[[nodiscard]] std::string WindowUsage();

}  // namespace tobrisk
