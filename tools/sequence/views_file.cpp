#include "tools/sequence/views_file.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string_view>
#include <system_error>

#include "tools/safe_output/utf8_path.h"

namespace tobrisk {
namespace {

constexpr std::size_t kLongestLine = 4096;

// What a line may say: how one picture looks, not where it goes or how the run goes.
bool DescribesAPicture(std::string_view argument) {
  constexpr std::array<std::string_view, 16> kAllowed{
      "--mandelbrot", "--julia", "--xmin",  "--xmax",  "--ymin",    "--ymax",  "--iterations", "--real",
      "--imaginary",  "--centre", "--center", "--width", "--size", "--palette", "--cycle", "--inside"};
  const std::string_view name = argument.substr(0, argument.find('='));
  return std::find(kAllowed.begin(), kAllowed.end(), name) != kAllowed.end();
}

std::vector<std::string> Words(const std::string& line) {
  std::istringstream in(line);
  std::vector<std::string> words;
  for (std::string word; in >> word;) words.push_back(word);
  return words;
}

}  // namespace

std::variant<std::vector<RenderOptions>, UsageError> ReadViewsFile(const std::string& path,
                                                                   const RenderOptions& commandLine) {
  constexpr std::uintmax_t kLargestFile = std::uintmax_t{64} << 20;
  std::error_code error;
  const std::filesystem::path file = PathOfUtf8(path);
  if (std::filesystem::is_regular_file(file, error) && std::filesystem::file_size(file, error) > kLargestFile) {
    return UsageError{"--views: " + ShowControlCharacters(path) + " is larger than 64 MiB"};
  }
  std::ifstream in(file, std::ios::binary);
  if (!in) return UsageError{"--views: cannot read " + ShowControlCharacters(path) + ": " + std::strerror(errno)};
  std::vector<RenderOptions> views;
  std::string line;
  for (int number = 1; std::getline(in, line); ++number) {
    const std::string where = "--views " + ShowControlCharacters(path) + " line " + std::to_string(number) + ": ";
    if (line.size() > kLongestLine) return UsageError{where + "longer than " + std::to_string(kLongestLine) + " bytes"};
    if (!line.empty() && line.back() == '\r') line.pop_back();  // a file written on Windows
    const std::vector<std::string> words = Words(line);
    if (words.empty() || words.front().starts_with('#')) continue;
    std::vector<std::string_view> arguments(commandLine.pictureArguments.begin(), commandLine.pictureArguments.end());
    for (std::size_t at = 0; at < words.size(); ++at) {
      if (!words[at].starts_with("--") || !DescribesAPicture(words[at])) {
        return UsageError{where + "\"" + ShowControlCharacters(words[at]) +
                          "\" is not an option that describes a picture"};
      }
      arguments.push_back(words[at]);
      // The value after a space, if the option takes one: the parser decides.
      if (words[at].find('=') == std::string::npos && at + 1 < words.size() && !words[at + 1].starts_with("--")) {
        arguments.push_back(words[++at]);
      }
    }
    if (views.size() >= static_cast<std::size_t>(kMaxFrames)) {
      return UsageError{where + "more than " + std::to_string(kMaxFrames) + " views"};
    }
    ParsedArguments parsed = ParseRenderArguments(arguments);
    if (auto* usage = std::get_if<UsageError>(&parsed)) return UsageError{where + usage->message};
    views.push_back(std::get<RenderOptions>(std::move(parsed)));
  }
  if (in.bad()) return UsageError{"--views: cannot read " + ShowControlCharacters(path)};
  if (views.empty()) return UsageError{"--views " + ShowControlCharacters(path) + ": the file holds no view"};
  return views;
}

}  // namespace tobrisk
