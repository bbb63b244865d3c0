#include "core/text/latlon_dms.h"

#include <cmath>
#include <cstdint>
#include <limits>
#include <random>
#include <vector>

#include <gtest/gtest.h>

namespace {

constexpr int32_t kIndefinite = std::numeric_limits<int32_t>::min();

// Angles that sit just below a whole minute or degree, where a float's
// seconds round up to 60, plus a spread over the whole circle.
std::vector<double> SweepValues() {
  std::vector<double> v = {0.0,          52.5,         52.999999999,  0.0166666,
                           0.016666666666, 179.99999999, 89.9999999999, 1.0 / 3600.0,
                           59.0 / 60.0 - 1e-12, 180.0,     90.0,          1e-9};
  for (int minute = 1; minute <= 60; ++minute) {
    for (double eps : {1e-13, 1e-11, 1e-10, 3e-10, 1e-9}) v.push_back(minute / 60.0 - eps);
  }
  std::mt19937_64 rng(121);
  std::uniform_real_distribution<double> any(-180.0, 180.0);
  for (int i = 0; i < 20000; ++i) v.push_back(any(rng));
  const size_t n = v.size();
  for (size_t i = 0; i < n; ++i) v.push_back(-v[i]);
  return v;
}

TEST(LatLonDms, SecondsNeverReachSixtyAndRoundTrip) {
  for (double value : SweepValues()) {
    for (bool latitude : {true, false}) {
      int d = 0, m = 0;
      float s = 0;
      char h = 0;
      DegreesToDms(value, latitude, d, m, s, h);
      ASSERT_GE(d, 0) << value;
      ASSERT_TRUE(m >= 0 && m < 60) << value;
      ASSERT_TRUE(s >= 0.0f && s < 60.0f) << value;
      ASSERT_NEAR(DmsToDegrees(d, m, s, h), value, 1e-8) << value;
    }
  }
}

TEST(LatLonDms, CarriesSecondsThatRoundToSixtyAsFloat) {
  struct Case {
    double value;
    int degrees, minutes;
  };
  // Each lies less than 1e-6 seconds below a whole minute: 60.0f as a float.
  for (const Case& c : {Case{52.9999999999, 53, 0}, Case{179.9999999999, 180, 0},
                        Case{0.016666666666, 0, 1}, Case{-7.0 - 25.0 / 60.0 + 1e-11, 7, 25}}) {
    int d = 0, m = 0;
    float s = 0;
    char h = 0;
    DegreesToDms(c.value, false, d, m, s, h);
    EXPECT_EQ(d, c.degrees) << c.value;
    EXPECT_EQ(m, c.minutes) << c.value;
    EXPECT_EQ(s, 0.0f) << c.value;
  }
}

TEST(LatLonDms, RecordCarriesAtThreshold) {
  sDms rec{};
  const double below = 52.0 + 59.0 / 60.0 + 59.9996 / 3600.0;
  DegreesToDmsRecord(below, true, rec, 59.9995f);
  EXPECT_EQ(rec.degrees, 53);
  EXPECT_EQ(rec.minutes, 0);
  EXPECT_EQ(rec.seconds, 0.0f);
  EXPECT_EQ(rec.hemisphere, 'N');
  DegreesToDmsRecord(-below, false, rec, 60.0f);  // threshold never reached
  EXPECT_EQ(rec.degrees, 52);
  EXPECT_EQ(rec.minutes, 59);
  EXPECT_NEAR(rec.seconds, 59.9996f, 1e-4f);
  EXPECT_EQ(rec.hemisphere, 'W');
}

TEST(LatLonDms, NonFiniteAndHugeValuesGiveIndefiniteFields) {
  const double nan = std::numeric_limits<double>::quiet_NaN();
  const double inf = std::numeric_limits<double>::infinity();
  for (double value : {nan, inf, -inf, 1e300, -3e9}) {
    int d = 0, m = 0;
    float s = 0;
    char h = 0;
    DegreesToDms(value, true, d, m, s, h);
    EXPECT_EQ(d, kIndefinite) << value;
    sDms rec{};
    DegreesToDmsRecord(value, false, rec, 0.0f);  // threshold 0 always carries
    EXPECT_TRUE(rec.hemisphere == 'E' || rec.hemisphere == 'W');
  }
  // The largest whole degree carried by one more wraps as 32-bit hardware did.
  sDms rec{};
  DegreesToDmsRecord(2147483647.0 + 59.0 / 60.0 + 59.0 / 3600.0, true, rec, 58.0f);
  EXPECT_EQ(rec.minutes, 0);
  EXPECT_EQ(rec.degrees, kIndefinite);
}

TEST(LatLonDms, JoinsWithSignFromHemisphereOrSign) {
  for (char h : {'S', 's', 'W', 'w'}) EXPECT_DOUBLE_EQ(DmsToDegrees(52, 30, 36.0f, h), -52.51);
  EXPECT_DOUBLE_EQ(DmsToDegrees(52, 30, 36.0f, 'e'), 52.51);
  EXPECT_DOUBLE_EQ(DmsRecordToRadians(sDms{180, 0, 0.0f, 'W'}), -M_PI);
  EXPECT_DOUBLE_EQ(DmsToRadians(90, 0, 0, '-'), -M_PI / 2);
  EXPECT_DOUBLE_EQ(DmsToRadians(90, 0, 0, 'w'), -M_PI / 2);
  EXPECT_DOUBLE_EQ(DmsToRadians(0, 30, 1800, '+'), M_PI / 180);
}

TEST(LatLonDms, RangeChecksIncludeTheirBounds) {
  const double nan = std::numeric_limits<double>::quiet_NaN();
  for (double limit : {90.0, 180.0}) {
    bool (*check)(double) = limit == 90.0 ? IsValidLatitude : IsValidLongitude;
    EXPECT_TRUE(check(limit) && check(-limit));
    EXPECT_FALSE(check(std::nextafter(limit, 200.0)) || check(std::nextafter(-limit, -200.0)));
    EXPECT_FALSE(check(nan));
  }
  EXPECT_TRUE(IsValidLatitudeDms(sDms{90, 0, 0.0f, 's'}));
  EXPECT_FALSE(IsValidLatitudeDms(sDms{89, 59, 60.5f, 'N'}));
  EXPECT_FALSE(IsValidLatitudeDms(sDms{10, 0, 0.0f, 'E'}));  // wrong letter, whatever the value
  EXPECT_TRUE(IsValidLongitudeDms(sDms{180, 0, 0.0f, 'w'}));
  EXPECT_FALSE(IsValidLongitudeDms(sDms{180, 0, 0.1f, 'E'}));
  EXPECT_FALSE(IsValidLongitudeDms(sDms{10, 0, 0.0f, 'N'}));
}

}  // namespace
