#pragma once

#include <cstdio>
#include <initializer_list>
#include <string>

namespace tobrisk {

// A file that appears only when complete. A regular or new file is written to
// a temporary file beside it and renamed over it on commit; until then the old
// content stays, and an abandoned or interrupted write leaves nothing behind.
// The temporary file has no name until it is complete where the file system
// allows, so not even a killed program leaves one. A device, a pipe or "-"
// (standard output) is written directly and never replaced. A symbolic link
// is written through: the file it names is replaced.
class OutputFile {
 public:
  enum class Temporary {
    UnnamedWherePossible,
    Named,  // removed on an interrupt by the cleanup handlers (tools/signals.h)
  };

  enum class Sync {
    Each,         // the data reach the disk before the file is replaced
    ManyAtOnce,   // the caller syncs the file system once, after many small files
  };

  // Throws std::runtime_error with a message naming the path when it cannot be opened.
  explicit OutputFile(std::string path, Temporary temporary = Temporary::UnnamedWherePossible, Sync sync = Sync::Each);
  ~OutputFile();
  OutputFile(const OutputFile&) = delete;
  OutputFile& operator=(const OutputFile&) = delete;

  [[nodiscard]] std::FILE* Stream() const { return stream_; }
  // Whether what was written may be read back and rewritten before Finish:
  // true for the temporary file (open for reading too), false for a device, a pipe or "-".
  [[nodiscard]] bool Rewritable() const { return replaces_; }

  // Flushes and closes; throws std::runtime_error when the data did not all reach the file.
  void Finish();

  // Finishes the files and puts them all in place, or none: when one cannot
  // replace its old file, those already replaced get their old content back.
  // Null entries are skipped. Throws std::runtime_error naming the file that failed.
  static void CommitTogether(std::initializer_list<OutputFile*> files);

 private:
  void GiveName();
  void Abandon() noexcept;

  std::string path_;           // as typed, for messages
  std::string target_;         // the file written or replaced, links followed
  std::string temporaryPath_;  // the named temporary file, if any
  int unnamed_ = -1;           // the temporary file before it has a name
  int signalSlot_ = -1;
  std::FILE* stream_ = nullptr;
  bool ownsStream_ = true;
  bool replaces_ = false;  // false when writing directly
  bool syncs_ = true;
  bool finished_ = false;
};

}  // namespace tobrisk
