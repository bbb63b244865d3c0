#include "database/types/definition_units.h"

#include <cmath>
#include <cstring>
#include <limits>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "database/types/obs_defaults.h"
#include "platform/unit_library.h"
#include "types_test_support.h"

namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kFeetPerMetre = 1.0 / 0.3048;

// The tests run with metres as the survey unit, whatever ran before them.
class DefinitionUnitsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    oldName_ = GetCurrentUnitName();
    oldFactor_ = GetCurrentConvToMeters();
    UseUnit(1);
  }
  void TearDown() override {
    SetUnitName(oldName_.c_str());
    SetConvToMeters(oldFactor_);
  }
  static void UseUnit(int unit) {
    SetUnitName(GetUnitName(unit));
    SetConvToMeters(GetConvToMeters(unit));
  }

 private:
  std::string oldName_;
  double oldFactor_ = 1.0;
};

float ReservedFloat(const sNodeDef& node, int index) {
  float v = 0.0f;
  std::memcpy(&v, node.reserved + 4 * index, sizeof v);
  return v;
}

TEST_F(DefinitionUnitsTest, ObsDefaultsFillOnlyWhatIsUnset) {
  EXPECT_FALSE(SetObsDefaults(nullptr, true));

  sObsDef obs = MakeObs(10);
  obs.word88 = 3;  // degrees
  obs.fromNodeId = 12;
  ASSERT_TRUE(SetObsDefaults(&obs, true));
  EXPECT_EQ(obs.value160, GetDefaultObsPrecision(10));
  EXPECT_EQ(obs.scale, 1.0);
  EXPECT_EQ(obs.word96, 12);

  // A precision that is NaN or negative counts as unset; a set one stays,
  // and nothing is filled without the flag.
  sObsDef nan = MakeObs(10), negative = MakeObs(10), set = MakeObs(10), noFlag = MakeObs(10);
  nan.value160 = std::numeric_limits<float>::quiet_NaN();
  negative.value160 = -1.0f;
  set.value160 = 2.5f;
  set.word96 = 4;
  SetObsDefaults(&nan, true);
  SetObsDefaults(&negative, true);
  SetObsDefaults(&set, true);
  SetObsDefaults(&noFlag, false);
  EXPECT_EQ(nan.value160, 0.5f);
  EXPECT_EQ(negative.value160, 0.5f);
  EXPECT_EQ(set.value160, 2.5f);
  EXPECT_EQ(set.word96, 4);
  EXPECT_EQ(noFlag.value160, 0.0f);
}

TEST_F(DefinitionUnitsTest, RangeInTimeScalesByItsRatioNumerator) {
  sObsDef range = MakeObs(1);
  range.word88 = 9;  // milliseconds
  range.ratioB = 1500.0;
  SetObsDefaults(&range, false);
  EXPECT_DOUBLE_EQ(range.scale, 0.001 * 1500.0);
  EXPECT_DOUBLE_EQ(GetObsUnitFactor(&range, false, false), 1.5);

  // The same words on another type take the plain factor.
  sObsDef other = MakeObs(2);
  other.word88 = 9;
  other.ratioB = 1500.0;
  SetObsDefaults(&other, false);
  EXPECT_DOUBLE_EQ(other.scale, 0.001);

  // No quantity: no factor, the scale stays unset.
  sObsDef none = MakeObs(1);
  none.word88 = -1;
  SetObsDefaults(&none, false);
  EXPECT_EQ(none.scale, 0.0);
}

TEST_F(DefinitionUnitsTest, UnitFactorToSurveyUnitsAndRadians) {
  EXPECT_EQ(GetObsUnitFactor(nullptr, true, true), 1.0);
  UseUnit(2);  // feet
  sObsDef length = MakeObs(1);
  length.word88 = 0;  // metres: factor(0) in feet, then back by UnitsToMeters(1)
  EXPECT_DOUBLE_EQ(GetObsUnitFactor(&length, false, false), kFeetPerMetre);
  EXPECT_DOUBLE_EQ(GetObsUnitFactor(&length, true, false), 1.0);
  EXPECT_DOUBLE_EQ(GetObsUnitFactor(&length, false, true), kFeetPerMetre);

  sObsDef angle = MakeObs(10);
  angle.word88 = 3;
  EXPECT_DOUBLE_EQ(GetObsUnitFactor(&angle, true, true), M_PI / 180.0);
  angle.word88 = 8;  // seconds: neither a length nor an angle
  EXPECT_DOUBLE_EQ(GetObsUnitFactor(&angle, true, true), 1.0);
}

TEST_F(DefinitionUnitsTest, ObsConversionScalesTheCalibration) {
  sObsDef in = MakeObs(1);
  in.word88 = 0;
  in.c1 = 1.0;
  in.c2 = 2.0;
  in.scale = 1.0;
  in.quadratic = 1.0;
  in.value160 = 0.1f;
  in.ratioB = 7.0;
  sObsDef out{};
  ASSERT_TRUE(ConvertObsDefUnits(&out, &in, 1));
  EXPECT_EQ(out.word88, 1);
  EXPECT_DOUBLE_EQ(out.c1, kFeetPerMetre);
  EXPECT_DOUBLE_EQ(out.c2, 2.0 * kFeetPerMetre);
  EXPECT_DOUBLE_EQ(out.scale, kFeetPerMetre);
  EXPECT_DOUBLE_EQ(out.quadratic, kFeetPerMetre * kFeetPerMetre);
  EXPECT_FLOAT_EQ(out.value160, static_cast<float>(0.1f * kFeetPerMetre));
  EXPECT_EQ(out.ratioB, 7.0);

  // In place, and the types that keep their units.
  sObsDef inPlace = in;
  ConvertObsDefUnits(&inPlace, &inPlace, 1);
  EXPECT_EQ(std::memcmp(&inPlace, &out, sizeof out), 0);
  for (int type : {89, 110}) {
    sObsDef keep = in;
    keep.type = type;
    sObsDef copy{};
    ConvertObsDefUnits(&copy, &keep, 1);
    EXPECT_EQ(std::memcmp(&copy, &keep, sizeof keep), 0) << type;
  }
  EXPECT_FALSE(ConvertObsDefUnits(nullptr, &in, 1));
  EXPECT_FALSE(ConvertObsDefUnits(&out, nullptr, 1));
}

TEST_F(DefinitionUnitsTest, NodeDisplayDefaults) {
  EXPECT_FALSE(InitNodeDefUnits(nullptr));
  sNodeDef node{};
  ASSERT_TRUE(InitNodeDefUnits(&node));
  EXPECT_EQ(node.displayFlag, 1);
  EXPECT_EQ(node.display74, 25);
  EXPECT_EQ(node.display75, 2);
  node.displayFlag = 3;
  node.display74 = 0;
  InitNodeDefUnits(&node);
  EXPECT_EQ(node.display74, 0);  // set display bytes stay
}

TEST_F(DefinitionUnitsTest, NodeConversionKeepsGeographicXY) {
  sNodeDef in{};
  in.display74 = 0;   // metres
  in.display75 = 0;   // geographic: X and Y are angles
  in.offset[0] = 10.0;
  in.offset[1] = 20.0;
  in.offset[2] = 3.0;
  const float reserved[4] = {1.0f, 2.0f, 3.0f, 4.0f};
  std::memcpy(in.reserved, reserved, sizeof reserved);
  sNodeDef out{};
  ASSERT_TRUE(ConvertNodeDefUnits(&out, &in, 1));
  EXPECT_EQ(out.display74, 1);
  EXPECT_EQ(out.offset[0], 10.0);
  EXPECT_EQ(out.offset[1], 20.0);
  EXPECT_DOUBLE_EQ(out.offset[2], 3.0 * kFeetPerMetre);
  EXPECT_FLOAT_EQ(ReservedFloat(out, 0), static_cast<float>(kFeetPerMetre));
  EXPECT_FLOAT_EQ(ReservedFloat(out, 2), static_cast<float>(3.0 * kFeetPerMetre));
  EXPECT_EQ(ReservedFloat(out, 3), 4.0f);  // bytes 124..127 are not a value

  in.display75 = 2;
  ConvertNodeDefUnits(&in, &in, 1);
  EXPECT_DOUBLE_EQ(in.offset[0], 10.0 * kFeetPerMetre);
  // The unit is compared as the byte it is stored in.
  sNodeDef again = in;
  ConvertNodeDefUnits(&again, &in, 256 + 1);
  EXPECT_EQ(std::memcmp(&again, &in, sizeof in), 0);
}

TEST_F(DefinitionUnitsTest, NodeOffsetsInSurveyUnits) {
  sNodeDef node{};
  node.display74 = 25;
  node.offset[0] = 1.0;
  node.offset[1] = 2.0;
  node.offset[2] = 3.0;
  double xyz[3];
  ASSERT_TRUE(GetNodeOffset(xyz, &node));
  EXPECT_EQ(xyz[2], 3.0);
  node.display74 = 1;  // feet, with metres as the survey unit
  GetNodeOffset(xyz, &node);
  EXPECT_DOUBLE_EQ(xyz[0], 0.3048);
  EXPECT_DOUBLE_EQ(xyz[2], 3.0 * 0.3048);
  EXPECT_FALSE(GetNodeOffset(xyz, nullptr));
  EXPECT_EQ(xyz[1], 0.0);

  node.display75 = 0;  // geographic: only the height converts
  ASSERT_TRUE(GetNodeOffsetInUnits(xyz, &node, 0, 0));
  EXPECT_EQ(xyz[0], 1.0);
  EXPECT_DOUBLE_EQ(xyz[2], 3.0 * 0.3048);
}

TEST_F(DefinitionUnitsTest, OffsetZeroTreatsNaNAsSet) {
  sNodeDef node{};
  EXPECT_TRUE(IsNodeOffsetZero(&node));
  EXPECT_FALSE(IsNodeOffsetSet(&node));
  node.offset[2] = kNaN;
  EXPECT_FALSE(IsNodeOffsetZero(&node));
  EXPECT_TRUE(IsNodeOffsetSet(&node));
  node.offset[2] = -0.0;
  EXPECT_TRUE(IsNodeOffsetZero(&node));
  EXPECT_FALSE(IsNodeOffsetZero(nullptr));
  EXPECT_FALSE(IsNodeOffsetSet(nullptr));

  std::vector<uint8_t> record(44, 0);
  EXPECT_TRUE(IsOffsetZeroF(record));
  const float nan = std::numeric_limits<float>::quiet_NaN();
  std::memcpy(record.data() + 40, &nan, sizeof nan);
  EXPECT_TRUE(IsOffsetSetF(record));
  EXPECT_FALSE(IsOffsetZeroF(record));
  // Too short to hold the third offset: neither.
  record.resize(43);
  EXPECT_FALSE(IsOffsetZeroF(record));
  EXPECT_FALSE(IsOffsetSetF(record));
}

}  // namespace
