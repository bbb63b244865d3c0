// What the observation, node and system lists share: an ordered list of heap
// records, the whole-list copy and comparison, and the settings-buffer table
// form. Use it through CObsDefList, CNodeDefList and CSysDefList.
//
//   CSysDefList systems;
//   systems.ReadFromSettingsBuffer(&settings, 19);   // appends; block 19
//   for (sSysDef* sys : systems) Use(*sys);
//   systems.RemoveAll();                             // frees the records
//
// A list owns the records it creates (AddNew, AddCopy, CopyFrom, the readers)
// and borrows those it is handed by pointer (AddRef, the Collect* fills):
// RemoveAll and RemoveAt free owned records only, so any mix is emptied
// safely. The destructor frees nothing; every owner calls RemoveAll first.
//
// Storage: the list keeps a pointer per record in list order. AddNew,
// AddCopy and AdoptAll records are heap blocks of their own; the bulk fills
// (CopyFrom, ReadFromSettingsBuffer) put their records into slabs of at most
// 64 KiB that the list owns, one allocation for many records, small enough
// that a list emptied and refilled reuses heap memory instead of mapping
// fresh pages. A record never moves while it is in the list. A slab is freed
// when the last of its records leaves the list, so a list that keeps some
// records while others come and go holds no more than its slabs in use.
//
// Settings-buffer table form: records 1..n of one block (1-based block
// number), in list order, with the block's record count n. A list is used by
// one thread; the caller holds the buffer's lock around the two table calls.
#pragma once

#include <cstddef>
#include <cstdint>
#include <iterator>
#include <memory>
#include <vector>

class CIpcItemBuffer;

template <typename Record>
class DefinitionList {
  // Who frees a record.
  enum class Owner : uint8_t { kHeap, kSlab, kBorrowed };
  struct Entry {
    Record* record;
    uint32_t slab;  // index into slabs_ of a kSlab record
    Owner owner;
  };
  struct Slab {
    Record* records;  // null once every record of it left the list
    std::size_t live;
  };

 public:
  using value_type = Record*;
  static constexpr std::size_t kRecordSize = sizeof(Record);

  // Walks the record pointers in list order.
  class const_iterator {
   public:
    using iterator_category = std::random_access_iterator_tag;
    using value_type = Record*;
    using difference_type = std::ptrdiff_t;
    using pointer = Record* const*;
    using reference = Record*;

    const_iterator() = default;
    Record* operator*() const { return it_->record; }
    const_iterator& operator++() { ++it_; return *this; }
    const_iterator operator++(int) { const_iterator old = *this; ++it_; return old; }
    const_iterator& operator--() { --it_; return *this; }
    const_iterator& operator+=(difference_type n) { it_ += n; return *this; }
    const_iterator operator+(difference_type n) const { return const_iterator(it_ + n); }
    difference_type operator-(const const_iterator& o) const { return it_ - o.it_; }
    Record* operator[](difference_type n) const { return it_[n].record; }
    bool operator==(const const_iterator& o) const = default;
    auto operator<=>(const const_iterator& o) const = default;

   private:
    friend class DefinitionList;
    explicit const_iterator(typename std::vector<Entry>::const_iterator it) : it_(it) {}
    typename std::vector<Entry>::const_iterator it_;
  };

  DefinitionList() = default;
  DefinitionList(const DefinitionList&) = delete;
  DefinitionList& operator=(const DefinitionList&) = delete;

  // ---- Elements -----------------------------------------------------------

  int32_t GetCount() const { return static_cast<int32_t>(entries_.size()); }
  bool IsEmpty() const { return entries_.empty(); }
  const_iterator begin() const { return const_iterator(entries_.begin()); }
  const_iterator end() const { return const_iterator(entries_.end()); }

  // The record at a 0-based index, or null outside the list.
  Record* GetAt(int32_t index) const;
  Record* GetHead() const { return GetAt(0); }
  Record* GetTail() const { return GetAt(GetCount() - 1); }
  // Whether the list frees the record at the index.
  bool IsOwned(int32_t index) const;

  // Appends a zeroed record the list owns and returns it.
  Record* AddNew();
  // Appends a copy the list owns and returns it.
  Record* AddCopy(const Record& record);
  // Appends the records, which the list then owns; null ones are skipped and
  // the vector is left empty.
  void AdoptAll(std::vector<std::unique_ptr<Record>>& records);
  // Appends a record the list borrows; null is ignored.
  void AddRef(Record* record);
  // Removes the element at a 0-based index, freeing an owned record.
  void RemoveAt(int32_t index);
  // Removes every element, freeing the owned records.
  void RemoveAll();
  // Removes the first count elements (all when count exceeds the list),
  // freeing the owned records.
  void RemoveHead(int32_t count);
  // Exchanges two elements (0-based); nothing outside the list.
  void SwapAt(int32_t a, int32_t b);

  // ---- Whole-list operations ---------------------------------------------

  // Replaces the content with copies of the source's records; nothing for a
  // null source or the list itself. The copies are taken before anything is
  // freed, so a source borrowing this list's records is copied whole.
  void CopyFrom(const DefinitionList* source) { CopyFrom(source, false); }

  // Count difference when the counts differ; else, for each own record in
  // order, 999 when its id is below 1 or the other list has no record of that
  // id, -1 or 1 at the first differing byte (unsigned) against the other's
  // first record of that id; 0 when all are equal.
  int Compare(const DefinitionList& other) const;

  // Writes the records to records 1..n of the block and sets its record count
  // to n. 0, with nothing written, when the block does not exist, or when the
  // list is not empty and the block's record size is not the list's or it
  // cannot hold n records; 1 otherwise (an empty list sets any block's count
  // to 0).
  // Observations get their transient mark cleared first.
  int WriteToSettingsBuffer(CIpcItemBuffer* buffer, int block);

  // Appends the block's records 1..n (n its record count) without emptying
  // the list first. Stops at the first record the block does not really hold,
  // keeping the records read, and logs one warning. A block of another record
  // size is read record by record all the same, each cut to or zero-filled up
  // to the list's record size, with a warning. Returns 1 (0 for a null
  // buffer).
  int ReadFromSettingsBuffer(const CIpcItemBuffer* buffer, int block);

 protected:
  // Derived classes add no members; deleting through the base is not meant.
  ~DefinitionList() = default;

  // As CopyFrom; append keeps the present records.
  void CopyFrom(const DefinitionList* source, bool append);

  template <typename Pred>
  Record* FindFirst(Pred pred) const {
    for (const Entry& e : entries_)
      if (pred(*e.record)) return e.record;
    return nullptr;
  }
  template <typename Pred>
  int32_t CountIf(Pred pred) const {
    int32_t n = 0;
    for (const Entry& e : entries_)
      if (pred(*e.record)) ++n;
    return n;
  }
  // The n-th (1-based) record that pred accepts, or null.
  template <typename Pred>
  Record* FindNth(int32_t n, Pred pred) const {
    if (n < 1) return nullptr;
    for (const Entry& e : entries_)
      if (pred(*e.record) && --n == 0) return e.record;
    return nullptr;
  }

 private:
  using Slabs = std::vector<std::unique_ptr<Record[]>>;

  void ReserveMore(std::size_t more);
  // n records in slabs that are not yet in the list; fill(first, records, k)
  // fills the k records of a slab, which are records first .. first + k - 1
  // of the n.
  template <typename Fill>
  static Slabs MakeSlabs(std::size_t n, Fill fill);
  // Room for n more records in `count` more slabs, so that Attach and Free
  // cannot fail.
  void ReserveSlabs(std::size_t n, std::size_t count);
  // Appends the n records of MakeSlabs, which the list then owns.
  void Attach(Slabs& slabs, std::size_t n) noexcept;
  // Frees the record of an entry that leaves the list.
  void Free(const Entry& e) noexcept;

  std::vector<Entry> entries_;
  std::vector<Slab> slabs_;
  std::vector<uint32_t> freeSlabs_;  // indices of freed slabs_, reused first
};
