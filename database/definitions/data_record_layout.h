// The data records the suite's logging writes for a header record: which
// data record type (RecId) goes with a header record, how large a data
// record is, and the text that names the variant a key selects.
//
//   int32_t dataRecId = GetEntryDataRecId(entry);          // 0: none
//   uint32_t head = 0;
//   bool variable = false;
//   GetDataRecordLayout(dataRecId, head, variable);
//   uint32_t size = GetDataRecordSize(dataRecId, recordBytes);  // head + tail
//   std::string v = GetDataRecordVariantText(258, 0, 1);   // "0 (E62nn)"
//
// Data records arrive from files and other processes: the counts that give
// a variable record's tail are read only where the record holds them, and a
// size that cannot be told is 0.
#pragma once

#include <cstdint>
#include <span>
#include <string>

struct sHdrEntry;

// The data RecId that goes with a header RecId; the key decides between the
// variants of RecIds 65, 219-221, 226, 238, 254, 258 and 260. 0 when none.
int32_t GetDataRecId(int32_t headerRecId, int32_t key) noexcept;

// GetDataRecId with the key taken from payload word 0 for RecIds 65, 68,
// 219-221, 226, 238, 240, 243, 254, 257, 258, 260, 262 and 265, and 0 for
// the others (and for a payload shorter than a word).
int32_t GetEntryDataRecId(const sHdrEntry& entry) noexcept;

// The size of the fixed head of a data record, and whether a tail of
// variable length follows it. 0 and false for a RecId without a layout.
void GetDataRecordLayout(int32_t dataRecId, uint32_t& headSize, bool& variable) noexcept;
uint32_t GetDataRecordHeadSize(int32_t dataRecId) noexcept;

// The head size, plus for a variable record the tail its counts give. An
// empty `record` gives the head size alone. 0 when the record is too short to
// hold its counts, or they give a negative tail or more than 4 GiB in all.
uint32_t GetDataRecordSize(int32_t dataRecId, std::span<const uint8_t> record) noexcept;

// The name of the variant the key selects for header RecIds 65..265: the
// text alone (mode 0), "%d (%s)" with key and text (mode 1) or "%s (%d)"
// (mode -1). Any other RecId gives the key alone, whatever the mode.
std::string GetDataRecordVariantText(int32_t headerRecId, int32_t key, int32_t mode);
