#include "tools/sequence/frame_names.h"

namespace tobrisk {

std::optional<FrameNames> FrameNames::FromPattern(std::string_view pattern, std::string* problem) {
  FrameNames names;
  std::string* part = &names.before_;
  for (std::size_t at = 0; at < pattern.size(); ++at) {
    if (pattern[at] != '%') {
      *part += pattern[at];
      continue;
    }
    if (at + 1 < pattern.size() && pattern[at + 1] == '%') {
      *part += '%';
      ++at;
      continue;
    }
    std::size_t end = at + 1;
    const bool zero = end < pattern.size() && pattern[end] == '0';
    int width = 0;
    while (end < pattern.size() && pattern[end] >= '0' && pattern[end] <= '9' && width < 100) {
      width = width * 10 + (pattern[end] - '0');
      ++end;
    }
    if (end >= pattern.size() || (pattern[end] != 'd' && pattern[end] != 'i') || width >= 100) {
      *problem = "only a frame number such as %d or %05d may follow a % (write %% for a percent sign)";
      return std::nullopt;
    }
    if (names.numberAt_) {
      *problem = "it holds more than one frame number";
      return std::nullopt;
    }
    names.numberAt_ = at;
    names.width_ = width;
    names.zeroPadded_ = zero;
    part = &names.after_;
    at = end;
  }
  return names;
}

std::string FrameNames::NameOf(int frame) const {
  if (!numberAt_) return before_;
  std::string number = std::to_string(frame);
  if (number.size() < static_cast<std::size_t>(width_)) {
    number.insert(0, static_cast<std::size_t>(width_) - number.size(), zeroPadded_ ? '0' : ' ');
  }
  return before_ + number + after_;
}

}  // namespace tobrisk
