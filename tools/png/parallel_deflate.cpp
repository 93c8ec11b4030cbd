#include "tools/png/parallel_deflate.h"

#include <tbb/task_group.h>

#include <algorithm>
#include <atomic>
#include <cstring>
#include <new>
#include <stdexcept>
#include <string>
#include <utility>

#include <zlib.h>

#include "tools/png/run_deflate.h"

namespace tobrisk {

struct ParallelDeflate::Block {
  explicit Block(std::size_t bytes) : input(std::make_unique_for_overwrite<std::uint8_t[]>(bytes)) {}

  void Deflate() noexcept {
    try {
      // Room for the zlib header, the block, and the checksum after the last one;
      // left uncleared, as the coder writes every byte it hands on.
      const std::size_t room = 2 + DeflateRunsBound(used) + 4;
      if (capacity < room) {
        output = std::make_unique_for_overwrite<std::uint8_t[]>(room);
        capacity = room;
      }
      size = 0;
      if (first) {  // the zlib header: deflate with a 32 KiB window, the fastest coding
        output[size++] = 0x78;
        output[size++] = 0x01;
      }
      const DeflatedRuns block = DeflateRuns(std::span<const std::uint8_t>(input.get(), used), last,
                                             std::span<std::uint8_t>(output.get() + size, capacity - size));
      size += block.size;
      adler = block.adler;
    } catch (const std::bad_alloc&) {
      error = "out of memory";
    }
  }

  std::unique_ptr<std::uint8_t[]> input;
  std::size_t used = 0;
  std::unique_ptr<std::uint8_t[]> output;
  std::size_t capacity = 0;
  std::size_t size = 0;
  bool first = false;
  bool last = false;
  std::uint32_t adler = 1;
  std::string error;
  std::atomic<bool> done{false};
  tbb::task_group group;
};

ParallelDeflate::ParallelDeflate(Sink sink, std::size_t blockBytes, int threads)
    : sink_(std::move(sink)), blockBytes_(std::max<std::size_t>(blockBytes, 1)),
      arena_(threads > 0 ? threads : tbb::task_arena::automatic) {
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
  arena_.execute([&block] {
    block.group.run([&block] {
      block.Deflate();
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
    for (int shift = 24; shift >= 0; shift -= 8) {
      block.output[block.size++] = static_cast<std::uint8_t>(adler_ >> shift);
    }
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
