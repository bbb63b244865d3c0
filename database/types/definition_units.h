// Units of observation and node definitions: the defaults an observation
// takes from its type and quantity, and the conversion of a definition's
// values when its unit changes.
//
//   SetObsDefaults(&obs, true);                 // precision, scale, word 96
//   double f = GetObsUnitFactor(&obs, true, true);
//   sObsDef feet;
//   ConvertObsDefUnits(&feet, &obs, 1);         // calibration now in feet
//   double xyz[3];
//   GetNodeOffset(xyz, &node);                  // offsets in survey units (25)
//
// An observation's setting word 88 is the quantity code (geodesy/
// quantity_units.h) of its observed value. A node's display byte 74 is the
// quantity code of its offsets and byte 75 the position mode passed to the
// position conversion (0: geographic).
#pragma once

#include <cstdint>
#include <span>

struct sObsDef;
struct sNodeDef;

// Fills what the definition leaves unset: with fillPrecision, a precision
// (f32 at 160) that is not above 0 becomes the type's default in the
// observation's quantity; a scale of exactly 0.0 becomes the quantity's
// factor (times the ratio numerator for a range, type 1, in seconds or
// milliseconds); a word 96 of 0 takes the from-node id. False for null.
bool SetObsDefaults(sObsDef* obs, bool fillPrecision);

// The factor that brings a value in the observation's quantity into the
// current units: the quantity's factor (times the ratio numerator for a range
// in seconds or milliseconds); with toSurveyUnits, lengths (quantities 0, 1,
// 19-25, 31) also times UnitsToMeters(1.0); with toRadians, angles (3-7) also
// times pi / 180. 1.0 for null.
double GetObsUnitFactor(const sObsDef* obs, bool toSurveyUnits, bool toRadians);

// Copies `in` to `out`, then, unless the type is 89 or 110 or the quantity is
// already newUnit, moves the definition to newUnit: with f the factor from
// the old quantity to the new, the calibration constants and the scale are
// multiplied by f, the quadratic coefficient by f squared and the precision
// by f. `out` may be `in`. False (nothing written) when either is null.
bool ConvertObsDefUnits(sObsDef* out, const sObsDef* in, int newUnit);

// Gives a node whose display flag is 0 the display defaults 1, 25, 2. False
// for null.
bool InitNodeDefUnits(sNodeDef* node);

// Copies `in` to `out`, then, when byte 74 differs from newUnit (as a byte),
// moves the node to newUnit: with f the factor from the old quantity to the
// new, offset Z and the three f32 values of the reserved area (bytes 112,
// 116, 120) are multiplied by f, offsets X and Y too unless the position mode
// (byte 75) is 0. `out` may be `in`. False (nothing written) when either is
// null.
bool ConvertNodeDefUnits(sNodeDef* out, const sNodeDef* in, int newUnit);

// The node's offsets X, Y, Z in survey units (quantity 25). A null node gives
// zeros and false.
bool GetNodeOffset(double out[3], const sNodeDef* node);
// The node's offsets in the quantity `unit`, converted with the node's
// position mode and the caller's angle kind `mode`. A null node gives zeros
// and false.
bool GetNodeOffsetInUnits(double out[3], const sNodeDef* node, int unit, int mode);

// Offsets X, Y and Z all equal to 0.0 (a NaN counts as set). A null node is
// neither zero nor set: both give false.
bool IsNodeOffsetZero(const sNodeDef* node);
bool IsNodeOffsetSet(const sNodeDef* node);

// The same over the three f32 values at bytes 32, 36 and 40 of a record. A
// record shorter than 44 bytes is neither zero nor set.
bool IsOffsetZeroF(std::span<const uint8_t> record);
bool IsOffsetSetF(std::span<const uint8_t> record);
