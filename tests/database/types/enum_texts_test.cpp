#include "database/types/enum_texts.h"

#include <climits>
#include <cstring>

#include <gtest/gtest.h>

#include "database/catalogue/older_definition_records.h"
#include "database/catalogue/sysdef_old_layouts.h"
#include "platform/bytes.h"
#include "types_test_support.h"

namespace {

TEST(EnumTextsTest, RecordTextsStopAtTheFieldWidth) {
  sObsDef obs{};
  sSysDef sys{};
  sObjDef object{};
  // Names that fill their whole field with no terminating zero, followed by
  // bytes that must not leak into the text.
  std::memset(obs.name, 'o', sizeof obs.name);
  obs.transient = 'X';
  std::memset(sys.name, 's', sizeof sys.name);
  sys.driverFile[0] = 'X';
  std::memset(object.name, 'b', sizeof object.name);
  object.referenceNodeId = 0x58585858;
  EXPECT_EQ(ObsDisplayText(&obs), std::string(61, 'o'));
  EXPECT_EQ(SysDisplayText(&sys), std::string(76, 's'));
  EXPECT_EQ(ObjectDisplayText(&object), std::string(36, 'b'));

  sNodeDef node{};
  zor::platform::SetFieldText(node.name, "Bow");
  EXPECT_EQ(NodeDisplayText(&node), "Bow");
}

// The older records of earlier files: names at byte 12 (observations of
// blocks 37 and 4, nodes of block 6) and at byte 72 (systems of block 2),
// each up to its terminator and never past its field.
TEST(EnumTextsTest, OlderRecordTextsReadTheirNameFields) {
  sObsDefOld37 obs37{};
  sObsDefOld4 obs4{};
  sNodeDefOld6 node6{};
  sSysDefOld sys2{};
  zor::platform::SetFieldText(obs37.name, "Gyro heading");
  obs37.setting74 = 'X';
  zor::platform::SetFieldText(obs4.name, "Echo depth");
  zor::platform::SetFieldText(node6.name, "Transducer");
  zor::platform::SetFieldText(sys2.name, "Old GNSS");
  EXPECT_EQ(ObsBlock37DisplayText(&obs37), "Gyro heading");
  EXPECT_EQ(ObsBlock4DisplayText(&obs4), "Echo depth");
  EXPECT_EQ(NodeBlock6DisplayText(&node6), "Transducer");
  EXPECT_EQ(SysBlock2DisplayText(&sys2), "Old GNSS");

  std::memset(obs37.name, 'a', sizeof obs37.name);
  obs37.transient = 'X';
  std::memset(obs4.name, 'b', sizeof obs4.name);
  obs4.bytes73[0] = 'X';
  std::memset(node6.name, 'c', sizeof node6.name);
  node6.bytes73[0] = 'X';
  EXPECT_EQ(ObsBlock37DisplayText(&obs37), std::string(61, 'a'));
  EXPECT_EQ(ObsBlock4DisplayText(&obs4), std::string(61, 'b'));
  EXPECT_EQ(NodeBlock6DisplayText(&node6), std::string(61, 'c'));
  std::memset(sys2.name, 'd', sizeof sys2.name);
  EXPECT_EQ(SysBlock2DisplayText(&sys2), std::string(76, 'd'));

  EXPECT_EQ(ObsBlock37DisplayText(nullptr), "");
  EXPECT_EQ(ObsBlock4DisplayText(nullptr), "");
  EXPECT_EQ(NodeBlock6DisplayText(nullptr), "");
  EXPECT_EQ(SysBlock2DisplayText(nullptr), "");
}

TEST(EnumTextsTest, NullRecordsGiveEmptyText) {
  EXPECT_EQ(ObsDisplayText(nullptr), "");
  EXPECT_EQ(NodeDisplayText(nullptr), "");
  EXPECT_EQ(ObjectDisplayText(nullptr), "");
  EXPECT_EQ(SysDisplayText(nullptr), "");
}

TEST(EnumTextsTest, CoordinateKindsAndTheirUpperCase) {
  EXPECT_EQ(CoordinateKindText(2, false), "ECEF X,Y,Z");
  EXPECT_EQ(CoordinateKindText(1, true), "LOCAL GRID");
  EXPECT_EQ(CoordinateKindShortText(9, true), "PROJ");
  // Codes between the defined ones fall through to the fallback texts.
  EXPECT_EQ(CoordinateKindText(5, false), "Undefined");
  EXPECT_EQ(CoordinateKindShortText(5, false), "???");
  EXPECT_EQ(CoordinateKindText(-1, true), "UNDEFINED");
}

TEST(EnumTextsTest, DatumChoicesNumberDatumsFromOne) {
  EXPECT_EQ(DatumChoiceText(-3, false), "GRS80");
  EXPECT_EQ(DatumChoiceText(0, true), "SURVEY");
  EXPECT_EQ(DatumChoiceText(1, false), "Datum2");
  EXPECT_EQ(DatumChoiceText(-4, false), "Datum-3");
  EXPECT_EQ(DatumChoiceText(1, true), "DATUM2");
  // The largest choice must not wrap around to a negative datum number.
  EXPECT_EQ(DatumChoiceText(INT_MAX, false), "Datum2147483648");
  EXPECT_EQ(DatumChoiceText(INT_MIN, false), "Datum-2147483647");
}

TEST(EnumTextsTest, HeightReferencesKeepTheirNumber) {
  EXPECT_EQ(HeightReferenceText(0, true), "DATUM");
  EXPECT_EQ(HeightReferenceText(9, false), "Setup");
  EXPECT_EQ(HeightReferenceText(3, false), "Height3");
  EXPECT_EQ(HeightReferenceText(-1, false), "Height-1");
}

TEST(EnumTextsTest, SettingTextsOutsideTheirCodesAreUndefined) {
  EXPECT_EQ(TideModeText(-9), "Mean Water Level Model");
  EXPECT_EQ(TideModeText(2), "Tide Gauge (Auto Select)");
  EXPECT_EQ(TideModeText(-4), "Undefined");
  EXPECT_EQ(TideModeText(3), "Undefined");
  EXPECT_EQ(FilterText(2), "Gate Filter");
  EXPECT_EQ(FilterText(-1), "Undefined");
  EXPECT_EQ(VesselObjectChoiceText(-2), "Mean of All Objects");
  EXPECT_EQ(VesselObjectChoiceText(2), "Undefined");
}

TEST(EnumTextsTest, VesselObjectFollowsTheReference) {
  EXPECT_EQ(VesselObjectText(nullptr), "???");
  sObjDef object{};
  object.id = 7;
  zor::platform::SetFieldText(object.name, "Tow Fish");
  object.vesselObjectRef = 0;
  EXPECT_EQ(VesselObjectText(&object), "Tow Fish");
  object.vesselObjectRef = 7;
  EXPECT_EQ(VesselObjectText(&object), "Tow Fish");
  object.vesselObjectRef = 1;
  EXPECT_EQ(VesselObjectText(&object), "Vessel Object 1");
  object.vesselObjectRef = -1;
  EXPECT_EQ(VesselObjectText(&object), "Master Vessel Object");
  object.vesselObjectRef = -5;
  EXPECT_EQ(VesselObjectText(&object), "Undefined");
}

}  // namespace
