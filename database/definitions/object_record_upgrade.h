// Older object records of the object block and their conversion into the
// current 1424-byte record (`sObjDef`).
//
//   uint8_t head[8];                                   // u32 size, u16 version
//   ObjectRecordLayout layout = ObjectLayoutOfHead(head);
//   std::vector<uint8_t> old(ObjectRecordSize(layout));
//   ... read the record ...
//   sObjDef obj;
//   SetObjectDefaults(obj);
//   ConvertObjectRecord(old, layout, obj);
//   FinishLoadedObject(obj);                           // stamps, kind, shared rule
//
// Version 3 records (29432 bytes) and version 2 records (29296 bytes) hold
// the current fields behind a 28004-byte section (a table of 1000 entries of
// 28 bytes and its neighbours) that is dropped. Version 2 stores the shared
// value at 180 as a double and ends after the field at 1284; the fields it
// lacks keep their defaults. A converted record never holds more than its
// 1424 bytes.
#pragma once

#include <cstdint>
#include <span>

#include "database/catalogue/object_record.h"

enum class ObjectRecordLayout { kCurrent, kVersion3, kVersion2 };

inline constexpr uint32_t kObjDefVersion3Size = 29432;
inline constexpr uint32_t kObjDefVersion2Size = 29296;
inline constexpr uint32_t kObjDefHeadSize = 8;

// Version 4 with size 1424: current; version 3 with size 29432: version 3;
// any other head: version 2. Only the low byte of the version is compared.
ObjectRecordLayout ObjectLayoutOfHead(uint32_t size, uint16_t version) noexcept;
// The same from the 8 head bytes.
ObjectRecordLayout ObjectLayoutOfHead(std::span<const uint8_t, kObjDefHeadSize> head) noexcept;
uint32_t ObjectRecordSize(ObjectRecordLayout layout) noexcept;

// Overwrites obj with the fields the record holds: a current record whole,
// an older one as described above (obj keeps its other fields). False,
// changing nothing, when `record` is shorter than its layout.
bool ConvertObjectRecord(std::span<const uint8_t> record, ObjectRecordLayout layout,
                         sObjDef& obj) noexcept;

// Size 1424 and version 4, the kind the id implies when the kind is 0, and
// NormaliseSharedSettings.
void FinishLoadedObject(sObjDef& obj) noexcept;

// The double as a float, as the hardware rounds it: beyond the float range
// it becomes an infinity, a NaN stays a NaN.
float NarrowToFloat(double value) noexcept;
