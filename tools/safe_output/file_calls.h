#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <optional>
#include <string>

// The file system calls whose POSIX and Windows forms differ, with the
// meaning the output files need. Names are UTF-8; a failure leaves errno set.

namespace tobrisk::file_calls {

struct Status {
  bool exists = false;
  bool directory = false;
  bool regular = false;      // false for a device or a pipe
  unsigned permissions = 0;  // POSIX mode bits; Windows keeps its own
};

// What `path` leads to, links followed.
[[nodiscard]] Status Inspect(const std::string& path);
// Whether the name itself is taken, by a dangling link too.
[[nodiscard]] bool NameTaken(const std::string& path);

enum class NameKind { Missing, InLoopOfLinks, Link, Other };
// What the name itself is, its last link not followed.
[[nodiscard]] NameKind KindOfName(const std::string& path);

// Which file a name or an open descriptor is: two names of one file have the same identity.
struct FileIdentity {
  std::uint64_t device = 0;
  std::uint64_t file = 0;
  friend bool operator==(const FileIdentity&, const FileIdentity&) = default;
};
[[nodiscard]] std::optional<FileIdentity> IdentityOf(const std::string& path);
[[nodiscard]] std::optional<FileIdentity> IdentityOfDescriptor(int descriptor);

[[nodiscard]] std::FILE* Open(const std::string& path, const char* mode);

// A file of no name in `folder`, open for reading and writing; -1 where the
// system has none (then a named one is used).
[[nodiscard]] int CreateUnnamed(const std::string& folder);
// Links a file made by CreateUnnamed in under `name`.
[[nodiscard]] bool NameUnnamed(int descriptor, const std::string& name);
// Creates the file `name` that must not exist yet, open for reading and
// writing. On Windows it may be removed while open, which an interrupt needs.
[[nodiscard]] int CreateNew(const std::string& name);

// The permissions a new file gets (the umask applied), and setting them.
[[nodiscard]] unsigned NewFilePermissions();
void SetPermissions(int descriptor, unsigned permissions);

[[nodiscard]] bool HardLink(const std::string& existing, const std::string& name);
// Renames `from` to `to`, replacing a file named `to` in one step.
[[nodiscard]] bool Replace(const std::string& from, const std::string& to);
bool Remove(const std::string& path);
// Reads or writes at a place in the file, leaving the file's position alone;
// the bytes moved, or -1.
[[nodiscard]] long long ReadAt(int descriptor, void* bytes, std::size_t size, std::int64_t offset);
[[nodiscard]] long long WriteAt(int descriptor, const void* bytes, std::size_t size, std::int64_t offset);
[[nodiscard]] bool Truncate(int descriptor, std::int64_t size);
// The data of the open file on the disk.
[[nodiscard]] bool Sync(int descriptor);
// The data of every file written on the file system that holds `folder`.
[[nodiscard]] bool SyncFileSystemOf(const std::string& folder);

}  // namespace tobrisk::file_calls
