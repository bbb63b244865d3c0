// Checks over raw record bytes: a time window held in a record, and whether
// two "Datum Ellipsoid" header payloads (RecId 13) describe the same
// ellipsoid.
//
//   const sHdrEntry* a = header.GetEntry(13, 1);
//   const sHdrEntry* b = header.GetEntry(13, 2);
//   if (a && b && IsSameEllipsoidAndName(a->payload, b->payload)) ...
//   bool inside = IsTimeInsideWindow(recordBytes);
//
// The bytes may come from files and other processes: a record shorter than
// the fields a check reads fails the check, and texts are read no further
// than their field.
#pragma once

#include <cstdint>
#include <span>

// The three time records (sTimeRecord) at bytes 16, 32 and 56 are start, end
// and probe: true when the probe lies strictly between start and end. False
// when any of them has day 0 or the record is shorter than 72 bytes.
bool IsTimeInsideWindow(std::span<const uint8_t> record);

// Same semi-major axis in metres (double at 48 times double at 56) and same
// inverse flattening (double at 64), each within a relative 1e-6 of b's value;
// equal values always count as the same. False when either payload is
// shorter than 72 bytes.
bool IsSameEllipsoid(std::span<const uint8_t> a, std::span<const uint8_t> b);
// IsSameEllipsoid, and the same ellipsoid name (text at 23) and datum name
// (text at 4), compared byte for byte with case.
bool IsSameEllipsoidAndName(std::span<const uint8_t> a, std::span<const uint8_t> b);
