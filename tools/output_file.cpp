#include "tools/output_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <stdexcept>
#include <string_view>
#include <vector>

#include "tools/output_names.h"
#include "tools/standard_streams.h"

namespace tobrisk {
namespace {

std::runtime_error Failure(const std::string& what, const std::string& path, int error) {
  return std::runtime_error(what + " " + path + ": " + std::strerror(error));
}

mode_t CurrentUmask() {
  const mode_t mask = ::umask(0);
  ::umask(mask);
  return mask;
}

}  // namespace

OutputFile::OutputFile(std::string path) : path_(std::move(path)) {
  if (path_ == "-") {
    if (StandardOutputWasClosed()) throw std::runtime_error("cannot write standard output: it is closed");
    stream_ = stdout;
    ownsStream_ = false;
    return;
  }
  // Write through a symbolic link to the file it names rather than replace the link.
  const std::string target = FollowLinks(path_);

  struct stat existing {};
  const bool exists = ::stat(target.c_str(), &existing) == 0;
  if (exists && S_ISDIR(existing.st_mode)) throw std::runtime_error("cannot write " + path_ + ": it is a directory");
  if (exists && !S_ISREG(existing.st_mode)) {
    stream_ = std::fopen(target.c_str(), "wb");
    if (stream_ == nullptr) throw Failure("cannot open", path_, errno);
    return;
  }

  const std::filesystem::path targetPath(target);
  const std::filesystem::path folder = targetPath.has_parent_path() ? targetPath.parent_path() : ".";
  // The temporary name must fit wherever the target's name fits, so a name
  // near the limit of one name (255 bytes) gives up its end, not the write.
  constexpr std::size_t kNameMax = 255;
  constexpr std::string_view kUnique = ".XXXXXX";
  std::string hiddenName(1, '.');  // built up stepwise: GCC 12 warns falsely on "." + string
  hiddenName += targetPath.filename().string().substr(0, kNameMax - 1 - kUnique.size());
  hiddenName += kUnique;
  const std::string pattern = (folder / hiddenName).string();
  std::vector<char> name(pattern.begin(), pattern.end());
  name.push_back('\0');
  const int descriptor = ::mkstemp(name.data());
  if (descriptor < 0) throw Failure("cannot create a file in the folder of", path_, errno);
  temporaryPath_ = name.data();
  // A replaced file keeps its permissions; a new one gets the usual ones.
  const mode_t mode = exists ? (existing.st_mode & 07777) : (0666 & ~CurrentUmask());
  ::fchmod(descriptor, mode);
  stream_ = ::fdopen(descriptor, "wb");
  if (stream_ == nullptr) {
    const int error = errno;
    ::close(descriptor);
    Abandon();
    throw Failure("cannot open", path_, error);
  }
  path_ = target;
}

OutputFile::~OutputFile() { Abandon(); }

void OutputFile::Finish() {
  if (finished_) return;
  finished_ = true;
  int error = 0;
  errno = 0;
  if (std::fflush(stream_) != 0 || std::ferror(stream_) != 0) error = errno != 0 ? errno : EIO;
  if (error == 0 && !temporaryPath_.empty() && ::fsync(::fileno(stream_)) != 0) error = errno;
  if (ownsStream_) {
    if (std::fclose(stream_) != 0 && error == 0) error = errno;
    stream_ = nullptr;
  }
  if (error != 0) throw Failure("cannot write", path_, error);
}

void OutputFile::Commit() {
  Finish();
  if (temporaryPath_.empty()) return;
  if (std::rename(temporaryPath_.c_str(), path_.c_str()) != 0) throw Failure("cannot replace", path_, errno);
  temporaryPath_.clear();
}

void OutputFile::Abandon() noexcept {
  if (stream_ != nullptr && ownsStream_) std::fclose(stream_);
  stream_ = nullptr;
  if (!temporaryPath_.empty()) ::unlink(temporaryPath_.c_str());
  temporaryPath_.clear();
}

}  // namespace tobrisk
