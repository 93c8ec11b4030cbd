#include "tools/png/run_deflate.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cstddef>
#include <cstring>
#include <stdexcept>

namespace tobrisk {
namespace {

// A code as the stream stores it: bits to write first in the low end.
struct Code {
  std::uint32_t bits = 0;
  std::uint32_t length = 0;
};

// Huffman codes go into the stream from their most significant bit.
constexpr std::uint32_t Reversed(std::uint32_t code, std::uint32_t length) {
  std::uint32_t reversed = 0;
  for (std::uint32_t i = 0; i < length; ++i) reversed |= ((code >> i) & 1U) << (length - 1 - i);
  return reversed;
}

// The fixed literal/length code of a symbol (RFC 1951, 3.2.6).
constexpr Code FixedCode(std::uint32_t symbol) {
  if (symbol < 144) return {Reversed(0x30 + symbol, 8), 8};
  if (symbol < 256) return {Reversed(0x190 + symbol - 144, 9), 9};
  if (symbol < 280) return {Reversed(symbol - 256, 7), 7};
  return {Reversed(0xC0 + symbol - 280, 8), 8};
}

constexpr std::uint32_t kMaxMatch = 258;

// Literals, and matches of each length at distance 1 (whose fixed
// distance code is five zero bits), as single codes.
struct CodeTables {
  std::array<Code, 256> literal{};
  std::array<Code, kMaxMatch + 1> match{};  // by length, from 3
  constexpr CodeTables() {
    for (std::uint32_t b = 0; b < 256; ++b) literal[b] = FixedCode(b);
    constexpr std::array<std::uint32_t, 29> kBase{3,  4,  5,  6,  7,  8,  9,  10, 11,  13,  15,  17,  19,  23, 27,
                                                  31, 35, 43, 51, 59, 67, 83, 99, 115, 131, 163, 195, 227, 258};
    constexpr std::array<std::uint32_t, 29> kExtra{0, 0, 0, 0, 0, 0, 0, 0, 1, 1, 1, 1, 2, 2, 2,
                                                   2, 3, 3, 3, 3, 4, 4, 4, 4, 5, 5, 5, 5, 0};
    for (std::uint32_t length = 3; length <= kMaxMatch; ++length) {
      std::size_t i = kBase.size() - 1;
      while (kBase[i] > length) --i;
      const Code symbol = FixedCode(257 + static_cast<std::uint32_t>(i));
      match[length] = {symbol.bits | ((length - kBase[i]) << symbol.length), symbol.length + kExtra[i] + 5};
    }
  }
};
constexpr CodeTables kCodes;

// Bits into bytes, least significant first.
class BitWriter {
 public:
  explicit BitWriter(std::uint8_t* to) : to_(to) {}
  void Put(Code code) {
    pending_ |= std::uint64_t{code.bits} << count_;
    count_ += code.length;
    if (count_ >= 32) {
      for (int i = 0; i < 4; ++i) *to_++ = static_cast<std::uint8_t>(pending_ >> (8 * i));
      pending_ >>= 32;
      count_ -= 32;
    }
  }
  // Pads with zero bits to a byte boundary; returns the end of what was written.
  std::uint8_t* Finish() {
    for (; count_ > 0; count_ = count_ > 8 ? count_ - 8 : 0) {
      *to_++ = static_cast<std::uint8_t>(pending_);
      pending_ >>= 8;
    }
    return to_;
  }

 private:
  std::uint8_t* to_;
  std::uint64_t pending_ = 0;
  std::uint32_t count_ = 0;
};

// How many bytes from `from` on equal its first, eight compared at a time.
std::size_t RunLength(const std::uint8_t* from, const std::uint8_t* end) {
  const std::uint64_t repeated = 0x0101010101010101ULL * *from;
  const std::uint8_t* at = from + 1;
  for (; end - at >= 8; at += 8) {
    std::uint64_t word;
    std::memcpy(&word, at, 8);
    if (const std::uint64_t differ = word ^ repeated; differ != 0) {
      const int same = (std::endian::native == std::endian::little ? std::countr_zero(differ) : std::countl_zero(differ)) / 8;
      return static_cast<std::size_t>(at - from) + static_cast<std::size_t>(same);
    }
  }
  while (at != end && *at == *from) ++at;
  return static_cast<std::size_t>(at - from);
}

// Adler-32 (RFC 1950) taken a run at a time: n bytes b add n b to the first
// sum and n s1 + b n (n + 1) / 2 to the second. The sums are reduced only
// when they near the top of 64 bits: a division per run would cost more
// than all the rest of the coding.
class Adler32 {
 public:
  void AddRun(std::uint8_t byte, std::size_t n) {
    while (n > 0) {
      const std::uint64_t part = std::min<std::size_t>(n, kLongestPart);
      s2_ += part * s1_ + byte * (part * (part + 1) / 2);
      s1_ += part * byte;
      n -= part;
      if (s1_ >= kReduceFirstAt || s2_ >= kReduceSecondAt) Reduce();
    }
  }
  [[nodiscard]] std::uint32_t Value() {
    Reduce();
    return static_cast<std::uint32_t>((s2_ << 16) | s1_);
  }

 private:
  static constexpr std::uint64_t kBase = 65521;
  // A part of at most 2^20 bytes adds less than 2^28 to a first sum kept
  // below 2^33, and so less than 2^54 to a second sum kept below 2^63.
  static constexpr std::uint64_t kLongestPart = std::uint64_t{1} << 20;
  static constexpr std::uint64_t kReduceFirstAt = std::uint64_t{1} << 32;
  static constexpr std::uint64_t kReduceSecondAt = std::uint64_t{1} << 62;

  void Reduce() {
    s1_ %= kBase;
    s2_ %= kBase;
  }

  std::uint64_t s1_ = 1;
  std::uint64_t s2_ = 0;
};

}  // namespace

DeflatedRuns DeflateRuns(std::span<const std::uint8_t> input, bool last, std::span<std::uint8_t> out) {
  if (out.size() < DeflateRunsBound(input.size())) throw std::invalid_argument("no room for the deflated block");
  BitWriter bits(out.data());
  bits.Put({last ? 3U : 2U, 3});  // BFINAL, then BTYPE 01: fixed codes
  Adler32 adler;
  const std::uint8_t* const end = input.data() + input.size();
  for (const std::uint8_t* at = input.data(); at != end;) {
    const std::size_t run = RunLength(at, end);
    adler.AddRun(*at, run);
    bits.Put(kCodes.literal[*at]);
    std::size_t rest = run - 1;
    while (rest >= 3) {
      // Never leave one or two bytes, which no match can take.
      const std::size_t length = rest > kMaxMatch && rest - kMaxMatch < 3 ? rest - 3 : std::min<std::size_t>(rest, kMaxMatch);
      bits.Put(kCodes.match[length]);
      rest -= length;
    }
    for (; rest > 0; --rest) bits.Put(kCodes.literal[*at]);
    at += run;
  }
  bits.Put({0, 7});  // end of block
  if (!last) bits.Put({0, 3});  // an empty stored block: its header, then a byte boundary and LEN, NLEN
  std::uint8_t* written = bits.Finish();
  if (!last) {
    for (const std::uint8_t byte : {0x00, 0x00, 0xFF, 0xFF}) *written++ = byte;
  }
  return {static_cast<std::size_t>(written - out.data()), adler.Value()};
}

}  // namespace tobrisk
