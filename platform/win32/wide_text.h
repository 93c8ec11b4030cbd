#pragma once

#include <windows.h>

#include <string>
#include <string_view>

namespace tobrisk {

// The window's texts are UTF-8; Windows takes and gives UTF-16. Invalid
// sequences become U+FFFD either way, as the system converts them.
[[nodiscard]] std::wstring WideText(std::string_view utf8);
[[nodiscard]] std::string Utf8Text(std::wstring_view wide);

// A window's whole text: a control's caption or contents, a window's title.
[[nodiscard]] std::wstring WindowText(HWND window);

}  // namespace tobrisk
