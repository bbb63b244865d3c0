#include "core/time/calendar.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdint>
#include <limits>

namespace {

namespace chr = std::chrono;

// std::chrono counts days from 1970-01-01, which is MJD 40587.
int64_t ChronoMjd(int y, int m, int d) {
  return chr::sys_days(chr::year(y) / m / d).time_since_epoch().count() + 40587;
}

static_assert(DateToMjd(1970, 1, 1) == kMjdUnixEpoch);
static_assert(DateToMjd(1980, 1, 6) == kMjdGpsEpoch);
static_assert(DateToMjd(1858, 11, 17) == 0);

TEST(Calendar, EveryDayFrom1601To2400AgreesWithChrono) {
  const chr::sys_days first = chr::year(1601) / 1 / 1;
  const chr::sys_days last = chr::year(2400) / 12 / 31;
  for (chr::sys_days sd = first; sd <= last; sd += chr::days(1)) {
    const chr::year_month_day ymd(sd);
    const int y = int(ymd.year());
    const int m = int(unsigned(ymd.month()));
    const int d = int(unsigned(ymd.day()));
    const int32_t mjd = static_cast<int32_t>(sd.time_since_epoch().count() + 40587);
    ASSERT_EQ(DateToMjd(y, m, d), mjd) << y << '-' << m << '-' << d;
    int yy, mm, dd;
    MjdToDate(mjd, yy, mm, dd);
    ASSERT_EQ(yy, y);
    ASSERT_EQ(mm, m);
    ASSERT_EQ(dd, d);
    ASSERT_EQ(MjdDayOfWeek(mjd), int(chr::weekday(sd).c_encoding())) << mjd;
    if (m == 1 && d == 1) {
      ASSERT_EQ(MjdOfDec31BeforeYear(y), mjd - 1);
      ASSERT_EQ(IsLeapYear(y), ymd.year().is_leap()) << y;
      ASSERT_EQ(DaysInYear(y), ymd.year().is_leap() ? 366 : 365);
    }
    if (ymd == chr::year_month_day_last(ymd.year(), chr::month_day_last(ymd.month()))) {
      ASSERT_EQ(DaysInMonthOf(y, m), d);
    }
  }
}

TEST(Calendar, FirstOfEveryMonthOfChronosWholeRange) {
  for (int y = -32767; y <= 32766; ++y) {
    for (int m = 1; m <= 12; ++m) {
      const int64_t mjd = ChronoMjd(y, m, 1);
      ASSERT_EQ(DateToMjd64(y, m, 1), mjd) << y << '-' << m;
      int yy, mm, dd;
      MjdToDate(static_cast<int32_t>(mjd), yy, mm, dd);
      ASSERT_TRUE(yy == y && mm == m && dd == 1) << y << '-' << m;
      const chr::sys_days sd = chr::year(y) / m / 1;
      ASSERT_EQ(MjdDayOfWeek(mjd), int(chr::weekday(sd).c_encoding())) << y << '-' << m;
    }
    ASSERT_EQ(MjdOfDec31BeforeYear(y), ChronoMjd(y, 1, 1) - 1) << y;
  }
}

TEST(Calendar, AnyThirtyTwoBitDayRoundTripsAndStepsOneDate) {
  constexpr int32_t kMin = std::numeric_limits<int32_t>::min();
  constexpr int32_t kMax = std::numeric_limits<int32_t>::max();
  // Both sides of where the 32-bit arithmetic hands over to the 64-bit one.
  const int32_t fixed[] = {kMin, kMin + 1, -678882, -678881, -678576, -1, 0, 1,
                           40587 - 536000001, 40587 - 536000000, 40587 + 536000000,
                           40587 + 536000001, DateToMjd(1000000, 12, 31),
                           DateToMjd(1000001, 1, 1), DateToMjd(-1000000, 1, 1),
                           DateToMjd(-1000001, 12, 31), 1073741823, 1073741824, kMax - 1, kMax};
  auto check = [](int32_t mjd) {
    int y, m, d;
    MjdToDate(mjd, y, m, d);
    ASSERT_TRUE(m >= 1 && m <= 12 && d >= 1 && d <= DaysInMonthOf(y, m)) << mjd;
    ASSERT_EQ(DateToMjd64(y, m, d), mjd);
    ASSERT_EQ(DateToMjd(y, m, d), mjd);
    if (mjd == std::numeric_limits<int32_t>::max()) return;
    int y2, m2, d2;
    MjdToDate(mjd + 1, y2, m2, d2);
    const bool nextDay = y2 == y && m2 == m && d2 == d + 1;
    const bool nextMonth = y2 == y && m2 == m + 1 && d2 == 1 && d == DaysInMonthOf(y, m);
    const bool nextYear = y2 == y + 1 && m2 == 1 && d2 == 1 && m == 12 && d == 31;
    ASSERT_TRUE(nextDay || nextMonth || nextYear) << mjd;
  };
  for (int32_t mjd : fixed) check(mjd);
  uint64_t state = 12345;
  for (int i = 0; i < 200000; ++i) {
    state = state * 6364136223846793005ULL + 1442695040888963407ULL;
    check(static_cast<int32_t>(state >> 32));
  }
}

TEST(Calendar, UncheckedMonthsAndDaysRunThroughTheFormula) {
  EXPECT_EQ(DateToMjd(1999, 13, 1), DateToMjd(2000, 1, 1));
  EXPECT_EQ(DateToMjd(2000, 1, 40), DateToMjd(2000, 2, 9));
  EXPECT_EQ(DateToMjd(2000, 3, 0), DateToMjd(2000, 2, 29));
  // Extreme arguments wrap instead of overflowing.
  const int kBig = std::numeric_limits<int>::max();
  EXPECT_EQ(DateToMjd(kBig, kBig, kBig), static_cast<int32_t>(DateToMjd64(kBig, kBig, kBig)));
  EXPECT_EQ(DaysInMonthOf(2000, 0), 0);
  EXPECT_EQ(DaysInMonthOf(2000, 13), 0);
}

// Day number of the first of a month, by the days-from-civil algorithm in
// 64 bits, for any year a normalised 32-bit month can reach.
int64_t CivilMjd(int64_t y, int64_t m) {
  y -= m <= 2;
  const int64_t era = (y >= 0 ? y : y - 399) / 400;
  const int64_t yoe = y - era * 400;
  const int64_t doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5;
  const int64_t doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + doe - 719468 + 40587;
}

// Every combination of the extreme int values runs through every calendar
// entry point without overflow (the sanitizer build checks that). Months
// -9..14 land where the month count says (month 13 is January of the next
// year, month 0 December of the one before); months further out run through
// the formula's 30.6-day months and only have to step with the day.
TEST(Calendar, ExtremeArgumentsNeverOverflow) {
  constexpr int kMin = std::numeric_limits<int>::min();
  constexpr int kMax = std::numeric_limits<int>::max();
  const int extremes[] = {kMin, kMin + 1, -9, -8, -1, 0, 1, 2, 3, 12, 13, kMax - 1, kMax};
  for (int y : extremes) {
    for (int m : extremes) {
      for (int d : extremes) {
        const int64_t mjd = DateToMjd64(y, m, d);
        ASSERT_EQ(DateToMjd(y, m, d), static_cast<int32_t>(mjd));
        if (d != kMax) {
          ASSERT_EQ(DateToMjd64(y, m, d + 1), mjd + 1) << y << ' ' << m << ' ' << d;
        }
        if (m >= -9 && m <= 14) {
          const int64_t months = int64_t{y} * 12 + (m - 1);
          const int64_t ny = months >= 0 ? months / 12 : (months - 11) / 12;
          ASSERT_EQ(mjd, CivilMjd(ny, months - ny * 12 + 1) + (int64_t{d} - 1))
              << y << ' ' << m << ' ' << d;
        }
      }
      (void)DaysInMonthOf(y, m);
    }
    const int32_t dec31 = MjdOfDec31BeforeYear(y);
    EXPECT_EQ(dec31, static_cast<int32_t>(CivilMjd(y, 1) - 1)) << y;
    EXPECT_EQ(DaysInYear(y), IsLeapYear(y) ? 366 : 365);
    int yy, mm, dd;
    MjdToDate(y, yy, mm, dd);
    EXPECT_EQ(DateToMjd(yy, mm, dd), y);
  }
  for (int64_t mjd : {std::numeric_limits<int64_t>::min(), std::numeric_limits<int64_t>::max(),
                      int64_t{kMin}, int64_t{kMax}, int64_t{-1}}) {
    const int dow = MjdDayOfWeek(mjd);
    EXPECT_TRUE(dow >= 0 && dow <= 6) << mjd;
  }
  EXPECT_EQ(MjdDayOfWeek(int64_t{-4}), 6);  // 1858-11-13 was a Saturday
}

}  // namespace
