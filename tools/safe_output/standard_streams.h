#pragma once

#include <string_view>

// Standard input, output and error as the renderer finds them at start.

namespace tobrisk {

// Opens each of descriptors 0, 1 and 2 that is closed on the null device, so
// that no file the program opens takes its number and receives another's
// bytes. On Windows, standard output and error are set to write bytes unchanged.
// Call before anything else opens a file. False when /dev/null cannot be opened.
bool OpenClosedStandardStreams();

[[nodiscard]] bool DescriptorIsClosed(int descriptor);

// Whether standard output was closed at start (and is now /dev/null).
[[nodiscard]] bool StandardOutputWasClosed();

// Writes a text such as the usage to standard output and checks that it got
// there. Returns the exit status: 0, or 1 after a message on standard error.
[[nodiscard]] int PrintToStandardOutput(std::string_view program, std::string_view text);

}  // namespace tobrisk
