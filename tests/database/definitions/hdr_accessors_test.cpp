#include "database/definitions/hdr_accessors.h"

#include <gtest/gtest.h>

#include <cmath>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "core/text/data_format_names.h"
#include "database/catalogue/chart_datum_part.h"
#include "database/catalogue/definition_records.h"
#include "database/definitions/hdr_list.h"
#include "database/definitions/hdr_sub_list.h"
#include "database/definitions/obj_def_list.h"
#include "database/definitions/object_defaults.h"
#include "database/definitions/shape_points.h"
#include "platform/bytes.h"
#include "platform/unit_library.h"
#include "tests/database/catalogue/payload_builder.h"
#include "tests/support/temp_folder.h"

namespace {

using Bytes = std::vector<uint8_t>;

void Add(CHdrList& list, int32_t recId, const Bytes& payload, int32_t link = -1) {
  list.AddEntry(recId, static_cast<uint32_t>(payload.size()), payload.data(), link);
}

Bytes Words(std::size_t size, std::initializer_list<int32_t> words) {
  return PayloadBuilder(size).Words(0, words).bytes();
}

int32_t WordOf(const sHdrEntry* e, std::size_t n) {
  int32_t w = INT32_MIN;
  if (e != nullptr) e->GetWord(n, w);
  return w;
}

template <typename T>
T At(const std::vector<uint8_t>& p, std::size_t offset) {
  return zor::platform::GetLEOr(std::span<const uint8_t>(p), offset, T{});
}

sSysDef System(int32_t type, int32_t id, int32_t l1, int32_t l2, int32_t l3) {
  sSysDef sys{};
  sys.type = type;
  sys.id = id;
  sys.link1 = l1;
  sys.link2 = l2;
  sys.link3 = l3;
  return sys;
}

// Keeps the unit library's current units across a test that changes them.
class UnitLibraryGuard {
 public:
  UnitLibraryGuard()
      : name_(GetCurrentUnitName()),
        factor_(GetCurrentConvToMeters()),
        angName_(GetCurrentAngUnitName()),
        angFactor_(GetCurrentConvToDegrees()) {}
  ~UnitLibraryGuard() {
    SetUnitName(name_.c_str());
    SetConvToMeters(factor_);
    SetAngUnitName(angName_.c_str());
    SetConvToDegrees(angFactor_);
  }

 private:
  std::string name_;
  double factor_;
  std::string angName_;
  double angFactor_;
};

Bytes SurveyUnit(const std::string& name, double factor) {
  return PayloadBuilder(48).Text(0, name).Put(40, factor).bytes();
}

TEST(HdrAccessorsVersion, NumbersAndTextsFollowTheStoredForm) {
  CHdrList list;
  EXPECT_EQ(list.GetVersionNumber(), 700);
  EXPECT_EQ(list.GetBuildNumber(), 14);
  EXPECT_EQ(list.GetVersionText(), "7.00.0014");

  Add(list, 139, Words(4, {0}));
  EXPECT_EQ(list.GetVersionNumber(), 0);
  EXPECT_EQ(list.GetBuildNumber(), 0);
  EXPECT_EQ(list.GetVersionText(), "< 6.20.0000");

  Add(list, kRecIdVersion, Words(8, {820, 3}));
  EXPECT_EQ(list.GetVersionNumber(), 820);
  EXPECT_EQ(list.GetBuildNumber(), 3);
  EXPECT_EQ(list.GetVersionText(), "8.20.0003");

  CHdrList split;
  Add(split, kRecIdVersion, Words(8, {8, 20}));
  EXPECT_EQ(split.GetVersionNumber(), 820);
  EXPECT_EQ(split.GetBuildNumber(), 2);
  EXPECT_EQ(split.GetVersionText(), "8.20.0002");
}

TEST(HdrAccessorsVersion, SettersAddOrChangeTheFirstRecordOnly) {
  CHdrList list;
  EXPECT_TRUE(list.SetDefaultVersion(false));
  EXPECT_EQ(list.GetVersionNumber(), 700);
  EXPECT_FALSE(list.SetDefaultVersion(true));  // already {700, 14}
  EXPECT_TRUE(list.SetVersion(821, 5));
  EXPECT_FALSE(list.SetVersion(821, 5));
  EXPECT_FALSE(list.SetDefaultVersion(false));
  EXPECT_EQ(list.GetVersionNumber(), 821);
  EXPECT_TRUE(list.SetDefaultVersion(true));
  EXPECT_EQ(list.GetBuildNumber(), 14);
  EXPECT_EQ(list.CountEntries(kRecIdVersion), 1);

  // A record too short for its build word: the build reads 0 and is never
  // written past the payload.
  CHdrList shortList;
  Add(shortList, kRecIdVersion, Words(4, {830}));
  EXPECT_EQ(shortList.GetBuildNumber(), 0);
  EXPECT_TRUE(shortList.SetVersion(900, 7));
  EXPECT_EQ(shortList.GetEntry(kRecIdVersion, 1)->Size(), 4u);
  EXPECT_EQ(shortList.GetVersionNumber(), 900);
}

TEST(HdrAccessorsUnits, SurveyUnitGoesToTheUnitLibrary) {
  UnitLibraryGuard guard;
  SetAngUnitName(GetAngUnitName(2));
  SetConvToDegrees(GetConvToDegrees(2));

  CHdrList list;
  EXPECT_FALSE(list.ApplySurveyUnits());
  EXPECT_EQ(GetCurrentUnitName(), GetUnitName(1));
  EXPECT_EQ(GetCurrentAngUnitName(), GetAngUnitName(1));
  EXPECT_EQ(list.GetSurveyUnitName(), GetUnitName(1));
  std::array<uint8_t, 48> record{};
  record.fill(0xAA);
  EXPECT_FALSE(list.GetSurveyUnitRecord(record));
  EXPECT_EQ(record, (std::array<uint8_t, 48>{}));

  Add(list, kRecIdSurveyUnit, SurveyUnit("International Foot", 0.3048));
  EXPECT_TRUE(list.ApplySurveyUnits());
  EXPECT_EQ(GetCurrentUnitName(), "International Foot");
  EXPECT_DOUBLE_EQ(GetCurrentConvToMeters(), 0.3048);
  EXPECT_TRUE(list.GetSurveyUnitRecord(record));
  EXPECT_EQ(At<double>(Bytes(record.begin(), record.end()), 40), 0.3048);

  // A name that fills its 40 bytes without a terminator is cut there.
  CHdrList full;
  Add(full, kRecIdSurveyUnit, PayloadBuilder(48, 'x').Put(40, 2.0).bytes());
  EXPECT_EQ(full.GetSurveyUnitName(), std::string(40, 'x'));
}

TEST(HdrAccessorsUnits, QuantityAndCoordinateTexts) {
  UnitLibraryGuard guard;
  EXPECT_EQ(GetQuantityUnitText(1, true), "International Foot");
  EXPECT_EQ(GetQuantityUnitText(1, false), "ft");
  EXPECT_EQ(GetQuantityUnitText(23, false), "cm");
  EXPECT_EQ(GetQuantityUnitText(22, true), "US Survey Foot");
  // Angles are named from the angular table, not as the linear unit of the
  // same number.
  EXPECT_EQ(GetQuantityUnitText(3, true), GetAngUnitName(1));
  EXPECT_EQ(GetQuantityUnitText(6, false), GetAngUnitName(5));
  // Quantities without a unit of the library, and codes out of range.
  for (int q : {2, 8, 13, 33, 36, -1}) EXPECT_EQ(GetQuantityUnitText(q, true), "") << q;

  EXPECT_EQ(GetCoordinateKindText(1, true), "Local Grid Coordinates");
  EXPECT_EQ(GetCoordinateKindText(0, false), "Geographic");
}

TEST(HdrAccessorsIntegrity, ListsEntriesWithoutRecIdOrPayload) {
  TempFolder tmp;
  CHdrList list;
  Add(list, 139, Words(4, {0}));
  list.AddEntry(151, 0, nullptr, -1);
  Add(list, 0, Words(4, {1}));
  const std::string path = tmp.Path("integrity.txt");
  EXPECT_FALSE(list.CheckIntegrity(path));
  std::ifstream in(path);
  std::stringstream text;
  text << in.rdbuf();
  EXPECT_EQ(text.str(), "pHdrEntry 2 Size 0 RecId 151 \npHdrEntry 3 Size 4 RecId 0 \n");

  CHdrList clean;
  Add(clean, 139, Words(4, {0}));
  EXPECT_TRUE(clean.CheckIntegrity(path));
  EXPECT_FALSE(clean.CheckIntegrity(tmp.Path("no/such/folder.txt")));
}

TEST(HdrAccessorsSystems, GnssPositionPrefers258AndMarksIt) {
  CHdrList list;
  Add(list, 205, Words(664, {4, 5, 6}));
  Add(list, 258, Words(712, {0, 0, 4, 5, 6}));
  const sSysDef sys = System(12, 77, 4, 5, 6);
  int32_t data = -1;
  sHdrEntry* e = list.FindSystemGnssPosition(sys, &data);
  ASSERT_NE(e, nullptr);
  EXPECT_EQ(e->recId, 258u);
  EXPECT_EQ(WordOf(e, 1), 77);
  EXPECT_EQ(data, 165);
  e->SetWord(0, 1);
  list.GetSystemGnssPosition(sys, &data);
  EXPECT_EQ(data, 259);
  e->SetWord(0, -1);
  list.GetSystemGnssPosition(sys, &data);
  EXPECT_EQ(data, 98);

  list.RemoveEntries(258, 0);
  e = list.FindSystemGnssPosition(sys, &data);
  ASSERT_NE(e, nullptr);
  EXPECT_EQ(e->recId, 205u);
  EXPECT_EQ(data, 165);
  EXPECT_EQ(list.GetSystemGnssPosition(sys, &data), nullptr);
  EXPECT_EQ(data, 0);
  EXPECT_EQ(list.FindSystemGnssPosition(System(2, 77, 4, 5, 6), &data), nullptr);
  EXPECT_EQ(data, 0);
}

TEST(HdrAccessorsSystems, UsblRecordsAndTheirDataRecIds) {
  CHdrList list;
  const sSysDef sys = System(2, 9, 3, 1, 0);
  Add(list, 128, Words(36, {3, 1, 4}));
  int32_t data = 0;
  EXPECT_EQ(list.FindSystemUsbl(sys, &data)->recId, 128u);
  EXPECT_EQ(data, 86);
  Add(list, 260, Words(72, {1, 3, 1, 4}));
  EXPECT_EQ(list.FindSystemUsbl(sys, &data)->recId, 260u);
  EXPECT_EQ(data, 261);

  const sHdrEntry* a = nullptr;
  const sHdrEntry* b = nullptr;
  Add(list, 202, Words(52, {3, 1}));
  EXPECT_EQ(list.FindSystemUsblSystem(sys, &a, &b, &data), 0);  // no 195 yet
  EXPECT_EQ(a, nullptr);
  Add(list, 195, Words(72, {3, 1}));
  EXPECT_EQ(list.FindSystemUsblSystem(sys, &a, &b, &data), 260);
  EXPECT_EQ(a->recId, 202u);
  EXPECT_EQ(b->recId, 195u);
  EXPECT_EQ(data, 261);
  EXPECT_EQ(list.GetSystemOldUsblSystem(sys, &data)->recId, 195u);
  list.RemoveEntries(260, 0);
  EXPECT_EQ(list.FindSystemUsblSystem(sys, &a, &b, &data), 128);
  EXPECT_EQ(list.GetSystemUsblSystem(sys, &data)->recId, 202u);
  EXPECT_EQ(data, 86);
  EXPECT_EQ(list.GetSystemUsblSystem(System(3, 9, 3, 1, 0), &data), nullptr);
}

TEST(HdrAccessorsSystems, SensorRecordsByTypeAndKey) {
  CHdrList list;
  Add(list, 219, Words(352, {1, 3, 2}));
  Add(list, 220, Words(360, {5, 40}));
  Add(list, 234, Words(176, {0, 3, 2}));
  int32_t data = 0;
  EXPECT_NE(list.GetSystemSinglebeam(System(35, 1, 3, 2, 0), &data), nullptr);
  EXPECT_EQ(data, 222);
  EXPECT_EQ(list.GetSystemSinglebeam(System(1, 1, 3, 1, 0), &data), nullptr);
  EXPECT_NE(list.GetSystemMultibeam(System(20, 40, 0, 0, 0), &data), nullptr);
  EXPECT_EQ(data, 223);
  EXPECT_EQ(list.GetSystemMultibeam(System(26, 40, 0, 0, 0), &data), nullptr);
  EXPECT_EQ(data, 0);
  EXPECT_NE(list.GetRawDataRecordByKey(Words(12, {0, 3, 2})), nullptr);
  EXPECT_EQ(list.GetRawDataRecordByKey(Words(8, {0, 3})), nullptr);  // key cut off
  EXPECT_EQ(list.GetSinglebeamByKey(Words(12, {9, 3, 2}))->recId, 219u);
}

TEST(HdrAccessorsHeights, PartsComeFromTheMatchingRecordOrAreZero) {
  CHdrList list;
  Bytes gnss = Words(664, {4, 3, 8});
  InitChartDatumPart(std::span(gnss).subspan(16, 576), 2, 900, 1.5, 0.0);
  Add(list, 205, gnss);
  std::array<uint8_t, 576> part{};
  EXPECT_TRUE(list.GetHeightReference(part, 10003, -1));
  EXPECT_EQ(At<double>(Bytes(part.begin(), part.end()), 552), 1.5);
  EXPECT_TRUE(list.GetSystemHeightReference(part, System(12, 1, 4, 3, 8)));
  EXPECT_FALSE(list.GetHeightReference(part, 3, 9));
  EXPECT_EQ(part, (std::array<uint8_t, 576>{}));

  // With a 258 record anywhere the 205 records are not consulted.
  Add(list, 258, Words(40, {0, 0, 4, 3, 8}));  // too short for its part
  EXPECT_FALSE(list.GetHeightReference(part, 3, -1));
  EXPECT_TRUE(list.GetHeightReference(part, 3, 8));
  EXPECT_EQ(At<int32_t>(Bytes(part.begin(), part.end()), 0), 0);

  Bytes datum(1192, 0);
  InitChartDatumPart(std::span(datum).subspan(592, 576), 1, 2500, 0.0, 0.0);
  Add(list, 228, datum);
  EXPECT_TRUE(list.GetChartDatumPart(part, true));
  EXPECT_EQ(At<int32_t>(Bytes(part.begin(), part.end()), 0), 1);
  EXPECT_TRUE(list.GetChartDatumPart(part, false));
  EXPECT_EQ(At<int32_t>(Bytes(part.begin(), part.end()), 0), 0);
}

TEST(HdrAccessorsLookups, SwathSettingLineAndPps) {
  CHdrList list;
  EXPECT_EQ(list.GetSwathSystemSetting(5, 2.5), 2.5);
  Add(list, 220, PayloadBuilder(360).Word(1, 5).Put(80, 1.25f).bytes());
  EXPECT_EQ(list.GetSwathSystemSetting(5, 2.5), 2.5);  // flag word 19 not set
  Add(list, 221, PayloadBuilder(336).Word(1, 6).Word(17, 1).Put(72, 0.75).bytes());
  Add(list, 173, PayloadBuilder(40).Word(0, 7).Word(2, 1).Put(12, 3.5f).bytes());
  EXPECT_EQ(list.GetSwathSystemSetting(6, 0.0), 0.75);
  EXPECT_EQ(list.GetSwathSystemSetting(7, 0.0), 3.5);

  EXPECT_EQ(list.GetLineNumber(), -1);
  EXPECT_EQ(list.GetLineName(), "");
  Add(list, kRecIdLineName, PayloadBuilder(120).Text(0, "Line 12").Word(21, 12).bytes());
  EXPECT_EQ(list.GetLineNumber(), 12);
  EXPECT_EQ(list.GetLineName(), "Line 12");

  Add(list, 241, Words(72, {0, 4, 9}));
  Add(list, 251, Words(80, {0, 4, 7}));
  Add(list, 249, Words(80, {0, 5, 1}));
  const sPpsRecords pps = list.GetPpsRecords(4);
  EXPECT_TRUE(pps.hasPps && pps.hasPulse && !pps.hasTimetag);
  EXPECT_EQ(At<int32_t>(Bytes(pps.pps.begin(), pps.pps.end()), 8), 9);
  EXPECT_EQ(At<int32_t>(Bytes(pps.pulse.begin(), pps.pulse.end()), 8), 7);
  EXPECT_EQ(pps.timetag, (std::array<uint8_t, 80>{}));
  EXPECT_EQ(WordOf(list.FindPps(4), 2), 9);
}

TEST(HdrAccessorsLookups, NodeNumbersAndLinks) {
  CHdrList list;
  Add(list, 205, Words(664, {1, 3, 8}));
  Add(list, 73, Words(72, {1, 3, 9}));
  Add(list, 258, Words(712, {0, 0, 1, 3, 8}));
  EXPECT_NE(list.FindGnssPosition205(10003, -1), nullptr);
  EXPECT_EQ(list.FindGnssPosition205(3, 9), nullptr);
  EXPECT_NE(list.FindGnssPosition73(3, 9), nullptr);
  EXPECT_NE(list.FindGnssPosition258(20003, 8), nullptr);

  Add(list, kRecIdNodeLink, Words(112, {3, 4}));
  Add(list, kRecIdNodeLink, Words(112, {5, 3}));
  Add(list, kRecIdNodeLink, Words(112, {6, 7}));
  EXPECT_EQ(WordOf(list.FindNodeLink(3, -1), 1), 4);
  EXPECT_EQ(list.GetLinkedNode(10003, 2), 5);
  EXPECT_EQ(list.GetLinkedNode(3, 3), -1);
  EXPECT_EQ(list.FindNodeLink(3, 0), nullptr);
  EXPECT_TRUE(list.IsNodeLinked(3, 1, nullptr));
  EXPECT_FALSE(list.IsNodeLinked(7, 1, nullptr));
  EXPECT_TRUE(list.IsNodeLinked(7, 2, nullptr));
  CHdrSubList copies;
  copies.AddTail(Words(112, {8, 9}).data(), 112);
  EXPECT_TRUE(list.IsNodeLinked(9, 3, &copies));
  EXPECT_FALSE(list.IsNodeLinked(3, 3, &copies));

  Add(list, 201, PayloadBuilder(56).Words(0, {70, 12}).Word(7, 2).Put(32, 1.5f).bytes());
  EXPECT_NE(list.FindVariableNode(2, 1.5f, 0.0f, 0.0f), nullptr);
  EXPECT_EQ(list.FindVariableNode(2, 1.5f, 0.0f, 1e-7f), nullptr);
  EXPECT_EQ(WordOf(list.FindVariableNodeByNumber(10012), 0), 70);
}

TEST(HdrAccessorsLookups, RecordsByKeyWords) {
  CHdrList list;
  Add(list, 166, Words(44, {0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 12}));
  Add(list, 166, Words(44, {0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 13}));
  Add(list, 229, Words(88, {14}));
  Add(list, 244, Words(376, {0, 0, 2, 6}));
  Add(list, 208, Words(112, {0, 6}));
  Add(list, 262, Words(112, {0, 6}), 44);
  EXPECT_EQ(WordOf(list.FindObject(13), 10), 13);
  EXPECT_EQ(WordOf(list.FindObject(-1), 10), 12);  // a negative id: the first
  EXPECT_EQ(list.FindObject(14), nullptr);
  EXPECT_NE(list.FindPipeBundle(14), nullptr);  // pipe bundles by word 0
  EXPECT_NE(list.FindAttRecord(6, -1), nullptr);
  EXPECT_EQ(list.FindAttRecord(6, 3), nullptr);
  EXPECT_NE(list.FindDredgingRecord(208, 6), nullptr);
  EXPECT_EQ(list.FindDredgingRecord(262, 6), nullptr);  // not a dredging RecId
  EXPECT_EQ(list.FindAdcp(6)->link, 44);
  EXPECT_EQ(list.GetDredgingKey(), -1);
  Add(list, 207, Words(552, {31}));
  EXPECT_EQ(list.GetDredgingKey(), 31);

  Add(list, 210, Words(64, {1, 6}));
  Add(list, 210, Words(64, {2, 7}));
  Add(list, 210, Words(64, {3, 6}));
  CHdrSubList parts;
  list.GetDredgingComponents(6, parts);
  ASSERT_EQ(parts.GetCount(), 2u);
  EXPECT_EQ(At<int32_t>(parts[1], 0), 3);
}

TEST(HdrAccessorsLookups, DriverSettingsCompareKeysExactly) {
  CHdrList list;
  const auto setting = [](int32_t system, const std::string& key, const std::string& value) {
    return PayloadBuilder(152).Word(0, system).Text(8, key).Text(68, value).bytes();
  };
  Add(list, kRecIdDriverSetting, setting(3, "Port", "COM1"));
  Add(list, kRecIdDriverSetting, setting(3, "Baud", "9600"));
  Add(list, kRecIdDriverSetting, setting(4, "Port", "COM2"));
  // A key and a value that fill their fields without terminators.
  Add(list, kRecIdDriverSetting, PayloadBuilder(152, 'k').Word(0, 5).bytes());
  const auto settings = list.GetDriverSettings(3);
  ASSERT_EQ(settings.size(), 2u);
  EXPECT_EQ(settings.begin()->first, "Baud");
  EXPECT_EQ(list.GetDriverSetting(4, "Port"), "COM2");
  EXPECT_EQ(list.GetDriverSetting(3, "port"), "");
  const auto full = list.GetDriverSettings(5);
  ASSERT_EQ(full.size(), 1u);
  EXPECT_EQ(full.begin()->first.size(), 60u);
  EXPECT_EQ(full.begin()->second.size(), 84u);
}

TEST(HdrAccessorsLookups, CopiesOverKeyedRecordsStayInsideThePayload) {
  CHdrList list;
  Add(list, 128, Words(36, {1, 2, 3}));
  Add(list, 260, Words(72, {0, 1, 2, 3}));
  EXPECT_TRUE(list.SetUsblRecord(Words(36, {1, 2, 3, 99})));
  EXPECT_EQ(WordOf(list.GetEntry(128, 1), 3), 99);
  EXPECT_FALSE(list.SetUsblRecord(Words(36, {1, 2, 4})));
  EXPECT_FALSE(list.SetUsblRecord(Words(8, {1, 2})));
  EXPECT_TRUE(list.SetUsbl260Record(Words(72, {5, 1, 2, 3})));
  EXPECT_EQ(WordOf(list.GetEntry(260, 1), 0), 5);

  sHdrEntry gps;
  gps.recId = kRecIdGpsUtcOffset;
  gps.payload = PayloadBuilder(4).Put(0, 17.0f).bytes();
  sHdrEntry& added = list.AddEntryCached(std::move(gps));
  EXPECT_EQ(list.GetGpsUtcOffset(), 17.0);
  EXPECT_FALSE(list.CopyPayloadCached(added, PayloadBuilder(8).Put(0, 19.0f).bytes()));
  EXPECT_EQ(added.Size(), 4u);
  EXPECT_EQ(list.GetGpsUtcOffset(), 19.0);
}

TEST(HdrAccessorsSubList, FreeLookupsHonourTheirBounds) {
  CHdrSubList l;
  l.AddTail(Words(16, {0, 5, 3, 7}).data(), 16);
  l.AddTail(Words(16, {9999, 1, 2, 3}).data(), 16);
  l.AddTail(Words(16, {10000, 2, 0, 1}).data(), 16);
  l.AddTail(Words(8, {4, 4}).data(), 8);  // a short copy: words 2, 3 missing
  EXPECT_EQ(FindByWord0(l, 0), &l[0]);
  EXPECT_EQ(FindByWords01(l, 4, 4), &l[3]);
  EXPECT_EQ(FindByWords012(l, 9999, 1, 10002), &l[1]);
  EXPECT_EQ(FindByWords012(l, 4, 4, -1), &l[3]);
  EXPECT_EQ(FindByWords012(l, 4, 4, 0), nullptr);
  EXPECT_EQ(FindByWords123(l, 5, 3, -1), &l[0]);
  EXPECT_EQ(FindByWords123(l, 5, 3, 10007), &l[0]);
  EXPECT_EQ(FindByWord1(l, 5), &l[0]);
  EXPECT_EQ(FindByWord1(l, 0), nullptr);
  EXPECT_EQ(FindByWords12(l, 1, 2), &l[1]);
  EXPECT_EQ(FindByWords32(l, 7, -1), &l[0]);
  EXPECT_EQ(FindByWords32(l, 3, 2), &l[1]);
  EXPECT_EQ(FindByWord0Bounded(l, 9999), &l[1]);
  EXPECT_EQ(FindByWord0Bounded(l, 10000), nullptr);
  EXPECT_EQ(FindByWord2(l, 0), nullptr);
  EXPECT_EQ(FindByWord2(l, 2), &l[1]);
  EXPECT_EQ(FindByWords21(l, 0, 2), &l[2]);
  const CHdrSubList& c = l;
  EXPECT_EQ(FindByWords21(c, 3, 5), &c[0]);
}

TEST(HdrAccessorsObjects, ObjectListTakesDefaultsDatumAndReferencePoint) {
  CHdrList list;
  Add(list, 168, PayloadBuilder(28068).Text(4, "Guns").Word(10, 30).bytes());
  Add(list, 166, PayloadBuilder(28080).Text(4, std::string(40, 'V')).Word(10, 1).bytes());
  Add(list, 229, PayloadBuilder(88).Word(0, 40).Text(4, "Bundle").bytes());
  Add(list, 197, PayloadBuilder(104).Words(0, {1, 10}).Put(12, 2.5f).bytes());
  Bytes datum(1192, 0);
  InitChartDatumPart(std::span(datum).subspan(592, 576), 0, 2500, 0.0, 0.0);
  Add(list, 228, datum);
  CObjDefList objects;
  objects.AddNew();
  list.BuildObjectList(objects);
  ASSERT_EQ(objects.GetCount(), 3);
  const sObjDef* vessel = objects.GetAt(0);
  EXPECT_EQ(vessel->id, 1);
  EXPECT_EQ(zor::platform::FieldText(vessel->name), std::string(35, 'V'));
  EXPECT_EQ(vessel->size, kObjDefSize);
  EXPECT_EQ(vessel->kind, 10);
  EXPECT_EQ(vessel->referencePointState, 0);
  EXPECT_EQ(vessel->referencePointValue, 2.5);
  // Code 2500 keeps its low 16 bits under a level of 1000.
  EXPECT_EQ(vessel->settingWords[2], (1000 << 16) | 2500);
  EXPECT_EQ(objects.GetAt(1)->id, 30);
  EXPECT_EQ(objects.GetAt(2)->id, 40);
  EXPECT_EQ(zor::platform::FieldText(objects.GetAt(2)->name), "Bundle");
  // Without a reference point the default state stays.
  EXPECT_EQ(objects.GetAt(1)->referencePointState, MakeDefaultObject(30).referencePointState);
  objects.RemoveAll();
}

std::vector<sShapePoint> Outline(std::size_t n) {
  std::vector<sShapePoint> points(n);
  for (std::size_t i = 0; i < n; ++i) points[i].words[0] = static_cast<uint32_t>(i + 1);
  return points;
}

TEST(HdrAccessorsObjects, OutlinesLiveInTheObjectOrInABinaryObject) {
  CHdrList list;
  Add(list, 166, PayloadBuilder(28080).Word(10, 1).bytes());
  EXPECT_TRUE(list.SetObjectShape(1, Outline(1200)));
  EXPECT_EQ(WordOf(list.GetEntry(166, 1), 19), 1000);
  std::vector<sShapePoint> back;
  EXPECT_TRUE(list.GetObjectShape(1, back));
  EXPECT_EQ(back, Outline(1000));

  // A damaged count never reads past the record.
  list.GetEntry(166, 1)->SetWord(19, 5000);
  EXPECT_TRUE(list.GetObjectShape(1, back));
  EXPECT_EQ(back.size(), 1000u);

  EXPECT_FALSE(list.SetObjectShape(2, Outline(3)));  // no 166 or 267 record
  Add(list, 267, PayloadBuilder(76).Word(10, 2).bytes());
  EXPECT_FALSE(list.GetObjectShape(2, back));
  EXPECT_TRUE(list.SetObjectShape(2, Outline(3)));
  const sHdrEntry* shape = list.FindShape(2, 1);
  ASSERT_NE(shape, nullptr);
  EXPECT_EQ(shape->Size(), 400u);
  EXPECT_EQ(WordOf(shape, 72), 63);
  EXPECT_EQ(At<double>(shape->payload, 352), 1.0);
  EXPECT_TRUE(list.GetObjectShape(2, back));
  EXPECT_EQ(back, Outline(3));
  EXPECT_TRUE(list.SetObjectShape(2, Outline(5)));
  EXPECT_EQ(list.CountEntries(268), 1);
  EXPECT_EQ(list.CountEntries(269), 1);
  EXPECT_TRUE(list.GetObjectShape(2, back));
  EXPECT_EQ(back, Outline(5));

  // A binary object of another kind under the shape's id is left alone.
  const auto blobId = static_cast<uint32_t>(WordOf(shape, 2));
  list.RemoveBlob(blobId);
  ASSERT_TRUE(list.AddBlob(blobId, "text/plain", {1, 2}));
  EXPECT_FALSE(list.GetObjectShape(2, back));
  EXPECT_FALSE(list.SetObjectShape(2, Outline(1)));
  std::string type;
  std::vector<uint8_t> data;
  EXPECT_TRUE(list.GetBlob(blobId, type, data));
  EXPECT_EQ(type, "text/plain");
}

TEST(HdrAccessorsCounters, SummaryAndObjectCounters) {
  UnitLibraryGuard guard;
  CHdrList list;
  Add(list, 166, PayloadBuilder(28080).Word(10, 1).Words(11, {9, 9, 9, 9, 9, 9, 9, 9}).bytes());
  Add(list, 267, PayloadBuilder(76).Word(10, 12).bytes());
  Add(list, 167, Words(48, {0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 20, 1}));
  Add(list, 168, Words(80, {0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 30, 1}));
  Add(list, 169, Words(48, {0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 40, 30}));
  Add(list, 201, PayloadBuilder(56).Words(0, {50, 7}).Word(7, 1).bytes());
  Add(list, 201, PayloadBuilder(56).Words(0, {51, 8}).Word(7, 30).bytes());
  Add(list, 219, Words(352, {0, 1}));
  Add(list, 220, PayloadBuilder(360).Word(8, 7).bytes());
  Add(list, 221, Words(336, {0, 0, 1}));
  Add(list, 226, Words(312, {0, 1}));
  Add(list, 202, Words(52, {1}));
  Add(list, 205, Words(664, {0, 0, 0, 1}));
  Add(list, 258, Words(712, {0, 0, 0, 0, 0, 1}));
  Add(list, 65, PayloadBuilder(104).Word(0, 20).Word(8, 8).bytes());
  Add(list, 57, Words(36, {0, 30}));
  Add(list, 13, Words(72, {1}));
  Add(list, 204, Words(688, {3}));
  Add(list, kRecIdSurveyUnit, SurveyUnit("International Foot", GetConvToMeters(2)));

  list.UpdateSummary();
  const sHdrEntry* summary = list.GetEntry(24, 1);
  ASSERT_NE(summary, nullptr);
  EXPECT_EQ(summary->Size(), 28u);
  for (auto [word, value] : {std::pair{0, 1}, {1, 1}, {2, 2}, {3, 1}, {4, 1}, {5, 1}})
    EXPECT_EQ(WordOf(summary, word), value) << word;

  list.UpdateObjectCounts();
  const sHdrEntry* vessel = list.GetEntry(166, 1);
  const int32_t expected[8] = {1, 1, 0, 3, 1, 1, 2, 1};
  for (int i = 0; i < 8; ++i) EXPECT_EQ(WordOf(vessel, 11 + i), expected[i]) << i;
  EXPECT_EQ(WordOf(list.GetEntry(267, 1), 11), 0);

  list.UpdateGunArrayCounts();
  const sHdrEntry* guns = list.GetEntry(168, 1);
  // The observation's node 8 is carried by the gun array.
  const int32_t gunCounts[4] = {1, 1, 1, 1};
  for (int i = 0; i < 4; ++i) EXPECT_EQ(WordOf(guns, 12 + i), gunCounts[i]) << i;
}

TEST(HdrAccessorsCounters, CorrectionsFollowTheirObservation) {
  CHdrList list;
  Add(list, 140, PayloadBuilder(40).Word(0, 6).Put(16, 9.0f).Put(32, 9.0f).Put(36, 9.0f).bytes());
  Add(list, 140, PayloadBuilder(40).Word(0, 7).Put(16, 9.0f).bytes());
  Add(list, 65, PayloadBuilder(104).Word(0, 1).Word(7, 3).Word(8, 4).Word(11, 6).bytes());
  Add(list, 204, PayloadBuilder(688).Word(0, 3).Put(672, 1e300).bytes());
  Add(list, 141, PayloadBuilder(16).Words(0, {0, 4}).Put(8, 5.0f).bytes());
  Add(list, 141, PayloadBuilder(16).Words(0, {1, 4}).Put(8, 2.0f).Put(12, 3.0f).bytes());
  list.UpdateCorrections();
  const auto& first = list.GetEntry(140, 1)->payload;
  EXPECT_TRUE(std::isinf(At<float>(first, 16)));  // beyond the float range
  EXPECT_EQ(At<float>(first, 32), 2.0f);
  EXPECT_EQ(At<float>(first, 36), 3.0f);
  EXPECT_EQ(At<float>(list.GetEntry(140, 2)->payload, 16), 0.0f);
}

TEST(HdrAccessorsLoadSteps, LambertRecordBecomesDecimalDegrees) {
  const Bytes lambert = PayloadBuilder(88)
                            .Words(0, {52, 30})
                            .Put(8, 36.0f)
                            .Put(12, uint8_t{'S'})
                            .Words(4, {4, 15})
                            .Put(24, 0.0f)
                            .Put(28, uint8_t{'W'})
                            .Word(15, 77)
                            .Put(64, 1.0)
                            .Put(72, 2.0)
                            .Put(80, 3.0)
                            .bytes();
  CHdrList list;
  Add(list, 16, Words(80, {13}));
  Add(list, 19, lambert, 5);
  list.UpgradeLambertRecord();
  const sHdrEntry* e = list.GetEntry(20, 1);
  ASSERT_NE(e, nullptr);
  EXPECT_EQ(e->Size(), 104u);
  EXPECT_EQ(e->link, 5);
  EXPECT_DOUBLE_EQ(At<double>(e->payload, 64), -(52.0 + 30.0 / 60 + 36.0 / 3600));
  EXPECT_DOUBLE_EQ(At<double>(e->payload, 72), -4.25);
  EXPECT_EQ(At<double>(e->payload, 96), 3.0);
  EXPECT_EQ(WordOf(e, 15), 77);
  EXPECT_EQ(list.CountEntries(19), 0);

  CHdrList plane;
  Add(plane, 16, Words(80, {12}));
  Add(plane, 19, lambert);
  plane.UpgradeLambertRecord();
  const sHdrEntry* t = plane.GetEntry(21, 1);
  ASSERT_NE(t, nullptr);
  EXPECT_EQ(t->Size(), 72u);
  EXPECT_DOUBLE_EQ(At<double>(t->payload, 64), -(52.0 + 30.0 / 60 + 36.0 / 3600) * 1000.0);

  CHdrList other;
  Add(other, 16, Words(80, {5}));
  Add(other, 19, lambert);
  other.UpgradeLambertRecord();
  EXPECT_EQ(other.CountEntries(19), 1);
}

// A record too short for the older layout cannot be read: it stays as it
// is, where it is, and does not keep a later whole record from its
// conversion. Every whole record is converted, so a second pass finds none.
TEST(HdrAccessorsLoadSteps, ShortLambertRecordsStayAsTheyAre) {
  for (int32_t projection : {13, 12}) {
    CHdrList list;
    Add(list, 16, Words(80, {projection}));
    Add(list, 19, Bytes{1, 2, 3, 4, 5}, 7);
    Add(list, 19, Bytes(87, 0x11));
    Add(list, 19, PayloadBuilder(88).Word(0, 10).bytes(), 8);
    Add(list, 19, PayloadBuilder(88).Word(0, 20).bytes(), 9);
    list.UpgradeLambertRecord();
    const uint32_t converted = projection == 13 ? 20u : 21u;
    ASSERT_EQ(list.GetCount(), 5u);
    std::vector<uint32_t> ids;
    for (const sHdrEntry& e : list) ids.push_back(e.recId);
    EXPECT_EQ(ids, (std::vector<uint32_t>{16, 19, 19, converted, converted}));
    EXPECT_EQ(list.GetEntry(19, 1)->payload, (Bytes{1, 2, 3, 4, 5}));
    EXPECT_EQ(list.GetEntry(19, 1)->link, 7);
    EXPECT_EQ(list.GetEntry(19, 2)->payload, Bytes(87, 0x11));
    EXPECT_EQ(WordOf(list.GetEntry(static_cast<int32_t>(converted), 2), 0), 20);
    EXPECT_EQ(list.GetEntry(static_cast<int32_t>(converted), 2)->link, 9);

    const CHdrList once = list;
    list.UpgradeLambertRecord();
    ASSERT_EQ(list.GetCount(), once.GetCount());
    for (int32_t i = 1; i <= 2; ++i)
      EXPECT_EQ(list.GetEntry(19, i)->payload, once.GetEntry(19, i)->payload);
  }
}

TEST(HdrAccessorsLoadSteps, ChartDatumCodesAndLinks) {
  Bytes datum(1192, 0);
  InitChartDatumPart(std::span(datum).subspan(16, 576), 0, 200, 0.0, 0.0);
  zor::platform::SetLE(std::span(datum), 592 + 4 * 70, int32_t{1200});
  CHdrList list;
  Add(list, 228, datum, 3);
  list.UpgradeChartDatumCodes();
  const sHdrEntry* e = list.GetEntry(228, 1);
  EXPECT_EQ(WordOf(e, 4 + 2), 900);
  EXPECT_EQ(WordOf(e, 148 + 70), 1900);
  list.ClearLinks();
  EXPECT_EQ(e->link, -1);

  // A chart datum cut short, even one holding the first part's code, is not
  // read as a chart datum: it stays as loaded, as does a whole one behind it.
  CHdrList shortList;
  const Bytes cut(datum.begin(), datum.begin() + 40);
  Add(shortList, 228, cut);
  Add(shortList, 228, datum);
  shortList.UpgradeChartDatumCodes();
  EXPECT_EQ(shortList.GetEntry(228, 1)->payload, cut);
  EXPECT_EQ(WordOf(shortList.GetEntry(228, 2), 6), 200);
}

}  // namespace
