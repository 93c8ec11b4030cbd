#include "tools/render/render_options.h"

#include <algorithm>
#include <string>

#include "tools/colour/palettes.h"

// The texts the renderer shows: its usage, its palettes, and what a user typed.

namespace tobrisk {

// A value as a message quotes it: control characters escaped and a long
// value cut short.
std::string Quoted(std::string_view value) {
  constexpr std::size_t kShownMax = 60;
  const auto continuesCharacter = [&](std::size_t at) {
    return at < value.size() && (static_cast<unsigned char>(value[at]) & 0xC0U) == 0x80U;
  };
  std::size_t shownLength = std::min(value.size(), kShownMax);
  while (shownLength > 0 && continuesCharacter(shownLength)) --shownLength;  // cut between characters
  std::string quoted(1, '"');
  quoted += ShowControlCharacters(value.substr(0, shownLength));
  if (shownLength < value.size()) quoted += "...";
  quoted += '"';
  return quoted;
}

std::string PaletteList() {
  std::string list;
  for (const NamedPalette& palette : AllPalettes()) {
    std::string name(palette.name);
    name.resize(std::max<std::size_t>(name.size() + 2, 10), ' ');
    list += name;
    list += palette.description;
    list += '\n';
  }
  return list;
}

std::string ShowControlCharacters(std::string_view text) {
  std::string shown;
  for (const char c : text) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte >= 0x20 && byte != 0x7F) {
      shown += c;
      continue;
    }
    constexpr std::string_view kHex = "0123456789abcdef";
    shown += "\\x";
    shown += kHex[byte >> 4U];
    shown += kHex[byte & 0xFU];
  }
  return shown;
}

std::string RenderUsage(std::string_view program) {
  std::string text = "Usage: ";
  text += program;
  text += R"( [options] -o FILE.png
       )";
  text += program;
  text += R"( --check FILE [--quiet | --progress]
       )";
  text += program;
  text += R"( --print-view FILE
       )";
  text += program;
  text += R"( [options] --pyramid DIR [--shard K/N]

Draws the Mandelbrot set or a Julia set as the window's Draw button does, into
an indexed PNG in the 16-colour palette (row 0 at the top).

Options:
  --mandelbrot          draw the Mandelbrot set (the default)
  --julia               draw the Julia set of c = P + Qi
  --xmin X, --xmax X    the real range; column 0 shows X Min
  --ymin Y, --ymax Y    the imaginary range; row 0 shows Y Min
                        (bounds not given come from the kind's preset:
                        -2.5 1.5 -1.5 1.5 for Mandelbrot, -1.5 1.5 -1.5 1.5 for Julia)
  --centre X,Y          the view's centre (also --center), instead of the bounds
  --width W             the view's width in the plane; the height follows the
                        picture's shape, so pixels are square (default: the
                        preset's centre and width)
  --iterations N        iteration limit, rounded to the nearest integer;
                        -32768 ... 32767 (default 100); 32766 is the largest
                        limit at which points that never escape can be drawn
  --real P              real part of the Julia constant (default 0.3)
  --imaginary Q         imaginary part of the Julia constant (default 0.6)
  --size WxH            picture size, 1 ... 32767 pixels per side (default 320x200)
  --palette NAME        how counts are coloured: window (the window's 15 colours,
                        the default), rainbow, ocean, fire or grey
  --cycle N             counts per turn of a gradient palette (default 64)
  --inside COLOUR       the colour of points that reach the limit, as #rrggbb,
                        #rgb, black or white (default black for the gradients;
                        the window's palette keeps its own colours)
  --list-palettes       describe the palettes and exit
  --counts FILE.pgm     also write each pixel's escape count as a binary PGM
                        whose maxval is the largest count in it
  --from FILE           the view a picture or count map of tobrisk-render holds,
                        as if its options stood here: options after it override
                        them (--from small.png --size 7680x4320 enlarges a view)
  -o, --output FILE     the PNG to write; "-" writes it to standard output
  --pyramid DIR         instead of one PNG, a zoomable Deep Zoom pyramid of
                        the picture in DIR: DIR/picture.dzi, the tiles in
                        DIR/picture_files/LEVEL/COL_ROW.png (256 pixels, overlap
                        1), each level drawn at its own size from --size down to
                        1x1, and DIR/index.html to explore it in a browser
  --threads N           threads to draw with, 1 ... 1024 (default: every core;
                        1 draws on one thread); the picture is the same for any N
  --zoom-to X,Y,WIDTH   draw a zoom: frames from the view given to this centre
                        and width, zooming by the same factor every frame
  --frames N            the zoom's number of frames, 1 ... 1000000
  --views FILE          draw one frame per line of FILE, each line written as
                        options (--centre -0.75,0.1 --width 0.01 --iterations 500);
                        blank lines and lines starting with # are skipped
  --frame-range A:B     draw only frames A ... B of the sequence (both drawn)
  --shard K/N           draw only the frames (or a pyramid's tiles) whose number
                        is K modulo N; a sharded pyramid is complete when every
                        shard has ended with status 0 (shard 0 writes its
                        picture.dzi and index.html last)
  --keep-existing       skip a frame whose file already holds its view
                        (a sequence names its files with a frame number:
                        -o frames/zoom-%05d.png)
  -q, --quiet           show no progress and no warnings
  --progress            show progress on standard error from the start, even
                        when it is not a terminal (the last of the two wins)
  --check FILE          draw the view FILE holds again and compare every pixel
                        (the colour a viewer shows) or count: "identical" and
                        status 0, or the first pixel that differs and status 1
  --print-view FILE     show the view FILE holds as the window's fields
  -h, --help            show this text
  --version             show the version

Numbers are plain decimals such as -2.5 or 1e-3; a value may follow its option
after a space or an "=". Files are replaced only when the picture is complete.
A render that takes more than a second shows its progress on standard error
when that is a terminal. A view narrower than single precision resolves is
drawn as defined, with a warning. Every picture and count map carries its
view (kind, the seven field texts as typed, size, palette options) and the
program's name and version, and nothing else: the same view gives the same bytes.

Exit status: 0 done, 1 drawing or writing failed (the message says where) or
--check found a difference, 2 the arguments are not understood or a file holds
no view.
)";
  return text;
}

}  // namespace tobrisk
