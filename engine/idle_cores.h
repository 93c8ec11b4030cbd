// SPDX-License-Identifier: MIT
#pragma once

#include <optional>
#include <string_view>

namespace tobrisk {

// The processors this process may use that no runnable thread wants at this
// moment, the calling thread counted as one that does; none where the
// system does not say. A helper thread woken where there is none takes its
// time from the caller or from another program, a scheduler slice at a time.
[[nodiscard]] std::optional<int> IdleCores();

// The runnable scheduling entities in a line of Linux's /proc/loadavg
// ("0.50 0.40 0.30 2/345 6789": the fourth field is runnable/total, read
// now rather than averaged); none if the line is not of that form.
[[nodiscard]] std::optional<int> RunnableInLoadLine(std::string_view line);

}  // namespace tobrisk
