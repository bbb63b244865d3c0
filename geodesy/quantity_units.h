// Quantity codes: what a value measures, and the factors that bring a value
// of one quantity into the suite's current units (platform/unit_library.h).
//
//   double f = GetQuantityFactor(1);                  // one foot in current units
//   double m = ConvertQuantity(10.0, 1, 0);           // 10 ft in metres: 3.048
//   double xyz[3] = {1.0, 2.0, 3.0};
//   ConvertTripleUnits(xyz, 0, 1, 3);                 // metres to feet, 3 decimals
//
// GetQuantityFactor(code) is one unit of the quantity expressed in the
// current unit of its kind:
//   length  GetConvToMeters(own unit) / current metres per unit
//   speed   (metres per second of one own unit) / current metres per unit,
//           i.e. current units per second
//   angle   GetConvToDegrees(own unit) / current degrees per unit (rates:
//           current angular units per second)
//   other   a fixed factor to the quantity's base (seconds, bar, ratio ...)
//
//  code  what it measures                  kind    unit (GetQuantityUnit)  factor
//        (what the observation types of database/types use it for)
//   0    metres                            length  1 Metre                 library
//        (ranges, pseudo-ranges, heights, depths, offsets, eastings, northings)
//   1    international feet                length  2 International Foot    library
//   2    count, ratio (no unit)            -       14                      1.0
//   3    degrees                           angle   1 Degree                library
//        (angles, directions, bearings, latitude, longitude, pitch, roll,
//        course, rotations)
//   4    radians                           angle   2 Radian                library
//   5    arc minutes                       angle   4 Arc Minute            library
//   6    arc seconds                       angle   5 Arc Second            library
//   7    mils                              angle   6 Mil                   library
//   8    seconds                           time    14                      1.0
//        (hyperbolic time differences, clock-biased pseudo-ranges, fix numbers,
//        cycle and heartbeat times)
//   9    milliseconds                      time    14                      0.001
//  10    cycles                            -       14                      1.0
//        (hyperbolic phase differences, GPS carrier phases)
//  11    hertz                             -       14                      1.0
//        (GPS Doppler frequencies)
//  12    degrees per second                angle   14                      library
//        (revolutions)
//  13    density                           speed   14                      library
//        (density; its factor is that of metres per second)
//  14    weight                            -       14                      1.0
//        (weights)
//  15    volume                            speed   14                      library (1852/3600)
//        (volumes; its factor is that of knots)
//  16    decibels                          -       14                      1.0
//  17    degrees per minute                angle   14                      library (1/60 deg/s)
//  18    rates of turn, degrees per second angle   1 Degree                library
//        (rate-of-turn and rate-of-turn X, Y, Z)
//  19    survey units                      length  GetUnitConstant()       1.0
//  20    speeds, metres per second         length  1 Metre                 library
//        (speed, position speed, vertical speed, sound and mixture velocity,
//        velocity X, Y, Z, easting and northing speed, ADCP speed)
//  21    international feet (coordinates)  length  2 International Foot    library
//  22    US survey feet                    length  14 US Survey Foot       library
//  23    centimetres                       length  11 Centimetre           library
//  24    millimetres                       length  13 Millimetre           library
//  25    survey units (offsets)            length  GetUnitConstant()       1.0
//        (node offsets; precisions of GNSS positions and variable nodes)
//  26    plain values                      -       14                      1.0
//        (generic observations, magnetic field)
//  27    bar                               pressure 14                     1.0
//        (pressure)
//  28    standard atmospheres              pressure 14                     1.01325
//  29    pounds per square inch            pressure 14                     0.06894757
//  30    pascals                           pressure 14                     1e-5
//  31    accelerations, metres per second squared
//                                          length  1 Metre                 library
//        (acceleration X, Y, Z)
//  32    kilometres per hour               speed   14                      library (1000/3600 m/s)
//  33    percent                           -       14                      0.01
//  34    parts per million                 -       14                      1e-6
//  35    parts per billion                 -       14                      1e-9
//
// Codes that no observation type uses carry the reading given here; their
// factors follow it. The kind of a code tells which current unit scales it:
// a speed or an acceleration counted in metres scales as a length.
//
// A unit number belongs to the table of the quantity's kind (linear units
// for lengths, angular units for angles); for the other kinds 14 only means
// "no unit of the library". GetQuantityKind tells which table to name it by.
#pragma once

#include <cstdint>

enum class QuantityKind { kNone, kLength, kSpeed, kAngle, kTime, kPressure, kOther };

// kNone for codes above 35.
QuantityKind GetQuantityKind(uint32_t code);

// 0.0 for codes above 35 (and -1 passed as unsigned).
double GetQuantityFactor(uint32_t code);

// value * factor(from) / factor(to); equal codes return the value unchanged,
// and a factor of 0.0 skips its step.
double ConvertQuantity(double value, uint32_t from, uint32_t to);

// Converts values[0..2] by factor(from) / factor(to) when both factors are
// above 0.0 and the ratio is neither 0.0 nor 1.0; then, when decimals >= 0,
// rounds each value with RoundToDecimals (-1: no rounding). Null: nothing.
void ConvertTripleUnits(double* values, uint32_t from, uint32_t to, int decimals);

// Position mode 0 (geographic): values[0] and values[1] are multiplied by
// pi/180 when angleKind is 5; values[2] alone is converted (and rounded) as
// by ConvertTripleUnits when the codes differ. Any other mode: all three by
// ConvertTripleUnits when the codes differ. Null: nothing.
void ConvertPositionUnits(double* values, int positionMode, uint32_t from, uint32_t to,
                          int angleKind, int decimals);

// The library's unit number of the quantity (table above).
int GetQuantityUnit(uint32_t code);
