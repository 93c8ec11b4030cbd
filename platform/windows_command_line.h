#pragma once

// Windows only: the command line that starts a program with CreateProcessW.

#include <string>
#include <vector>

namespace tobrisk {

// UTF-8 to the wide text of the Win32 calls.
[[nodiscard]] std::wstring Wide(const std::string& text);

// A path of the build machine compiled into a program: under Wine its root
// is drive Z:. Other texts are returned as they are.
[[nodiscard]] std::string NativePath(std::string path);

// `program` (a native path) and `arguments`, each quoted so that the C
// library's parser of the started program splits them back as they were.
[[nodiscard]] std::string CommandLine(const std::string& program, const std::vector<std::string>& arguments);

}  // namespace tobrisk
