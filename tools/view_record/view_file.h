#pragma once

#include <cstdio>
#include <memory>
#include <string>

#include "tools/view_record/png_view_reader.h"
#include "tools/view_record/view_record.h"

namespace tobrisk {

// A file that tobrisk-render may have written, open for reading: a picture
// (PNG) or a count map (PGM), told apart by its first byte.
struct ViewFile {
  enum class Kind { Picture, CountMap };
  std::unique_ptr<std::FILE, int (*)(std::FILE*)> stream{nullptr, std::fclose};
  Kind kind = Kind::Picture;
};

// Throws ViewFileError when the file cannot be opened or is neither kind.
[[nodiscard]] ViewFile OpenViewFile(const std::string& path);

// The same from a stream open for reading; the caller closes it.
[[nodiscard]] ViewRecord ReadViewRecord(std::FILE* stream);

// The view a file holds, read through to its end: a file that is cut short,
// damaged anywhere, or whose pixels are not the size its view says is refused
// with ViewFileError, so that no view is taken from a file that is not whole.
[[nodiscard]] ViewRecord ReadViewRecord(const std::string& path);

// The view in a file's texts, or ViewFileError saying what is wrong with them.
[[nodiscard]] ViewRecord RecordOfTexts(std::span<const RecordText> texts);

}  // namespace tobrisk
