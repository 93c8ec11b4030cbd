#pragma once

#include <string>

namespace tobrisk {

// A view by its centre and its width in the plane; the height follows the picture's shape.
struct PlaneView {
  double x = 0;
  double y = 0;
  double width = 0;
  friend bool operator==(const PlaneView&, const PlaneView&) = default;
};

// The four bound texts that show a plane `width` wide around (x, y) on a
// picture of columns x rows with square pixels: the height follows the
// picture's shape. Computed in double and written so that reading a text
// back gives that double again, so the window's Draw, given these texts,
// draws the same picture as the renderer.
struct BoundTexts {
  std::string XMin, XMax, YMin, YMax;
};
[[nodiscard]] BoundTexts CentredBounds(double x, double y, double width, int columns, int rows);

// The shortest decimal text that reads back as exactly `value`.
[[nodiscard]] std::string ExactText(double value);

}  // namespace tobrisk
