// The fifteen latitude / longitude text formats: their display names, input
// masks and printf formats, and printing angles with them.
//
//   std::string text;
//   FormatLatLon(text, 0, 52.5, true, false);      // "52;30;00.000 N"
//   FormatLatLon(text, 8, -52.5, true, false);     // "-52;30;00.000"
//   std::string s = FormatDms(10.999999, 2, true);  // "11;00;00.00N"
//   GetLatLonFormatName(2, false, true);            // "+ddd.ddddddddd"
//
//   FillLatLonFormatList(&combo, 1);   // the user's choice of format codes
//
// A format code is 0..14; any other code gives empty texts everywhere. Each
// code has a latitude and a longitude variant, and most a high-precision
// variant with more decimals. The hemisphere formats print the letter, the
// signed ones (8, 9, 11) a leading '+' or '-', codes 2 and 7 signed decimal
// degrees and code 14 signed radians. Seconds or minutes that would print as
// 60 are carried into the next minute or degree, so a text never shows 60.
#pragma once

#include <string>

#include "core/text/latlon_dms.h"
#include "platform/ui_controls.h"

inline constexpr int kLatLonFormatCount = 15;

// The display name ("dd;mm;ss.sss H"), input mask ("##;##;##.### N") and
// printf format of a code; empty for a code outside 0..14.
std::string GetLatLonFormatName(int code, bool latitude, bool highPrecision);
std::string GetLatLonFormatMask(int code, bool latitude, bool highPrecision);
std::string GetLatLonPrintfFormat(int code, bool latitude, bool highPrecision);

// Empties the control and adds the longitude display names of codes 0, 1, 2
// (level 0 or below) or 5, 0, 6, 1, 7, 2 (level 1 or more), each carrying its
// code as item data; high-precision names from level 2. Null does nothing.
void FillLatLonFormatList(zor::platform::IComboBox* combo, int level);

// Prints a record with the code's format. The hemisphere formats print the
// record's letter; the signed ones turn every '+' into '-' for 'S'/'W'.
void FormatLatLonDms(std::string& out, int code, const sDms& dms, bool latitude,
                     bool highPrecision);
// FormatLatLonDms, taking latitude from the record's letter ('N'/'S', either
// case).
void FormatDmsRecord(std::string& out, int code, const sDms& dms, bool highPrecision);
// Prints signed decimal degrees with the code's format. The angle is split in
// double precision and carried where the printed field would show 60, so
// every text is the angle correctly rounded to its last digit. Texts made
// through a float record, as files written by earlier versions hold, can
// differ from these in the last digit (most often in the longer formats) and
// carry a little early, printing the next minute where this prints 59.999.
void FormatLatLon(std::string& out, int code, double degrees, bool latitude,
                  bool highPrecision);

// "%2d;%02d;%0*.*lf%c": degrees, minutes, seconds with `decimals` decimals
// (clamped to 0..32) and 'N'/'S' or 'E'/'W'. Seconds that would print as 60
// are carried.
std::string FormatDms(double degrees, int decimals, bool latitude);
