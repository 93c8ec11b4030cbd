#include "tools/png/run_deflate.h"

#include <cstdint>
#include <random>
#include <string>
#include <vector>

#include <gtest/gtest.h>
#include <zlib.h>

namespace tobrisk {
namespace {

using Bytes = std::vector<std::uint8_t>;

Bytes Repeated(std::uint8_t byte, std::size_t n) { return Bytes(n, byte); }

Bytes Joined(std::initializer_list<Bytes> parts) {
  Bytes all;
  for (const Bytes& part : parts) all.insert(all.end(), part.begin(), part.end());
  return all;
}

// Deflates `data` cut into blocks of `blockBytes`, wraps the blocks as one
// zlib stream, and inflates it again with zlib, which also checks the
// Adler-32 combined from the blocks' own.
Bytes RoundTrip(const Bytes& data, std::size_t blockBytes) {
  Bytes stream{0x78, 0x01};
  uLong adler = adler32(0, nullptr, 0);
  std::size_t from = 0;
  do {
    const std::size_t n = std::min(blockBytes, data.size() - from);
    const std::span<const std::uint8_t> block(data.data() + from, n);
    Bytes room(DeflateRunsBound(n));
    const DeflatedRuns deflated = DeflateRuns(block, from + n == data.size(), room);
    stream.insert(stream.end(), room.begin(), room.begin() + static_cast<std::ptrdiff_t>(deflated.size));
    const std::uint32_t blockAdler = deflated.adler;
    EXPECT_EQ(blockAdler, adler32_z(1, block.data(), block.size()));
    adler = adler32_combine(adler, blockAdler, static_cast<z_off_t>(n));
    from += n;
  } while (from < data.size());
  for (int shift = 24; shift >= 0; shift -= 8) stream.push_back(static_cast<std::uint8_t>(adler >> shift));
  Bytes back(data.size() + 1);
  uLongf size = back.size();
  EXPECT_EQ(uncompress(back.data(), &size, stream.data(), stream.size()), Z_OK);
  back.resize(size);
  return back;
}

TEST(RunDeflate, InflatesToTheSameBytes) {
  std::mt19937 random(7);
  Bytes noise(5000);
  for (std::uint8_t& b : noise) b = static_cast<std::uint8_t>(random());
  struct Case {
    const char* name;
    Bytes data;
    std::size_t blockBytes;
  };
  const Case cases[] = {
      {"nothing", {}, 16},
      {"one byte", {0x42}, 16},
      {"runs of 2 to 4, shorter than a match and just long enough", Joined({Repeated(1, 2), Repeated(2, 3), Repeated(3, 4)}), 64},
      {"a run of one match exactly (1 + 258)", Repeated(7, 259), 1000},
      {"runs that would leave one or two bytes after a longest match", Joined({Repeated(9, 260), Repeated(8, 261), Repeated(9, 262)}), 2000},
      {"a long run across many matches and blocks", Repeated(0xFF, 100000), 4096},
      {"literals of both code lengths (below and above 144)", Joined({Repeated(143, 1), Repeated(144, 1), Repeated(255, 1), Repeated(0, 1)}), 16},
      {"noise, every byte a literal", noise, 1000},
      {"runs cut by block ends", Joined({Repeated(5, 1000), noise, Repeated(6, 3000)}), 777},
  };
  for (const Case& c : cases) EXPECT_EQ(RoundTrip(c.data, c.blockBytes), c.data) << c.name;
}

}  // namespace
}  // namespace tobrisk
