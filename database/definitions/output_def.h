// One output definition: an output id and three values carried unchanged,
// stored in the class archive.
//
//   COutputDef def;                    // all four 0
//   def.m_id = 7;
//   def.Save(archive);                 // u8 1, then the four u32
//   COutputDef back;
//   back.Load(archive, /*withVersion=*/true);
//
// Archive form (little-endian): element version 1 is the version byte and
// the four u32 fields; version 0 (no version byte) the first three fields,
// value 3 then being 0. A higher version reads nothing behind its byte.
// Reading past the end throws the archive's exception.
#pragma once

#include <cstdint>

namespace zor::platform {
class ClassArchive;
}

inline constexpr uint8_t kOutputDefVersion = 1;

class COutputDef {
 public:
  COutputDef() = default;

  void Reset() noexcept { *this = COutputDef(); }

  // With withVersion the element version byte is read first; else the
  // element is in version 0 form.
  void Load(zor::platform::ClassArchive& archive, bool withVersion);
  void Save(zor::platform::ClassArchive& archive) const;

  bool operator==(const COutputDef&) const = default;

  uint32_t m_id = 0;
  uint32_t m_value1 = 0;
  uint32_t m_value2 = 0;
  uint32_t m_value3 = 0;
};
