#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

namespace tobrisk {

// One of `count` machines sharing a job: shard `index` takes every piece
// (frame, tile) whose number in the job's fixed order is `index` modulo
// `count`, so the shards together take each piece exactly once.
struct Shard {
  int index = 0;
  int count = 1;

  [[nodiscard]] bool Takes(std::int64_t piece) const { return piece % count == index; }
  // Shard 0 writes what belongs to the whole job, once.
  [[nodiscard]] bool IsFirst() const { return index == 0; }
  friend bool operator==(const Shard&, const Shard&) = default;
};

// "K/N" with 0 <= K < N <= 65536.
[[nodiscard]] std::optional<Shard> ParseShard(std::string_view text);

}  // namespace tobrisk
