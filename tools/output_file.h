#pragma once

#include <cstdio>
#include <string>

namespace tobrisk {

// A file that appears only when complete. A regular or new file is written to
// a temporary file beside it and renamed over it by Commit(); until then the
// old content stays, and an abandoned write leaves nothing behind. A device,
// a pipe or "-" (standard output) is written directly and never replaced.
class OutputFile {
 public:
  // Throws std::runtime_error with a message naming the path when it cannot be opened.
  explicit OutputFile(std::string path);
  ~OutputFile();
  OutputFile(const OutputFile&) = delete;
  OutputFile& operator=(const OutputFile&) = delete;

  [[nodiscard]] std::FILE* Stream() const { return stream_; }
  [[nodiscard]] const std::string& Path() const { return path_; }

  // Flushes and closes; throws std::runtime_error when the data did not all reach the file.
  void Finish();
  // Renames the finished temporary file over the target. Call after every output is finished.
  void Commit();

 private:
  void Abandon() noexcept;

  std::string path_;
  std::string temporaryPath_;  // empty when writing directly
  std::FILE* stream_ = nullptr;
  bool ownsStream_ = true;
  bool finished_ = false;
};

}  // namespace tobrisk
