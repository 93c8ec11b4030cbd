#pragma once

#include <string>

// Which file an output name leads to.

namespace tobrisk {

// The name after following the symbolic links at its end, as a shell's ">"
// does: a link is written through, and a dangling one leads to the missing
// file it names. Throws std::runtime_error naming `path` on a loop of links.
[[nodiscard]] std::string FollowLinks(const std::string& path);

// Whether two output names ("-" for standard output) lead to one file: the
// same device and inode, or for files still to be made, the same name after
// links, "." and ".." are resolved.
[[nodiscard]] bool NameOneFile(const std::string& a, const std::string& b);

}  // namespace tobrisk
