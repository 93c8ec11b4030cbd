#include "tools/count_map/count_map.h"

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstring>
#include <stdexcept>
#include <utility>
#include <vector>

#include "tools/safe_output/file_calls.h"

namespace tobrisk {
namespace {

std::string Header(int width, int height, const std::string& comments, int maxval) {
  return std::string("P5\n") + comments + std::to_string(width) + " " + std::to_string(height) + "\n" + std::to_string(maxval) +
         "\n";
}

int SampleBytes(int maxval) { return maxval < 256 ? 1 : 2; }

}  // namespace

// A count stops past the limit, at MaxIter + 1; but the Mandelbrot kernel
// counts its first iterate before it looks at the limit, so a limit under 1 still gives 2.
int LargestPossibleCount(int maxIter) { return std::clamp(maxIter + 1, 2, 65535); }

void CountMapWriter::Check(bool written) const {
  if (!written) throw std::runtime_error(std::string("cannot write ") + name_ + ": " + (errno != 0 ? std::strerror(errno) : "write failed"));
}

CountMapWriter::CountMapWriter(std::FILE* stream, std::string name, int width, int height,
                               std::span<const RecordText> texts, int largestPossible, bool rewritable)
    : stream_(stream), name_(std::move(name)), width_(width), height_(height),
      maxval_(std::clamp(largestPossible, 1, 65535)), rewritable_(rewritable) {
  for (const RecordText& text : texts) comments_ += std::string("# ") + text.key + ": " + text.value + "\n";
  const std::string header = Header(width_, height_, comments_, maxval_);
  errno = 0;
  Check(std::fwrite(header.data(), 1, header.size(), stream_) == header.size());
}

void CountMapWriter::WriteRow(std::span<const EscapeCount> counts) {
  const int bytesPerSample = SampleBytes(maxval_);
  std::vector<unsigned char> bytes(counts.size() * static_cast<std::size_t>(bytesPerSample));
  for (std::size_t i = 0; i < counts.size(); ++i) {
    const int count = counts[i];
    // A count beyond the header's maxval would make the map a lie.
    if (count < 1 || count > maxval_) throw std::logic_error("a count outside the map's range 1 ... maxval");
    largest_ = std::max(largest_, count);
    if (bytesPerSample == 1) {
      bytes[i] = static_cast<unsigned char>(count);
    } else {
      bytes[2 * i] = static_cast<unsigned char>(count >> 8);
      bytes[2 * i + 1] = static_cast<unsigned char>(count & 0xFF);
    }
  }
  errno = 0;
  Check(std::fwrite(bytes.data(), 1, bytes.size(), stream_) == bytes.size());
  ++rows_;
}

// The new header is never longer than the old one, nor a sample wider, so
// each piece is written at or before where it was read, after it was read.
void CountMapWriter::Finish() {
  if (!rewritable_ || largest_ == maxval_) return;
  errno = 0;
  Check(std::fflush(stream_) == 0);
  const int fd = ::fileno(stream_);
  const std::string oldHeader = Header(width_, height_, comments_, maxval_);
  const std::string newHeader = Header(width_, height_, comments_, largest_);
  const int oldBytes = SampleBytes(maxval_);
  const int newBytes = SampleBytes(largest_);
  const std::size_t samples = static_cast<std::size_t>(width_) * rows_;
  constexpr std::size_t kPiece = std::size_t{1} << 20;  // samples a step
  std::vector<unsigned char> in(kPiece * 2);
  std::vector<unsigned char> out(kPiece * 2);
  const auto readAll = [&](unsigned char* at, std::size_t size, std::int64_t offset) {
    while (size > 0) {
      const long long got = file_calls::ReadAt(fd, at, size, offset);
      if (got < 0 && errno == EINTR) continue;
      if (got <= 0) throw std::runtime_error(std::string("cannot read back ") + name_ + ": " + (got < 0 ? std::strerror(errno) : "it is shorter than written"));
      at += got, size -= static_cast<std::size_t>(got), offset += got;
    }
  };
  const auto writeAll = [&](const unsigned char* at, std::size_t size, std::int64_t offset) {
    while (size > 0) {
      const long long put = file_calls::WriteAt(fd, at, size, offset);
      if (put < 0 && errno == EINTR) continue;
      Check(put > 0);
      at += put, size -= static_cast<std::size_t>(put), offset += put;
    }
  };
  if (newHeader.size() != oldHeader.size() || newBytes != oldBytes) {
    for (std::size_t first = 0; first < samples; first += kPiece) {
      const std::size_t count = std::min(kPiece, samples - first);
      readAll(in.data(), count * static_cast<std::size_t>(oldBytes),
              static_cast<std::int64_t>(oldHeader.size() + first * static_cast<std::size_t>(oldBytes)));
      for (std::size_t i = 0; i < count; ++i) {
        const int sample = oldBytes == 1 ? in[i] : (in[2 * i] << 8) | in[2 * i + 1];
        if (newBytes == 1) {
          out[i] = static_cast<unsigned char>(sample);
        } else {
          out[2 * i] = static_cast<unsigned char>(sample >> 8);
          out[2 * i + 1] = static_cast<unsigned char>(sample & 0xFF);
        }
      }
      writeAll(out.data(), count * static_cast<std::size_t>(newBytes),
               static_cast<std::int64_t>(newHeader.size() + first * static_cast<std::size_t>(newBytes)));
    }
  }
  writeAll(reinterpret_cast<const unsigned char*>(newHeader.data()), newHeader.size(), 0);
  errno = 0;
  Check(file_calls::Truncate(fd, static_cast<std::int64_t>(newHeader.size() + samples * static_cast<std::size_t>(newBytes))));
  maxval_ = largest_;
}

}  // namespace tobrisk
