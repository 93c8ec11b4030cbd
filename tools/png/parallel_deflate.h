#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <span>
#include <vector>

#include <tbb/task_arena.h>

namespace tobrisk {

// A zlib stream deflated on every core: the bytes are cut into blocks that
// are deflated independently (see DeflateRuns), each ending on a byte
// boundary, the last one finishing the stream, and handed on in order. The header
// and the combined Adler-32 are written here, so the pieces joined are one
// ordinary zlib stream. Only a few blocks are in flight at a time, so memory
// does not grow with the data.
class ParallelDeflate {
 public:
  // Receives the stream in order, one piece per block; may throw, which
  // stops the stream and reaches the caller of Write or Finish.
  using Sink = std::function<void(std::span<const std::uint8_t>)>;

  static constexpr std::size_t kDefaultBlockBytes = std::size_t{1} << 20;

  // `threads` deflate the blocks: 0 is every core, 1 the calling thread alone.
  explicit ParallelDeflate(Sink sink, std::size_t blockBytes = kDefaultBlockBytes, int threads = 0);
  ~ParallelDeflate();  // waits for blocks still being deflated, and drops them
  ParallelDeflate(const ParallelDeflate&) = delete;
  ParallelDeflate& operator=(const ParallelDeflate&) = delete;

  void Write(std::span<const std::uint8_t> data);
  // Deflates what is left, ends the stream and hands on every piece.
  // Throws std::runtime_error when memory runs out.
  void Finish();

 private:
  struct Block;

  Block& Filling() { return *blocks_[submitted_ % blocks_.size()]; }
  void Submit(bool last);
  void RetireOldest();
  void RetireFinished();

  Sink sink_;
  std::size_t blockBytes_;
  tbb::task_arena arena_;
  std::vector<std::unique_ptr<Block>> blocks_;  // a ring, in stream order
  std::size_t submitted_ = 0;
  std::size_t retired_ = 0;
  std::uint32_t adler_ = 1;  // of the blocks retired so far
  bool finished_ = false;
};

}  // namespace tobrisk
