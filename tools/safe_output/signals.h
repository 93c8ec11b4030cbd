#pragma once

// An interrupt (Ctrl-C, TERM, HUP, QUIT, a closed pipe, a CPU or file size
// limit) must not leave half-written temporary files behind. The handlers
// installed here remove the named temporary files registered with them and
// then end the program by the same signal, so a shell sees 128 + its number.

namespace tobrisk {

// Leaves alone a signal that was ignored at start (nohup, a background job).
void InstallCleanupOnSignals();

// Registers a file for removal on an interrupt. Returns its slot, or -1 when
// no slot is free or the name does not fit; the file is then removed only on
// the ordinary paths.
int RemoveOnSignal(const char* path) noexcept;
// Stops removing the file in `slot` (it was renamed into place or removed); -1 is ignored.
void KeepOnSignal(int slot) noexcept;

// A terminal on `fd` shows a line that an interrupt should clear before the
// shell prints its prompt over it; -1 when none does.
void ClearLineOnSignal(int fd) noexcept;

// While alive, an interrupt waits: several renames that belong together all
// happen before the program ends. One that came meanwhile ends it when the
// last hold is released. Works whichever thread a signal reaches, and with
// holds from several threads at once (frames committed side by side).
class InterruptsHeld {
 public:
  InterruptsHeld() noexcept;
  ~InterruptsHeld();
  InterruptsHeld(const InterruptsHeld&) = delete;
  InterruptsHeld& operator=(const InterruptsHeld&) = delete;
};

}  // namespace tobrisk
