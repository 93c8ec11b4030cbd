#include "tools/render/view_of_options.h"

#include <array>
#include <optional>

#include "tools/view_record/view_file.h"

namespace tobrisk {
namespace {

// The colour options a record holds, a row each, in the order of kColourKeys;
// one that was not given is left out.
struct ColourOption {
  std::string_view key;
  std::optional<std::string> (*given)(const RenderOptions&);
};
constexpr std::array<ColourOption, 3> kColourOptions{{
    {"Tobrisk Palette", [](const RenderOptions& o) -> std::optional<std::string> { return o.palette; }},
    {"Tobrisk Cycle", [](const RenderOptions& o) { return o.cycle; }},
    {"Tobrisk Inside", [](const RenderOptions& o) { return o.inside; }},
}};

}  // namespace

ViewRecord RecordOfOptions(const RenderOptions& options) {
  ViewRecord record;
  record.kind = options.kind;
  record.fields = {options.XMin, options.XMax, options.YMin, options.YMax, options.MaxIter, options.P, options.Q};
  record.width = options.width;
  record.height = options.height;
  for (const ColourOption& option : kColourOptions) {
    if (std::optional<std::string> value = option.given(options)) record.colours.emplace_back(option.key, *value);
  }
  return record;
}

RenderOptions OptionsOfRecord(const ViewRecord& record) {
  const std::vector<std::string> arguments = RecordArguments(record);
  std::vector<std::string_view> views(arguments.begin(), arguments.end());
  views.insert(views.end(), {"-o", "-"});
  const ParsedArguments parsed = ParseRenderArguments(views);
  if (const auto* usage = std::get_if<UsageError>(&parsed)) {
    throw ViewFileError("its view is not one tobrisk-render draws: " + usage->message);
  }
  return std::get<RenderOptions>(parsed);
}

std::variant<std::vector<std::string>, UsageError> ViewArgumentsOfFile(const std::string& path) {
  try {
    const ViewRecord record = ReadViewRecord(path);
    (void)OptionsOfRecord(record);
    return RecordArguments(record);
  } catch (const ViewFileError& error) {
    return UsageError{std::string("--from \"") + ShowControlCharacters(path) + "\": " + error.what()};
  }
}

std::variant<std::vector<std::string>, UsageError> ViewArgumentsFrom(const std::string& path,
                                                                     const ViewSource& source) {
  auto found = source(path);
  const auto* arguments = std::get_if<std::vector<std::string>>(&found);
  if (arguments == nullptr) return found;
  // Checked again whatever the source, as a view from a file is in OptionsOfRecord.
  std::vector<std::string_view> alone(arguments->begin(), arguments->end());
  alone.insert(alone.end(), {"-o", "-"});
  const ParsedArguments parsed = ParseRenderArguments(alone, source);
  if (const auto* usage = std::get_if<UsageError>(&parsed)) {
    return UsageError{std::string("--from \"") + ShowControlCharacters(path) + "\": its view is not one tobrisk-render draws: " +
                      usage->message};
  }
  return found;
}

}  // namespace tobrisk
