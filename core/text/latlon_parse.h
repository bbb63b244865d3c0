// Reading latitudes and longitudes typed by users or written by other
// programs.
//
//   double v = 0;
//   ParseLatLonText("52;30;00 N", v);        // true, v == 52.5
//   ParseLatLonText("4;15 W", v);            // true, v == -4.25
//   ParseLatitudeDm("52 30.5 S", v);         // true, v == -52.508333...
//   double d = ParseDms("52d10m30.5s N");    // 52.175138...
//
//   sDms rec{};
//   ParseLatLonToDms("-4.25", rec, false);   // 4;15;0 W
//
// None of these throws; unreadable text gives false (or 0 from ParseDms).
// The "C" locale's '.' is the decimal point.
#pragma once

#include <string>
#include <string_view>

#include "core/text/latlon_dms.h"

// Reads "D", "D;M" or "D;M;S" (whole degrees and minutes before the last
// part, each part a non-negative number), optionally with a leading '-' and a
// trailing hemisphere letter; 'S' and 'W' flip the sign, so "-10 S" is +10.
// Sets `degrees` to 0 first; false for an empty or unreadable text, a wrong
// number of parts, a negative part or a result that is not finite.
bool ParseLatLonText(std::string_view text, double& degrees);

// ParseLatLonText into a record carried at 59.999996 seconds. On failure the
// record is zeroed with hemisphere 'N' (latitude) or 'E' and false returned.
bool ParseLatLonToDms(std::string_view text, sDms& out, bool latitude);

// Reads up to three numbers (degrees, minutes, seconds) separated by anything
// that is not a digit ("52 10 30.5 N", "52d10m30.5s S", "-52;10"); missing
// parts count 0 and a text without digits gives 0. The sign comes from the
// first '+', '-' or hemisphere ('S'/'W' negative, either case), a hemisphere
// being a word of its own: a letter ("N", "s") or "North", "South", "East",
// "West" (or a capital letter glued to a lower-case unit, "30.5secS");
// letters inside other words ("Latitude") and unit words (d, deg, m, min,
// sec, ...) are passed over. An 's' straight after the seconds is their unit
// when another sign mark follows ("52 10 30.5 s N" is north), when the
// degrees or minutes carry a unit word ("52d 10m 30.5s"), or when the 's' is
// lower case and touches the number ("52 10 30.5s"); otherwise it is south
// ("52;10;30.5S", "52 10 30 S", "52 10 30 s", "52\xB0 10' 30.5 S").
double ParseDms(const std::string& text);
double ParseDmsText(const char* text);  // null gives 0
double ParseDmsTextRadians(const char* text);

// Reads "D M.m" (degrees, a space, decimal minutes) or "D.d", with 'S'
// (latitude) / 'W' (longitude) after the first character or a '-' for
// negative, and ',' accepted as the decimal point. False, with `degrees`
// untouched, when a part has no number, the minutes are 60 or more, or the
// value is out of range (latitude -90..90 after the sign; longitude
// -180..360 before it).
bool ParseLatitudeDm(std::string_view text, double& degrees);
bool ParseLongitudeDm(std::string_view text, double& degrees);
