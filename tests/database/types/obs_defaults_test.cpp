#include "database/types/obs_defaults.h"

#include <climits>
#include <cmath>
#include <string>

#include <gtest/gtest.h>

#include "platform/unit_library.h"

namespace {

// Makes a linear unit the current survey unit for one test and puts the
// previous unit back afterwards.
class SurveyUnit {
 public:
  explicit SurveyUnit(int unit)
      : oldName_(GetCurrentUnitName()), oldFactor_(GetCurrentConvToMeters()) {
    SetUnitName(GetUnitName(unit));
    SetConvToMeters(GetConvToMeters(unit));
  }
  ~SurveyUnit() {
    SetUnitName(oldName_.c_str());
    SetConvToMeters(oldFactor_);
  }

 private:
  std::string oldName_;
  double oldFactor_;
};

TEST(ObsDefaultsTest, TimeoutAtTheBoundariesOfItsRuns) {
  struct Case {
    int type;
    float seconds;
  };
  for (const Case& c : {Case{-2, 10.0f}, Case{-1, 10.0f}, Case{0, 0.0f}, Case{1, 5.0f},
                        Case{2, 10.0f}, Case{7, 10.0f}, Case{8, 5.0f}, Case{13, 5.0f},
                        Case{14, 10.0f}, Case{19, 10.0f}, Case{20, 5.0f}, Case{24, 10.0f},
                        Case{33, 10.0f}, Case{34, 0.0f}, Case{39, 0.0f}, Case{40, 5.0f},
                        Case{45, 10.0f}, Case{46, 1.0f}, Case{48, 1.0f}, Case{49, 5.0f},
                        Case{57, 0.0f}, Case{59, 60.0f}, Case{60, 10.0f}, Case{61, 10.0f},
                        Case{62, 0.0f}, Case{72, 5.0f}, Case{77, 5.0f}, Case{79, 60.0f},
                        Case{95, 5.0f}, Case{97, 10.0f}, Case{98, 0.0f}, Case{99, 1.0f},
                        Case{109, 1.0f}, Case{110, 0.0f}, Case{113, 0.0f}, Case{114, 10.0f},
                        Case{INT_MAX, 10.0f}, Case{INT_MIN, 10.0f}})
    EXPECT_EQ(GetDefaultObsTimeout(c.type), c.seconds) << c.type;
}

TEST(ObsDefaultsTest, PrecisionOfTheNoTypeCodeAndOutsideTheTable) {
  EXPECT_EQ(GetDefaultObsPrecision(-1), 999.0f);
  EXPECT_EQ(GetDefaultObsPrecision(-2), 1.0f);
  EXPECT_EQ(GetDefaultObsPrecision(200), 1.0f);
  EXPECT_EQ(GetDefaultObsPrecision(INT_MIN), 1.0f);
  EXPECT_EQ(GetDefaultObsPrecision(112), 0.0f);
  EXPECT_EQ(GetDefaultObsPrecision(113), 0.1f);
  EXPECT_EQ(GetDefaultObsPrecision(49), 0.05f);
  EXPECT_EQ(GetDefaultObsPrecision(57), 1.0f);
}

TEST(ObsDefaultsTest, ExtrapolationAndQuantity) {
  EXPECT_EQ(GetDefaultObsExtrapolation(-1), 0.0);
  EXPECT_EQ(GetDefaultObsExtrapolation(46), 0.0);
  EXPECT_EQ(GetObsQuantity(1), 0);
  EXPECT_EQ(GetObsQuantity(57), 3);
  EXPECT_EQ(GetObsQuantity(113), 20);
  for (int type : {-1, 0, 14, 35, 89, 110, 114, INT_MAX}) EXPECT_EQ(GetObsQuantity(type), -1);
}

TEST(ObsDefaultsTest, PrecisionInUnitsRescalesByKind) {
  SurveyUnit metres(1);
  // A range of 0.1 m in international feet.
  EXPECT_FLOAT_EQ(GetDefaultObsPrecisionInUnits(1, 1, 0.0), 0.1f / 0.3048f);
  // A bearing of 0.5 degrees in radians.
  EXPECT_NEAR(GetDefaultObsPrecisionInUnits(10, 4, 0.0), 0.5 * M_PI / 180.0, 1e-7);
  // A pressure of 0.01 bar in standard atmospheres.
  EXPECT_FLOAT_EQ(GetDefaultObsPrecisionInUnits(91, 28, 0.0), 0.01f / 1.01325f);
  // Quantities that no rule names keep the precision.
  EXPECT_EQ(GetDefaultObsPrecisionInUnits(1, 2, 0.0), 0.1f);
  EXPECT_EQ(GetDefaultObsPrecisionInUnits(1, -1, 0.0), 0.1f);
  EXPECT_EQ(GetDefaultObsPrecisionInUnits(1, 99, 0.0), 0.1f);
}

TEST(ObsDefaultsTest, RangeInTimeDividesBySoundVelocity) {
  SurveyUnit feet(2);
  EXPECT_FLOAT_EQ(GetDefaultObsPrecisionInUnits(1, 8, 0.0), static_cast<float>(0.1f / 1485.0));
  EXPECT_FLOAT_EQ(GetDefaultObsPrecisionInUnits(1, 9, 0.0),
                  static_cast<float>(0.1f / 1485.0 * 1000.0));
  // A given sound velocity is in survey units, here feet.
  EXPECT_FLOAT_EQ(GetDefaultObsPrecisionInUnits(1, 8, 5000.0),
                  static_cast<float>(0.1f / (5000.0 * 0.3048)));
  // Only ranges are converted into time.
  EXPECT_EQ(GetDefaultObsPrecisionInUnits(2, 8, 0.0), 1.0f);
}

TEST(ObsDefaultsTest, ZeroDivisorLeavesThePrecision) {
  SurveyUnit feet(2);
  // The smallest positive double vanishes when taken from feet to metres.
  ASSERT_EQ(UnitsToMeters(5e-324), 0.0);
  const float p = GetDefaultObsPrecisionInUnits(1, 8, 5e-324);
  EXPECT_TRUE(std::isfinite(p));
  EXPECT_EQ(p, 0.1f);
}

}  // namespace
