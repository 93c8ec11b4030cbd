#pragma once

#include <cstddef>

// How an interrupt reaches the program and how the program ends by one: POSIX
// signals, or Windows' console control events. Everything here may be called
// from a signal handler.

namespace tobrisk::interrupts {

using Handler = void (*)(int interrupt);

// Sends the interrupts that end a program (Ctrl-C and its kin) to `handler`,
// each as a nonzero number; leaves alone one that was ignored at start.
void Install(Handler handler);

void RemoveFile(const char* path) noexcept;
void Write(int fd, const char* text, std::size_t size) noexcept;

// Ends the program as the interrupt would have without a handler.
[[noreturn]] void EndBy(int interrupt) noexcept;
// Waits for another thread to end the program.
[[noreturn]] void WaitForTheEnd() noexcept;

}  // namespace tobrisk::interrupts
