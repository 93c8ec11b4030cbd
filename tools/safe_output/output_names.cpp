#include "tools/safe_output/output_names.h"

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <optional>
#include <stdexcept>
#include <system_error>

#include "tools/safe_output/file_calls.h"
#include "tools/safe_output/standard_streams.h"
#include "tools/safe_output/utf8_path.h"

namespace tobrisk {
namespace {

constexpr int kMaxLinks = 40;  // as many as the kernel follows in one name

std::optional<file_calls::FileIdentity> IdentityOfOutput(const std::string& name) {
  if (name == "-") return StandardOutputWasClosed() ? std::nullopt : file_calls::IdentityOfDescriptor(1);
  return file_calls::IdentityOf(name);
}

}  // namespace

std::string FollowLinks(const std::string& path) {
  std::filesystem::path current = PathOfUtf8(path);
  for (int hop = 0; hop <= kMaxLinks; ++hop) {
    const std::string name = Utf8OfPath(current);
    const file_calls::NameKind kind = file_calls::KindOfName(name);
    if (kind == file_calls::NameKind::InLoopOfLinks) break;  // a loop in one of the folders on the way
    // Missing: the file to create; other errors show when it is opened.
    if (kind != file_calls::NameKind::Link) return name;
    // A pipe or device is opened through its link: the links in /proc name a
    // pipe as "pipe:[...]", no path at all.
    if (const file_calls::Status status = file_calls::Inspect(name); status.exists && !status.regular && !status.directory) {
      return name;
    }
    std::error_code error;
    const std::filesystem::path target = std::filesystem::read_symlink(current, error);
    if (error) return name;
    current = target.is_absolute() ? target : current.parent_path() / target;
  }
  throw std::runtime_error("cannot write " + path + ": " + std::strerror(ELOOP));
}

bool NameOneFile(const std::string& a, const std::string& b) {
  const auto first = IdentityOfOutput(a);
  const auto second = IdentityOfOutput(b);
  if (first && second) return *first == *second;
  if (a == "-" || b == "-") return false;
  try {
    std::error_code error;
    const std::filesystem::path resolvedA = std::filesystem::weakly_canonical(PathOfUtf8(FollowLinks(a)), error);
    if (error) return false;
    const std::filesystem::path resolvedB = std::filesystem::weakly_canonical(PathOfUtf8(FollowLinks(b)), error);
    return !error && resolvedA == resolvedB;
  } catch (const std::runtime_error&) {
    return false;  // a loop of links: opening the file reports it
  }
}

}  // namespace tobrisk
