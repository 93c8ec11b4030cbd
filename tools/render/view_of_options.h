#pragma once

#include <string>
#include <variant>
#include <vector>

#include "tools/render/render_options.h"
#include "tools/view_record/view_record.h"

namespace tobrisk {

// The view that a run of the renderer draws, as its files record it.
[[nodiscard]] ViewRecord RecordOfOptions(const RenderOptions& options);

// The options that draw a record's view, its values checked as typed ones
// are; throws ViewFileError (tools/view_record/png_view_reader.h) when
// tobrisk-render would refuse them, so that a file cannot hold what a user could not type.
[[nodiscard]] RenderOptions OptionsOfRecord(const ViewRecord& record);

// The arguments of --from FILE when the file holds a view whose arguments
// parse; else the usage error, naming the option and the file.
[[nodiscard]] std::variant<std::vector<std::string>, UsageError> ViewArgumentsFrom(const std::string& path,
                                                                                   const ViewSource& source);

}  // namespace tobrisk
