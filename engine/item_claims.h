// SPDX-License-Identifier: MIT
#pragma once

#include <atomic>
#include <cstddef>
#include <memory>
#include <optional>

namespace tobrisk {

// Items of work that helper threads may take from a calling thread that
// never waits for a helper the system has stopped. Helpers count an item
// aside and keep their result only if they finish first; the caller counts
// its own items in place, and once nothing is left to claim, counts again
// any item a helper still holds. Only one result of an item is ever written,
// and the caller does no more work than it would alone.
class ItemClaims {
 public:
  explicit ItemClaims(std::size_t items) : items_(items), states_(std::make_unique<std::atomic<int>[]>(items)) {}

  [[nodiscard]] std::size_t Items() const { return items_; }

  // The next item nobody has claimed, in order, or none.
  [[nodiscard]] std::optional<std::size_t> Claim() {
    if (next_.load(std::memory_order_relaxed) >= items_) return std::nullopt;  // keeps the counter from growing
    const std::size_t item = next_.fetch_add(1, std::memory_order_relaxed);
    if (item >= items_) return std::nullopt;
    return item;
  }

  // A helper that counted `item`: whether its result is kept. If so it
  // writes the result and then calls Published.
  [[nodiscard]] bool BeginPublish(std::size_t item) {
    int open = kOpen;
    return states_[item].compare_exchange_strong(open, kPublishing, std::memory_order_acquire);
  }
  void Published(std::size_t item) {
    states_[item].store(kPublished, std::memory_order_release);
    states_[item].notify_all();
  }

  // The caller's own claim: it counts the item in place, alone.
  void Keep(std::size_t item) { states_[item].store(kCaller, std::memory_order_relaxed); }

  // The caller needs `item`: true when it must count it itself (no helper
  // has kept a result, and none will now); false when a helper's result is
  // in place, after waiting for the helper's write to end. A write is short
  // and already under way, unlike a count a stopped helper may never resume.
  [[nodiscard]] bool TakeOrAwait(std::size_t item) {
    int state = kOpen;
    if (states_[item].compare_exchange_strong(state, kCaller, std::memory_order_acquire)) return true;
    while (state == kPublishing) {
      states_[item].wait(kPublishing, std::memory_order_acquire);
      state = states_[item].load(std::memory_order_acquire);
    }
    return false;
  }

  // Whether `item` is counted in place: by the caller, or by a helper whose write has ended.
  [[nodiscard]] bool Settled(std::size_t item) const {
    const int state = states_[item].load(std::memory_order_acquire);
    return state == kPublished || state == kCaller;
  }

 private:
  enum : int { kOpen, kPublishing, kPublished, kCaller };

  std::size_t items_;
  std::atomic<std::size_t> next_{0};
  std::unique_ptr<std::atomic<int>[]> states_;  // value-initialised: kOpen
};

}  // namespace tobrisk
