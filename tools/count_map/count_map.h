#pragma once

#include <cstdint>
#include <cstdio>
#include <span>
#include <string>

#include "engine/types.h"
#include "tools/view_record/record_text.h"

namespace tobrisk {

// Streams the escape counts as a binary PGM (P5), one row at a time, with
// `texts` as comment lines ("# key: value") after the magic number. Its
// maxval is the largest count in the map, so that viewers scale it to white,
// and the counts are stored unchanged: one byte a sample under 256, else two
// (big-endian). The largest count is known only at the end; the header is
// written with `largestPossible` (the iteration limit + 1) and, in a file that
// can be rewritten, corrected when the map is finished. A pipe or device
// keeps `largestPossible`, which still holds every count.
class CountMapWriter {
 public:
  // `rewritable`: the stream is a regular file open for reading and writing.
  CountMapWriter(std::FILE* stream, std::string name, int width, int height, std::span<const RecordText> texts,
                 int largestPossible, bool rewritable);
  // Throws std::runtime_error when the stream refuses the data.
  void WriteRow(std::span<const EscapeCount> counts);
  // Puts the largest count in the header; throws std::runtime_error when the file cannot be rewritten.
  void Finish();

 private:
  void Check(bool written) const;

  std::FILE* stream_;
  std::string name_;  // for messages
  int width_;
  int height_;
  std::string comments_;
  int maxval_;  // as the header says
  bool rewritable_;
  int largest_ = 1;
  std::uint64_t rows_ = 0;
};

// The largest count a limit can give, as a PGM's maxval: MaxIter + 1, and at least 2.
[[nodiscard]] int LargestPossibleCount(int maxIter);

}  // namespace tobrisk
