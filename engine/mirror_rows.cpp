#include "engine/mirror_rows.h"

#include <algorithm>
#include <cstring>
#include <unordered_map>

namespace tobrisk {
namespace {

// A run is its count (two bytes, little-endian) and its length less one as
// a base-128 varint: rows of escape counts are long runs of few values.
void AppendRuns(std::span<const EscapeCount> counts, std::vector<std::uint8_t>& out) {
  for (std::size_t i = 0; i < counts.size();) {
    std::size_t j = i + 1;
    while (j < counts.size() && counts[j] == counts[i]) ++j;
    const auto n = static_cast<std::uint16_t>(counts[i]);
    out.push_back(static_cast<std::uint8_t>(n & 0xFFU));
    out.push_back(static_cast<std::uint8_t>(n >> 8U));
    for (std::size_t length = j - i - 1;; length >>= 7U) {
      out.push_back(static_cast<std::uint8_t>((length & 0x7FU) | (length >= 0x80U ? 0x80U : 0U)));
      if (length < 0x80U) break;
    }
    i = j;
  }
}

void ExpandRuns(const std::vector<std::uint8_t>& runs, std::span<EscapeCount> to) {
  std::size_t at = 0;
  for (std::size_t i = 0; i < runs.size();) {
    const auto n = static_cast<EscapeCount>(static_cast<std::uint16_t>(runs[i] | (runs[i + 1] << 8U)));
    i += 2;
    std::size_t length = 0;
    for (unsigned shift = 0;; shift += 7) {
      length |= static_cast<std::size_t>(runs[i] & 0x7FU) << shift;
      if ((runs[i++] & 0x80U) == 0) break;
    }
    std::fill_n(to.begin() + static_cast<std::ptrdiff_t>(at), length + 1, n);
    at += length + 1;
  }
}

}  // namespace

std::vector<int> MirrorRows::Sources(std::span<const float> ys) {
  std::vector<int> sources(ys.size(), -1);
  std::unordered_map<float, int> latest;  // +0 and -0 are one key: they compare equal
  for (std::size_t r = 0; r < ys.size(); ++r) {
    const float y = ys[r];
    if (y != y) continue;  // NaN pairs with nothing
    if (const auto it = latest.find(-y); it != latest.end()) sources[r] = it->second;
    latest[y] = static_cast<int>(r);
  }
  return sources;
}

MirrorRows::MirrorRows(std::span<const float> ys, bool mirror, std::size_t budgetBytes)
    : source_(mirror ? Sources(ys) : std::vector<int>(ys.size(), -1)), lastUser_(ys.size(), -1), budget_(budgetBytes) {
  for (std::size_t r = 0; r < source_.size(); ++r) {
    if (source_[r] >= 0) lastUser_[static_cast<std::size_t>(source_[r])] = static_cast<int>(r);
  }
}

bool MirrorRows::MustCount(int row, int bandFirst) const {
  const int source = source_[static_cast<std::size_t>(row)];
  if (source < 0) return true;
  return source < bandFirst && !kept_.contains(source);
}

void MirrorRows::CompleteBand(int bandFirst, int bandRows, std::span<EscapeCount> counts, std::size_t cols) {
  const auto rowOf = [&](int row) { return counts.subspan(static_cast<std::size_t>(row - bandFirst) * cols, cols); };
  const int bandEnd = bandFirst + bandRows;
  for (int row = bandFirst; row < bandEnd; ++row) {
    if (MustCount(row, bandFirst)) continue;
    const int source = source_[static_cast<std::size_t>(row)];
    if (source >= bandFirst) {
      std::ranges::copy(rowOf(source), rowOf(row).begin());
    } else {
      ExpandRuns(kept_.at(source), rowOf(row));
    }
  }
  // Rows no later band takes are forgotten before new ones are kept.
  while (!byLastUser_.empty() && byLastUser_.begin()->first < bandEnd) Forget(byLastUser_.begin()->second);
  for (int row = bandFirst; row < bandEnd; ++row) {
    if (lastUser_[static_cast<std::size_t>(row)] >= bandEnd) Keep(row, rowOf(row));
  }
}

// Within the budget, the rows taken soonest are kept: a new row displaces
// kept rows whose last user comes later than its own.
void MirrorRows::Keep(int row, std::span<const EscapeCount> counts) {
  scratch_.clear();
  AppendRuns(counts, scratch_);
  std::vector<std::uint8_t> runs(scratch_.begin(), scratch_.end());  // no spare capacity: the budget is of bytes held
  const std::size_t size = runs.size() + kRowOverhead;
  const int lastUser = lastUser_[static_cast<std::size_t>(row)];
  while (keptBytes_ + size > budget_ && !byLastUser_.empty() && byLastUser_.rbegin()->first > lastUser) {
    Forget(byLastUser_.rbegin()->second);
  }
  if (keptBytes_ + size > budget_) return;
  keptBytes_ += size;
  byLastUser_.emplace(lastUser, row);
  kept_.emplace(row, std::move(runs));
}

void MirrorRows::Forget(int row) {
  const auto it = kept_.find(row);
  keptBytes_ -= it->second.size() + kRowOverhead;
  byLastUser_.erase({lastUser_[static_cast<std::size_t>(row)], row});
  kept_.erase(it);
}

}  // namespace tobrisk
