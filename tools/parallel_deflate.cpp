#include "tools/parallel_deflate.h"

#include <tbb/task_group.h>

#include <algorithm>
#include <atomic>
#include <cstring>
#include <limits>
#include <new>
#include <stdexcept>
#include <string>
#include <utility>

#include <zlib.h>

namespace tobrisk {
namespace {

// A zlib header for a 32 KiB window, with the level hint zlib itself would write.
std::uint16_t ZlibHeader(int level, int strategy) {
  const unsigned hint = strategy >= Z_HUFFMAN_ONLY || level < 2 ? 0U : level < 6 ? 1U : level == 6 ? 2U : 3U;
  unsigned header = (0x78U << 8) | (hint << 6);
  header += 31U - header % 31U;
  return static_cast<std::uint16_t>(header);
}

}  // namespace

struct ParallelDeflate::Block {
  explicit Block(std::size_t bytes) : input(std::make_unique_for_overwrite<std::uint8_t[]>(bytes)) {}
  ~Block() {
    if (streamReady) deflateEnd(&stream);
  }
  Block(const Block&) = delete;
  Block& operator=(const Block&) = delete;

  // Keeps what is written and makes room for at least `room` more bytes.
  void Reserve(std::size_t room) {
    if (capacity - size >= room) return;
    const std::size_t wanted = std::max(size + room, capacity * 2);
    auto larger = std::make_unique_for_overwrite<std::uint8_t[]>(wanted);
    if (size > 0) std::memcpy(larger.get(), output.get(), size);
    output = std::move(larger);
    capacity = wanted;
  }

  void Deflate(int level, int strategy, std::uint16_t header) noexcept {
    try {
      if (!streamReady) {
        // Raw deflate: the header and the checksum are written for the whole stream.
        if (deflateInit2(&stream, level, Z_DEFLATED, -15, 8, strategy) != Z_OK) throw std::bad_alloc();
        streamReady = true;
      } else {
        deflateReset(&stream);
      }
      adler = static_cast<std::uint32_t>(adler32_z(1, input.get(), used));
      size = 0;
      // Room for the block marker that a flush adds, and for the checksum after the last block.
      Reserve(deflateBound(&stream, static_cast<uLong>(used)) + 16);
      if (first) {
        output[0] = static_cast<std::uint8_t>(header >> 8);
        output[1] = static_cast<std::uint8_t>(header & 0xFF);
        size = 2;
      }
      stream.next_in = input.get();
      stream.avail_in = static_cast<uInt>(used);
      // A sync flush ends the block's output on a byte boundary without ending
      // the stream, so the next block's output can follow it directly.
      const int flush = last ? Z_FINISH : Z_SYNC_FLUSH;
      for (;;) {
        const std::size_t room = std::min<std::size_t>(capacity - size, std::numeric_limits<uInt>::max());
        stream.next_out = output.get() + size;
        stream.avail_out = static_cast<uInt>(room);
        const int status = deflate(&stream, flush);
        size += room - stream.avail_out;
        if (status == Z_STREAM_ERROR) {
          error = "the compressor failed";
          break;
        }
        if (last ? status == Z_STREAM_END : stream.avail_out != 0) break;
        Reserve(capacity);
      }
    } catch (const std::bad_alloc&) {
      error = "out of memory";
    }
  }

  std::unique_ptr<std::uint8_t[]> input;
  std::size_t used = 0;
  std::unique_ptr<std::uint8_t[]> output;
  std::size_t capacity = 0;
  std::size_t size = 0;
  z_stream stream{};
  bool streamReady = false;
  bool first = false;
  bool last = false;
  std::uint32_t adler = 1;
  std::string error;
  std::atomic<bool> done{false};
  tbb::task_group group;
};

ParallelDeflate::ParallelDeflate(Sink sink, int level, int strategy, std::size_t blockBytes)
    : sink_(std::move(sink)), level_(level), strategy_(strategy), blockBytes_(std::max<std::size_t>(blockBytes, 1)) {
  arena_.initialize();
  // One block per core being deflated and one being filled: more would only hold memory.
  const auto slots = static_cast<std::size_t>(std::clamp(arena_.max_concurrency() + 1, 2, 8));
  for (std::size_t i = 0; i < slots; ++i) blocks_.push_back(std::make_unique<Block>(blockBytes_));
}

ParallelDeflate::~ParallelDeflate() {
  for (const auto& block : blocks_) {
    arena_.execute([&block] {
      block->group.cancel();
      try {
        block->group.wait();
      } catch (...) {  // a block being dropped has nothing left to report
      }
    });
  }
}

void ParallelDeflate::Write(std::span<const std::uint8_t> data) {
  if (finished_) throw std::logic_error("writing to a finished deflate stream");
  while (!data.empty()) {
    if (submitted_ - retired_ == blocks_.size()) RetireOldest();
    Block& block = Filling();
    const std::size_t n = std::min(data.size(), blockBytes_ - block.used);
    std::memcpy(block.input.get() + block.used, data.data(), n);
    block.used += n;
    data = data.subspan(n);
    if (block.used == blockBytes_) Submit(false);
  }
}

void ParallelDeflate::Finish() {
  if (finished_) throw std::logic_error("finishing a deflate stream twice");
  if (submitted_ - retired_ == blocks_.size()) RetireOldest();
  Submit(true);
  while (retired_ < submitted_) RetireOldest();
  finished_ = true;
}

void ParallelDeflate::Submit(bool last) {
  Block& block = Filling();
  block.first = submitted_ == 0;
  block.last = last;
  block.error.clear();
  block.done.store(false, std::memory_order_relaxed);
  const std::uint16_t header = ZlibHeader(level_, strategy_);
  arena_.execute([this, &block, header] {
    block.group.run([this, &block, header] {
      block.Deflate(level_, strategy_, header);
      block.done.store(true, std::memory_order_release);
    });
  });
  ++submitted_;
  RetireFinished();
}

void ParallelDeflate::RetireOldest() {
  Block& block = *blocks_[retired_ % blocks_.size()];
  arena_.execute([&block] { block.group.wait(); });
  ++retired_;
  if (!block.error.empty()) throw std::runtime_error("cannot compress the picture: " + block.error);
  adler_ = static_cast<std::uint32_t>(adler32_combine(adler_, block.adler, static_cast<z_off_t>(block.used)));
  block.used = 0;
  if (block.last) {
    block.Reserve(4);
    for (int shift = 24; shift >= 0; shift -= 8) block.output[block.size++] = static_cast<std::uint8_t>(adler_ >> shift);
  }
  sink_(std::span<const std::uint8_t>(block.output.get(), block.size));
}

void ParallelDeflate::RetireFinished() {
  // Handing on finished blocks early keeps a stream read by another program flowing.
  while (retired_ < submitted_ && blocks_[retired_ % blocks_.size()]->done.load(std::memory_order_acquire)) {
    RetireOldest();
  }
}

}  // namespace tobrisk
