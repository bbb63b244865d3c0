// The time tag of a data record: where a data record type (RecId) keeps the
// time it was taken, as a 16-byte sTimeRecord, and for some types also as a
// SYSTEMTIME that older readers take.
//
//   CZORTime t = GetRecordTimeTag(dataRecId, record);   // not set: no tag
//   if (t.IsValid()) ...
//   SetRecordTimeTag(dataRecId, record, CZORTime(2024, 3, 1, 12, 0, 0.0));
//   ClearRecordTimeTags(98, record);   // zeroes the second time field
//
// Records come from files and other processes: a record too short for a
// field gives a time that is not set, and nothing is written into a record
// that cannot hold every field a write touches.
#pragma once

#include <cstdint>
#include <span>

#include "core/time/zor_time.h"

// Byte position of the record type's time tag, or -1 without one.
int32_t GetRecordTimeTagOffset(int32_t dataRecId) noexcept;

// The time value of the tag; not set for a RecId without a tag or a record
// too short for it. RecId 242 whose word 1 is 0 keeps its tag as a
// SYSTEMTIME; every other tag is a plain time record.
CZORTime GetRecordTimeTag(int32_t dataRecId, std::span<const uint8_t> record);

// Writes the time's plain record at the tag (RecIds 83..263; 242 always in
// the plain form) and, for RecIds 148, 211, 222-224, 227, 235, 259, 261 and
// 263, the same time as a SYSTEMTIME at its second position. False, with
// nothing written, for a RecId without a tag or a record too short for
// either field.
bool SetRecordTimeTag(int32_t dataRecId, std::span<uint8_t> record, const CZORTime& time);

// Zeroes the second 16-byte time field of RecIds 98 (at 88), 148 (120),
// 165 (144), 227 (136), 259 (48) and 261 (112). False for other RecIds and
// for a record too short for the field, which is then left alone.
bool ClearRecordTimeTags(int32_t dataRecId, std::span<uint8_t> record) noexcept;
