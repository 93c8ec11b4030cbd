#pragma once

#include <cstdio>
#include <span>
#include <vector>

#include "engine/types.h"
#include "tools/view_record/png_view_reader.h"
#include "tools/view_record/record_text.h"

namespace tobrisk {

// A count map (binary PGM) read row by row. Its comments of the form
// "# key: value" are its texts; the header, samples over maxval, a short or
// long file are refused with ViewFileError.
class PgmViewReader {
 public:
  explicit PgmViewReader(std::FILE* file);

  [[nodiscard]] int Width() const { return width_; }
  [[nodiscard]] int Height() const { return height_; }
  [[nodiscard]] const std::vector<RecordText>& Texts() const { return texts_; }
  void ReadRow(std::span<EscapeCount> counts);
  // Refuses data after the last row.
  void Finish();

 private:
  int Next();
  void SkipSpaceAndComments();
  int ReadNumber(const char* what, int largest);

  std::FILE* file_;
  std::vector<RecordText> texts_;
  int width_ = 0;
  int height_ = 0;
  int maxval_ = 0;
  std::vector<unsigned char> bytes_;
};

}  // namespace tobrisk
