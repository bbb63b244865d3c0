// Where a header list keeps its entries and the payload bytes it reads in
// bulk, so that a list of 100,000 entries costs a few dozen allocations
// instead of two per entry.
//
//   HdrEntryStore store;
//   sHdrEntry* e = store.New();               // stays where it is until Clear
//   uint8_t* bytes = store.NewBlock(total);   // freed by Clear, 16-aligned
//   e->payload.Borrow(bytes, 48);
//   store.Release(e);                         // reset; its slot is reused
//   store.Clear();                            // frees everything at once
//
// Entries live in chunks that never move, so a pointer to an entry stays
// valid until the entry is released or the store cleared. Chunks grow with
// the store up to 64 KiB, so no single allocation is much larger than the
// input that asked for the entries. A released entry
// gives back its heap payload at once; its slot and any block bytes it
// pointed into are reclaimed by Clear.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <new>
#include <utility>
#include <vector>

#include "database/definitions/hdr_entry.h"

class HdrEntryStore {
 public:
  // Block bytes are handed out at this alignment, the widest field of any
  // record.
  static constexpr std::size_t kAlign = 8;
  static constexpr std::size_t Aligned(std::size_t n) noexcept {
    return (n + kAlign - 1) & ~(kAlign - 1);
  }

  HdrEntryStore() = default;
  // Stores change hands only through Swap, which the header list's own moves
  // use; a store is neither copied nor moved.
  HdrEntryStore(const HdrEntryStore&) = delete;
  HdrEntryStore& operator=(const HdrEntryStore&) = delete;
  void Swap(HdrEntryStore& other) noexcept;

  // A default entry: a released slot, else the next slot of the last chunk,
  // else a slot of a new chunk. A new chunk grows with the store but takes
  // at most chunkBytes (a reader passes the input bytes it has left, so that
  // no allocation outgrows its input), though always room for 16 entries.
  sHdrEntry* New(std::size_t chunkBytes = SIZE_MAX) {
    if (free_.empty() && !chunks_.empty() && chunks_.back().Room() > 0) {
      return chunks_.back().Next();
    }
    return NewSlow(chunkBytes);
  }
  // Resets the entry (its heap payload is freed) and keeps the slot for reuse.
  void Release(sHdrEntry* e) noexcept;
  // n uninitialised bytes (null for 0) that live until Clear. A new block of
  // some MiB asks the kernel for huge pages, as it is filled right away.
  // Memory that runs out changes nothing (std::bad_alloc), as for New.
  uint8_t* NewBlock(std::size_t n);
  // Destroys every entry and frees every chunk and block but the largest,
  // which the next NewBlock that it can serve takes again: a list that is
  // emptied and refilled from the same source reuses its memory.
  void Clear() noexcept;

 private:
  class Chunk {
   public:
    explicit Chunk(std::size_t capacity);
    Chunk(Chunk&& other) noexcept;
    Chunk& operator=(Chunk&&) = delete;
    ~Chunk();

    std::size_t Room() const noexcept { return capacity_ - used_; }
    std::size_t Capacity() const noexcept { return capacity_; }
    sHdrEntry* Next() { return new (items_ + used_++) sHdrEntry(); }

   private:
    sHdrEntry* items_;
    std::size_t used_ = 0;
    std::size_t capacity_;
  };

  // The size goes with the bytes: a block moved from is an empty block, so
  // that no size is left behind to promise bytes it no longer has.
  struct Block {
    std::unique_ptr<uint8_t[]> bytes;
    std::size_t size = 0;

    Block() = default;
    Block(std::unique_ptr<uint8_t[]> b, std::size_t n) noexcept : bytes(std::move(b)), size(n) {}
    Block(Block&& other) noexcept
        : bytes(std::move(other.bytes)), size(std::exchange(other.size, 0)) {}
    Block& operator=(Block&& other) noexcept {
      bytes = std::move(other.bytes);
      size = std::exchange(other.size, 0);
      return *this;
    }
  };

  sHdrEntry* NewSlow(std::size_t chunkBytes);

  std::vector<Chunk> chunks_;
  std::size_t slots_ = 0;  // capacity of all chunks
  std::vector<sHdrEntry*> free_;
  std::vector<Block> blocks_;
  Block spare_;
};
