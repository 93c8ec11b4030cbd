#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace tobrisk {

// A file name for each frame of a sequence, from a pattern with one
// printf-style number such as "zoom-%05d.png" (%d, %i, with a width and zero
// padding; "%%" is a percent sign).
class FrameNames {
 public:
  // Empty with a reason when the pattern holds a conversion other than one number.
  [[nodiscard]] static std::optional<FrameNames> FromPattern(std::string_view pattern, std::string* problem);

  // Whether each frame gets a name of its own: a pattern without a number gives all one name.
  [[nodiscard]] bool Numbered() const { return numberAt_.has_value(); }
  [[nodiscard]] std::string NameOf(int frame) const;

 private:
  std::string before_;
  std::string after_;
  std::optional<std::size_t> numberAt_;
  int width_ = 0;
  bool zeroPadded_ = false;
};

}  // namespace tobrisk
