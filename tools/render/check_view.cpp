#include "tools/render/check_view.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "engine/palette.h"
#include "engine/run_time_error.h"
#include "tools/colour/picture_colours.h"
#include "tools/render/comparing_surface.h"
#include "tools/render/progress_line.h"
#include "tools/render/view_of_options.h"
#include "tools/view_record/pgm_view_reader.h"
#include "tools/view_record/png_view_reader.h"
#include "tools/view_record/view_file.h"
#include "ui/draw_command.h"

namespace tobrisk {
namespace {

std::string Hex(std::uint8_t value) {
  char text[3];
  std::snprintf(text, sizeof text, "%02X", value);
  return text;
}

std::string ColourText(Colour colour) { return std::string("#") + Hex(colour.red) + Hex(colour.green) + Hex(colour.blue); }

std::string EntryText(int entry) {
  return std::string("palette entry ") + std::to_string(entry) + " (" + ColourText(Palette16[static_cast<std::size_t>(entry)]) + ")";
}

// The colour of every count in a picture's colouring, looked up by the count's 16 bits.
std::vector<Colour> ColourTable(const PictureColours& colours) {
  std::vector<Colour> table(kCountTableSize);
  for (std::size_t i = 0; i < table.size(); ++i) {
    const auto n = static_cast<EscapeCount>(static_cast<std::uint16_t>(i));
    if (const auto* indexed = std::get_if<IndexedColours>(&colours)) {
      table[i] = indexed->palette[indexed->entryOfCount[i]];
    } else if (const auto* full = std::get_if<TrueColours>(&colours)) {
      table[i] = full->colourOfCount[i];
    } else {
      table[i] = ColourOfCount(n);
    }
  }
  return table;
}

// A picture in the window's colours and tobrisk-render's own layout compares
// as stored: the packed palette entries, byte for byte, which costs little
// more than inflating them. Any other picture compares by the colour each
// pixel shows, whatever its layout or palette.
class PictureRows final : public RowComparer {
 public:
  PictureRows(PngViewReader& reader, const PictureColours& colours)
      : reader_(reader), asStored_(std::holds_alternative<WindowColours>(colours) && reader.InTobriskLayout()) {
    if (!asStored_) colourOfCount_ = ColourTable(colours);
    reader_.Begin(asStored_ ? PngViewReader::Rows::AsStored : PngViewReader::Rows::AsRgba);
    inFile_.resize(reader_.RowBytes());
    fromView_.resize(reader_.RowBytes());
  }

  std::optional<PixelDifference> CompareRow(int row, std::span<const EscapeCount> counts) override {
    reader_.ReadRow(inFile_);
    return asStored_ ? ComparePacked(row, counts) : CompareColours(row, counts);
  }

 private:
  std::optional<PixelDifference> ComparePacked(int row, std::span<const EscapeCount> counts) {
    // Two entries a byte, the left one in the high half, as the writer packs
    // them. Through local pointers: a byte stored through the member could
    // alias the vector's own pointer, and the loop would not vectorise.
    std::uint8_t* packed = fromView_.data();
    const EscapeCount* n = counts.data();
    const std::size_t pairs = counts.size() / 2;
    for (std::size_t i = 0; i < pairs; ++i) {
      packed[i] = static_cast<std::uint8_t>((PaletteEntryOfCount(n[2 * i]) << 4) | PaletteEntryOfCount(n[2 * i + 1]));
    }
    if (counts.size() % 2 != 0) packed[pairs] = static_cast<std::uint8_t>(PaletteEntryOfCount(counts.back()) << 4);
    if (std::memcmp(inFile_.data(), fromView_.data(), fromView_.size()) == 0) return std::nullopt;
    for (std::size_t col = 0; col < counts.size(); ++col) {
      const auto entry = [col](const std::vector<std::uint8_t>& packed) {
        return col % 2 == 0 ? packed[col / 2] >> 4 : packed[col / 2] & 0x0F;
      };
      if (entry(inFile_) != entry(fromView_)) {
        return PixelDifference{static_cast<int>(col), row, EntryText(entry(inFile_)), EntryText(entry(fromView_))};
      }
    }
    return std::nullopt;  // only the unused half of a last byte differs, which no viewer shows
  }

  std::optional<PixelDifference> CompareColours(int row, std::span<const EscapeCount> counts) const {
    for (std::size_t col = 0; col < counts.size(); ++col) {
      const std::uint8_t* pixel = &inFile_[4 * col];
      const Colour expected = colourOfCount_[CountTableIndex(counts[col])];
      const Colour shown{pixel[0], pixel[1], pixel[2]};
      if (shown != expected || pixel[3] != 0xFF) {
        std::string inFile = ColourText(shown);
        if (pixel[3] != 0xFF) inFile += std::string(" at opacity ") + std::to_string(pixel[3]) + "/255";
        return PixelDifference{static_cast<int>(col), row, inFile, ColourText(expected)};
      }
    }
    return std::nullopt;
  }

  PngViewReader& reader_;
  bool asStored_;
  std::vector<Colour> colourOfCount_;
  std::vector<std::uint8_t> inFile_;
  std::vector<std::uint8_t> fromView_;
};

class CountMapRows final : public RowComparer {
 public:
  CountMapRows(PgmViewReader& reader, const PictureColours& /*colours: a count map has none*/)
      : reader_(reader), inFile_(static_cast<std::size_t>(reader.Width())) {}

  std::optional<PixelDifference> CompareRow(int row, std::span<const EscapeCount> counts) override {
    reader_.ReadRow(inFile_);
    const auto [fromView, inFile] = std::mismatch(counts.begin(), counts.end(), inFile_.begin());
    if (fromView == counts.end()) return std::nullopt;
    const auto shown = [](EscapeCount n) { return std::string("count ") + std::to_string(static_cast<std::uint16_t>(n)); };
    return PixelDifference{static_cast<int>(fromView - counts.begin()), row, shown(*inFile), shown(*fromView)};
  }

 private:
  PgmViewReader& reader_;
  std::vector<EscapeCount> inFile_;
};

struct Verdict {
  int status;
  std::string text;
};

template <class Reader, class Rows>
Verdict Compare(Reader& reader, ProgressMode progressMode) {
  const ViewRecord record = RecordOfTexts(reader.Texts());
  const RenderOptions options = OptionsOfRecord(record);
  if (reader.Width() != options.width || reader.Height() != options.height) {
    return {1, std::string("differs: it is ") + std::to_string(reader.Width()) + "x" + std::to_string(reader.Height()) +
                   " pixels, but its view is " + std::to_string(options.width) + "x" + std::to_string(options.height)};
  }
  const FieldTexts texts{options.XMin, options.XMax, options.YMin, options.YMax, options.MaxIter, options.P, options.Q};
  const bool mandelbrot = options.kind == FractalKind::Mandelbrot;
  PictureColours colours;
  try {
    colours = ColoursFor(ColouringOf(options), ReadDrawParameters(texts, mandelbrot).MaxIter);
  } catch (const RunTimeError& error) {
    return {1, std::string("differs: its view fails to draw: ") + error.what()};
  }
  Rows rows(reader, colours);
  ComparingSurface surface(options.width, options.height, rows);
  try {
    const std::unique_ptr<ProgressLine> progress =
        ProgressOnStandardError(progressMode, options.height, [&surface] { return surface.RowsCompared(); });
    Draw(texts, mandelbrot, surface);
  } catch (const RunTimeError& error) {
    return {1, std::string("differs: its view fails to draw: ") + error.what()};
  } catch (const ViewFileError& error) {
    return {1, std::string("differs: it is damaged at row ") + std::to_string(surface.RowsCompared()) + ": " + error.what()};
  }
  if (const auto& difference = surface.Difference()) {
    return {1, std::string("differs at pixel (") + std::to_string(difference->col) + ", " + std::to_string(difference->row) +
                   "): the file has " + difference->inFile + ", its view gives " + difference->fromView};
  }
  try {
    reader.Finish();
  } catch (const ViewFileError& error) {
    return {1, std::string("differs: it is damaged after its last row: ") + error.what()};
  }
  (void)RecordOfTexts(reader.Texts());  // a second view after the data is refused
  return {0, "identical"};
}

}  // namespace

int CheckViewFile(const CheckRequested& request, std::ostream& out, std::ostream& err) {
  const ProgressMode progressMode = UsableProgressMode(request.progress);
  const std::string shownName = ShowControlCharacters(request.file);
  Verdict verdict{2, ""};
  try {
    const ViewFile file = OpenViewFile(request.file);
    if (file.kind == ViewFile::Kind::Picture) {
      PngViewReader reader(file.stream.get());
      verdict = Compare<PngViewReader, PictureRows>(reader, progressMode);
    } else {
      PgmViewReader reader(file.stream.get());
      verdict = Compare<PgmViewReader, CountMapRows>(reader, progressMode);
    }
  } catch (const ViewFileError& error) {
    err << "tobrisk-render: " << shownName << ": " << ShowControlCharacters(error.what()) << '\n';
    return 2;
  }
  out << shownName << ": " << ShowControlCharacters(verdict.text) << '\n';
  return verdict.status;
}

}  // namespace tobrisk
