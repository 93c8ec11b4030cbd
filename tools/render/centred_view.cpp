#include "tools/render/centred_view.h"

#include <array>
#include <charconv>

namespace tobrisk {

std::string ExactText(double value) {
  std::array<char, 32> buffer{};
  const auto result = std::to_chars(buffer.data(), buffer.data() + buffer.size(), value);
  return {buffer.data(), result.ptr};
}

BoundTexts CentredBounds(double x, double y, double width, int columns, int rows) {
  const double height = width * rows / columns;
  return {ExactText(x - width / 2), ExactText(x + width / 2), ExactText(y - height / 2), ExactText(y + height / 2)};
}

}  // namespace tobrisk
