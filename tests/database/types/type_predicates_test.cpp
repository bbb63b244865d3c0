#include "database/types/type_predicates.h"

#include <climits>

#include <gtest/gtest.h>

#include "types_test_support.h"

namespace {

TEST(TypePredicatesTest, InterpolatableObsAtItsBoundaries) {
  for (int type : {1, 8, 9, 46, 48, 51, 56, 61, 77, 81, 83, 85, 88, 91, 94, 97, 99, 109})
    EXPECT_TRUE(IsInterpolatableObs(type, 0)) << type;
  for (int type : {0, 2, 7, 14, 45, 49, 50, 52, 57, 84, 89, 90, 95, 96, 98, 110, -1, INT_MAX})
    EXPECT_FALSE(IsInterpolatableObs(type, 0)) << type;
  // Bearings only without a to-node; other types ignore the to-node.
  EXPECT_TRUE(IsInterpolatableObs(11, 0));
  EXPECT_FALSE(IsInterpolatableObs(11, 4));
  EXPECT_FALSE(IsInterpolatableObs(10, -1));
  EXPECT_TRUE(IsInterpolatableObs(13, 0));
  EXPECT_TRUE(IsInterpolatableObs(8, 4));
  EXPECT_TRUE(IsInterpolatableObs(1, -1));
}

TEST(TypePredicatesTest, VerticalSignOfEachKindAndItsNeighbours) {
  EXPECT_EQ(GetObsVerticalSign(nullptr), 0);
  for (int type : {32, 40, 46, 47, 48, 52, 59}) {
    sObsDef obs = MakeObs(type);
    EXPECT_EQ(GetObsVerticalSign(&obs), 1) << type;
  }
  for (int type : {50, 51, 73}) {
    sObsDef obs = MakeObs(type);
    EXPECT_EQ(GetObsVerticalSign(&obs), -1) << type;
  }
  for (int type : {0, 31, 33, 39, 41, 45, 49, 53, 58, 60, 72, 74, -1, INT_MIN}) {
    sObsDef obs = MakeObs(type);
    EXPECT_EQ(GetObsVerticalSign(&obs), 0) << type;
  }
}

TEST(TypePredicatesTest, MbeObsAndItsNeighbours) {
  EXPECT_FALSE(IsMbeObs(nullptr));
  for (int type : {50, 54, 73, 76, 80, 113}) {
    sObsDef obs = MakeObs(type);
    EXPECT_TRUE(IsMbeObs(&obs)) << type;
  }
  for (int type : {49, 51, 53, 55, 72, 74, 75, 77, 79, 81, 112, 114, 62}) {
    sObsDef obs = MakeObs(type);
    EXPECT_FALSE(IsMbeObs(&obs)) << type;
  }
}

TEST(TypePredicatesTest, DriverAnglePredicates) {
  sObsDef course = MakeObs(57), vertical = MakeObs(49), rotZ = MakeObs(94), range = MakeObs(7);
  EXPECT_TRUE(IsBearingObs(&course));
  EXPECT_FALSE(IsBearingObs(&vertical));
  EXPECT_FALSE(IsBearingObs(&range));
  EXPECT_TRUE(IsSignedAngleObs(&vertical));
  EXPECT_TRUE(IsSignedAngleObs(&rotZ));
  EXPECT_FALSE(IsSignedAngleObs(&course));
  sObsDef pitch = MakeObs(46), heave = MakeObs(48), angle = MakeObs(49);
  EXPECT_TRUE(IsPitchRollHeaveObs(&pitch));
  EXPECT_TRUE(IsPitchRollHeaveObs(&heave));
  EXPECT_FALSE(IsPitchRollHeaveObs(&angle));
  EXPECT_FALSE(IsBearingObs(nullptr));
  EXPECT_FALSE(IsSignedAngleObs(nullptr));
  EXPECT_FALSE(IsPitchRollHeaveObs(nullptr));
}

TEST(TypePredicatesTest, NodeAndNumberConditions) {
  sObsDef toNode = MakeObs(11, 5, 1), noNode = MakeObs(11, 0, 1), unnumbered = MakeObs(11, 0, -1);
  EXPECT_TRUE(IsBearingToNodeObs(&toNode));
  EXPECT_FALSE(IsBearingToNodeObs(&noNode));
  EXPECT_TRUE(IsBearingWithoutNodeObs(&noNode));
  EXPECT_TRUE(IsHeadingObs(&noNode));
  EXPECT_FALSE(IsHeadingObs(&toNode));
  EXPECT_TRUE(IsNumberedDirectionObs(&noNode));
  EXPECT_FALSE(IsNumberedDirectionObs(&unnumbered));
  EXPECT_FALSE(IsNumberedDirectionObs(&toNode));
  EXPECT_TRUE(IsUnnumberedObs(&unnumbered));
  EXPECT_TRUE(IsUnnumberedAttitudeObs(&unnumbered));
  EXPECT_FALSE(IsUnnumberedAttitudeObs(&noNode));
  EXPECT_FALSE(IsUnnumberedObs(nullptr));
  // Rotation (Z) is a heading whatever its nodes; the course only without one.
  sObsDef rotZ = MakeObs(94, 3, 1), courseToNode = MakeObs(57, 3, 1);
  EXPECT_TRUE(IsHeadingObs(&rotZ));
  EXPECT_FALSE(IsHeadingObs(&courseToNode));
  EXPECT_FALSE(IsBearingToNodeObs(&courseToNode));
  sObsDef speed = MakeObs(67, 0, 1), vspeed = MakeObs(77, 0, 2), numberZero = MakeObs(56, 0, 0);
  EXPECT_TRUE(IsNumberedSpeedObs(&speed));
  EXPECT_TRUE(IsNumberedVerticalSpeedObs(&vspeed));
  EXPECT_TRUE(IsNumberedSensorObs(&vspeed));
  EXPECT_FALSE(IsNumberedSensorObs(&numberZero));
}

TEST(TypePredicatesTest, NetworkAndComputationCombineTheirParts) {
  // Angles join the network only between two nodes.
  sObsDef angleToNode = MakeObs(8, 2), angleAlone = MakeObs(8, 0), verticalToNode = MakeObs(49, 2);
  EXPECT_TRUE(IsNetworkObs(&angleToNode));
  EXPECT_FALSE(IsNetworkObs(&angleAlone));
  EXPECT_TRUE(IsNetworkObs(&verticalToNode));
  sObsDef diffCorr = MakeObs(33), layback = MakeObs(97), courseToNode = MakeObs(57, 2);
  EXPECT_TRUE(IsNetworkObs(&diffCorr));
  EXPECT_TRUE(IsNetworkObs(&layback));
  EXPECT_FALSE(IsNetworkObs(&courseToNode));
  // Computation: heading alone, multibeam, sidescan, but not a course to a node.
  sObsDef sidescan = MakeObs(74), mbe = MakeObs(113), rovDepth = MakeObs(51), tide = MakeObs(59);
  EXPECT_FALSE(IsComputationObs(&angleAlone));
  EXPECT_TRUE(IsComputationObs(&sidescan));
  EXPECT_TRUE(IsComputationObs(&mbe));
  EXPECT_TRUE(IsComputationObs(&rovDepth));
  EXPECT_FALSE(IsComputationObs(&tide));
  EXPECT_FALSE(IsComputationObs(&courseToNode));
  EXPECT_FALSE(IsComputationObs(nullptr));
}

TEST(TypePredicatesTest, GroupSizeOnlyOnTheFirstMember) {
  EXPECT_EQ(GetObsGroupSize(nullptr), 0);
  for (int type : {30, 68}) {
    sObsDef obs = MakeObs(type);
    EXPECT_EQ(GetObsGroupSize(&obs), 2);
  }
  for (int type : {37, 43, 46}) {
    sObsDef obs = MakeObs(type);
    EXPECT_EQ(GetObsGroupSize(&obs), 3);
  }
  for (int type : {31, 38, 44, 47, 69, 92}) {
    sObsDef obs = MakeObs(type);
    EXPECT_EQ(GetObsGroupSize(&obs), 0);
  }
}

TEST(TypePredicatesTest, SystemPredicates) {
  EXPECT_FALSE(IsMbeSystem(nullptr));
  EXPECT_FALSE(IsMagnetometerSystem(nullptr));
  sSysDef magnetometer = MakeSys(35), multibeam = MakeSys(20), adcp = MakeSys(45);
  EXPECT_TRUE(IsMbeSystem(&magnetometer));
  EXPECT_TRUE(IsMagnetometerSystem(&magnetometer));
  EXPECT_TRUE(IsMbeSystem(&adcp));
  EXPECT_TRUE(IsMultibeamSystem(&multibeam));
  EXPECT_FALSE(IsMagnetometerSystem(&multibeam));
  sSysDef none = MakeSys(0), bundleLast = MakeSys(39), bundleAfter = MakeSys(40);
  EXPECT_TRUE(IsComputedSystem(&none));
  EXPECT_TRUE(IsBundleSystem(&bundleLast));
  EXPECT_FALSE(IsBundleSystem(&bundleAfter));
  EXPECT_TRUE(IsGenericSensorSystem(&bundleAfter));
  sSysDef sensor43 = MakeSys(43);
  EXPECT_FALSE(IsGenericSensorSystem(&sensor43));
  EXPECT_TRUE(IsTimeSystem(&sensor43));
}

TEST(TypePredicatesTest, NodePredicates) {
  sNodeDef dcs = MakeNode(1), fixed = MakeNode(2), variable = MakeNode(4), sv = MakeNode(5);
  EXPECT_TRUE(IsKnownPositionNode(&sv));
  EXPECT_FALSE(IsSurveyNode(&sv));
  EXPECT_TRUE(IsSurveyNode(&fixed));
  EXPECT_FALSE(IsSurveyNode(&dcs));
  EXPECT_TRUE(IsMovingNode(&variable));
  EXPECT_FALSE(IsMovingNode(&fixed));
  EXPECT_FALSE(IsKnownPositionNode(nullptr));
}

TEST(TypePredicatesTest, ObjectPredicatesAndTheirNullCases) {
  EXPECT_FALSE(IsStreamerLikeObject(nullptr));
  EXPECT_TRUE(IsNotStreamerLikeObject(nullptr));
  EXPECT_FALSE(IsPhysicalObject(nullptr));
  EXPECT_FALSE(IsShapeObjectType(static_cast<const sObjDef*>(nullptr)));
  sObjDef bundle = MakeObject(13), earth = MakeObject(101), towed = MakeObject(3);
  EXPECT_TRUE(IsStreamerLikeObject(&bundle));
  EXPECT_FALSE(IsNotStreamerLikeObject(&bundle));
  EXPECT_TRUE(IsPipeBundleObject(&bundle));
  EXPECT_TRUE(IsDependentObject(&bundle));
  EXPECT_TRUE(IsReferenceObject(&earth));
  EXPECT_FALSE(IsPhysicalObject(&earth));
  EXPECT_TRUE(IsVesselOrTowedObject(&towed));
  EXPECT_FALSE(IsVesselObject(&towed));
  towed.link1344 = 1;
  EXPECT_TRUE(HasObjectLink(&towed));
  towed.link1344 = -1;
  EXPECT_FALSE(HasObjectLink(&towed));
  // The code and record forms agree; 15 is a shape but has no offsets.
  sObjDef link = MakeObject(15);
  EXPECT_TRUE(IsShapeObjectType(&link));
  EXPECT_FALSE(IsOffsetObjectType(&link));
  EXPECT_TRUE(IsPositionedObjectType(15));
  EXPECT_FALSE(IsPositionedObjectType(13));
  EXPECT_FALSE(IsShapeObjectType(-1));
  EXPECT_FALSE(IsShapeObjectType(16));
  EXPECT_TRUE(IsOffsetObjectType(14));
}

}  // namespace
