#include "core/text/duration_text.h"

#include <string>

#include <gtest/gtest.h>

#include "tests/platform/scoped_tz.h"
#include "tests/support/system_time_builder.h"

namespace {

using zor::platform::SYSTEMTIME;

std::string Span(const SYSTEMTIME& from, const SYSTEMTIME& to, int style) {
  std::string out = "previous";
  FormatTimeSpan(out, from, to, style);
  return out;
}

TEST(DurationText, EveryStyleOfOneHourTwoMinutesThreeSeconds) {
  ScopedTz tz("UTC0");
  const SYSTEMTIME from = MakeSystemTime(2019, 3, 6, 10, 0, 0);
  const SYSTEMTIME to = MakeSystemTime(2019, 3, 6, 11, 2, 3);
  EXPECT_EQ(Span(from, to, kTimeSpanMarks), "01h02'03\"");
  EXPECT_EQ(Span(from, to, kTimeSpanMarksShort), "1h 2' 3\"");
  EXPECT_EQ(Span(from, to, kTimeSpanLetters), "1h 2m 3s");
  EXPECT_EQ(Span(from, to, kTimeSpanWords), "1hr 2min 3sec");
  EXPECT_EQ(Span(from, to, kTimeSpanClock), "01:02:03");
  EXPECT_EQ(Span(from, to, 99), "01:02:03");
}

TEST(DurationText, DaysZerosAndSign) {
  ScopedTz tz("UTC0");
  const SYSTEMTIME a = MakeSystemTime(2019, 3, 6, 10, 0, 0);
  EXPECT_EQ(Span(a, a, kTimeSpanClock), "00:00:00");
  EXPECT_EQ(Span(a, a, kTimeSpanMarks), "00h00'00\"");
  EXPECT_EQ(Span(a, a, kTimeSpanMarksShort), "0h 0' 0\"");
  EXPECT_EQ(Span(a, a, kTimeSpanLetters), "0h 0m 0s");
  EXPECT_EQ(Span(a, a, kTimeSpanWords), "0min 0sec");  // no hours at all
  const SYSTEMTIME earlier = MakeSystemTime(2019, 3, 6, 9, 58, 30);
  EXPECT_EQ(Span(a, earlier, kTimeSpanClock), "-00:01:30");
  const SYSTEMTIME later = MakeSystemTime(2019, 3, 8, 10, 0, 5);
  EXPECT_EQ(Span(a, later, kTimeSpanClock), "2 d 00:00:05");
  EXPECT_EQ(Span(a, later, kTimeSpanMarks), "2 d 00h00'05\"");
  EXPECT_EQ(Span(a, later, kTimeSpanLetters), "2d 0h 0m 5s");
  EXPECT_EQ(Span(later, a, kTimeSpanWords), "-2 day 0min 5sec");
  // The longest span the conversion allows still counts exactly.
  EXPECT_EQ(Span(MakeSystemTime(1970, 1, 1), MakeSystemTime(3000, 12, 31, 23, 59, 59),
                 kTimeSpanLetters),
            "376564d 23h 59m 59s");
}

TEST(DurationText, YearsBefore1900CountAsTheEpoch) {
  ScopedTz tz("UTC0");
  const SYSTEMTIME none{};
  EXPECT_EQ(Span(none, MakeSystemTime(1970, 1, 1, 0, 1, 0), kTimeSpanClock), "00:01:00");
  // Fields of such a year are not looked at.
  EXPECT_EQ(Span(MakeSystemTime(1899, 13, 40, 99), MakeSystemTime(1970, 1, 1), kTimeSpanClock),
            "00:00:00");
}

TEST(DurationText, LocalTimesAcrossAClockChangeCountRealSeconds) {
  ScopedTz tz(kCentralEurope);
  // 31 March 2019: 02:00 local time became 03:00.
  EXPECT_EQ(Span(MakeSystemTime(2019, 3, 31, 1, 0, 0), MakeSystemTime(2019, 3, 31, 4, 0, 0),
                 kTimeSpanClock),
            "02:00:00");
}

TEST(DurationText, RejectedTimesThrowWithTheFailureCode) {
  ScopedTz tz("UTC0");
  const SYSTEMTIME ok = MakeSystemTime(2019, 3, 6);
  std::string out = "previous";
  for (const SYSTEMTIME& bad :
       {MakeSystemTime(2019, 13, 6), MakeSystemTime(2019, 3, 0), MakeSystemTime(2019, 3, 6, 24),
        MakeSystemTime(2019, 3, 6, 0, 60), MakeSystemTime(2019, 3, 6, 0, 0, 60),
        MakeSystemTime(1950, 1, 1), MakeSystemTime(3001, 1, 1)}) {
    try {
      FormatTimeSpan(out, ok, bad, kTimeSpanClock);
      ADD_FAILURE() << bad.wYear << "-" << bad.wMonth << "-" << bad.wDay << " accepted";
    } catch (const TimeSpanError& e) {
      EXPECT_EQ(e.ErrorCode(), 0x80004005u);
    }
    EXPECT_THROW(FormatTimeSpan(out, bad, ok, kTimeSpanClock), std::invalid_argument);
  }
  EXPECT_EQ(out, "previous");
}

}  // namespace
