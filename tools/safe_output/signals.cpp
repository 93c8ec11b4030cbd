#include "tools/safe_output/signals.h"

#include <array>
#include <atomic>
#include <cstring>

#include "tools/safe_output/interrupts.h"

namespace tobrisk {
namespace {

constexpr std::size_t kPathBytes = 4096;  // PATH_MAX on Linux; Windows' long names are shorter

// Plain buffers and lock-free atomics: the handler may touch nothing else.
// A slot is claimed before its name is written, so that threads registering
// files at once never share one, and the handler reads only whole names.
enum SlotState : int { kUnused, kClaimed, kNamed };
struct Slot {
  std::atomic<int> state{kUnused};
  char path[kPathBytes]{};
};
// Frames drawn side by side each register a picture and a count map.
std::array<Slot, 64> slots;

// Who may end the program: nobody holds (0), that many threads are renaming
// files (> 0), or one thread is already removing the files and dying.
constexpr int kDying = -1;
std::atomic<int> holders{0};
std::atomic<int> waitingSignal{0};
std::atomic<int> lineToClear{-1};
thread_local int heldDepth = 0;  // a thread's holds nest; only its outermost one counts
static_assert(std::atomic<int>::is_always_lock_free);

[[noreturn]] void RemoveTemporariesAndDie(int signal) {
  if (const int fd = lineToClear.load(); fd >= 0) {
    constexpr char kClear[] = "\r\x1b[K";
    interrupts::Write(fd, kClear, sizeof kClear - 1);
  }
  for (Slot& slot : slots) {
    if (slot.state.load() == kNamed) interrupts::RemoveFile(slot.path);
  }
  interrupts::EndBy(signal);
}

extern "C" void OnCleanupSignal(int signal) {
  waitingSignal.store(signal);
  int expected = 0;
  if (holders.compare_exchange_strong(expected, kDying)) RemoveTemporariesAndDie(signal);
  // Held: the last holder ends the program on release. Dying: another thread is at it.
  if (expected == kDying) interrupts::WaitForTheEnd();
}

}  // namespace

void InstallCleanupOnSignals() { interrupts::Install(OnCleanupSignal); }

int RemoveOnSignal(const char* path) noexcept {
  const std::size_t length = std::strlen(path);
  if (length >= kPathBytes) return -1;
  for (std::size_t at = 0; at < slots.size(); ++at) {
    Slot& slot = slots[at];
    int unused = kUnused;
    if (!slot.state.compare_exchange_strong(unused, kClaimed)) continue;
    std::memcpy(slot.path, path, length + 1);
    slot.state.store(kNamed);  // only now may the handler read the name
    return static_cast<int>(at);
  }
  return -1;
}

void KeepOnSignal(int slot) noexcept {
  if (slot >= 0 && slot < static_cast<int>(slots.size())) slots[static_cast<std::size_t>(slot)].state.store(kUnused);
}

void ClearLineOnSignal(int fd) noexcept { lineToClear.store(fd); }

InterruptsHeld::InterruptsHeld() noexcept {
  if (heldDepth++ > 0) return;
  int expected = holders.load();
  do {
    // A handler is already ending the program: wait for it.
    if (expected == kDying) interrupts::WaitForTheEnd();
  } while (!holders.compare_exchange_weak(expected, expected + 1));
}

InterruptsHeld::~InterruptsHeld() {
  if (--heldDepth > 0) return;
  holders.fetch_sub(1);
  const int signal = waitingSignal.load();
  if (signal == 0) return;
  int expected = 0;
  if (holders.compare_exchange_strong(expected, kDying)) RemoveTemporariesAndDie(signal);
  // Dying: a handler on another thread won the race. Still held: the last holder ends the program.
  if (expected == kDying) interrupts::WaitForTheEnd();
}

}  // namespace tobrisk
