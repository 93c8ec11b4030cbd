#include "tools/safe_output/output_file.h"

#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <random>
#include <stdexcept>
#include <string_view>
#include <vector>

#include "tools/safe_output/file_calls.h"
#include "tools/safe_output/output_names.h"
#include "tools/safe_output/signals.h"
#include "tools/safe_output/standard_streams.h"
#include "tools/safe_output/utf8_path.h"

namespace tobrisk {
namespace {

constexpr int kNameTries = 100;

std::runtime_error Failure(const std::string& what, const std::string& path, int error) {
  return std::runtime_error(what + " " + path + ": " + std::strerror(error));
}

std::filesystem::path FolderOf(const std::string& target) {
  const std::filesystem::path path = PathOfUtf8(target);
  return path.has_parent_path() ? path.parent_path() : ".";
}

// A hidden name beside the target ending in `unique`. It must fit wherever the
// target's name fits, so a name near the limit of one name (255 bytes) gives
// up its end, not the write.
std::string HiddenName(const std::string& target, std::string_view unique) {
  constexpr std::size_t kNameMax = 255;
  std::string name(1, '.');  // built up stepwise: GCC 12 warns falsely on "." + string
  name += Utf8OfPath(PathOfUtf8(target).filename()).substr(0, kNameMax - 2 - unique.size());
  name += '.';
  name += unique;
  return Utf8OfPath(FolderOf(target) / PathOfUtf8(name));
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
  if (!file_calls::NameTaken(target)) return {};
  for (int attempt = 0; attempt < kNameTries; ++attempt) {
    Kept kept{HiddenName(target, RandomUnique()), false};
    if (file_calls::HardLink(target, kept.name)) return kept;
    if (errno == EEXIST) continue;
    if (file_calls::NameTaken(kept.name)) continue;
    kept.moved = true;
    if (file_calls::Replace(target, kept.name)) return kept;
    break;
  }
  throw Failure("cannot keep the old file while replacing", target, errno);
}

// Puts the old file back over the new one, or removes the new one where there was none.
bool PutBack(const std::string& target, const Kept& kept) {
  if (kept.name.empty()) return file_calls::Remove(target);
  return file_calls::Replace(kept.name, target);
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
  const file_calls::Status existing = file_calls::Inspect(target_);
  if (existing.directory) throw std::runtime_error("cannot write " + path_ + ": it is a directory");
  if (existing.exists && !existing.regular) {
    stream_ = file_calls::Open(target_, "wb");
    if (stream_ == nullptr) throw Failure("cannot open", path_, errno);
    return;
  }
  replaces_ = true;

  int descriptor = -1;
  if (temporary == Temporary::UnnamedWherePossible) {
    unnamed_ = file_calls::CreateUnnamed(Utf8OfPath(FolderOf(target_)));
    if (unnamed_ >= 0) descriptor = ::dup(unnamed_);
  }
  if (unnamed_ < 0) {  // the file system has no unnamed files: a named one the handlers remove
    const InterruptsHeld held;  // registered before an interrupt may see it
    for (int attempt = 0; attempt < kNameTries && descriptor < 0; ++attempt) {
      temporaryPath_ = HiddenName(target_, RandomUnique());
      descriptor = file_calls::CreateNew(temporaryPath_);
      if (descriptor < 0 && errno != EEXIST) break;
    }
    if (descriptor < 0) {
      temporaryPath_.clear();
      throw Failure("cannot create a file in the folder of", path_, errno);
    }
    signalSlot_ = RemoveOnSignal(temporaryPath_.c_str());
  }
  // A replaced file keeps its permissions; a new one gets the usual ones.
  if (descriptor >= 0) {
    file_calls::SetPermissions(descriptor, existing.exists ? existing.permissions : file_calls::NewFilePermissions());
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
  if (error == 0 && replaces_ && syncs_ && !file_calls::Sync(::fileno(stream_))) error = errno;
  if (ownsStream_) {
    if (std::fclose(stream_) != 0 && error == 0) error = errno;
    stream_ = nullptr;
  }
  if (error != 0) throw Failure("cannot write", path_, error);
}

// Links the complete unnamed file in under a hidden name beside its target.
void OutputFile::GiveName() {
  if (unnamed_ < 0) return;
  for (int attempt = 0; attempt < kNameTries; ++attempt) {
    const std::string name = HiddenName(target_, RandomUnique());
    if (file_calls::NameUnnamed(unnamed_, name)) {
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
    if (!file_calls::Replace(file.temporaryPath_, file.target_)) {
      const std::runtime_error failure = Failure("cannot replace", file.path_, errno);
      if (at < kept.size()) {  // its old file is kept but was not replaced
        if (kept.back().moved) (void)file_calls::Replace(kept.back().name, file.target_);
        else file_calls::Remove(kept.back().name);
        kept.pop_back();
      }
      throw undo(failure.what());
    }
    KeepOnSignal(file.signalSlot_);
    file.signalSlot_ = -1;
    file.temporaryPath_.clear();
  }
  for (const Kept& old : kept) {
    if (!old.name.empty()) file_calls::Remove(old.name);
  }
}

void OutputFile::Abandon() noexcept {
  if (stream_ != nullptr && ownsStream_) std::fclose(stream_);
  stream_ = nullptr;
  if (unnamed_ >= 0) ::close(unnamed_);
  unnamed_ = -1;
  if (!temporaryPath_.empty()) file_calls::Remove(temporaryPath_);
  temporaryPath_.clear();
  KeepOnSignal(signalSlot_);
  signalSlot_ = -1;
}

}  // namespace tobrisk
