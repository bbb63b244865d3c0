// A per-folder change counter in POSIX shared memory that lets a registry
// reader skip the stat of a hive file it has cached: every writer bumps the
// counter of its hive around the rename, so an unchanged, even counter means
// no write has happened since the reader last looked.
//
//   RegistryChangeCounter counter;
//   counter.Open("/home/me/.config/zor-registry");    // false: fall back to stat
//   uint64_t seen = counter.Load(0);                 // before looking at the file
//   ...under the hive's file lock:
//   uint64_t odd = counter.BeginWrite(0);            // before the rename
//   ...rename...
//   counter.EndWrite(0, odd);                        // after it
//
// The block is "/zor-registry.v2.<uid>.<hash of the folder's real path>", mode
// 0600, made once and never removed while the folder is in use. The uid is
// the real user's, as for named events: a set-user-id program, root's or
// another user's, opens and makes the block as the user running it, so it
// shares that user's block (platform/shared_memory_block.h), and a block of
// either of its users is used. It holds that real path, and a block that
// names another folder (two paths that hash alike) is not used. Every
// change of a slot happens under that hive's file lock. An odd value means a
// write is under way, or a writer died between its two bumps: readers then
// look at the file itself until the next writer makes the value even again.
// A block that cannot be opened, is not the caller's, or has the wrong size
// or magic is not used at all (Open gives false). Its pages are reserved
// before it is mapped, so a full /dev/shm also gives false, never a SIGBUS at
// the first touch.
//
// A process of the same user that cuts the block short while it is mapped
// kills every process that maps it with SIGBUS at its next look at the
// counter. Guarding against that would take a system call per read, which
// costs more than the cached read it serves (and about a third of the stat
// the counter saves); the suite's programs never shrink a block, and other
// users' blocks are not used.
#pragma once

#include <atomic>
#include <cstdint>
#include <string>

namespace zor::platform {

class RegistryChangeCounter {
 public:
  static constexpr int kSlots = 2;  // one per hive

  RegistryChangeCounter() = default;
  ~RegistryChangeCounter();
  RegistryChangeCounter(const RegistryChangeCounter&) = delete;
  RegistryChangeCounter& operator=(const RegistryChangeCounter&) = delete;

  // Maps the block of `folder` (which must exist), creating it when missing;
  // drops any earlier mapping first. False when there is none to use.
  bool Open(const std::string& folder);
  void Close() noexcept;
  bool IsOpen() const noexcept { return block_ != nullptr; }

  // The slot's value (0 when not open).
  uint64_t Load(int slot) const noexcept;
  // Marks a write as under way and returns the odd value it set.
  uint64_t BeginWrite(int slot) noexcept;
  // Marks the write begun with `odd` as done.
  void EndWrite(int slot, uint64_t odd) noexcept;

  // The block's name for `folder`; empty when its real path cannot be had.
  static std::string NameFor(const std::string& folder);
  // Removes the block of `folder` (a test's scratch folder); processes that
  // still map it keep their copy and fall back on their periodic stat.
  static void Remove(const std::string& folder);

 private:
  struct Block;
  Block* block_ = nullptr;
};

}  // namespace zor::platform
