#include "tools/safe_output/output_names.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <stdexcept>
#include <system_error>

#include "tools/safe_output/standard_streams.h"

namespace tobrisk {
namespace {

constexpr int kMaxLinks = 40;  // as many as the kernel follows in one name

bool StatOutput(const std::string& name, struct stat& status) {
  if (name == "-") return !StandardOutputWasClosed() && ::fstat(STDOUT_FILENO, &status) == 0;
  return ::stat(name.c_str(), &status) == 0;
}

}  // namespace

std::string FollowLinks(const std::string& path) {
  std::filesystem::path current(path);
  for (int hop = 0; hop <= kMaxLinks; ++hop) {
    struct stat status {};
    if (::lstat(current.c_str(), &status) != 0) {
      if (errno == ELOOP) break;  // a loop in one of the folders on the way
      return current.string();   // missing: the file to create; other errors show when it is opened
    }
    if (!S_ISLNK(status.st_mode)) return current.string();
    // A pipe or device is opened through its link: the links in /proc name a
    // pipe as "pipe:[...]", no path at all.
    if (::stat(current.c_str(), &status) == 0 && !S_ISREG(status.st_mode) && !S_ISDIR(status.st_mode)) {
      return current.string();
    }
    std::error_code error;
    const std::filesystem::path target = std::filesystem::read_symlink(current, error);
    if (error) return current.string();
    current = target.is_absolute() ? target : current.parent_path() / target;
  }
  throw std::runtime_error("cannot write " + path + ": " + std::strerror(ELOOP));
}

bool NameOneFile(const std::string& a, const std::string& b) {
  struct stat first {};
  struct stat second {};
  if (StatOutput(a, first) && StatOutput(b, second)) {
    return first.st_dev == second.st_dev && first.st_ino == second.st_ino;
  }
  if (a == "-" || b == "-") return false;
  try {
    std::error_code error;
    const std::filesystem::path resolvedA = std::filesystem::weakly_canonical(FollowLinks(a), error);
    if (error) return false;
    const std::filesystem::path resolvedB = std::filesystem::weakly_canonical(FollowLinks(b), error);
    return !error && resolvedA == resolvedB;
  } catch (const std::runtime_error&) {
    return false;  // a loop of links: opening the file reports it
  }
}

}  // namespace tobrisk
