#include "tools/render/file_commands.h"

#include <algorithm>
#include <initializer_list>

namespace tobrisk {
namespace {

std::string_view NameOf(std::string_view argument) {
  return argument.starts_with("--") ? argument.substr(0, argument.find('=')) : argument;
}

}  // namespace

std::optional<ParsedArguments> ParseFileCommand(std::span<const std::string_view> arguments) {
  const auto isCommand = [](std::string_view argument) {
    return NameOf(argument) == "--check" || NameOf(argument) == "--print-view";
  };
  const auto command = std::find_if(arguments.begin(), arguments.end(), isCommand);
  if (command == arguments.end()) return std::nullopt;
  // Help wins over everything, as with any other arguments; then the version.
  const auto given = [&](std::initializer_list<std::string_view> names) {
    return std::any_of(arguments.begin(), arguments.end(), [&](std::string_view a) {
      return std::find(names.begin(), names.end(), a) != names.end();
    });
  };
  if (given({"--help", "-h"})) return HelpRequested{};
  if (given({"--version"})) return VersionRequested{};
  const std::string name(NameOf(*command));
  std::string file;
  auto rest = std::vector<std::string_view>(arguments.begin(), command);
  if (command->size() > name.size()) {
    file = std::string(command->substr(name.size() + 1));
    rest.insert(rest.end(), command + 1, arguments.end());
  } else if (command + 1 != arguments.end()) {
    file = std::string(*(command + 1));
    rest.insert(rest.end(), command + 2, arguments.end());
  }
  if (file.empty()) return UsageError{name + " needs a file name"};

  ProgressMode progress = ProgressMode::Auto;
  for (const std::string_view other : rest) {
    const bool progressOption = other == "--quiet" || other == "-q" || other == "--progress";
    if (!progressOption || name == "--print-view") {
      return UsageError{name + " takes " + (name == "--check" ? "only --quiet or --progress" : "no other argument") +
                        " besides its file: the file holds the view (unexpected \"" +
                        ShowControlCharacters(other.substr(0, 60)) + "\")"};
    }
    progress = other == "--progress" ? ProgressMode::Always : ProgressMode::Never;
  }
  if (name == "--check") return CheckRequested{file, progress};
  return PrintViewRequested{file};
}

}  // namespace tobrisk
