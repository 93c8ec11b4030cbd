#include "tools/render/shard.h"

#include <charconv>

namespace tobrisk {
namespace {

constexpr int kMostShards = 65536;

std::optional<int> WholeNumber(std::string_view text) {
  int value = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (text.empty() || error != std::errc{} || end != text.data() + text.size()) return std::nullopt;
  return value;
}

}  // namespace

std::optional<Shard> ParseShard(std::string_view text) {
  const std::size_t slash = text.find('/');
  if (slash == std::string_view::npos) return std::nullopt;
  const std::optional<int> index = WholeNumber(text.substr(0, slash));
  const std::optional<int> count = WholeNumber(text.substr(slash + 1));
  if (!index || !count || *count < 1 || *count > kMostShards || *index < 0 || *index >= *count) return std::nullopt;
  return Shard{*index, *count};
}

}  // namespace tobrisk
