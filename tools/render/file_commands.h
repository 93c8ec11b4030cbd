#pragma once

#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "tools/render/render_options.h"

namespace tobrisk {

// The commands that read a file instead of drawing into one, given with at
// most the progress options besides; nullopt when the arguments hold neither.
[[nodiscard]] std::optional<ParsedArguments> ParseFileCommand(std::span<const std::string_view> arguments);

}  // namespace tobrisk
