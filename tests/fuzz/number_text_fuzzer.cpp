// SPDX-License-Identifier: MIT
// The reading of a field's text: whatever the bytes, it returns, and it agrees
// bit for bit, value and characters taken, with the slow independent reading.

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string_view>

#include "platform/number_text.h"
#include "tests/fuzz/slow_number_reading.h"

namespace {

bool SameBits(double a, double b) { return std::memcmp(&a, &b, sizeof a) == 0; }

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  const tobrisk::ScannedNumber fast = tobrisk::ScanNumber(text);
  const tobrisk::ScannedNumber slow = tobrisk::testing_support::SlowScanNumber(text);
  if (!SameBits(fast.value, slow.value) || fast.length != slow.length) {
    std::fprintf(stderr, "reading differs: program %.17g (%zu characters), slow reading %.17g (%zu characters)\n",
                 fast.value, fast.length, slow.value, slow.length);
    std::abort();
  }
  if (!SameBits(tobrisk::TextToNumber(text), fast.value)) {
    std::fprintf(stderr, "TextToNumber differs from ScanNumber\n");
    std::abort();
  }
  return 0;
}
