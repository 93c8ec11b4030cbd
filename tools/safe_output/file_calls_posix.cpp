#include "tools/safe_output/file_calls.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>

namespace tobrisk::file_calls {

Status Inspect(const std::string& path) {
  struct stat status {};
  if (::stat(path.c_str(), &status) != 0) return {};
  return {true, S_ISDIR(status.st_mode), S_ISREG(status.st_mode), static_cast<unsigned>(status.st_mode & 07777)};
}

bool NameTaken(const std::string& path) {
  struct stat status {};
  return ::lstat(path.c_str(), &status) == 0;
}

NameKind KindOfName(const std::string& path) {
  struct stat status {};
  if (::lstat(path.c_str(), &status) != 0) return errno == ELOOP ? NameKind::InLoopOfLinks : NameKind::Missing;
  return S_ISLNK(status.st_mode) ? NameKind::Link : NameKind::Other;
}

namespace {
FileIdentity IdentityOfStatus(const struct stat& status) {
  return {static_cast<std::uint64_t>(status.st_dev), static_cast<std::uint64_t>(status.st_ino)};
}
}  // namespace

std::optional<FileIdentity> IdentityOf(const std::string& path) {
  struct stat status {};
  if (::stat(path.c_str(), &status) != 0) return std::nullopt;
  return IdentityOfStatus(status);
}

std::optional<FileIdentity> IdentityOfDescriptor(int descriptor) {
  struct stat status {};
  if (::fstat(descriptor, &status) != 0) return std::nullopt;
  return IdentityOfStatus(status);
}

std::FILE* Open(const std::string& path, const char* mode) { return std::fopen(path.c_str(), mode); }

int CreateUnnamed(const std::string& folder) { return ::open(folder.c_str(), O_TMPFILE | O_RDWR | O_CLOEXEC, 0600); }

bool NameUnnamed(int descriptor, const std::string& name) {
  const std::string descriptorName = "/proc/self/fd/" + std::to_string(descriptor);
  if (::linkat(AT_FDCWD, descriptorName.c_str(), AT_FDCWD, name.c_str(), AT_SYMLINK_FOLLOW) == 0) return true;
  if (errno != ENOENT) return false;
  // No /proc: the direct call, which needs more privilege.
  return ::linkat(descriptor, "", AT_FDCWD, name.c_str(), AT_EMPTY_PATH) == 0;
}

int CreateNew(const std::string& name) {
  return ::open(name.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
}

unsigned NewFilePermissions() {
  const mode_t mask = ::umask(0);
  ::umask(mask);
  return 0666U & ~static_cast<unsigned>(mask);
}

void SetPermissions(int descriptor, unsigned permissions) { ::fchmod(descriptor, static_cast<mode_t>(permissions)); }

bool HardLink(const std::string& existing, const std::string& name) { return ::link(existing.c_str(), name.c_str()) == 0; }

bool Replace(const std::string& from, const std::string& to) { return std::rename(from.c_str(), to.c_str()) == 0; }

bool Remove(const std::string& path) { return ::unlink(path.c_str()) == 0; }

long long ReadAt(int descriptor, void* bytes, std::size_t size, std::int64_t offset) {
  return ::pread(descriptor, bytes, size, static_cast<off_t>(offset));
}

long long WriteAt(int descriptor, const void* bytes, std::size_t size, std::int64_t offset) {
  return ::pwrite(descriptor, bytes, size, static_cast<off_t>(offset));
}

bool Truncate(int descriptor, std::int64_t size) { return ::ftruncate(descriptor, static_cast<off_t>(size)) == 0; }

bool Sync(int descriptor) { return ::fsync(descriptor) == 0; }

}  // namespace tobrisk::file_calls

namespace tobrisk::file_calls {

bool SyncFileSystemOf(const std::string& folder) {
  const int descriptor = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  const bool synced = descriptor >= 0 && ::syncfs(descriptor) == 0;
  const int error = errno;
  if (descriptor >= 0) ::close(descriptor);
  errno = error;
  return synced;
}

}  // namespace tobrisk::file_calls
