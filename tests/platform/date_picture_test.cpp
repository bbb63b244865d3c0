#include "platform/date_picture.h"

#include <gtest/gtest.h>

#include "tests/support/system_time_builder.h"

#include <cstring>

#include "platform/locale.h"

namespace zor::platform {
namespace {

class DatePictureTest : public ::testing::Test {
 protected:
  void TearDown() override { ResetUserLocale(); }
};

TEST_F(DatePictureTest, DateElements) {
  SYSTEMTIME st = MakeSystemTime(2024, 3, 5);  // a Tuesday
  st.wDayOfWeek = 6;                 // ignored: the date decides
  EXPECT_EQ(FormatDatePicture(st, 0, "d dd ddd dddd ddddd"), "5 05 Tue Tuesday Tuesday");
  EXPECT_EQ(FormatDatePicture(st, 0, "M MM MMM MMMM MMMMM"), "3 03 Mar March March");
  EXPECT_EQ(FormatDatePicture(st, 0, "y yy yyy yyyy yyyyy"), "24 24 24 2024 2024");
  EXPECT_EQ(FormatDatePicture(MakeSystemTime(2005, 11, 25), 0, "y|yy|dd.MM"), "5|05|25.11");
  EXPECT_EQ(FormatDatePicture(MakeSystemTime(2100, 12, 31), 0, "y|yy|dddd"), "0|00|Friday");
  // Time letters and other characters are text in a date picture.
  EXPECT_EQ(FormatDatePicture(st, 0, "yyyy-MM-dd hh:mm:ss tt"), "2024-03-05 hh:mm:ss tt");
  // The time fields are not looked at, even out of range.
  st.wHour = 99;
  EXPECT_EQ(FormatDatePicture(st, 0, "d/M"), "5/3");
}

TEST_F(DatePictureTest, QuotedText) {
  const SYSTEMTIME st = MakeSystemTime(2024, 3, 5);
  EXPECT_EQ(FormatDatePicture(st, 0, "'day' d 'of' MMMM"), "day 5 of March");
  EXPECT_EQ(FormatDatePicture(st, 0, "'It''s' d"), "It's 5");
  EXPECT_EQ(FormatDatePicture(st, 0, "d''M"), "5'3");
  EXPECT_EQ(FormatDatePicture(st, 0, "''"), "'");
  EXPECT_EQ(FormatDatePicture(st, 0, "d 'open"), "5 open");  // unterminated
  EXPECT_EQ(FormatTimePicture(MakeSystemTime(2024, 3, 5, 9, 7), 0, "H'h'mm"), "9h07");
  EXPECT_EQ(FormatDatePicture(st, 0, ""), "");
}

TEST_F(DatePictureTest, LocaleDatePatterns) {
  const SYSTEMTIME st = MakeSystemTime(2024, 3, 5);
  EXPECT_EQ(FormatDatePicture(st, 0, nullptr), "3/5/2024");
  EXPECT_EQ(FormatDatePicture(st, DATE_SHORTDATE, nullptr), "3/5/2024");
  EXPECT_EQ(FormatDatePicture(st, DATE_LONGDATE, nullptr), "Tuesday, March 5, 2024");
  EXPECT_EQ(FormatDatePicture(st, DATE_YEARMONTH, nullptr), "March 2024");
  // A selector together with a picture, or two selectors, is refused.
  EXPECT_EQ(FormatDatePicture(st, DATE_SHORTDATE, "d"), "");
  EXPECT_EQ(FormatDatePicture(st, DATE_SHORTDATE | DATE_LONGDATE, nullptr), "");
}

TEST_F(DatePictureTest, InvalidDates) {
  EXPECT_EQ(FormatDatePicture(MakeSystemTime(2023, 2, 29), 0, "d"), "");
  EXPECT_EQ(FormatDatePicture(MakeSystemTime(1600, 12, 31), 0, "d"), "");
  EXPECT_EQ(FormatDatePicture(MakeSystemTime(2024, 0, 1), 0, "d"), "");
  EXPECT_EQ(FormatDatePicture(SYSTEMTIME{}, 0, nullptr), "");
  EXPECT_EQ(FormatDatePicture(MakeSystemTime(1601, 1, 1), 0, "dddd"), "Monday");
}

TEST_F(DatePictureTest, TimeElements) {
  const SYSTEMTIME pm = MakeSystemTime(2024, 3, 5, 13, 4, 5);
  EXPECT_EQ(FormatTimePicture(pm, 0, nullptr), "1:04:05 PM");
  EXPECT_EQ(FormatTimePicture(pm, 0, "hh|HH|H|m|s|t|tt|hhh"), "01|13|13|4|5|P|PM|01");
  EXPECT_EQ(FormatTimePicture(MakeSystemTime(0, 0, 0, 0, 0, 0), 0, "h tt|HH"), "12 AM|00");
  EXPECT_EQ(FormatTimePicture(MakeSystemTime(0, 0, 0, 12, 0, 0), 0, "h tt"), "12 PM");
  // Date letters are text in a time picture; the date is not looked at.
  EXPECT_EQ(FormatTimePicture(MakeSystemTime(0, 99, 99, 8, 9, 10), 0, "d M y HH"), "d M y 08");
}

TEST_F(DatePictureTest, TimeFlagsDropElementsWithTheirSeparator) {
  const SYSTEMTIME pm = MakeSystemTime(2024, 3, 5, 13, 4, 5);
  EXPECT_EQ(FormatTimePicture(pm, TIME_NOSECONDS, nullptr), "1:04 PM");
  EXPECT_EQ(FormatTimePicture(pm, TIME_NOMINUTESORSECONDS, nullptr), "1 PM");
  EXPECT_EQ(FormatTimePicture(pm, TIME_NOTIMEMARKER, nullptr), "1:04:05");
  EXPECT_EQ(FormatTimePicture(pm, TIME_FORCE24HOURFORMAT | TIME_NOTIMEMARKER, nullptr),
            "13:04:05");
  EXPECT_EQ(FormatTimePicture(pm, TIME_NOSECONDS, "HH:mm:ss"), "13:04");
  // A dropped leading element takes the text after it.
  EXPECT_EQ(FormatTimePicture(pm, TIME_NOTIMEMARKER, "tt h:mm"), "1:04");
}

TEST_F(DatePictureTest, InvalidTimes) {
  EXPECT_EQ(FormatTimePicture(MakeSystemTime(0, 0, 0, 24, 0, 0), 0, "H"), "");
  EXPECT_EQ(FormatTimePicture(MakeSystemTime(0, 0, 0, 0, 60, 0), 0, "H"), "");
  EXPECT_EQ(FormatTimePicture(MakeSystemTime(0, 0, 0, 0, 0, 60), 0, "H"), "");
  EXPECT_EQ(FormatTimePicture(MakeSystemTime(0, 0, 0, 0, 0, 0, 1000), 0, "H"), "");
}

TEST_F(DatePictureTest, BufferForms) {
  const SYSTEMTIME st = MakeSystemTime(2024, 12, 31, 23, 59, 58);
  EXPECT_EQ(GetDateFormat(0, &st, nullptr, nullptr, 0), 11);  // "12/31/2024" and zero
  char buf[11];
  EXPECT_EQ(GetDateFormat(0, &st, nullptr, buf, sizeof buf), 11);
  EXPECT_STREQ(buf, "12/31/2024");
  char small[10];
  std::memset(small, 'x', sizeof small);
  EXPECT_EQ(GetDateFormat(0, &st, nullptr, small, sizeof small), 0);
  EXPECT_EQ(small[0], '\0');

  char timeBuf[32];
  EXPECT_EQ(GetTimeFormat(0, &st, "HH:mm:ss", timeBuf, sizeof timeBuf), 9);
  EXPECT_STREQ(timeBuf, "23:59:58");
  const SYSTEMTIME bad = MakeSystemTime(2024, 2, 30);
  EXPECT_EQ(GetDateFormat(0, &bad, "d", timeBuf, sizeof timeBuf), 0);
  EXPECT_STREQ(timeBuf, "");
  // A null record means now; the text has the locale's shape.
  EXPECT_GT(GetTimeFormat(0, nullptr, "HH:mm", timeBuf, sizeof timeBuf), 0);
  EXPECT_EQ(std::strlen(timeBuf), 5u);
}

TEST_F(DatePictureTest, FollowsTheUserLocale) {
  EXPECT_EQ(GetUserLocale().languageId, 0x0409);
  LocaleInfo de = DefaultLocale();
  de.shortDate = "dd.MM.yyyy";
  de.timeFormat = "HH:mm:ss";
  de.am = "";
  de.pm = "";
  de.dayNames = {"Sonntag", "Montag", "Dienstag", "Mittwoch", "Donnerstag", "Freitag", "Samstag"};
  de.abbrevMonthNames[2] = "Mrz";
  SetUserLocale(de);
  const SYSTEMTIME st = MakeSystemTime(2024, 3, 5, 7, 8, 9);
  EXPECT_EQ(FormatDatePicture(st, 0, nullptr), "05.03.2024");
  EXPECT_EQ(FormatDatePicture(st, 0, "dddd, d. MMM"), "Dienstag, 5. Mrz");
  EXPECT_EQ(FormatTimePicture(st, 0, nullptr), "07:08:09");
  EXPECT_EQ(FormatTimePicture(st, 0, "h tt"), "7 ");
  ResetUserLocale();
  EXPECT_EQ(FormatDatePicture(st, 0, nullptr), "3/5/2024");
  EXPECT_EQ(GetUserLocale().decimalSeparator, ".");
  EXPECT_EQ(GetUserLocale().grouping, "3;0");
}

}  // namespace
}  // namespace zor::platform
