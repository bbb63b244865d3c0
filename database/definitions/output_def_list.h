// The output definitions of a survey set-up, held by value in order and
// stored in the class archive.
//
//   COutputDefList outputs;
//   outputs.Add(def);
//   outputs.Save(archive);                  // u8 2, u32 count, the elements
//   COutputDefList back;
//   back.Load(archive, /*withVersion=*/true);
//   const COutputDef* d = back.FindById(7);
//
// Archive form: u8 list version 2, u32 count, then each element in element
// version 1 form (output_def.h). A list of version below 2, or read without
// its version byte, holds its elements in version 0 form.
#pragma once

#include <cstdint>
#include <vector>

#include "database/definitions/output_def.h"

inline constexpr uint8_t kOutputDefListVersion = 2;

class COutputDefList {
 public:
  using const_iterator = std::vector<COutputDef>::const_iterator;

  COutputDefList() = default;

  int32_t GetCount() const noexcept { return static_cast<int32_t>(defs_.size()); }
  bool IsEmpty() const noexcept { return defs_.empty(); }
  // The element at a 0-based index, or null outside the list.
  COutputDef* GetAt(int32_t index);
  const COutputDef* GetAt(int32_t index) const;
  void Add(const COutputDef& def) { defs_.push_back(def); }
  const_iterator begin() const noexcept { return defs_.begin(); }
  const_iterator end() const noexcept { return defs_.end(); }

  // Every element destroyed and the storage freed.
  void RemoveAll() noexcept { std::vector<COutputDef>().swap(defs_); }

  // The first element with the output id (any 32-bit id, 0 included), or
  // null.
  COutputDef* FindById(uint32_t id);
  const COutputDef* FindById(uint32_t id) const;

  bool operator==(const COutputDefList&) const = default;

  // The list version byte only with withVersion (else version 0), the count,
  // then the elements, each with its own version byte from list version 2.
  // Replaces the content. The count is not trusted: elements are added as
  // they are read, and the end of the archive throws the archive's exception
  // with the elements read so far kept.
  void Load(zor::platform::ClassArchive& archive, bool withVersion);
  void Save(zor::platform::ClassArchive& archive) const;

 private:
  std::vector<COutputDef> defs_;
};
