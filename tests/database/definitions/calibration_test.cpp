#include "database/definitions/calibration.h"

#include <gtest/gtest.h>

#include <cmath>

#include "database/catalogue/definition_records.h"

namespace {

TEST(CalibrationTest, ScaleAndQuadraticSwitchTheFormula) {
  // No scale: the quadratic term is ignored too.
  EXPECT_EQ(ApplyCalibration(10.0, 0.5, 0.0, 3.0), 10.5);
  EXPECT_EQ(ApplyCalibration(10.0, 0.5, 2.0, 0.0), 21.0);
  EXPECT_EQ(ApplyCalibration(10.0, 0.5, 2.0, 0.01), 22.0);
  // -0.0 is a zero as well.
  EXPECT_EQ(ApplyCalibration(10.0, 0.5, -0.0, 3.0), 10.5);
  EXPECT_EQ(ApplyScale(4.0, 0.0), 4.0);
  EXPECT_EQ(ApplyScale(4.0, -0.5), -2.0);
}

TEST(CalibrationTest, RemoveInvertsApply) {
  const double cs[] = {0.0, -1.5, 12.25};
  const double ss[] = {0.0, 1.0, 0.98, -2.0};
  const double qs[] = {0.0, 1e-6, -3e-4, 0.02};
  for (double c : cs)
    for (double s : ss)
      for (double q : qs)
        for (double v : {-50.0, -1.0, 0.0, 0.3, 7.0, 120.0}) {
          const double y = ApplyCalibration(v, c, s, q);
          const double back = RemoveCalibration(y, c, s, q);
          // The other root may be the nearer one to y; it calibrates to y too.
          EXPECT_NEAR(ApplyCalibration(back, c, s, q), y, 1e-9 * (1 + std::fabs(y)))
              << "c=" << c << " s=" << s << " q=" << q << " v=" << v;
          if (q == 0.0 || std::fabs(q * v) < 0.01) {
            EXPECT_NEAR(back, v, 1e-6 * (1 + std::fabs(v)))
                << "c=" << c << " s=" << s << " q=" << q << " v=" << v;
          }
        }
}

TEST(CalibrationTest, RemoveTakesTheRootNearerTheMeasuredValue) {
  // v^2 + v = 6 has the roots 2 and -3; 2 is nearer 6.
  EXPECT_DOUBLE_EQ(RemoveCalibration(6.0, 0.0, 1.0, 1.0), 2.0);
  // v^2 - v = 0 has the roots 0 and 1; 0 is nearer 0.
  EXPECT_DOUBLE_EQ(RemoveCalibration(0.0, 0.0, -1.0, 1.0), 0.0);
  // -v^2 + v + 0.5 * 1 = -5.5: roots 3 and -2, -2 nearer.
  EXPECT_DOUBLE_EQ(RemoveCalibration(-5.5, 0.5, 1.0, -1.0), -2.0);
  // v^2 + v = -1 has no real root.
  EXPECT_TRUE(std::isnan(RemoveCalibration(-1.0, 0.0, 1.0, 1.0)));
}

TEST(CalibrationTest, RecordForms) {
  sObsDef obs{};
  obs.c1 = 1.0;
  obs.c2 = 0.5;
  obs.scale = 2.0;
  obs.ratioA = 4.0;
  EXPECT_EQ(ApplyObsCalibration(10.0, &obs), 23.0);  // both constants add
  EXPECT_EQ(RemoveObsCalibration(23.0, &obs), 10.0);
  EXPECT_EQ(ApplyObsCalibration(10.0, nullptr), 10.0);
  // Ratio b / a and its inverse; either term 0 leaves the value.
  EXPECT_EQ(ApplyObsRatio(10.0, &obs), 10.0);
  obs.ratioB = 2.0;
  EXPECT_EQ(ApplyObsRatio(10.0, &obs), 5.0);
  EXPECT_EQ(ApplyObsInverseRatio(10.0, &obs), 20.0);
  obs.ratioA = 0.0;
  EXPECT_EQ(ApplyObsInverseRatio(10.0, &obs), 10.0);
}

}  // namespace
