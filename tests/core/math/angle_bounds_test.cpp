#include "core/math/angle_bounds.h"

#include <gtest/gtest.h>

namespace {

bool InHalfPiRange(double a) { return a >= HalfPiLowerBound && a <= HalfPiUpperBound; }
bool InPiRange(double a) { return a >= PiLowerBound && a <= PiUpperBound; }

TEST(AngleBounds, WidenByTenNanoradians) {
  EXPECT_EQ(HalfPiUpperBound, 1.5707963367948965);
  EXPECT_EQ(PiUpperBound, 3.141592663589793);
  EXPECT_EQ(HalfPiLowerBound, -HalfPiUpperBound);
  EXPECT_EQ(PiLowerBound, -PiUpperBound);

  const double half_pi = 1.5707963267948966;
  const double pi = 3.141592653589793;
  EXPECT_TRUE(InHalfPiRange(half_pi + 5e-09));
  EXPECT_TRUE(InHalfPiRange(-half_pi - 5e-09));
  EXPECT_FALSE(InHalfPiRange(half_pi + 2e-08));
  EXPECT_FALSE(InHalfPiRange(-half_pi - 2e-08));
  EXPECT_TRUE(InPiRange(pi + 5e-09));
  EXPECT_TRUE(InPiRange(-pi - 5e-09));
  EXPECT_FALSE(InPiRange(pi + 2e-08));
  EXPECT_FALSE(InPiRange(-pi - 2e-08));
}

}  // namespace
