#include "tools/render/shard.h"

#include <climits>

#include "tools/render/option_values.h"

namespace tobrisk {
namespace {

constexpr int kMostShards = 65536;

}  // namespace

std::optional<Shard> ParseShard(std::string_view text) {
  const std::size_t slash = text.find('/');
  if (slash == std::string_view::npos) return std::nullopt;
  const std::optional<int> index = WholeNumber(text.substr(0, slash), 0, INT_MAX);
  const std::optional<int> count = WholeNumber(text.substr(slash + 1), 0, INT_MAX);
  if (!index || !count || *count < 1 || *count > kMostShards || *index >= *count) return std::nullopt;
  return Shard{*index, *count};
}

}  // namespace tobrisk
