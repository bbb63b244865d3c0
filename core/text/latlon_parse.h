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
// parts count 0 and a text without digits gives 0.
//
// The sign comes from the first '+', '-' or hemisphere in the text ('S' and
// 'W' negative, either case; none: positive). A hemisphere is a word of its
// own: a letter ("N", "s") or "North", "South", "East", "West", or a capital
// letter glued to a lower-case unit ("30.5secS", "15minW"). Letters inside
// other words ("Latitude", "Swell") and unit words (d, deg, degrees, m, min,
// minutes, sec, seconds, ...) name no hemisphere. The degree sign (0xB0 in the
// 8-bit code page, or UTF-8) and 'd' count alike.
// The one letter that may be either is an 's' after the seconds. It is their
// unit only where it cannot be the hemisphere: a hemisphere letter follows
// it before any further number or sign (which would begin another
// coordinate), or it is a lower-case 's' after degrees and minutes marked
// with 'd' (or the degree sign) and 'm', glued to the seconds as the 'm' is
// glued to the minutes, or spaced as the 'm' is spaced. Anywhere else it is
// south. The text is read up to its first NUL, as ParseDmsText reads it.
//
//   text                      reads   why
//   "52 10 30.5 N"            north   the hemisphere letter
//   "52d10m30.5s"             north   lower-case 's' after 'd' and 'm': a unit
//   "52 d 10 m 30.5 s"        north   spaced as the 'm' is
//   "52\xB0 10m 30.5s"        north   the degree sign counts as 'd'
//   "52\xC2\xB0 10m 30.5s"    north   in UTF-8 too
//   "52d10m30.5s S"           south   the 's' is a unit, 'S' the hemisphere
//   "52 10 30.5 s N"          north   a hemisphere follows the 's': a unit
//   "52deg 10min 30.5secS"    south   "sec" is a unit, 'S' glued to it is south
//   "004d30m15.2sW"           south   's' glued to 'W': a unit and west
//   "52 10 30 S"              south
//   "52;10;30.500S"           south   the suite's own hemisphere formats
//   "52d10'30.5S"             south   minutes not marked 'm' ("'" is no 'm')
//   "52\xB0 10' 30.5S"        south   as with 'd'
//   "52 10m 30.5S"            south   degrees not marked 'd'
//   "52deg 10' 30.5S"         south   the 'e' of "deg" names no hemisphere
//   "52d10m30.5S"             south   a capital 'S' is a unit only before a hemisphere
//   "52D 10M 30.5S"           south   as in capitals
//   "52 10 30.5s"             south   no 'd' and 'm' around it
//   "52d10m30.5 s"            south   spaced where the 'm' is glued
//   "52d 10.5m s"             south   no seconds for it to be the unit of
//   "52 10 30.5 S, 4 30 15 E" south   the 'E' is another coordinate's
//   "Latitude 52 10 30 S"     south   "Latitude" names no hemisphere
//   "+52 10 30.5 S"           north   the first mark decides
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
