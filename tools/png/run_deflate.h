#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

namespace tobrisk {

// Deflate (RFC 1951) for escape-time pictures, whose rows are long runs of
// one byte: each run is its byte as a literal and then matches at distance 1,
// every other byte a literal, all in the fixed Huffman codes. zlib's fastest
// setting (level 1, run-length matching) took a fifth of a large render's
// time, most of it looking at each byte and coding each symbol; this looks
// at eight bytes at a time and codes a symbol with one table lookup.
//
// Writes `input` to `out` as one block that ends on a byte boundary: a
// block that is not the last is followed by an empty stored block, as
// zlib's sync flush ends one, so that the next block can follow it directly;
// the last block ends the stream. No match reaches back before `input`, so
// blocks can be coded apart. `out` needs DeflateRunsBound(input.size())
// bytes, which it need not have cleared.
struct DeflatedRuns {
  std::size_t size;     // of the block written
  std::uint32_t adler;  // the Adler-32 of `input` alone
};
DeflatedRuns DeflateRuns(std::span<const std::uint8_t> input, bool last, std::span<std::uint8_t> out);

// At most nine bits a byte, three header bits, the end code and the empty stored block.
constexpr std::size_t DeflateRunsBound(std::size_t bytes) { return bytes + bytes / 8 + 16; }

}  // namespace tobrisk
