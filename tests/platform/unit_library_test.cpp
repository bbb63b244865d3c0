#include "platform/unit_library.h"

#include <cmath>
#include <limits>
#include <numbers>
#include <string>

#include <gtest/gtest.h>

namespace {

// Puts the current units back to unit 1 of each kind when a test ends.
struct DefaultUnitsOnExit {
  ~DefaultUnitsOnExit() {
    SetUnitName(GetUnitName(1));
    SetConvToMeters(GetConvToMeters(1));
    SetAngUnitName(GetAngUnitName(1));
    SetConvToDegrees(GetConvToDegrees(1));
  }
};

TEST(UnitLibrary, DefaultsAreMetreAndDegree) {
  EXPECT_STREQ(GetUnitName(1), "Metre");
  EXPECT_STREQ(GetUnitShort(1), "m");
  EXPECT_EQ(GetConvToMeters(1), 1.0);
  EXPECT_STREQ(GetAngUnitName(1), "Degree");
  EXPECT_EQ(GetConvToDegrees(1), 1.0);
  EXPECT_EQ(GetCurrentUnitName(), "Metre");
  EXPECT_EQ(GetCurrentAngUnitName(), "Degree");
  EXPECT_EQ(GetUnitConstant(), 1);
  EXPECT_EQ(MetersToUnits(12.5), 12.5);
}

TEST(UnitLibrary, TablesHoldTheUsualFactors) {
  EXPECT_EQ(GetConvToMeters(2), 0.3048);
  EXPECT_EQ(GetConvToMeters(14), 1200.0 / 3937.0);
  EXPECT_EQ(GetConvToMeters(4), 1852.0);
  EXPECT_EQ(GetConvToMeters(11), 0.01);
  EXPECT_EQ(GetConvToMeters(13), 0.001);
  EXPECT_STREQ(GetUnitShort(14), "ftUS");
  EXPECT_DOUBLE_EQ(GetConvToDegrees(2) * std::numbers::pi, 180.0);
  EXPECT_DOUBLE_EQ(GetConvToDegrees(3) * 400.0, 360.0);
  EXPECT_DOUBLE_EQ(GetConvToDegrees(6) * 6400.0, 360.0);
  for (int unknown : {0, -1, 15, 1000}) {
    EXPECT_STREQ(GetUnitName(unknown), "");
    EXPECT_STREQ(GetUnitShort(unknown), "");
    EXPECT_EQ(GetConvToMeters(unknown), 0.0);
  }
  for (int unknown : {0, 7}) {
    EXPECT_STREQ(GetAngUnitName(unknown), "");
    EXPECT_EQ(GetConvToDegrees(unknown), 0.0);
  }
}

TEST(UnitLibrary, ConversionsFollowTheCurrentUnit) {
  DefaultUnitsOnExit restore;
  SetUnitName(GetUnitName(2));
  SetConvToMeters(GetConvToMeters(2));
  EXPECT_EQ(GetCurrentUnitName(), "International Foot");
  EXPECT_DOUBLE_EQ(MetersToUnits(0.3048), 1.0);
  EXPECT_DOUBLE_EQ(UnitsToMeters(10.0), 3.048);
  EXPECT_DOUBLE_EQ(UnitsToMeters(MetersToUnits(123.456)), 123.456);
  EXPECT_EQ(GetUnitConstant(), 2);

  SetAngUnitName(GetAngUnitName(2));
  SetConvToDegrees(GetConvToDegrees(2));
  EXPECT_DOUBLE_EQ(DegreesToAngUnits(180.0), std::numbers::pi);
  EXPECT_DOUBLE_EQ(AngUnitsToDegrees(std::numbers::pi / 2), 90.0);
}

TEST(UnitLibrary, UnitConstantMatchesFactorAndName) {
  DefaultUnitsOnExit restore;
  // A project's own unit is none of the table's.
  SetUnitName("Rod");
  SetConvToMeters(5.0292);
  EXPECT_EQ(GetUnitConstant(), 0);
  // The US survey foot is told from the international foot by its factor.
  SetUnitName("us survey foot");
  SetConvToMeters(1200.0 / 3937.0);
  EXPECT_EQ(GetUnitConstant(), 14);
  // A factor read back from text differs in its last bits and still matches.
  SetConvToMeters(std::nextafter(0.3048, 1.0));
  EXPECT_EQ(GetUnitConstant(), 2);
}

TEST(UnitLibrary, UnusableFactorsAndNullNamesAreRefused) {
  DefaultUnitsOnExit restore;
  SetUnitName("Fathom");
  SetConvToMeters(1.8288);
  for (double bad : {0.0, -0.3048, std::numeric_limits<double>::quiet_NaN(),
                     std::numeric_limits<double>::infinity()}) {
    SetConvToMeters(bad);
    SetConvToDegrees(bad);
  }
  SetUnitName(nullptr);
  SetAngUnitName(nullptr);
  EXPECT_EQ(GetCurrentConvToMeters(), 1.8288);
  EXPECT_EQ(GetCurrentConvToDegrees(), 1.0);
  EXPECT_EQ(GetCurrentUnitName(), "Fathom");
  EXPECT_EQ(GetCurrentAngUnitName(), "Degree");
  EXPECT_TRUE(std::isfinite(MetersToUnits(1.0)));
}

}  // namespace
