#include "core/math/dms_parts.h"

#include <climits>
#include <cmath>
#include <limits>

#include <gtest/gtest.h>

namespace {

TEST(DmsParts, SplitAndJoin) {
  int32_t d = -7, m = -7;
  double s = -7.0;
  char h = '?';
  DegreesToDmsParts(-12.5, true, &d, &m, &s, &h);
  EXPECT_EQ(d, 12);
  EXPECT_EQ(m, 30);
  EXPECT_EQ(s, 0.0);
  EXPECT_EQ(h, 'S');
  EXPECT_EQ(DmsPartsToDegrees(12, 30, 0.0, 'w'), -12.5);
  EXPECT_EQ(DmsPartsToDegrees(12, 30, 0.0, '\0'), 12.5);
  double minutes = 0.0;
  DegreesToDmParts(-52.25, false, &d, &minutes, &h);
  EXPECT_EQ(d, 52);
  EXPECT_EQ(minutes, 15.0);
  EXPECT_EQ(h, 'W');

  for (double value = -180.0; value <= 180.0; value += 0.123456789) {
    DegreesToDmsParts(value, false, &d, &m, &s, &h);
    ASSERT_TRUE(m >= 0 && m < 60 && s >= 0.0 && s < 60.0) << value;
    EXPECT_NEAR(DmsPartsToDegrees(d, m, s, h), value, 1e-12);
  }
}

TEST(DmsParts, UnrepresentableDegreesAreChecked) {
  int32_t d = 0, m = 0;
  double s = 0.0;
  char h = 0;
  DegreesToDmsParts(std::numeric_limits<double>::quiet_NaN(), true, &d, &m, &s, &h);
  EXPECT_EQ(d, INT_MIN);
  EXPECT_EQ(m, INT_MIN);
  EXPECT_TRUE(std::isnan(s));
  EXPECT_EQ(h, 'S');
  DegreesToDmsParts(3e9 + 0.5, false, &d, &m, &s, &h);  // the fraction survives
  EXPECT_EQ(d, INT_MIN);
  EXPECT_EQ(m, 30);
  EXPECT_EQ(s, 0.0);
  DegreesToDmsParts(1.25, false, nullptr, &m, nullptr, nullptr);
  EXPECT_EQ(m, 15);
}

}  // namespace
