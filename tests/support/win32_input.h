#pragma once

// Keyboard input as a user gives it, through the system's input queue, to
// whatever window is in front and has the focus.

#include <windows.h>

#include <string_view>
#include <vector>

namespace tobrisk::test {

inline INPUT KeyInput(WORD key, bool up, WORD unicode = 0) {
  INPUT input{};
  input.type = INPUT_KEYBOARD;
  input.ki.wVk = key;
  input.ki.wScan = unicode;
  input.ki.dwFlags = (up ? KEYEVENTF_KEYUP : 0U) | (unicode != 0 ? KEYEVENTF_UNICODE : 0U);
  return input;
}

inline void Send(std::vector<INPUT> inputs) {
  SendInput(static_cast<UINT>(inputs.size()), inputs.data(), sizeof(INPUT));
}

// A key pressed and let go, with Shift held down when asked.
inline void PressKey(WORD key, bool shift = false) {
  std::vector<INPUT> inputs;
  if (shift) inputs.push_back(KeyInput(VK_SHIFT, false));
  inputs.push_back(KeyInput(key, false));
  inputs.push_back(KeyInput(key, true));
  if (shift) inputs.push_back(KeyInput(VK_SHIFT, true));
  Send(inputs);
}

// Text typed character by character, whatever the keyboard layout.
inline void TypeText(std::wstring_view text) {
  std::vector<INPUT> inputs;
  for (const wchar_t c : text) {
    inputs.push_back(KeyInput(0, false, c));
    inputs.push_back(KeyInput(0, true, c));
  }
  Send(inputs);
}

}  // namespace tobrisk::test
