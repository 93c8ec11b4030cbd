#include "tools/pyramid/viewer_page.h"

#include <array>

#include "tools/pyramid/deep_zoom.h"

namespace tobrisk {
namespace {

std::string EscapedForHtml(std::string_view text) {
  std::string escaped;
  for (const char c : text) {
    switch (c) {
      case '&': escaped += "&amp;"; break;
      case '<': escaped += "&lt;"; break;
      case '>': escaped += "&gt;"; break;
      case '"': escaped += "&quot;"; break;
      default: escaped += c;
    }
  }
  return escaped;
}

// The field texts as the page's corner shows them: the Julia constant only for a Julia set.
std::string ViewLine(const ViewerFacts& facts) {
  constexpr std::array<std::string_view, 7> kCaptions{"X Min", "X Max", "Y Min", "Y Max", "Iterations", "Real",
                                                      "Imaginary"};
  std::string line = facts.mandelbrot ? "Mandelbrot set" : "Julia set";
  const std::size_t shown = facts.mandelbrot ? 5 : 7;
  for (std::size_t field = 0; field < shown; ++field) {
    line += " &middot; " + std::string(kCaptions[field]) + " <b>" + EscapedForHtml(facts.texts[field]) + "</b>";
  }
  return line;
}

}  // namespace

std::string ViewerPage(const ViewerFacts& facts) {
  const std::string version = EscapedForHtml(facts.version);
  const std::string size = std::to_string(facts.width) + " &times; " + std::to_string(facts.height);
  return R"(<!DOCTYPE html>
<html lang="en">
<head>
<meta charset="utf-8">
<meta name="generator" content="tobrisk-render )" + version + R"(">
<meta name="viewport" content="width=device-width, initial-scale=1">
<title>)" + std::string(facts.mandelbrot ? "Mandelbrot set" : "Julia set") + ", " + size + R"( pixels</title>
<style>
  html, body { margin: 0; width: 100%; height: 100%; overflow: hidden; background: #000; }
  #picture { position: absolute; inset: 0; }
  #view { position: absolute; left: 0; bottom: 0; z-index: 1; padding: 4px 8px; pointer-events: none;
          font: 12px/1.4 sans-serif; color: #fff; background: rgba(0, 0, 0, 0.6); }
</style>
</head>
<body>
<div id="picture"></div>
<div id="view">)" + ViewLine(facts) + " &middot; " + size + " pixels &middot; tobrisk-render " + version + R"(</div>
<script src=")" + std::string(kViewerScriptName) + R"("></script>
<script>
  // The picture's colours are exact: a zoomed-in pixel stays a square of its own colour.
  window.viewer = OpenSeadragon({
    id: "picture",
    drawer: "canvas",
    imageSmoothingEnabled: false,
    showNavigationControl: false,
    // The finest level whose pixels cover about a screen pixel or more: each level is drawn
    // exactly at its own size, so it shows more truly than a finer one thinned out.
    minPixelRatio: 0.9,
    // Its other way of joining tiles, for zoomed-in views, leaves the last row and column of the window blank.
    smoothTileEdgesMinZoom: Infinity,
    maxZoomPixelRatio: 256,
    visibilityRatio: 0.5,
    tileSources: {
      Image: {
        xmlns: "http://schemas.microsoft.com/deepzoom/2008",
        Url: "picture_files/",
        Format: "png",
        Overlap: ")" + std::to_string(kTileOverlap) + R"(",
        TileSize: ")" + std::to_string(kTileSize) + R"(",
        Size: { Width: ")" + std::to_string(facts.width) + R"(", Height: ")" + std::to_string(facts.height) + R"(" }
      }
    }
  });
</script>
</body>
</html>
)";
}

}  // namespace tobrisk
