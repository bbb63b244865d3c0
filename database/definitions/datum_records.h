// The geodetic datum records of the project header and the reversal of a
// seven-parameter datum shift.
//
//   int32_t wgs84 = -1;
//   if (header.FindWgs84Datum(wgs84)) ...          // CHdrList, hdr_list.h
//   std::string name = header.GetDatumName(2);     // "Survey Datum" if none
//
//   sHdrEntry* shift = header.FindDatumShift(1, 2);
//   sHdrEntry* old = header.FindOldDatumShift(1, 2);
//   if (shift != nullptr)
//     ReverseDatumShift(shift->payload, old ? std::span(old->payload) : std::span<uint8_t>(),
//                       {}, {});                   // now from datum 2 to datum 1
//
// A datum is a RecId 13 "Datum Ellipsoid" record; datums are related by
// RecId 206 (older 188) "Datum Shift" and RecId 246 (older 247) "Datum
// Epoch" records whose words 0 and 1 are the two datum ids. The look-ups
// themselves are members of CHdrList; this header holds the record layouts
// they share and the reversal, which works on payloads the caller owns.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <type_traits>

inline constexpr int32_t kRecIdDatumEllipsoid = 13;
inline constexpr int32_t kRecIdGnssSystem = 71;
inline constexpr int32_t kRecIdOldDatumShift = 188;
inline constexpr int32_t kRecIdDatumShift = 206;
inline constexpr int32_t kRecIdDatumEpoch = 246;
inline constexpr int32_t kRecIdOldDatumEpoch = 247;

// RecId 13 "Datum Ellipsoid" (72 bytes).
struct sDatumEllipsoidRecord {
  int32_t datumId;
  char datumName[19];      // bytes 4..22
  char ellipsoidName[25];  // bytes 23..47
  double semiMajorAxis;    // in the unit below
  double metresPerUnit;
  double inverseFlattening;
};
static_assert(std::is_standard_layout_v<sDatumEllipsoidRecord>);
static_assert(sizeof(sDatumEllipsoidRecord) == 72);
static_assert(offsetof(sDatumEllipsoidRecord, datumName) == 4);
static_assert(offsetof(sDatumEllipsoidRecord, ellipsoidName) == 23);
static_assert(offsetof(sDatumEllipsoidRecord, semiMajorAxis) == 48);
static_assert(offsetof(sDatumEllipsoidRecord, metresPerUnit) == 56);
static_assert(offsetof(sDatumEllipsoidRecord, inverseFlattening) == 64);

// RecId 206 "Datum Shift" (88 bytes): a seven-parameter shift from one
// datum to the other.
struct sDatumShiftRecord {
  int32_t fromDatum;
  int32_t toDatum;
  int32_t rotationSign;   // 1: rotations are negated before use
  int32_t rotationUnit;   // 1: micro-radians, otherwise arc-seconds
  int32_t word4;
  int32_t word5;
  int32_t method;         // 1, 2: translations; -1: small angles; other: exact
  int32_t word7;
  double translation[3];  // metres
  double rotation[3];     // in the rotation unit
  double scale;           // parts per million
};
static_assert(std::is_standard_layout_v<sDatumShiftRecord>);
static_assert(sizeof(sDatumShiftRecord) == 88);
static_assert(offsetof(sDatumShiftRecord, rotationSign) == 8);
static_assert(offsetof(sDatumShiftRecord, rotationUnit) == 12);
static_assert(offsetof(sDatumShiftRecord, method) == 24);
static_assert(offsetof(sDatumShiftRecord, translation) == 32);
static_assert(offsetof(sDatumShiftRecord, rotation) == 56);
static_assert(offsetof(sDatumShiftRecord, scale) == 80);

// RecId 188 "Datum Shift" (40 bytes), the older translation-only form.
struct sOldDatumShiftRecord {
  int32_t fromDatum;
  int32_t toDatum;
  int32_t mode;           // 0: inverted with the shift; 1: accumulates it
  int32_t word3;
  double translation[3];
};
static_assert(std::is_standard_layout_v<sOldDatumShiftRecord>);
static_assert(sizeof(sOldDatumShiftRecord) == 40);
static_assert(offsetof(sOldDatumShiftRecord, mode) == 8);
static_assert(offsetof(sOldDatumShiftRecord, translation) == 16);

// RecId 247 "Datum Epoch" (40 bytes).
struct sOldDatumEpochRecord {
  int32_t fromDatum;
  int32_t toDatum;
  int32_t kind;           // 2: the epoch applies
  int32_t words[5];
  double epoch;           // decimal year
};
static_assert(std::is_standard_layout_v<sOldDatumEpochRecord>);
static_assert(sizeof(sOldDatumEpochRecord) == 40);
static_assert(offsetof(sOldDatumEpochRecord, kind) == 8);
static_assert(offsetof(sOldDatumEpochRecord, epoch) == 32);

inline constexpr int32_t kDatumEpochApplies = 2;
inline constexpr double kFirstEpochYear = 1900.0;

// Turns the shift records of one datum pair around, so that they lead from
// the to-datum to the from-datum. `shift` and `shift2` are RecId 206
// payloads, `oldShift` a RecId 188 payload, `other` any record whose words 0
// and 1 are the two datum ids; an empty span is an absent record.
//
// With no old shift or one of mode 0 each shift is inverted by its method
// (1, 2: translations and scale negated; -1: the small-angle inverse; any
// other: the exact inverse through the rotation matrix) and the old shift's
// translations become 0.0. With an old shift of mode 1 the old shift
// accumulates the shift's translations and both shifts have translations and
// scale negated. Every shift then has its rotations negated, and all four
// records take the shift's datum ids swapped (0 and 0 without a shift).
// Translations below 1e-6 and rotations and scale below 1e-9 become 0.0.
//
// False, with nothing changed, when a given record is shorter than its
// layout (88, 40, 88 and 8 bytes).
bool ReverseDatumShift(std::span<uint8_t> shift, std::span<uint8_t> oldShift,
                       std::span<uint8_t> shift2, std::span<uint8_t> other);
