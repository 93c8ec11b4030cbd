#include "tools/safe_output/signals.h"

#include <array>
#include <atomic>
#include <cstring>

#include "tools/safe_output/interrupts.h"

namespace tobrisk {
namespace {

constexpr std::size_t kPathBytes = 4096;  // PATH_MAX on Linux; Windows' long names are shorter

// Plain buffers and lock-free atomics: the handler may touch nothing else.
struct Slot {
  std::atomic<bool> used{false};
  char path[kPathBytes]{};
};
std::array<Slot, 8> slots;

// Who may end the program: nobody holds (free), renames are in progress
// (held), or one thread is already removing the files and dying.
enum State : int { kFree, kHeld, kDying };
std::atomic<int> state{kFree};
std::atomic<int> waitingSignal{0};
std::atomic<int> lineToClear{-1};
int heldDepth = 0;  // holds nest; only the outermost one takes and gives back the state
static_assert(std::atomic<int>::is_always_lock_free && std::atomic<bool>::is_always_lock_free);

[[noreturn]] void RemoveTemporariesAndDie(int signal) {
  if (const int fd = lineToClear.load(); fd >= 0) {
    constexpr char kClear[] = "\r\x1b[K";
    interrupts::Write(fd, kClear, sizeof kClear - 1);
  }
  for (Slot& slot : slots) {
    if (slot.used.load()) interrupts::RemoveFile(slot.path);
  }
  interrupts::EndBy(signal);
}

extern "C" void OnCleanupSignal(int signal) {
  waitingSignal.store(signal);
  int expected = kFree;
  if (state.compare_exchange_strong(expected, kDying)) RemoveTemporariesAndDie(signal);
  // Held: the holder ends the program on release. Dying: another thread is at it.
  if (expected == kDying) interrupts::WaitForTheEnd();
}

}  // namespace

void InstallCleanupOnSignals() { interrupts::Install(OnCleanupSignal); }

int RemoveOnSignal(const char* path) noexcept {
  const std::size_t length = std::strlen(path);
  if (length >= kPathBytes) return -1;
  for (std::size_t at = 0; at < slots.size(); ++at) {
    Slot& slot = slots[at];
    if (slot.used.load()) continue;
    std::memcpy(slot.path, path, length + 1);
    slot.used.store(true);  // only now may the handler read the name
    return static_cast<int>(at);
  }
  return -1;
}

void KeepOnSignal(int slot) noexcept {
  if (slot >= 0 && slot < static_cast<int>(slots.size())) slots[static_cast<std::size_t>(slot)].used.store(false);
}

void ClearLineOnSignal(int fd) noexcept { lineToClear.store(fd); }

InterruptsHeld::InterruptsHeld() noexcept {
  if (heldDepth++ > 0) return;
  int expected = kFree;
  // Fails only when a handler is already ending the program; wait for it.
  if (!state.compare_exchange_strong(expected, kHeld)) interrupts::WaitForTheEnd();
}

InterruptsHeld::~InterruptsHeld() {
  if (--heldDepth > 0) return;
  state.store(kFree);
  const int signal = waitingSignal.load();
  if (signal == 0) return;
  int expected = kFree;
  if (state.compare_exchange_strong(expected, kDying)) RemoveTemporariesAndDie(signal);
  interrupts::WaitForTheEnd();  // a handler on another thread won the race and ends the program
}

}  // namespace tobrisk
