#pragma once

#include <string>
#include <variant>
#include <vector>

#include "tools/render/render_options.h"
#include "tools/view_record/view_record.h"

namespace tobrisk {

// The view that a run of the renderer draws, as its files record it.
[[nodiscard]] ViewRecord RecordOfOptions(const RenderOptions& options);

// The arguments of --from FILE when the file holds a view whose arguments
// parse; else the usage error, naming the option and the file.
[[nodiscard]] std::variant<std::vector<std::string>, UsageError> ViewArgumentsFrom(const std::string& path,
                                                                                   const ViewSource& source);

}  // namespace tobrisk
