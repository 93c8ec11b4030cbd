#pragma once

#include <cstddef>
#include <span>
#include <string>
#include <string_view>

#include "ui/fields.h"

namespace tobrisk {

// What the viewer page says about its picture.
struct ViewerFacts {
  bool mandelbrot;
  FieldTexts texts;
  int width;
  int height;
  std::string_view version;
};

// index.html: the pyramid beside it, full window, shown by the script file
// kViewerScriptName beside it, with the view's field texts and the
// program's version in a corner. It names the picture's size itself rather
// than reading picture.dzi, because a page opened from file:// may not read
// files, only show images.
[[nodiscard]] std::string ViewerPage(const ViewerFacts& facts);

inline constexpr std::string_view kViewerScriptName = "openseadragon.min.js";

// The viewer's script, built into the program so that a pyramid needs
// nothing from the network, and its licence, which goes with every copy.
[[nodiscard]] std::span<const unsigned char> ViewerScript();
[[nodiscard]] std::span<const unsigned char> ViewerScriptLicence();
inline constexpr std::string_view kViewerLicenceName = "openseadragon-license.txt";

}  // namespace tobrisk
