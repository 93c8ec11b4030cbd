#include "tools/safe_output/output_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <random>
#include <stdexcept>
#include <string_view>
#include <vector>

#include "tools/safe_output/output_names.h"
#include "tools/safe_output/signals.h"
#include "tools/safe_output/standard_streams.h"

namespace tobrisk {
namespace {

constexpr int kNameTries = 100;

std::runtime_error Failure(const std::string& what, const std::string& path, int error) {
  return std::runtime_error(what + " " + path + ": " + std::strerror(error));
}

mode_t CurrentUmask() {
  const mode_t mask = ::umask(0);
  ::umask(mask);
  return mask;
}

std::filesystem::path FolderOf(const std::string& target) {
  const std::filesystem::path path(target);
  return path.has_parent_path() ? path.parent_path() : ".";
}

// A hidden name beside the target ending in `unique`. It must fit wherever the
// target's name fits, so a name near the limit of one name (255 bytes) gives
// up its end, not the write.
std::string HiddenName(const std::string& target, std::string_view unique) {
  constexpr std::size_t kNameMax = 255;
  std::string name(1, '.');  // built up stepwise: GCC 12 warns falsely on "." + string
  name += std::filesystem::path(target).filename().string().substr(0, kNameMax - 2 - unique.size());
  name += '.';
  name += unique;
  return (FolderOf(target) / name).string();
}

std::string RandomUnique() {
  static std::mt19937 generator{std::random_device{}()};
  constexpr std::string_view kLetters = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
  std::uniform_int_distribution<std::size_t> pick(0, kLetters.size() - 1);
  std::string unique(6, ' ');
  for (char& c : unique) c = kLetters[pick(generator)];
  return unique;
}

// The old file kept under a hidden name while the new one takes its place,
// so that it can be put back.
struct Kept {
  std::string name;    // empty: there was no old file
  bool moved = false;  // renamed away (no hard links here) rather than linked
};

Kept KeepOld(const std::string& target) {
  struct stat status {};
  if (::lstat(target.c_str(), &status) != 0) return {};
  for (int attempt = 0; attempt < kNameTries; ++attempt) {
    Kept kept{HiddenName(target, RandomUnique()), false};
    if (::link(target.c_str(), kept.name.c_str()) == 0) return kept;
    if (errno == EEXIST) continue;
    if (::lstat(kept.name.c_str(), &status) == 0) continue;
    kept.moved = true;
    if (std::rename(target.c_str(), kept.name.c_str()) == 0) return kept;
    break;
  }
  throw Failure("cannot keep the old file while replacing", target, errno);
}

// Puts the old file back over the new one, or removes the new one where there was none.
bool PutBack(const std::string& target, const Kept& kept) {
  if (kept.name.empty()) return ::unlink(target.c_str()) == 0;
  return std::rename(kept.name.c_str(), target.c_str()) == 0;
}

}  // namespace

OutputFile::OutputFile(std::string path, Temporary temporary, Sync sync)
    : path_(std::move(path)), syncs_(sync == Sync::Each) {
  if (path_ == "-") {
    if (StandardOutputWasClosed()) throw std::runtime_error("cannot write standard output: it is closed");
    stream_ = stdout;
    ownsStream_ = false;
    return;
  }
  target_ = FollowLinks(path_);
  struct stat existing {};
  const bool exists = ::stat(target_.c_str(), &existing) == 0;
  if (exists && S_ISDIR(existing.st_mode)) throw std::runtime_error("cannot write " + path_ + ": it is a directory");
  if (exists && !S_ISREG(existing.st_mode)) {
    stream_ = std::fopen(target_.c_str(), "wb");
    if (stream_ == nullptr) throw Failure("cannot open", path_, errno);
    return;
  }
  replaces_ = true;

  int descriptor = -1;
  if (temporary == Temporary::UnnamedWherePossible) {
    unnamed_ = ::open(FolderOf(target_).c_str(), O_TMPFILE | O_RDWR | O_CLOEXEC, 0600);
    if (unnamed_ >= 0) descriptor = ::fcntl(unnamed_, F_DUPFD_CLOEXEC, 3);
  }
  if (unnamed_ < 0) {  // the file system has no unnamed files: a named one the handlers remove
    std::string pattern = HiddenName(target_, "XXXXXX");
    const InterruptsHeld held;  // registered before an interrupt may see it
    descriptor = ::mkstemp(pattern.data());
    if (descriptor < 0) throw Failure("cannot create a file in the folder of", path_, errno);
    temporaryPath_ = pattern;
    signalSlot_ = RemoveOnSignal(temporaryPath_.c_str());
  }
  // A replaced file keeps its permissions; a new one gets the usual ones.
  const mode_t mode = exists ? (existing.st_mode & 07777) : (0666 & ~CurrentUmask());
  if (descriptor >= 0) {
    ::fchmod(descriptor, mode);
    stream_ = ::fdopen(descriptor, "wb");
  }
  if (stream_ == nullptr) {
    const int error = errno;
    if (descriptor >= 0) ::close(descriptor);
    Abandon();
    throw Failure("cannot open", path_, error);
  }
}

OutputFile::~OutputFile() { Abandon(); }

void OutputFile::Finish() {
  if (finished_) return;
  finished_ = true;
  int error = 0;
  errno = 0;
  if (std::fflush(stream_) != 0 || std::ferror(stream_) != 0) error = errno != 0 ? errno : EIO;
  if (error == 0 && replaces_ && syncs_ && ::fsync(::fileno(stream_)) != 0) error = errno;
  if (ownsStream_) {
    if (std::fclose(stream_) != 0 && error == 0) error = errno;
    stream_ = nullptr;
  }
  if (error != 0) throw Failure("cannot write", path_, error);
}

// Links the complete unnamed file in under a hidden name beside its target.
void OutputFile::GiveName() {
  if (unnamed_ < 0) return;
  const std::string descriptorName = "/proc/self/fd/" + std::to_string(unnamed_);
  for (int attempt = 0; attempt < kNameTries; ++attempt) {
    const std::string name = HiddenName(target_, RandomUnique());
    int result = ::linkat(AT_FDCWD, descriptorName.c_str(), AT_FDCWD, name.c_str(), AT_SYMLINK_FOLLOW);
    if (result != 0 && errno == ENOENT) {  // no /proc: the direct call, which needs more privilege
      result = ::linkat(unnamed_, "", AT_FDCWD, name.c_str(), AT_EMPTY_PATH);
    }
    if (result == 0) {
      temporaryPath_ = name;
      signalSlot_ = RemoveOnSignal(temporaryPath_.c_str());
      ::close(unnamed_);
      unnamed_ = -1;
      return;
    }
    if (errno != EEXIST) break;
  }
  throw Failure("cannot create a file in the folder of", path_, errno);
}

void OutputFile::CommitTogether(std::initializer_list<OutputFile*> files) {
  std::vector<OutputFile*> replacing;
  for (OutputFile* file : files) {
    if (file == nullptr) continue;
    file->Finish();
    if (file->replaces_) replacing.push_back(file);
  }
  // From here an interrupt waits until every file is in place or every one is as before.
  const InterruptsHeld held;
  for (OutputFile* file : replacing) file->GiveName();

  std::vector<Kept> kept;
  const auto undo = [&](std::string message) {
    for (std::size_t at = kept.size(); at-- > 0;) {
      if (!PutBack(replacing[at]->target_, kept[at])) {
        message += "; and " + replacing[at]->path_ + " could not be put back";
        if (!kept[at].name.empty()) message += ": its old content is in " + kept[at].name;
        kept[at].name.clear();
      }
    }
    return std::runtime_error(message);
  };
  for (std::size_t at = 0; at < replacing.size(); ++at) {
    OutputFile& file = *replacing[at];
    if (at + 1 < replacing.size()) {  // the last one has no later failure to undo
      try {
        kept.push_back(KeepOld(file.target_));
      } catch (const std::runtime_error& error) {
        throw undo(error.what());
      }
    }
    if (std::rename(file.temporaryPath_.c_str(), file.target_.c_str()) != 0) {
      const std::runtime_error failure = Failure("cannot replace", file.path_, errno);
      if (at < kept.size()) {  // its old file is kept but was not replaced
        if (kept.back().moved) std::rename(kept.back().name.c_str(), file.target_.c_str());
        else ::unlink(kept.back().name.c_str());
        kept.pop_back();
      }
      throw undo(failure.what());
    }
    KeepOnSignal(file.signalSlot_);
    file.signalSlot_ = -1;
    file.temporaryPath_.clear();
  }
  for (const Kept& old : kept) {
    if (!old.name.empty()) ::unlink(old.name.c_str());
  }
}

void OutputFile::Abandon() noexcept {
  if (stream_ != nullptr && ownsStream_) std::fclose(stream_);
  stream_ = nullptr;
  if (unnamed_ >= 0) ::close(unnamed_);
  unnamed_ = -1;
  if (!temporaryPath_.empty()) ::unlink(temporaryPath_.c_str());
  temporaryPath_.clear();
  KeepOnSignal(signalSlot_);
  signalSlot_ = -1;
}

}  // namespace tobrisk
