#include "core/text/latlon_parse.h"

#include <cmath>
#include <fstream>
#include <sstream>
#include <string>

#include <gtest/gtest.h>

namespace {

constexpr double kDegToRad = 0.017453292519943295;

TEST(LatLonParse, ReadsSemicolonForms) {
  double v = -1;
  EXPECT_TRUE(ParseLatLonText("52;30;00 N", v));
  EXPECT_DOUBLE_EQ(v, 52.5);
  EXPECT_TRUE(ParseLatLonText("4;15 W", v));
  EXPECT_DOUBLE_EQ(v, -4.25);
  EXPECT_TRUE(ParseLatLonText("  -12.125  ", v));
  EXPECT_DOUBLE_EQ(v, -12.125);
  EXPECT_TRUE(ParseLatLonText("+52;30;36.0", v));
  EXPECT_DOUBLE_EQ(v, 52.51);
  EXPECT_TRUE(ParseLatLonText("-52 ; 30 ; 36 s", v));  // '-' and 'S' cancel
  EXPECT_DOUBLE_EQ(v, 52.51);
  EXPECT_TRUE(ParseLatLonText("-10 S", v));
  EXPECT_DOUBLE_EQ(v, 10.0);
}

TEST(LatLonParse, RejectsUnreadableTextWithoutThrowing) {
  for (const char* text : {"", "   ", "N", "-", "10;20;30;40", "-10;-5", "10;-5", "abc",
                           "10;x", "10.5;30", "1;2;3.5.5", "10;;20", "1e999", "NAN", "INF",
                           "99999999999;0", "52 30", "--5"}) {
    double v = 7.0;
    EXPECT_NO_THROW(EXPECT_FALSE(ParseLatLonText(text, v)) << text);
    EXPECT_EQ(v, 0.0) << text;  // cleared before anything is read
  }
}

TEST(LatLonParse, FillsRecordWithItsOwnHemisphere) {
  sDms rec{};
  EXPECT_TRUE(ParseLatLonToDms("-4.25", rec, false));
  EXPECT_EQ(rec.degrees, 4);
  EXPECT_EQ(rec.minutes, 15);
  EXPECT_EQ(rec.seconds, 0.0f);
  EXPECT_EQ(rec.hemisphere, 'W');
  EXPECT_TRUE(IsValidLongitudeDms(rec));

  EXPECT_TRUE(ParseLatLonToDms("52;59;59.9999995", rec, true));
  EXPECT_EQ(rec.degrees, 53);
  EXPECT_EQ(rec.minutes, 0);
  EXPECT_EQ(rec.seconds, 0.0f);
  EXPECT_EQ(rec.hemisphere, 'N');

  rec = sDms{1, 2, 3.0f, 'S'};
  EXPECT_FALSE(ParseLatLonToDms("nonsense", rec, false));
  EXPECT_EQ(rec.degrees, 0);
  EXPECT_EQ(rec.minutes, 0);
  EXPECT_EQ(rec.seconds, 0.0f);
  EXPECT_EQ(rec.hemisphere, 'E');
}

TEST(LatLonParse, DmsTakesSignFromMarkersNotUnits) {
  const double v = 52.0 + 10.0 / 60.0 + 30.5 / 3600.0;
  EXPECT_DOUBLE_EQ(ParseDms("52 10 30.5 N"), v);
  EXPECT_DOUBLE_EQ(ParseDms("52 10 30.5 S"), -v);
  EXPECT_DOUBLE_EQ(ParseDms("52d10m30.5s N"), v);
  EXPECT_DOUBLE_EQ(ParseDms("52d10m30.5s"), v);
  EXPECT_DOUBLE_EQ(ParseDms("52d10m30.5s S"), -v);
  EXPECT_DOUBLE_EQ(ParseDms("52deg 10min 30.5sec S"), -v);
  EXPECT_DOUBLE_EQ(ParseDms("52 Degrees 10 Minutes 30.5 Seconds W"), -v);
  EXPECT_DOUBLE_EQ(ParseDms("S52d10m30.5s"), -v);
  EXPECT_DOUBLE_EQ(ParseDms("52;10;30.50000S"), -v);  // hemisphere right after the seconds
  EXPECT_DOUBLE_EQ(ParseDms("52 10 30.5 South"), -v);
  EXPECT_DOUBLE_EQ(ParseDms("-52;10;30.5"), -v);
  EXPECT_DOUBLE_EQ(ParseDms("+52 10 30.5 S"), v);  // the first marker decides
  EXPECT_DOUBLE_EQ(ParseDms("52 10 30 S"), -(52.0 + 10.0 / 60.0 + 30.0 / 3600.0));
  EXPECT_DOUBLE_EQ(ParseDms("52 10 1e-5 S"), -(52.0 + 10.0 / 60.0 + 1e-5 / 3600.0));
  EXPECT_DOUBLE_EQ(ParseDms("W 4"), -4.0);
  EXPECT_EQ(ParseDms("no digits at all"), 0.0);
  EXPECT_EQ(ParseDms(""), 0.0);
  EXPECT_EQ(ParseDmsText(nullptr), 0.0);
  EXPECT_DOUBLE_EQ(ParseDmsTextRadians("180 0 0 W"), -180.0 * kDegToRad);
}

// A hemisphere letter is a word of its own: the letters of "Latitude" and
// "Longitude" name none, and an 's' after the seconds is their unit once the
// degrees and minutes carry 'd' and 'm' or a hemisphere follows.
TEST(LatLonParse, DmsHemisphereStandsAlone) {
  const double v = 52.0 + 10.0 / 60.0 + 30.0 / 3600.0;
  const double w = 52.0 + 10.0 / 60.0 + 30.5 / 3600.0;
  EXPECT_DOUBLE_EQ(ParseDms("Latitude 52 10 30 S"), -v);
  EXPECT_DOUBLE_EQ(ParseDms("Latitude 52 10 30 N"), v);
  EXPECT_DOUBLE_EQ(ParseDms("Longitude 4 15 W"), -4.25);
  EXPECT_DOUBLE_EQ(ParseDms("Longitude 4 15 E"), 4.25);
  EXPECT_DOUBLE_EQ(ParseDmsText("lat: 52 10 30 s"), -v);
  EXPECT_DOUBLE_EQ(ParseDms("Position west 4 15"), -4.25);
  EXPECT_DOUBLE_EQ(ParseDms("Lat 52 10 30"), v);  // no hemisphere at all
  EXPECT_DOUBLE_EQ(ParseDms("Swell 52 10 30 N"), v);  // "Swell" is no 'S'

  EXPECT_DOUBLE_EQ(ParseDms("52d10'30.5s N"), w);
  EXPECT_DOUBLE_EQ(ParseDms("52d10'30.5s S"), -w);
  EXPECT_DOUBLE_EQ(ParseDms("52 d 10 m 30.5 s N"), w);
  EXPECT_DOUBLE_EQ(ParseDms("52 d 10 m 30.5 s S"), -w);
  EXPECT_DOUBLE_EQ(ParseDms("52deg 10min 30.5 s N"), w);
  EXPECT_DOUBLE_EQ(ParseDms("52deg 10min 30.5 s W"), -w);
  EXPECT_DOUBLE_EQ(ParseDms("52\xB0 10m 30.5s"), w);      // Latin-1 degree sign
  EXPECT_DOUBLE_EQ(ParseDms("52\xB0 10' 30.5s"), -w);     // minutes not marked 'm'
  EXPECT_DOUBLE_EQ(ParseDms("52\xC2\xB0 10' 30.5s S"), -w);  // UTF-8 degree sign
  EXPECT_DOUBLE_EQ(ParseDms("52 10 30.5 s N"), w);   // a hemisphere follows the unit
  EXPECT_DOUBLE_EQ(ParseDms("52 10 30.5 s"), -w);    // nothing else: south
  // A hemisphere behind a further number or sign is another coordinate's.
  for (const char* text : {"52 10 30.5 S, 4 30 15 E", "52 10 30.5 s 4 N", "52 10 30.5 S +4"})
    EXPECT_DOUBLE_EQ(ParseDms(text), -w) << text;
  // Without 'd' and 'm' an 's' touching the seconds is south, as the first
  // hemisphere letter, unless a mark stands before or after it.
  for (const char* text : {"N 52 10 30.5s", "52 10 30.5s N", "+52 10 30.5s"})
    EXPECT_DOUBLE_EQ(ParseDms(text), w) << text;
  for (const char* text : {"52 10 30.5s S", "S 52 10 30.5s", "-52 10 30.5s", "52:10:30.5S",
                           "52 10 30.5s south", "52 10 30.5s w", "52 10 30.5s", "52:10:30.5s",
                           "52;10;30.5s", "52,10,30.5s"})
    EXPECT_DOUBLE_EQ(ParseDms(text), -w) << text;
  // Unit symbols on the degrees and minutes: an 's' after the seconds is
  // south.
  EXPECT_DOUBLE_EQ(ParseDms("52\xB0 10' 30.5 S"), -w);
  EXPECT_DOUBLE_EQ(ParseDms("52\xB0 10' 30.5S"), -w);
  EXPECT_DOUBLE_EQ(ParseDms("52\xB0 10' 30.5\" S"), -w);
  EXPECT_DOUBLE_EQ(ParseDms("52\xE2\x80\xB2 10\xE2\x80\xB2 30.5s"), -w);  // primes
  EXPECT_DOUBLE_EQ(ParseDms("52d 10m 30.5s"), w);
  EXPECT_DOUBLE_EQ(ParseDms("52deg 10min 30.5secS"), -w);  // a capital glued to the unit
  EXPECT_DOUBLE_EQ(ParseDms("52deg 10min 30.5sS"), -w);
  EXPECT_DOUBLE_EQ(ParseDms("52deg 10min 30.5SECS"), w);
  EXPECT_DOUBLE_EQ(ParseDms("4deg 15minW"), -4.25);
  EXPECT_DOUBLE_EQ(ParseDms("52;10;30.500S"), -w);   // the suite's own hemisphere formats
  EXPECT_DOUBLE_EQ(ParseDms("052;10;30.500W"), -w);

  // A long text of words and letters stays linear and finds the letter.
  std::string longText(200000, 'x');
  longText += " 52 10 30 S";
  EXPECT_DOUBLE_EQ(ParseDms(longText), -v);
}

// Every way of marking the three parts (unit letters, symbols, bare
// separators; glued to the numbers or spaced), each with no hemisphere and
// with each hemisphere letter glued or spaced after it. A hemisphere that is
// written is never lost, 'd' and the degree sign (8-bit or UTF-8) count
// alike, and only a lower-case 's' finishing 'd' and 'm' marks is taken for
// the seconds' unit rather than south.
TEST(LatLonParse, DmsUnitMarksNeverHideTheHemisphere) {
  const double w = 52.0 + 10.0 / 60.0 + 30.5 / 3600.0;
  for (const char* text : {"52d10'30.5S", "52\xB0" "10'30.5S", "52\xC2\xB0" "10'30.5S",
                           "52 10m 30.5S", "52deg 10' 30.5S", "52d10m30.5S", "52D10M30.5S",
                           "52d 10' 30.5s", "52 10m 30.5s", "52D 10M 30.5SW", "52d10m30.5sw",
                           "52d10m30.5ss", "52 10 30.5SECW"})
    EXPECT_DOUBLE_EQ(ParseDms(text), -w) << text;
  for (const char* text : {"52d10m30.5s", "52D10M30.5s", "52\xB0 10min 30.5s", "52 d 10 m 30.5 s",
                           "52d10m30.5sn", "52D 10M 30.5SE", "52 10 30.5SN"})
    EXPECT_DOUBLE_EQ(ParseDms(text), w) << text;

  const std::string degreeMarks[] = {"d", "deg", "D", "\xB0", "\xC2\xB0", " ", ";"};
  const std::string minuteMarks[] = {"m", "min", "M", "'", "\xE2\x80\xB2", " ", ":"};
  const std::string secondMarks[] = {"s", "sec", "S", "SEC", "\"", ""};
  const std::string hemispheres[] = {"", "N", "S", "E", "W", " N", " S", " E", " W", " n", " s"};
  for (const char* glue : {"", " "}) {
    for (const std::string& dm : degreeMarks) {
      for (const std::string& mm : minuteMarks) {
        for (const std::string& sm : secondMarks) {
          for (const std::string& h : hemispheres) {
            if (sm == "SEC" && h == "S") continue;  // "SECS" is the unit word
            const std::string text =
                std::string("52") + glue + dm + glue + "10" + glue + mm + glue + "30.5" + glue + sm + h;
            bool south = h.find_first_of("SWsw") != std::string::npos;
            // A lone 's' after the seconds, spaced as the 'm' is or not.
            const bool loneS = sm == "s" && h.empty();
            const bool loneSpacedS = sm.empty() && h == " s";
            if (loneS || loneSpacedS) {
              const bool dUnit = dm != " " && dm != ";";
              const bool mUnit = mm == "m" || mm == "min" || mm == "M";
              south = !(dUnit && mUnit && (loneS || std::string(glue) == " "));
            } else if (h.empty()) {
              south = sm == "S";
            }
            ASSERT_DOUBLE_EQ(ParseDms(text), south ? -w : w) << '"' << text << '"';
          }
        }
      }
    }
  }
}

// The table of examples in the header reads as it says.
TEST(LatLonParse, DmsHeaderTableReadsAsItSays) {
  std::ifstream header(std::string(ZOR_SOURCE_DIR) + "/core/text/latlon_parse.h");
  ASSERT_TRUE(header.is_open());
  int rows = 0;
  for (std::string line; std::getline(header, line);) {
    if (line.rfind("//   \"", 0) != 0) continue;
    // The quoted text, its \xHH escapes undone, then "north" or "south".
    std::string text;
    std::size_t i = 6;
    for (; i < line.size() && line[i] != '"'; ++i) {
      if (line.compare(i, 2, "\\x") == 0) {
        text += static_cast<char>(std::stoi(line.substr(i + 2, 2), nullptr, 16));
        i += 3;
      } else {
        text += line[i];
      }
    }
    std::istringstream rest(line.substr(i + 1));
    std::string reads;
    rest >> reads;
    ASSERT_TRUE(reads == "north" || reads == "south") << line;
    EXPECT_EQ(ParseDms(text) > 0.0, reads == "north") << line;
    ++rows;
  }
  EXPECT_GE(rows, 20);
}

TEST(LatLonParse, DegreesAndMinutesForms) {
  double v = 0;
  EXPECT_TRUE(ParseLatitudeDm("52 30.5 S", v));
  EXPECT_DOUBLE_EQ(v, -(52.0 + 30.5 / 60.0));
  EXPECT_TRUE(ParseLatitudeDm(" 52 30,5 n ", v));
  EXPECT_DOUBLE_EQ(v, 52.0 + 30.5 / 60.0);
  EXPECT_TRUE(ParseLatitudeDm("52.5 N", v));  // the letter's space does not start minutes
  EXPECT_DOUBLE_EQ(v, 52.5);
  EXPECT_TRUE(ParseLatitudeDm("-90", v));
  EXPECT_DOUBLE_EQ(v, -90.0);
  EXPECT_TRUE(ParseLongitudeDm("350", v));
  EXPECT_DOUBLE_EQ(v, 350.0);
  EXPECT_TRUE(ParseLongitudeDm("4 15W", v));
  EXPECT_DOUBLE_EQ(v, -4.25);
  EXPECT_TRUE(ParseLongitudeDm("-179 59.9", v));
  EXPECT_DOUBLE_EQ(v, -(179.0 + 59.9 / 60.0));

  for (const char* text : {"52 60 N", "90 0.1", "91", "", "N", "S", "52 x", "x 30", "INF",
                           "NAN", "52 NAN", "S52 30"}) {
    v = 11.0;
    EXPECT_FALSE(ParseLatitudeDm(text, v)) << text;
    EXPECT_EQ(v, 11.0) << text;  // untouched on failure
  }
  for (const char* text : {"360.01", "W", "E 5", "180 60"}) {
    v = 11.0;
    EXPECT_FALSE(ParseLongitudeDm(text, v)) << text;
    EXPECT_EQ(v, 11.0) << text;
  }
}

}  // namespace
