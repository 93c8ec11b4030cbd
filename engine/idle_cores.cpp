// SPDX-License-Identifier: MIT
#include "engine/idle_cores.h"

#include <charconv>
#include <system_error>

#ifdef __linux__
#include <fcntl.h>
#include <sched.h>
#include <unistd.h>

#include <algorithm>
#endif

namespace tobrisk {

std::optional<int> RunnableInLoadLine(std::string_view line) {
  for (int skip = 0; skip < 3; ++skip) {
    const std::size_t space = line.find(' ');
    if (space == std::string_view::npos) return std::nullopt;
    line.remove_prefix(space + 1);
  }
  int runnable = 0;
  const auto [end, error] = std::from_chars(line.data(), line.data() + line.size(), runnable);
  if (error != std::errc{} || end == line.data() + line.size() || *end != '/' || runnable < 1) return std::nullopt;
  return runnable;
}

#ifdef __linux__

std::optional<int> IdleCores() {
  cpu_set_t allowed;
  if (sched_getaffinity(0, sizeof allowed, &allowed) != 0) return std::nullopt;
  const int file = open("/proc/loadavg", O_RDONLY | O_CLOEXEC);
  if (file < 0) return std::nullopt;
  char text[128];
  const ssize_t size = read(file, text, sizeof text);
  close(file);
  if (size <= 0) return std::nullopt;
  const std::optional<int> runnable = RunnableInLoadLine(std::string_view(text, static_cast<std::size_t>(size)));
  if (!runnable) return std::nullopt;
  return std::max(0, CPU_COUNT(&allowed) - *runnable);
}

#else

std::optional<int> IdleCores() { return std::nullopt; }

#endif

}  // namespace tobrisk
