// The suite's unit library: the current survey unit (a linear unit with its
// name and metres per unit) and the current angular unit (name and degrees
// per unit), process-wide, with the tables of known units and conversions.
//
//   SetUnitName(GetUnitName(2));                 // "International Foot"
//   SetConvToMeters(GetConvToMeters(2));         // 0.3048
//   double ft = MetersToUnits(1.0);              // 3.280839895013123
//   int unit = GetUnitConstant();                // 2
//
// Linear units (GetUnitName, GetUnitShort, GetConvToMeters):
//
//   1 Metre                        m     1
//   2 International Foot           ft    0.3048
//   3 Kilometre                    km    1000
//   4 International Nautical Mile  NM    1852
//   5 Statute Mile                 mi    1609.344
//   6 Yard                         yd    0.9144
//   7 Fathom                       fm    1.8288
//   8 Inch                         in    0.0254
//   9 Chain                        ch    20.1168
//  10 Link                         lk    0.201168
//  11 Centimetre                   cm    0.01
//  12 Decimetre                    dm    0.1
//  13 Millimetre                   mm    0.001
//  14 US Survey Foot               ftUS  1200/3937
//
// Angular units (GetAngUnitName, GetConvToDegrees):
//
//   1 Degree       1
//   2 Radian       180/pi
//   3 Gon          0.9
//   4 Arc Minute   1/60
//   5 Arc Second   1/3600
//   6 Mil          0.05625 (6400 to the circle)
//
// Unit 1 of each kind is the default current unit. Unknown unit numbers give
// "" and 0.0. A factor that is zero, negative or not finite is refused and
// the current unit stays; a null name is refused likewise. The current units
// may be read from any thread; a name and its factor are set by two calls, so
// a reader between them sees the new name with the old factor.
#pragma once

#include <string>

// The value in the current survey unit / in metres.
double MetersToUnits(double meters);
double UnitsToMeters(double value);

const char* GetUnitName(int unit);
const char* GetUnitShort(int unit);
double GetConvToMeters(int unit);  // metres per unit

const char* GetAngUnitName(int unit);
double GetConvToDegrees(int unit);  // degrees per unit

void SetUnitName(const char* name);
void SetConvToMeters(double metersPerUnit);
void SetAngUnitName(const char* name);
void SetConvToDegrees(double degreesPerUnit);

// The current units as set.
std::string GetCurrentUnitName();
double GetCurrentConvToMeters();
std::string GetCurrentAngUnitName();
double GetCurrentConvToDegrees();

// The number of the linear unit that the current survey unit is: the table
// unit with the current factor (one whose name also matches the current name
// when several share it), or 0 for a unit of the user's own.
int GetUnitConstant();

// The value in the current angular unit / in degrees.
double DegreesToAngUnits(double degrees);
double AngUnitsToDegrees(double value);
