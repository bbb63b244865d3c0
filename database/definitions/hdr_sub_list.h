// A working list of payload copies taken from a header list, one block of
// bytes per element, in list order. Header-record operations copy the records
// of one or two record types, change or inspect the copies and write them
// back with CHdrList::SyncFromSubList.
//
//   CHdrSubList nodes(230, header, 112);     // copies of every RecId 230 payload
//   for (CHdrSubList::Element& e : nodes) { ... }
//   header.SyncFromSubList(nodes, 230, 112);
//
// The list also reads and writes one settings-buffer block as a table of
// fixed-size records (1-based block number, as CIpcItemBuffer counts them):
//
//   CHdrSubList table;
//   table.ReadFromSettingsBuffer(&settings, 12);
//
// Each element keeps its own length, so a copy shorter than a record type's
// layout is never read past its end. Element bytes stay where they are when
// elements are added or removed elsewhere in the list.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

class CHdrList;
class CIpcItemBuffer;

class CHdrSubList {
 public:
  using Element = std::vector<uint8_t>;
  using iterator = std::vector<Element>::iterator;
  using const_iterator = std::vector<Element>::const_iterator;

  CHdrSubList() = default;
  // A copy of another copy list with every element made `size` bytes long:
  // longer elements are cut, shorter ones padded with zeros.
  CHdrSubList(const CHdrSubList& other, uint32_t size);
  // Fill(r, headerList, size).
  CHdrSubList(int32_t r, const CHdrList& headerList, uint32_t size);
  // Fill2(r1, r2, headerList, size).
  CHdrSubList(int32_t r1, int32_t r2, const CHdrList& headerList, uint32_t size);

  CHdrSubList(const CHdrSubList&) = default;
  CHdrSubList& operator=(const CHdrSubList&) = default;
  CHdrSubList(CHdrSubList&&) noexcept = default;
  CHdrSubList& operator=(CHdrSubList&&) noexcept = default;

  // Replaces the elements by a `size`-byte copy of the payload of every entry
  // of RecId r, in list order. A payload shorter than `size` is copied whole
  // and the rest zeroed. An r below 1 matches nothing.
  void Fill(int32_t r, const CHdrList& headerList, uint32_t size);
  // The same for the entries whose RecId is r1 or r2.
  void Fill2(int32_t r1, int32_t r2, const CHdrList& headerList, uint32_t size);

  void RemoveAll() noexcept { items_.clear(); }

  // Writes element i (from 1) as record i of the block and sets the block's
  // record count to the number of elements. Each record is the block's record
  // size: a shorter element is padded with zeros, a longer one cut. False,
  // with nothing written, when the block does not exist or cannot hold every
  // element.
  bool WriteToSettingsBuffer(CIpcItemBuffer* buffer, int32_t item) const;
  // Appends one element of the block's record size per record, for records
  // 1..record count; the list is not emptied first. Stops at the first record
  // that lies outside the block, keeps what was read, logs one warning and
  // returns false.
  bool ReadFromSettingsBuffer(CIpcItemBuffer* buffer, int32_t item);

  // Appends an element of `size` bytes copied from data (zeros when data is
  // null) and returns its first byte (null when size is 0).
  uint8_t* AddTail(const void* data, std::size_t size);
  // Removes the element at a 0-based index; false when there is none.
  bool RemoveAt(std::size_t index);

  std::size_t GetCount() const noexcept { return items_.size(); }
  bool IsEmpty() const noexcept { return items_.empty(); }
  Element& operator[](std::size_t index) { return items_[index]; }
  const Element& operator[](std::size_t index) const { return items_[index]; }

  iterator begin() noexcept { return items_.begin(); }
  iterator end() noexcept { return items_.end(); }
  const_iterator begin() const noexcept { return items_.begin(); }
  const_iterator end() const noexcept { return items_.end(); }

 private:
  std::vector<Element> items_;
};
