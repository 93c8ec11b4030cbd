#pragma once

#include <string>
#include <variant>
#include <vector>

#include "tools/render/render_options.h"

namespace tobrisk {

// The views of a file, one per line, each written as the renderer's own
// options (--centre -0.75,0.1 --width 0.01 --iterations 500) and read after
// the command line's picture options. Blank lines and lines whose first
// character that is not a blank is "#" are skipped. A line may hold only
// options that describe a picture: its set, view, limit, size and colours.
// A usage error names the file and the line.
[[nodiscard]] std::variant<std::vector<RenderOptions>, UsageError> ReadViewsFile(const std::string& path,
                                                                                 const RenderOptions& commandLine);

}  // namespace tobrisk
