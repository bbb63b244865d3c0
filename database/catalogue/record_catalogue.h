// What the record type (RecId 0..271) of a header record says about it: its
// code and name, whether it belongs to the project's geodetic and unit
// set-up, which payload words are its keys, and the title it is listed under.
//
//   std::string code = RecordTypeText(139, 1);     // "iH0020"
//   std::string name = RecordTypeText(139, 0);     // "UTC to GPS"
//   int32_t system = -1, node = -1;
//   GetRecordKeys(entry.recId, entry.payload, &system, &node, nullptr);
//   std::string title = RecordTitle(entry.recId, entry.payload);
//
// The fixed payload sizes are RecordTypeSize (record_type_size.h); the data
// records that belong to a header record are in database/definitions/data_record_layout.h.
//
// Payloads come from files and other processes. Every reader here is bounded
// by the payload it is given: a word beyond its end counts as absent, and a
// text is read no further than the payload's end.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>

#include "database/catalogue/record_type_size.h"

// RecIds 1..271 are record types; 0 is "undef".
constexpr bool IsKnownRecId(int32_t recId) noexcept { return recId >= 1 && recId <= kLastRecId; }

// The code ("iH0020") when asCode is non-zero, else the name ("UTC to GPS").
// RecId 0 gives "undef" / "Undefined"; a RecId outside 0..271 gives
// "Unsupported (%d)" with the RecId, for code and name alike.
std::string RecordTypeText(int32_t recId, int asCode);

// The code and name of RecIds 0..271 as static texts; empty outside.
std::string_view RecordTypeCode(int32_t recId) noexcept;
std::string_view RecordTypeName(int32_t recId) noexcept;

// The magnetic variation, geodesy (datums, shifts, projections, local grid,
// datum epochs, chart datum), "UTC to GPS" and "Survey Unit" records: RecIds
// 11, 12, 13, 15-23, 139, 153, 188, 206, 228, 236, 237 and 246, 247.
bool IsProjectHeaderRecord(int32_t recId) noexcept;

// Up to three key words of a header payload; each is -1 when the RecId has
// no such key or the payload ends before its word. A null output is skipped.
void GetRecordKeys(int32_t recId, std::span<const uint8_t> payload, int32_t* key1,
                   int32_t* key2, int32_t* key3);

// The title a header record is listed under: the name stored in the payload
// for the record types that carry one, a fixed title for a few, else the
// RecId's code. A stored name is read up to its terminator, its field's
// width where the layout fixes one, or the payload's end. A name whose field
// starts beyond the payload's end (and a numbered title whose number is
// missing) gives the code as well.
std::string RecordTitle(int32_t recId, std::span<const uint8_t> payload);

// The record's first 32-bit word, with -1 read as 0; 0 for a record shorter
// than a word.
int32_t GetFirstWordOrZero(std::span<const uint8_t> record) noexcept;
