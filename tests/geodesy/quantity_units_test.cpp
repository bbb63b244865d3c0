#include "geodesy/quantity_units.h"

#include <cmath>
#include <numbers>

#include <gtest/gtest.h>

#include "platform/unit_library.h"

namespace {

constexpr double kFoot = 0.3048;

class QuantityUnits : public ::testing::Test {
 protected:
  void TearDown() override { UseUnit(1); }
  static void UseUnit(int unit) {
    SetUnitName(GetUnitName(unit));
    SetConvToMeters(GetConvToMeters(unit));
  }
};

TEST_F(QuantityUnits, FixedFactors) {
  for (uint32_t code : {2u, 8u, 10u, 11u, 14u, 16u, 19u, 25u, 26u, 27u})
    EXPECT_EQ(GetQuantityFactor(code), 1.0) << code;
  EXPECT_EQ(GetQuantityFactor(9), 0.001);
  EXPECT_EQ(GetQuantityFactor(28), 1.01325);
  EXPECT_EQ(GetQuantityFactor(29), 0.06894757);
  EXPECT_EQ(GetQuantityFactor(30), 1e-5);
  EXPECT_EQ(GetQuantityFactor(33), 0.01);
  EXPECT_EQ(GetQuantityFactor(34), 1e-6);
  EXPECT_EQ(GetQuantityFactor(35), 1e-9);
  EXPECT_EQ(GetQuantityFactor(36), 0.0);
  EXPECT_EQ(GetQuantityFactor(static_cast<uint32_t>(-1)), 0.0);
  EXPECT_EQ(GetQuantityKind(static_cast<uint32_t>(-1)), QuantityKind::kNone);
}

TEST_F(QuantityUnits, LengthAndSpeedFactorsFollowTheCurrentUnit) {
  EXPECT_EQ(GetQuantityFactor(0), 1.0);
  EXPECT_EQ(GetQuantityFactor(1), kFoot);
  EXPECT_DOUBLE_EQ(GetQuantityFactor(15), 1852.0 / 3600.0);

  UseUnit(2);
  EXPECT_DOUBLE_EQ(GetQuantityFactor(0), 1.0 / kFoot);
  EXPECT_DOUBLE_EQ(GetQuantityFactor(20), 1.0 / kFoot);
  EXPECT_EQ(GetQuantityFactor(1), 1.0);
  EXPECT_DOUBLE_EQ(GetQuantityFactor(24), 0.001 / kFoot);
  EXPECT_DOUBLE_EQ(GetQuantityFactor(13), 1.0 / kFoot);      // ft/s per m/s
  EXPECT_DOUBLE_EQ(GetQuantityFactor(32), 1000.0 / 3600.0 / kFoot);
  EXPECT_EQ(GetQuantityFactor(19), 1.0);  // survey units are the current unit
  EXPECT_EQ(GetQuantityFactor(3), 1.0);   // angles do not follow the linear unit
  EXPECT_EQ(GetQuantityFactor(8), 1.0);

  // Metres to feet and back through the survey unit.
  EXPECT_DOUBLE_EQ(ConvertQuantity(3.048, 0, 1), 10.0);
  EXPECT_DOUBLE_EQ(ConvertQuantity(3.048, 0, 25), 10.0);
  EXPECT_DOUBLE_EQ(ConvertQuantity(10.0, 25, 0), 3.048);
}

TEST_F(QuantityUnits, AngleFactorsAreInTheCurrentAngularUnit) {
  EXPECT_EQ(GetQuantityFactor(3), 1.0);
  EXPECT_DOUBLE_EQ(GetQuantityFactor(4), 180.0 / std::numbers::pi);
  EXPECT_DOUBLE_EQ(GetQuantityFactor(5), 1.0 / 60.0);
  EXPECT_DOUBLE_EQ(GetQuantityFactor(6), 1.0 / 3600.0);
  EXPECT_DOUBLE_EQ(GetQuantityFactor(17), 1.0 / 60.0);
  EXPECT_DOUBLE_EQ(ConvertQuantity(90.0, 3, 4), std::numbers::pi / 2);
  EXPECT_DOUBLE_EQ(ConvertQuantity(1.0, 3, 6), 3600.0);
}

TEST_F(QuantityUnits, ConvertQuantitySkipsUnknownFactors) {
  EXPECT_EQ(ConvertQuantity(7.0, 99, 99), 7.0);
  EXPECT_EQ(ConvertQuantity(7.0, 99, 9), 7000.0);   // from factor 0.0 skipped
  EXPECT_EQ(ConvertQuantity(7.0, 9, 99), 0.007);    // to factor 0.0 skipped
  EXPECT_EQ(ConvertQuantity(2.0, 28, 27), 2.0265);
}

TEST_F(QuantityUnits, TripleConversionRoundsAfterConverting) {
  UseUnit(2);
  double xyz[3] = {1.0, -2.0, 0.5};  // metres
  ConvertTripleUnits(xyz, 0, 25, 3);
  EXPECT_EQ(xyz[0], 3.281);
  EXPECT_EQ(xyz[1], -6.562);
  EXPECT_EQ(xyz[2], 1.64);

  double same[3] = {1.23456, 2.0, 3.0};  // no conversion, still rounded
  ConvertTripleUnits(same, 1, 25, 2);
  EXPECT_EQ(same[0], 1.23);

  double raw[3] = {1.23456, 2.0, 3.0};
  ConvertTripleUnits(raw, 0, 99, -1);  // unknown target: unchanged
  EXPECT_EQ(raw[0], 1.23456);
  ConvertTripleUnits(nullptr, 0, 1, 2);
}

TEST_F(QuantityUnits, PositionConversionByMode) {
  UseUnit(2);
  double geo[3] = {180.0, 90.0, 3.048};
  ConvertPositionUnits(geo, 0, 0, 25, 5, -1);
  EXPECT_DOUBLE_EQ(geo[0], std::numbers::pi);
  EXPECT_DOUBLE_EQ(geo[1], std::numbers::pi / 2);
  EXPECT_DOUBLE_EQ(geo[2], 10.0);

  double degrees[3] = {12.0, 34.0, 3.048};
  ConvertPositionUnits(degrees, 0, 0, 0, 3, -1);  // same codes, no radians
  EXPECT_EQ(degrees[0], 12.0);
  EXPECT_EQ(degrees[2], 3.048);

  double grid[3] = {3.048, 6.096, 0.3048};
  ConvertPositionUnits(grid, 1, 0, 25, 5, 1);
  EXPECT_EQ(grid[0], 10.0);
  EXPECT_EQ(grid[1], 20.0);
  EXPECT_EQ(grid[2], 1.0);
}

TEST_F(QuantityUnits, QuantityUnitNumbers) {
  for (uint32_t code : {0u, 3u, 18u, 20u, 31u}) EXPECT_EQ(GetQuantityUnit(code), 1) << code;
  for (uint32_t code : {1u, 4u, 21u}) EXPECT_EQ(GetQuantityUnit(code), 2) << code;
  EXPECT_EQ(GetQuantityUnit(5), 4);
  EXPECT_EQ(GetQuantityUnit(6), 5);
  EXPECT_EQ(GetQuantityUnit(7), 6);
  EXPECT_EQ(GetQuantityUnit(23), 11);
  EXPECT_EQ(GetQuantityUnit(24), 13);
  for (uint32_t code : {2u, 8u, 22u, 35u, 36u}) EXPECT_EQ(GetQuantityUnit(code), 14) << code;
  EXPECT_EQ(GetQuantityUnit(19), 1);
  UseUnit(2);
  EXPECT_EQ(GetQuantityUnit(25), 2);
  // The numbers name the unit in the table of the quantity's kind.
  EXPECT_EQ(GetQuantityKind(23), QuantityKind::kLength);
  EXPECT_STREQ(GetUnitShort(GetQuantityUnit(23)), "cm");
  EXPECT_EQ(GetQuantityKind(6), QuantityKind::kAngle);
  EXPECT_STREQ(GetAngUnitName(GetQuantityUnit(6)), "Arc Second");
}

}  // namespace
