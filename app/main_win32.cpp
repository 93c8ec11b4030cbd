// SPDX-License-Identifier: MIT
// The Windows program: answers --help and --version, creates Form1 from the
// system's controls, then runs the event loop.
#include <windows.h>

#include <commctrl.h>
#include <shellapi.h>

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "app/command_line.h"
#include "platform/win32/form1_host.h"
#include "platform/win32/message_loop.h"
#include "platform/win32/parent_console.h"
#include "platform/win32/wide_text.h"

namespace {

// The arguments as typed, in UTF-8 whatever the code page.
std::vector<std::string> CommandLineArguments() {
  int count = 0;
  wchar_t** wide = CommandLineToArgvW(GetCommandLineW(), &count);
  std::vector<std::string> arguments;
  for (int i = 1; i < count; ++i) arguments.push_back(tobrisk::Utf8Text(wide[i]));
  LocalFree(wide);
  return arguments;
}

}  // namespace

int main() {
  const std::vector<std::string> arguments = CommandLineArguments();
  const tobrisk::ParsedCommandLine parsed =
      tobrisk::ParseCommandLine({arguments.begin(), arguments.end()}, tobrisk::kNoPassedOnOptions);
  if (parsed.request != tobrisk::StartRequest::OpenWindow) tobrisk::SendAnswersToTheParentConsole();
  if (const std::optional<int> status = tobrisk::AnswerWithoutWindow(parsed, tobrisk::kNoPassedOnOptions)) {
    return *status;
  }

  const INITCOMMONCONTROLSEX controls{sizeof(INITCOMMONCONTROLSEX), ICC_STANDARD_CLASSES};
  InitCommonControlsEx(&controls);
  tobrisk::Form1Host form;
  form.Show();
  return tobrisk::RunMessageLoop(form.Window());
}
