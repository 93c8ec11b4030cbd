#include "tools/safe_output/file_calls.h"

#include <fcntl.h>
#include <io.h>
#include <windows.h>

#include <algorithm>
#include <cerrno>
#include <filesystem>
#include <string_view>
#include <system_error>

#include "tools/safe_output/utf8_path.h"

namespace tobrisk::file_calls {
namespace {

std::wstring Wide(std::string_view text) {
  if (text.empty()) return {};
  const int size = ::MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
  std::wstring wide(static_cast<std::size_t>(size), L'\0');
  ::MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), wide.data(), size);
  return wide;
}

// The C library's error for a failed Win32 call, so that messages read as on POSIX.
bool Failed() {
  switch (::GetLastError()) {
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
    case ERROR_INVALID_DRIVE:
    case ERROR_BAD_NETPATH: errno = ENOENT; break;
    case ERROR_ACCESS_DENIED:
    case ERROR_SHARING_VIOLATION:
    case ERROR_LOCK_VIOLATION:
    case ERROR_WRITE_PROTECT: errno = EACCES; break;
    case ERROR_FILE_EXISTS:
    case ERROR_ALREADY_EXISTS: errno = EEXIST; break;
    case ERROR_DISK_FULL:
    case ERROR_HANDLE_DISK_FULL: errno = ENOSPC; break;
    case ERROR_NOT_SAME_DEVICE: errno = EXDEV; break;
    case ERROR_INVALID_NAME:
    case ERROR_DIRECTORY:
    case ERROR_INVALID_PARAMETER: errno = EINVAL; break;
    case ERROR_FILENAME_EXCED_RANGE: errno = ENAMETOOLONG; break;
    case ERROR_NOT_SUPPORTED:
    case ERROR_INVALID_FUNCTION: errno = ENOSYS; break;
    default: errno = EIO; break;
  }
  return false;
}

}  // namespace

Status Inspect(const std::string& path) {
  const HANDLE file = ::CreateFileW(Wide(path).c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                    nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  if (file == INVALID_HANDLE_VALUE) {
    // A device ("NUL", "\\.\pipe\x") answers to its attributes where it cannot be opened.
    const DWORD attributes = ::GetFileAttributesW(Wide(path).c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) return {};
    const bool directory = (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
    return {true, directory, !directory, 0};
  }
  const DWORD type = ::GetFileType(file);
  BY_HANDLE_FILE_INFORMATION information{};
  const bool known = type == FILE_TYPE_DISK && ::GetFileInformationByHandle(file, &information) != 0;
  ::CloseHandle(file);
  const bool directory = known && (information.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
  return {true, directory, type == FILE_TYPE_DISK && !directory, 0};
}

bool NameTaken(const std::string& path) { return ::GetFileAttributesW(Wide(path).c_str()) != INVALID_FILE_ATTRIBUTES; }

NameKind KindOfName(const std::string& path) {
  std::error_code error;
  const std::filesystem::file_status status = std::filesystem::symlink_status(PathOfUtf8(path), error);
  if (error || !std::filesystem::exists(status)) return NameKind::Missing;
  return std::filesystem::is_symlink(status) ? NameKind::Link : NameKind::Other;
}

namespace {
std::optional<FileIdentity> IdentityOfHandle(HANDLE file) {
  BY_HANDLE_FILE_INFORMATION information{};
  if (file == INVALID_HANDLE_VALUE || ::GetFileType(file) != FILE_TYPE_DISK ||
      ::GetFileInformationByHandle(file, &information) == 0) {
    return std::nullopt;
  }
  return FileIdentity{information.dwVolumeSerialNumber,
                      (std::uint64_t{information.nFileIndexHigh} << 32) | information.nFileIndexLow};
}
}  // namespace

std::optional<FileIdentity> IdentityOf(const std::string& path) {
  const HANDLE file = ::CreateFileW(Wide(path).c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                    nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  if (file == INVALID_HANDLE_VALUE) return std::nullopt;
  const std::optional<FileIdentity> identity = IdentityOfHandle(file);
  ::CloseHandle(file);
  return identity;
}

std::optional<FileIdentity> IdentityOfDescriptor(int descriptor) {
  return IdentityOfHandle(reinterpret_cast<HANDLE>(::_get_osfhandle(descriptor)));
}

std::FILE* Open(const std::string& path, const char* mode) { return ::_wfopen(Wide(path).c_str(), Wide(mode).c_str()); }

int CreateUnnamed(const std::string&) { return -1; }

bool NameUnnamed(int, const std::string&) {
  errno = ENOSYS;
  return false;
}

int CreateNew(const std::string& name) {
  // Shared for deletion: the interrupt handler removes the file while the program still writes it.
  const HANDLE file = ::CreateFileW(Wide(name).c_str(), GENERIC_READ | GENERIC_WRITE,
                                    FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, CREATE_NEW,
                                    FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return Failed(), -1;
  const int descriptor = ::_open_osfhandle(reinterpret_cast<intptr_t>(file), _O_RDWR | _O_BINARY);
  if (descriptor < 0) {
    ::CloseHandle(file);
    ::DeleteFileW(Wide(name).c_str());
    errno = EMFILE;
  }
  return descriptor;
}

unsigned NewFilePermissions() { return 0; }

void SetPermissions(int, unsigned) {}  // a new file takes its folder's access rights

bool HardLink(const std::string& existing, const std::string& name) {
  return ::CreateHardLinkW(Wide(name).c_str(), Wide(existing).c_str(), nullptr) != 0 || Failed();
}

bool Replace(const std::string& from, const std::string& to) {
  return ::MoveFileExW(Wide(from).c_str(), Wide(to).c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != 0 ||
         Failed();
}

bool Remove(const std::string& path) { return ::DeleteFileW(Wide(path).c_str()) != 0 || Failed(); }

namespace {
HANDLE HandleOf(int descriptor) { return reinterpret_cast<HANDLE>(::_get_osfhandle(descriptor)); }

OVERLAPPED At(std::int64_t offset) {
  OVERLAPPED at{};
  at.Offset = static_cast<DWORD>(static_cast<std::uint64_t>(offset) & 0xFFFFFFFFU);
  at.OffsetHigh = static_cast<DWORD>(static_cast<std::uint64_t>(offset) >> 32);
  return at;
}

constexpr std::size_t kLargestCall = 1U << 30;
}  // namespace

long long ReadAt(int descriptor, void* bytes, std::size_t size, std::int64_t offset) {
  OVERLAPPED at = At(offset);
  DWORD moved = 0;
  if (::ReadFile(HandleOf(descriptor), bytes, static_cast<DWORD>(std::min(size, kLargestCall)), &moved, &at) == 0) {
    return ::GetLastError() == ERROR_HANDLE_EOF ? 0 : (Failed(), -1);
  }
  return moved;
}

long long WriteAt(int descriptor, const void* bytes, std::size_t size, std::int64_t offset) {
  OVERLAPPED at = At(offset);
  DWORD moved = 0;
  if (::WriteFile(HandleOf(descriptor), bytes, static_cast<DWORD>(std::min(size, kLargestCall)), &moved, &at) == 0) {
    return Failed(), -1;
  }
  return moved;
}

bool Truncate(int descriptor, std::int64_t size) { return ::_chsize_s(descriptor, size) == 0; }

bool Sync(int descriptor) {
  const HANDLE file = HandleOf(descriptor);
  return (file != INVALID_HANDLE_VALUE && ::FlushFileBuffers(file) != 0) || Failed();
}

}  // namespace tobrisk::file_calls

namespace tobrisk::file_calls {

// Flushing a whole volume takes an administrator on Windows; the tiles leave
// the cache as the system writes it back.
bool SyncFileSystemOf(const std::string&) { return true; }

}  // namespace tobrisk::file_calls
