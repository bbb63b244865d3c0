// The history of a project database: one entry per kind of operation done
// on it (action codes 1..19), each with its start and end time, the user and
// a comment.
//
//   CHisList history;                      // 20 empty slots, count 0
//   history.Load(db);                      // 35, 8 (older layout) or 0
//   history.SetEntry(2, 0, nullptr, false);   // start = end = now (UTC)
//   history.SetTexts(2, "surveyor", "copied from master");
//   db.StartAppend();
//   history.Save(db);                      // block 35; the caller raises the count
//
// The list always holds 20 slots: slot i is the entry of action i, and slot
// 0 holds only the number of used slots, in its reserved word. Action codes
// outside 1..19 are never stored.
//
// In the file the history is block 35, the 20 entries of 564 bytes in slot
// order. The older block 8 holds 104-byte entries (action, one time, the
// reserved word, a 76-byte comment); it is read, converted, never written.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <type_traits>

#include "database/blockfile/block_types.h"
#include "platform/system_time.h"

class CBlockFile;

struct sHisEntry {
  uint32_t version;  // 1 once set through SetEntry or SetTexts; 0 otherwise
  int32_t action;    // 1..19; 0 in an unused slot
  uint32_t reserved; // the caller's word; slot 0: the number of used slots
  zor::platform::SYSTEMTIME start;
  zor::platform::SYSTEMTIME end;
  char user[260];    // at most 259 characters
  char comment[260]; // at most 259 characters
};
static_assert(std::is_standard_layout_v<sHisEntry> && std::is_trivially_copyable_v<sHisEntry>);
static_assert(sizeof(sHisEntry) == 564);
static_assert(offsetof(sHisEntry, version) == 0);
static_assert(offsetof(sHisEntry, action) == 4);
static_assert(offsetof(sHisEntry, reserved) == 8);
static_assert(offsetof(sHisEntry, start) == 12);
static_assert(offsetof(sHisEntry, end) == 28);
static_assert(offsetof(sHisEntry, user) == 44);
static_assert(offsetof(sHisEntry, comment) == 304);

// An entry of the older history block 8.
struct sHisEntryOld {
  int32_t action;
  zor::platform::SYSTEMTIME time;
  uint32_t reserved;
  char comment[76];  // NUL-terminated only when shorter
  uint8_t unused[4];
};
static_assert(std::is_standard_layout_v<sHisEntryOld> &&
              std::is_trivially_copyable_v<sHisEntryOld>);
static_assert(sizeof(sHisEntryOld) == 104);
static_assert(offsetof(sHisEntryOld, action) == 0);
static_assert(offsetof(sHisEntryOld, time) == 4);
static_assert(offsetof(sHisEntryOld, reserved) == 20);
static_assert(offsetof(sHisEntryOld, comment) == 24);
static_assert(offsetof(sHisEntryOld, unused) == 100);

inline constexpr int32_t kHisSlots = 20;
inline constexpr int32_t kHisFirstAction = 1;
inline constexpr int32_t kHisLastAction = 19;
// The data size of a current history block.
inline constexpr uint32_t kHisBlockSize = kHisSlots * sizeof(sHisEntry);
// The bytes of one entry in a history block of the type: the current layout
// for kBlockHistory, the older one for kBlockHistoryOld.
constexpr uint32_t HisEntrySize(uint32_t blockType) noexcept {
  return blockType == kBlockHistory ? sizeof(sHisEntry) : sizeof(sHisEntryOld);
}

class CHisList {
 public:
  // 20 zeroed slots.
  CHisList() noexcept { Clear(); }
  // A copy of the source's entries (none for a null source).
  explicit CHisList(const CHisList* source) noexcept { Copy(source); }
  CHisList(const CHisList& other) noexcept { Copy(&other); }
  CHisList& operator=(const CHisList& other) noexcept {
    Copy(&other);
    return *this;
  }

  // Replaces the entries with the source's; nothing for a null source or
  // the list itself.
  void Copy(const CHisList* source) noexcept;
  // Zeroes every slot; the count becomes 0.
  void Clear() noexcept;

  // Marks the action done: version 1, the reserved word, and `time` as end
  // (isEnd) or start time; without a time both become the current UTC time.
  // Nothing for an action outside 1..19.
  void SetEntry(int32_t action, uint32_t reserved, const zor::platform::SYSTEMTIME* time,
                bool isEnd) noexcept;
  // Version 1 and the user (at most 259 characters); the comment too when
  // given. Nothing without a user or for an action outside 1..19.
  void SetTexts(int32_t action, const char* user, const char* comment) noexcept;
  // Zeroes the slot of the action.
  void ClearEntry(int32_t action) noexcept;

  // Appends block 35 at the file's position (header, the 20 slots) and
  // returns 35; the caller raises the file's block count.
  uint32_t Save(CBlockFile& file) const;
  // Rewrites the data of the block 35 of the current size whose header is
  // at `headerOffset`, keeping the header. False, with nothing written,
  // when no such block stands there.
  bool SaveInPlace(CBlockFile& file, uint64_t headerOffset) const;
  // Clear, then reads the first block 35, or else the first block 8, of the
  // file. Returns the type read: 35, 8, or 0 when there is neither. An entry
  // is taken only when it lies inside the block and reads in full; entries
  // with an action outside 1..19 are dropped; a later entry of an action
  // replaces an earlier one.
  uint32_t Load(CBlockFile& file);
  // Clear, then reads the history block whose header is at `headerOffset`,
  // as Load does. Returns its type, 35 or 8, or 0 (nothing read) when the
  // header there is not one of a history block.
  uint32_t LoadFrom(CBlockFile& file, uint64_t headerOffset);

  // Slots 0..19.
  static constexpr int32_t GetSize() noexcept { return kHisSlots; }
  const sHisEntry& operator[](int32_t slot) const noexcept { return m_entries[slot]; }
  const sHisEntry& GetAt(int32_t slot) const noexcept { return m_entries[slot]; }
  // The number of used slots (slot 0's reserved word).
  uint32_t GetUsedCount() const noexcept { return m_entries[0].reserved; }

 private:
  // Takes one entry of a block of the type (35 or 8) as it stands in the
  // file: converted from the older layout, dropped without an action.
  void TakeEntry(uint32_t type, const uint8_t* bytes) noexcept;
  // Stores `entry` in the slot of its action.
  void Put(const sHisEntry& entry) noexcept;
  // Sets slot 0's count from the slots in use.
  void Recount() noexcept;
  static bool IsAction(int32_t action) noexcept {
    return action >= kHisFirstAction && action <= kHisLastAction;
  }

  std::array<sHisEntry, kHisSlots> m_entries{};
};
