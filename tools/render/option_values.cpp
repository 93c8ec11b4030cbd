#include "tools/render/option_values.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <charconv>
#include <climits>
#include <cmath>

#include "platform/number_text.h"

namespace tobrisk {

bool IsPlainNumber(std::string_view text) {
  if (text.empty() || text.front() == ' ' || text.front() == '\t') return false;
  return ScanNumber(text).length == text.size();
}

std::optional<int> WholeNumber(std::string_view text, int least, int most) {
  int value = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (text.empty() || text.front() == '-' || error != std::errc{} || end != text.data() + text.size() ||
      value < least || value > most) {
    return std::nullopt;
  }
  return value;
}

std::optional<std::pair<int, int>> ParseSize(std::string_view text) {
  constexpr int kMaxSide = 32767;
  const std::size_t x = text.find_first_of("xX");
  if (x == std::string_view::npos || x == 0 || x + 1 >= text.size()) return std::nullopt;
  const std::optional<int> width = WholeNumber(text.substr(0, x), 1, kMaxSide);
  const std::optional<int> height = WholeNumber(text.substr(x + 1), 1, kMaxSide);
  if (!width || !height) return std::nullopt;
  return std::pair{*width, *height};
}

std::optional<std::pair<std::string, std::string>> ParseCentre(std::string_view text) {
  const std::size_t comma = text.find(',');
  if (comma == std::string_view::npos) return std::nullopt;
  const std::string_view x = text.substr(0, comma);
  const std::string_view y = text.substr(comma + 1);
  if (!IsPlainNumber(x) || !IsPlainNumber(y)) return std::nullopt;
  return std::pair{std::string(x), std::string(y)};
}

std::optional<PlaneView> ParseZoomEnd(std::string_view text) {
  const std::size_t comma = text.rfind(',');
  if (comma == std::string_view::npos) return std::nullopt;
  const std::optional<std::pair<std::string, std::string>> centre = ParseCentre(text.substr(0, comma));
  const std::string_view width = text.substr(comma + 1);
  if (!centre || !IsPlainNumber(width)) return std::nullopt;
  const PlaneView end{TextToNumber(centre->first), TextToNumber(centre->second), TextToNumber(width)};
  if (!std::isfinite(end.x) || !std::isfinite(end.y) || !std::isfinite(end.width) || !(end.width > 0)) {
    return std::nullopt;
  }
  return end;
}

std::optional<FrameRange> ParseFrameRange(std::string_view text) {
  const std::size_t colon = text.find(':');
  if (colon == std::string_view::npos) return std::nullopt;
  const std::optional<int> first = WholeNumber(text.substr(0, colon), 0, INT_MAX);
  const std::optional<int> last = WholeNumber(text.substr(colon + 1), 0, INT_MAX);
  if (!first || !last || *first > *last) return std::nullopt;
  return FrameRange{*first, *last};
}

bool NamesAnotherImageFormat(std::string_view name) {
  const std::size_t slash = name.find_last_of('/');
  const std::string_view file = slash == std::string_view::npos ? name : name.substr(slash + 1);
  const std::size_t dot = file.find_last_of('.');
  if (dot == std::string_view::npos || dot == 0) return false;
  std::string extension(file.substr(dot + 1));
  std::transform(extension.begin(), extension.end(), extension.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  constexpr std::array<std::string_view, 11> kOthers{"jpg", "jpeg", "gif", "bmp", "tif", "tiff",
                                                     "webp", "ppm", "pgm", "jxl", "avif"};
  return std::find(kOthers.begin(), kOthers.end(), extension) != kOthers.end();
}

bool NamesWindowsDevice(std::string_view name) {
  const std::size_t separator = name.find_last_of("/\\");
  std::string_view file = separator == std::string_view::npos ? name : name.substr(separator + 1);
  if (separator == std::string_view::npos && file.size() >= 2 && file[1] == ':') file.remove_prefix(2);  // "C:nul"
  std::string base(file.substr(0, file.find_first_of(".:")));
  while (!base.empty() && base.back() == ' ') base.pop_back();
  std::transform(base.begin(), base.end(), base.begin(), [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
  constexpr std::array<std::string_view, 6> kDevices{"CON", "PRN", "AUX", "NUL", "CONIN$", "CONOUT$"};
  if (std::find(kDevices.begin(), kDevices.end(), base) != kDevices.end()) return true;
  return base.size() == 4 && (base.starts_with("COM") || base.starts_with("LPT")) && base[3] >= '1' && base[3] <= '9';
}

}  // namespace tobrisk
