#include "database/types/type_vocabulary.h"

#include <climits>

#include <gtest/gtest.h>

namespace {

TEST(TypeVocabularyTest, ObservationTextsAtTheEdgesOfTheTable) {
  EXPECT_EQ(ObservationTypeText(0, false, 0), "Undefined");
  EXPECT_EQ(ObservationTypeText(13, false, 0), "Bearing (Grid)");
  EXPECT_EQ(ObservationTypeText(20, false, 0), "GPS Pseudo-Range");
  EXPECT_EQ(ObservationTypeText(30, false, 0), "Latitude");
  EXPECT_EQ(ObservationTypeText(113, false, 0), "ADCP Speed");
  // The gaps in the numbering and everything outside it.
  for (int code : {14, 17, 19, 24, 29, 114, -1, INT_MAX, INT_MIN})
    EXPECT_EQ(ObservationTypeText(code, true, 36), "Undefined") << code;
}

TEST(TypeVocabularyTest, CombinedGroupsNameTheirMembers) {
  EXPECT_EQ(ObservationTypeText(31, true, 0), "Position");
  EXPECT_EQ(ObservationTypeText(69, true, 0), "Position");
  EXPECT_EQ(ObservationTypeText(31, false, 0), "Longitude");
  EXPECT_EQ(ObservationTypeText(39, true, 0), "Offset (X, Y, Z)");
  EXPECT_EQ(ObservationTypeText(43, true, 0), "USBL (dX, dY, dZ)");
  EXPECT_EQ(ObservationTypeText(48, true, 0), "Pitch, Roll and Heave");
  EXPECT_EQ(ObservationTypeText(92, true, 0), "Rotation (X, Y, Z)");
  // Neighbours of the groups keep their own names.
  EXPECT_EQ(ObservationTypeText(33, true, 0), "Differential Correction");
  EXPECT_EQ(ObservationTypeText(49, true, 0), "Vertical Angle");
  EXPECT_EQ(ObservationTypeText(95, true, 0), "Rate-of-Turn");
}

TEST(TypeVocabularyTest, RovAltitudeIsHopperLevelOnDredgingSensors) {
  EXPECT_EQ(ObservationTypeText(52, false, 36), "Hopper Level");
  EXPECT_EQ(ObservationTypeText(52, true, 36), "Hopper Level");
  EXPECT_EQ(ObservationTypeText(52, false, 35), "ROV Altitude");
  EXPECT_EQ(ObservationTypeText(51, false, 36), "ROV Depth");
}

TEST(TypeVocabularyTest, SystemNodeAndObjectTextsOutsideTheirCodes) {
  EXPECT_EQ(SystemTypeText(1), "Singlebeam Echosounder");
  EXPECT_EQ(SystemTypeText(46), "Computed Height");
  for (int code : {0, 47, -1, INT_MAX}) EXPECT_EQ(SystemTypeText(code), "Undefined") << code;
  EXPECT_EQ(NodeTypeText(5), "Satellite Vehicle");
  EXPECT_EQ(NodeTypeText(6), "Undefined");
  EXPECT_EQ(NodeTypeText(-1), "Undefined");
  EXPECT_EQ(ObjectTypeText(11), "ROV, AUV, Towhead");
  EXPECT_EQ(ObjectTypeText(102), "Space");
  for (int code : {4, 9, 16, 19, 22, 100, 103, -1})
    EXPECT_EQ(ObjectTypeText(code), "Undefined") << code;
}

TEST(TypeVocabularyTest, ObservationIconsAtRunBoundaries) {
  EXPECT_EQ(GetObsTypeIcon(1), 1);
  EXPECT_EQ(GetObsTypeIcon(3), 2);
  EXPECT_EQ(GetObsTypeIcon(13), 8);
  EXPECT_EQ(GetObsTypeIcon(57), 8);
  EXPECT_EQ(GetObsTypeIcon(48), 18);
  EXPECT_EQ(GetObsTypeIcon(90), 63);
  EXPECT_EQ(GetObsTypeIcon(98), 48);
  EXPECT_EQ(GetObsTypeIcon(99), 67);
  EXPECT_EQ(GetObsTypeIcon(113), 81);
  for (int code : {0, 14, 19, 24, 29, 35, 41, 42, 89, 114, -1, INT_MIN})
    EXPECT_EQ(GetObsTypeIcon(code), 0) << code;
}

TEST(TypeVocabularyTest, IconFlagsOfNodesAndObjects) {
  EXPECT_EQ(GetNodeTypeIcon(2, true, false), 1);
  EXPECT_EQ(GetNodeTypeIcon(2, false, true), 6);
  EXPECT_EQ(GetNodeTypeIcon(3, true, false), 5);
  EXPECT_EQ(GetNodeTypeIcon(4, false, true), 2);
  EXPECT_EQ(GetNodeTypeIcon(6, true, true), 0);
  EXPECT_EQ(GetObjectTypeIcon(0, 1), 7);
  EXPECT_EQ(GetObjectTypeIcon(10, 2), 3);  // only a flag of exactly 1 counts
  EXPECT_EQ(GetObjectTypeIcon(11, 1), 10);
  EXPECT_EQ(GetObjectTypeIcon(103, 0), 0);
  EXPECT_EQ(GetSystemTypeIcon(46), 46);
}

}  // namespace
