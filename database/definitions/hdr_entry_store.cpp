#include "database/definitions/hdr_entry_store.h"

#include <sys/mman.h>

#include <algorithm>
#include <cstdint>
#include <new>
#include <utility>

namespace {

constexpr std::size_t kFirstChunk = 16;
constexpr std::size_t kLargestChunk = (std::size_t{64} << 10) / sizeof(sHdrEntry);

// A block is filled once, front to back, right after it is allocated: a
// large one costs a page fault per 4 KiB unless the kernel may back it with
// huge pages, which it does only where asked.
constexpr std::uintptr_t kHugePage = std::uintptr_t{2} << 20;

void PreferHugePages(uint8_t* bytes, std::size_t n) noexcept {
  const auto begin = reinterpret_cast<std::uintptr_t>(bytes);
  const std::uintptr_t first = (begin + kHugePage - 1) & ~(kHugePage - 1);
  const std::uintptr_t last = (begin + n) & ~(kHugePage - 1);
  // Only a hint: where it is refused the block is filled the usual way.
  if (last > first) ::madvise(reinterpret_cast<void*>(first), last - first, MADV_HUGEPAGE);
}

}  // namespace

HdrEntryStore::Chunk::Chunk(std::size_t capacity)
    : items_(static_cast<sHdrEntry*>(::operator new(capacity * sizeof(sHdrEntry)))),
      capacity_(capacity) {}

HdrEntryStore::Chunk::Chunk(Chunk&& other) noexcept
    : items_(other.items_), used_(other.used_), capacity_(other.capacity_) {
  other.items_ = nullptr;
  other.used_ = other.capacity_ = 0;
}

HdrEntryStore::Chunk::~Chunk() {
  if (items_ == nullptr) return;
  std::destroy_n(items_, used_);
  ::operator delete(items_);
}

sHdrEntry* HdrEntryStore::NewSlow(std::size_t chunkBytes) {
  if (!free_.empty()) {
    sHdrEntry* e = free_.back();
    free_.pop_back();
    return e;
  }
  if (chunks_.empty() || chunks_.back().Room() == 0) {
    const std::size_t n = std::max(
        kFirstChunk, std::min(std::clamp(slots_, kFirstChunk, kLargestChunk),
                              chunkBytes / sizeof(sHdrEntry)));
    chunks_.emplace_back(n);
    slots_ += n;
  }
  return chunks_.back().Next();
}

void HdrEntryStore::Release(sHdrEntry* e) noexcept {
  *e = sHdrEntry();
  try {
    free_.push_back(e);
  } catch (const std::bad_alloc&) {
    // The slot is then only reclaimed by Clear.
  }
}

uint8_t* HdrEntryStore::NewBlock(std::size_t n) {
  if (n == 0) return nullptr;
  if (spare_.size >= n) {
    blocks_.push_back(std::move(spare_));  // the spare stays when this throws
  } else {
    Block block(std::make_unique_for_overwrite<uint8_t[]>(n), n);
    if (n >= 2 * kHugePage) PreferHugePages(block.bytes.get(), n);
    blocks_.push_back(std::move(block));
  }
  return blocks_.back().bytes.get();
}

void HdrEntryStore::Swap(HdrEntryStore& other) noexcept {
  chunks_.swap(other.chunks_);
  std::swap(slots_, other.slots_);
  free_.swap(other.free_);
  blocks_.swap(other.blocks_);
  std::swap(spare_, other.spare_);
}

void HdrEntryStore::Clear() noexcept {
  chunks_.clear();
  slots_ = 0;
  free_.clear();
  for (Block& b : blocks_) {
    if (b.size > spare_.size) std::swap(b, spare_);
  }
  blocks_.clear();
}
