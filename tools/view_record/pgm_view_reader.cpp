#include "tools/view_record/pgm_view_reader.h"

#include <cctype>
#include <string>

#include "tools/view_record/view_record.h"

namespace tobrisk {
namespace {

constexpr std::size_t kMaxComment = kMaxRecordValue + 64;  // room for a key besides the longest value
constexpr std::size_t kMaxComments = 200;

bool IsSpace(int c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' || c == '\f'; }

}  // namespace

int PgmViewReader::Next() {
  const int c = std::fgetc(file_);
  if (c == EOF) throw ViewFileError(std::ferror(file_) != 0 ? "it cannot be read" : "it ends early: the file is cut short");
  return c;
}

void PgmViewReader::SkipSpaceAndComments() {
  for (;;) {
    int c = Next();
    if (IsSpace(c)) continue;
    if (c != '#') {
      std::ungetc(c, file_);
      return;
    }
    std::string line;
    while ((c = Next()) != '\n') {
      if (line.size() == kMaxComment) throw ViewFileError("a comment in its header is longer than any view's");
      line += static_cast<char>(c);
    }
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (texts_.size() == kMaxComments) throw ViewFileError("its header has more than 200 comments");
    // "# key: value"; other comments are another program's and carry no key.
    if (const std::size_t colon = line.find(": "); line.starts_with(" ") && colon != std::string::npos) {
      texts_.push_back({line.substr(1, colon - 1), line.substr(colon + 2)});
    }
  }
}

int PgmViewReader::ReadNumber(const char* what, int largest) {
  SkipSpaceAndComments();
  int value = 0;
  int digits = 0;
  for (int c = Next();; c = Next()) {
    if (std::isdigit(c) == 0) {
      std::ungetc(c, file_);
      break;
    }
    value = value * 10 + (c - '0');
    if (value > largest) throw ViewFileError(std::string("its ") + what + " is over " + std::to_string(largest));
    ++digits;
  }
  if (digits == 0 || value < 1) throw ViewFileError(std::string("its header has no ") + what);
  return value;
}

PgmViewReader::PgmViewReader(std::FILE* file) : file_(file) {
  if (Next() != 'P' || Next() != '5') throw ViewFileError("it is not a binary PGM (no P5 at its start)");
  width_ = ReadNumber("width", 32767);
  height_ = ReadNumber("height", 32767);
  maxval_ = ReadNumber("maxval", 65535);
  if (!IsSpace(Next())) throw ViewFileError("its maxval runs into the data");
  bytes_.resize(static_cast<std::size_t>(width_) * (maxval_ < 256 ? 1 : 2));
}

void PgmViewReader::ReadRow(std::span<EscapeCount> counts) {
  if (counts.size() != static_cast<std::size_t>(width_)) throw std::logic_error("a row of the wrong size for the PGM");
  if (std::fread(bytes_.data(), 1, bytes_.size(), file_) != bytes_.size()) {
    throw ViewFileError("it ends early: the file is cut short");
  }
  const bool wide = maxval_ >= 256;
  for (std::size_t i = 0; i < counts.size(); ++i) {
    const int sample = wide ? (bytes_[2 * i] << 8) | bytes_[2 * i + 1] : bytes_[i];
    if (sample > maxval_) throw ViewFileError("a sample is over its maxval");
    // Counts never exceed 32768 (MaxIter + 1), which an EscapeCount's bits hold as they are.
    counts[i] = static_cast<EscapeCount>(static_cast<std::uint16_t>(sample));
  }
}

void PgmViewReader::Finish() {
  if (std::fgetc(file_) != EOF) throw ViewFileError("it goes on after its last row");
}

}  // namespace tobrisk
