#include "database/definitions/hdr_upgrades.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <random>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include "database/blockfile/block_file.h"
#include "database/catalogue/chart_datum_part.h"
#include "database/catalogue/record_type_size.h"
#include "database/definitions/hdr_accessors.h"
#include "database/definitions/hdr_list.h"
#include "database/definitions/hdr_upgrade_chain.h"
#include "database/definitions/shape_points.h"
#include "database/types/obs_defaults.h"
#include "platform/bytes.h"
#include "platform/unit_library.h"
#include "tests/database/blockfile/db_bytes.h"
#include "tests/database/catalogue/payload_builder.h"
#include "tests/support/temp_folder.h"

namespace {

using Bytes = std::vector<uint8_t>;
using P = PayloadBuilder;

void Add(CHdrList& list, int32_t recId, const Bytes& payload, int32_t link = -1) {
  list.AddEntry(recId, static_cast<uint32_t>(payload.size()), payload.data(), link);
}

// A payload of the record type's own size.
P Old(int32_t recId) { return P(RecordTypeSize(recId)); }

template <typename T>
T At(const sHdrEntry* e, std::size_t offset) {
  EXPECT_NE(e, nullptr);
  if (e == nullptr) return T{};
  return zor::platform::GetLEOr(std::span<const uint8_t>(e->payload), offset, T{});
}
int32_t Word(const sHdrEntry* e, std::size_t n) { return At<int32_t>(e, 4 * n); }
std::string Text(const sHdrEntry* e, std::size_t at, std::size_t width) {
  return e == nullptr ? "" : zor::platform::GetText(e->payload, at, width);
}

using Snapshot = std::vector<std::tuple<uint32_t, int32_t, Bytes>>;
Snapshot Snap(const CHdrList& list) {
  Snapshot out;
  for (const sHdrEntry& e : list) out.emplace_back(e.recId, e.link, e.payload);
  return out;
}

std::vector<uint32_t> RecIds(const CHdrList& list) {
  std::vector<uint32_t> ids;
  for (const sHdrEntry& e : list) ids.push_back(e.recId);
  return ids;
}

void Chain(CHdrList& list, int32_t level = 1, bool events = false) {
  RunHdrUpgradeChain(list, HdrUpgradeContext{level, events});
}

// Keeps the unit library's current survey unit across a test.
class UnitGuard {
 public:
  UnitGuard() : name_(GetCurrentUnitName()), factor_(GetCurrentConvToMeters()) {}
  ~UnitGuard() {
    SetUnitName(name_.c_str());
    SetConvToMeters(factor_);
  }

 private:
  std::string name_;
  double factor_;
};

// One hand-built record of every old type, each with something in it.
CHdrList OldDatabase() {
  CHdrList list;
  Add(list, 1, Old(1).Text(0, "L1").bytes());
  Add(list, 25, Old(25).Word(10, 1).Word(19, 2).bytes());
  Add(list, 26, Old(26).Word(10, 20).bytes());
  Add(list, 27, Old(27).Word(10, 30).bytes());
  Add(list, 28, Old(28).Word(10, 40).bytes());
  Add(list, 14, Old(14).Words(0, {1, 2, 0x305}).bytes());
  Add(list, 160, Old(160).Word(0, 900).Put(8, 1.5).bytes());
  Add(list, 179, Old(179).Words(0, {1, 2, 900}).bytes());
  Add(list, 184, Old(184).Words(0, {1, 2}).bytes());
  Add(list, 198, Old(198).Words(0, {1, 2}).bytes());
  Add(list, 203, Old(203).Words(0, {1, 2}).bytes());
  Add(list, 125, Old(125).bytes());
  Add(list, 29, Old(29).Words(0, {1, 7}).bytes());
  Add(list, 182, Old(182).Words(0, {2, 1}).bytes());
  Add(list, 162, Old(162).Word(7, 3).bytes());
  Add(list, 163, Old(163).Word(0, 1).bytes());
  Add(list, 35, Old(35).Word(19, 2).bytes());
  Add(list, 36, Old(36).Words(0, {1, 2, 3, 4, 5}).bytes());
  Add(list, 63, Old(63).Word(0, 3).bytes());
  Add(list, 142, Old(142).Word(0, 3).Put(4, 0.5f).bytes());
  Add(list, 180, Old(180).Word(0, 4).bytes());
  Add(list, 64, Old(64).Words(0, {9, 12}).Text(8, "Node").Word(6, 1).bytes());
  Add(list, 76, Old(76).Words(0, {1, 2}).bytes());
  Add(list, 37, Old(37).Words(0, {1, 1}).bytes());
  Add(list, 38, Old(38).Words(0, {1, 2}).bytes());
  Add(list, 128, Old(128).Words(0, {1, 2, 3}).bytes());
  Add(list, 73, Old(73).Words(0, {6, 3, 0, 1}).bytes());
  Add(list, 164, Old(164).Words(0, {6, 4, 0, 1}).bytes());
  Add(list, 181, Old(181).Words(0, {6, 5, 0, 1}).bytes());
  Add(list, 199, Old(199).Words(0, {6, 6, 0, 1}).bytes());
  Add(list, 34, Old(34).Words(0, {1, 1}).bytes());
  Add(list, 183, Old(183).Words(0, {1, 2}).bytes());
  Add(list, 190, Old(190).Words(0, {1, 3}).bytes());
  Add(list, 40, Old(40).Words(0, {1, 1}).bytes());
  Add(list, 41, Old(41).Words(0, {1, 1}).Text(8, "PRH").bytes());
  Add(list, 154, Old(154).Words(0, {1, 1, 8}).bytes());
  Add(list, 196, Old(196).Words(0, {1, 2}).bytes());
  Add(list, 218, Old(218).Words(0, {1, 3}).bytes());
  Add(list, 144, Old(144).Words(0, {1, 50}).bytes());
  Add(list, 191, Old(191).Words(0, {1, 51}).bytes());
  Add(list, 170, Old(170).Words(0, {1, 52}).bytes());
  Add(list, 192, Old(192).Words(0, {1, 53}).bytes());
  Add(list, 157, Old(157).Word(0, 60).bytes());
  Add(list, 177, Old(177).Word(0, 61).bytes());
  Add(list, 257, Old(257).Words(0, {0, 62, 2, 3}).bytes());
  Add(list, 201, P(56).Words(0, {70, 12}).Word(7, 1).bytes());
  Add(list, 197, P(104).Word(0, 70).bytes());
  Add(list, 207, Old(207).Words(0, {5, 0, 12, 0}).bytes());
  Add(list, 208, Old(208).Words(0, {0, 5}).bytes());
  Add(list, 65, Old(65).Words(0, {60, 1}).Word(8, 12).bytes());
  Add(list, 16, Old(16).Word(0, 13).bytes());
  Add(list, 19, Old(19).bytes());
  Add(list, 206, Old(206).Words(0, {1, 2}).bytes());
  Add(list, 129, Old(129).Words(0, {4, 33}).bytes());
  return list;
}

// The old RecIds the chain replaces.
constexpr int32_t kOldRecIds[] = {1,   14,  19,  25,  26,  27,  28,  29,  34,  35,  36,  37,
                                  38,  40,  41,  63,  64,  73,  76,  128, 142, 144, 154, 157,
                                  160, 162, 163, 164, 170, 177, 179, 180, 181, 182, 183, 184,
                                  190, 191, 192, 196, 198, 199, 203, 205, 218, 257};

TEST(HdrUpgradeChainSteps, LevelZeroLeavesTheListAsRead) {
  CHdrList list = OldDatabase();
  const Snapshot before = Snap(list);
  Chain(list, 0);
  EXPECT_EQ(Snap(list), before);
}

TEST(HdrUpgradeChainSteps, AllOldRecordsGoAndASecondRunChangesNothing) {
  UnitGuard guard;
  CHdrList list = OldDatabase();
  const std::size_t fixes = 1;  // the RecId 125 entry gives one RecId 215
  Chain(list, 1, false);
  for (int32_t r : kOldRecIds) EXPECT_EQ(list.CountEntries(r), 0) << r;
  EXPECT_EQ(list.CountEntries(215), static_cast<int32_t>(fixes));
  EXPECT_EQ(list.CountEntries(258), 4);  // 73, 164, 181, 199 by way of 205
  EXPECT_EQ(list.CountEntries(226), 3);
  EXPECT_EQ(list.CountEntries(267), 1);
  const Snapshot once = Snap(list);
  Chain(list, 1, false);
  Chain(list, 2, true);
  EXPECT_EQ(Snap(list), once);
}

TEST(HdrUpgradeChainSteps, ConditionalStepsNeedNoEventsOrLevelTwo) {
  UnitGuard guard;
  const auto build = [] {
    CHdrList list;
    Add(list, 166, P(28080).Word(10, 1).Word(19, 1).Word(20, 42).bytes(), 3);
    Add(list, 128, Old(128).Words(0, {1, 2, 3}).bytes(), 4);
    Add(list, 73, Old(73).Words(0, {6, 3}).bytes(), 5);
    return list;
  };
  CHdrList level1 = build();
  Chain(level1, 1, /*events=*/true);
  // The logged 73 is kept for the 258 conversion, which waits as well.
  EXPECT_EQ(RecIds(level1), (std::vector<uint32_t>{166, 128, 73}));

  CHdrList level2 = build();
  Chain(level2, 2, /*events=*/true);
  EXPECT_EQ(level2.CountEntries(166), 0);
  EXPECT_EQ(level2.CountEntries(267), 1);
  EXPECT_EQ(level2.GetEntry(260, 1)->link, 4);
  EXPECT_EQ(level2.GetEntry(258, 1)->link, 5);
  std::vector<sShapePoint> outline;
  ASSERT_TRUE(level2.GetObjectShape(1, outline));
  ASSERT_EQ(outline.size(), 1u);
  EXPECT_EQ(outline[0].words[0], 42u);
}

TEST(HdrUpgradeChainSteps, LoadUpgradesAtLevelOneOnly) {
  UnitGuard guard;
  TempFolder tmp;
  const Bytes line = Old(1).Text(0, "Line A").Put(20, 17).Text(24, "Comment").bytes();
  const DbBytes file = DbBytes().Count(1).Block(33, DbBytes()
                                                        .Put(static_cast<uint32_t>(line.size()))
                                                        .Put(uint8_t{0})
                                                        .Put(uint32_t{1})
                                                        .Raw(line)
                                                        .Put(int32_t{-1})
                                                        .bytes());
  const std::string path = tmp.Write("old.zdb", file.str());
  for (int32_t level : {0, 1}) {
    CBlockFile db;
    ASSERT_TRUE(db.Open(path, zor::platform::File::modeRead));
    CHdrList list;
    ASSERT_TRUE(list.Load(db, false, level));
    EXPECT_EQ(RecIds(list), (std::vector<uint32_t>{level == 0 ? 1u : 176u}));
  }
}

// ---- Step by step ----------------------------------------------------------------

TEST(HdrUpgradeSteps, LineNamesAndObjects) {
  CHdrList list;
  Add(list, 1, Old(1).Text(0, std::string(20, 'n')).Put(20, 17).Text(24, "Remark").bytes(), 9);
  UpgradeHdrLineNames(list);
  const sHdrEntry* line = list.GetEntry(176, 1);
  EXPECT_EQ(Text(line, 0, 81), std::string(16, 'n'));
  EXPECT_EQ(Word(line, 21), 17);
  EXPECT_EQ(list.GetLineNumber(), 17);
  EXPECT_EQ(Text(line, 88, 32), "Remark");
  EXPECT_EQ(line->link, -1);

  // A damaged point count is cut to what the old record holds.
  Bytes object = Old(25).Word(0, 3).Text(4, "Vessel").Word(10, 1).Word(19, 150).bytes();
  for (std::size_t i = 0; i < 100; ++i)
    zor::platform::SetLE(std::span(object), 80 + 28 * i, int32_t(i + 1));
  Add(list, 25, object);
  Add(list, 26, Old(26).Word(10, 2).Word(17, 1).Word(18, 77).bytes());
  UpgradeHdrObjects(list);
  UpgradeHdrStreamers(list);
  const sHdrEntry* vessel = list.GetEntry(166, 1);
  EXPECT_EQ(vessel->Size(), 28080u);
  EXPECT_EQ(Word(vessel, 0), 3);
  EXPECT_EQ(Text(vessel, 4, 36), "Vessel");
  EXPECT_EQ(Word(vessel, 19), 100);
  EXPECT_EQ(At<int32_t>(vessel, 80 + 28 * 99), 100);
  EXPECT_EQ(At<int32_t>(vessel, 80 + 28 * 100), 0);
  const sHdrEntry* streamer = list.GetEntry(167, 1);
  EXPECT_EQ(Word(streamer, 17), 1);
  EXPECT_EQ(At<int32_t>(streamer, 72), 77);
  EXPECT_EQ(list.CountEntries(25) + list.CountEntries(26), 0);
}

TEST(HdrUpgradeSteps, ObjectOutlineMovesToABinaryObject) {
  CHdrList list;
  Add(list, 166,
      P(28080)
          .Word(0, 8)
          .Text(4, "Barge")
          .Word(10, 5)
          .Word(18, 6)
          .Word(19, 2)
          .Word(20, 11)
          .Word(27, 22)
          .bytes());
  UpgradeHdrObjectOutlines(list);
  const sHdrEntry* object = list.GetEntry(267, 1);
  ASSERT_NE(object, nullptr);
  EXPECT_EQ(object->Size(), 76u);
  EXPECT_EQ(Word(object, 0), 8);
  EXPECT_EQ(Text(object, 4, 36), "Barge");
  EXPECT_EQ(Word(object, 18), 6);
  std::vector<sShapePoint> outline;
  ASSERT_TRUE(list.GetObjectShape(5, outline));
  ASSERT_EQ(outline.size(), 2u);
  EXPECT_EQ(outline[1].words[0], 22u);
  EXPECT_EQ(list.CountEntries(166), 0);
}

TEST(HdrUpgradeSteps, DatumShiftAndChartDatums) {
  CHdrList list;
  P shift = Old(14).Words(0, {1, 2, 0x0305});
  for (int i = 0; i < 7; ++i) shift.Put(16 + 8 * i, double(i + 1));
  Add(list, 14, shift.bytes());
  UpgradeHdrDatumShifts(list);
  const sHdrEntry* s = list.GetEntry(206, 1);
  EXPECT_EQ(Word(s, 1), 2);
  EXPECT_EQ(Word(s, 2), 1);  // bit 0
  EXPECT_EQ(Word(s, 4), 2);  // bits 1..7
  EXPECT_EQ(Word(s, 5), 3);  // bits 8..15
  EXPECT_EQ(At<double>(s, 80), 7.0);

  Add(list, 160, Old(160).Word(0, 900).Put(8, 1.5).bytes(), 4);
  Add(list, 198,
      Old(198)
          .Words(0, {5, 6, 900, 0, 0, 0, 0, 1200})
          .Put(16, 2.0)
          .Put(32, 3.0)
          .Put(40, 4.0)
          .Word(12, 44)
          .bytes());
  Bytes big = Old(203).Words(0, {7, 8}).Word(290, 55).bytes();
  big[8] = 0xAB;
  big[584 + 575] = 0xCD;
  Add(list, 203, big);
  UpgradeHdrChartDatums(list);
  ASSERT_EQ(list.CountEntries(228), 3);
  const sHdrEntry* a = list.GetEntry(228, 1);
  EXPECT_EQ(a->link, -1);
  EXPECT_EQ(Word(a, 1), 900);
  EXPECT_EQ(Word(a, 2), -999);
  EXPECT_EQ(At<double>(a, 16 + 552), 1.5);
  EXPECT_EQ(At<double>(a, 592 + 552), 1.5);
  const sHdrEntry* b = list.GetEntry(228, 2);
  EXPECT_EQ(Word(b, 292), 44);
  EXPECT_EQ(At<double>(b, 592 + 560), 4.0);  // the second value of part B
  const sHdrEntry* c = list.GetEntry(228, 3);
  EXPECT_EQ(c->payload[16], 0xAB);
  EXPECT_EQ(c->payload[592 + 575], 0xCD);
  EXPECT_EQ(Word(c, 292), 55);
}

TEST(HdrUpgradeSteps, FixOnlyWithoutALoggedFirstEntry) {
  CHdrList logged;
  Add(logged, 125, Old(125).bytes(), 6);
  Add(logged, 125, Old(125).bytes());
  UpgradeHdrFixes(logged);
  EXPECT_EQ(RecIds(logged), (std::vector<uint32_t>{125, 125}));

  CHdrList fresh;
  Add(fresh, 125, Old(125).bytes());
  Add(fresh, 125, Old(125).bytes(), 6);
  UpgradeHdrFixes(fresh);
  EXPECT_EQ(RecIds(fresh), (std::vector<uint32_t>{215}));
}

TEST(HdrUpgradeSteps, ReferencePointsSquatModelsAndSoundVelocity) {
  CHdrList list;
  Add(list, 29, Old(29).Words(0, {1, 7}).Text(8, "Stern").bytes());
  Add(list, 182, Old(182).Words(0, {2, 10, 0, 9}).Text(16, "Bow").bytes());
  UpgradeHdrReferencePoints(list);
  const sHdrEntry* a = list.GetEntry(197, 1);
  EXPECT_EQ(Word(a, 1), 0);
  EXPECT_EQ(Word(a, 3), 7);
  EXPECT_EQ(Text(a, 32, 70), "Stern");
  const sHdrEntry* b = list.GetEntry(197, 2);
  EXPECT_EQ(Word(b, 1), 10);
  EXPECT_EQ(Word(b, 3), 9);
  EXPECT_EQ(Text(b, 32, 70), "Bow");

  for (int32_t kind : {0, 1, 2, 3, 4, 7, -1})
    Add(list, 162, Old(162).Word(6, 5).Word(7, kind).bytes());
  Add(list, 163, Old(163).Word(0, 3).Put(8, 1.5).Put(16, 2.5).bytes());
  UpgradeHdrSquatModels(list);
  const int32_t kinds[] = {1, 101, 2, 102, 3, 0, 0};
  for (int i = 0; i < 7; ++i) EXPECT_EQ(Word(list.GetEntry(213, i + 1), 7), kinds[i]) << i;
  EXPECT_EQ(Word(list.GetEntry(213, 1), 6), 5);
  const sHdrEntry* model = list.GetEntry(214, 1);
  EXPECT_EQ(At<double>(model, 16), 2.5);
  EXPECT_EQ(Word(model, 10), 1);

  Add(list, 35, Old(35).Word(18, 4).Word(19, 0).Text(80, std::string(30, 's')).bytes());
  Add(list, 35, Old(35).Word(19, 3).bytes());
  Add(list, 36, Old(36).Words(0, {1, 2, 3, 4, 5}).bytes());
  UpgradeHdrSoundVelocities(list);
  const sHdrEntry* below = list.GetEntry(193, 1);
  EXPECT_EQ(Word(below, 18), 4);
  EXPECT_EQ(Word(below, 19), 0);
  EXPECT_EQ(Word(below, 20), -1);
  EXPECT_EQ(Word(below, 21), -1);
  EXPECT_EQ(Word(below, 22), -1);
  EXPECT_EQ(Word(below, 23), 0);
  EXPECT_EQ(Text(below, 100, 36), std::string(28, 's'));
  EXPECT_EQ(Word(list.GetEntry(193, 2), 19), -1);
  EXPECT_EQ(Word(list.GetEntry(193, 2), 20), 3);
  const sHdrEntry* profile = list.GetEntry(194, 1);
  EXPECT_EQ(Word(profile, 5), 5);
  EXPECT_EQ(profile->Size(), 32u);
}

TEST(HdrUpgradeSteps, FixedAndVariableNodes) {
  CHdrList list;
  Add(list, 63,
      Old(63)
          .Word(0, 3)
          .Text(4, "Benchmark")
          .Word(6, 2)
          .Word(7, 70)
          .Word(14, 77)
          .Put(64, 1.0)
          .Put(88, 10.0)
          .bytes());
  Add(list, 142, Old(142).Word(0, 3).Put(4, 2.5f).bytes());
  Add(list, 142, Old(142).Word(0, 9).Put(4, 9.5f).bytes());
  Add(list, 180, Old(180).Word(0, 4).Word(8, 80).Word(7, 900).Put(96, 1.25).bytes());
  Add(list, 24, Old(24).Word(4, 1).bytes());
  Add(list, 64,
      Old(64).Words(0, {9, 12}).Text(8, std::string(16, 'v')).Words(6, {1, 0, 0, 0, 5}).bytes());
  UpgradeHdrFixedNodes(list);
  UpgradeHdrVariableNodes(list);
  EXPECT_EQ(list.CountEntries(63) + list.CountEntries(142) + list.CountEntries(180), 0);
  const sHdrEntry* fixed = list.GetEntry(204, 1);
  EXPECT_EQ(Text(fixed, 4, 17), "Benchmark");
  EXPECT_EQ(Word(fixed, 6), 2);
  EXPECT_EQ(Word(fixed, 152), 70);
  EXPECT_EQ(Word(fixed, 159), 77);
  EXPECT_EQ(At<double>(fixed, 640), 1.0);
  EXPECT_EQ(At<double>(fixed, 672), 2.5);
  EXPECT_EQ(At<double>(fixed, 664), 7.5);
  EXPECT_EQ(Word(fixed, 8 + 70), 1000);  // the zero reduction part at 32
  const sHdrEntry* fixed180 = list.GetEntry(204, 2);
  EXPECT_EQ(Word(fixed180, 152), 80);
  EXPECT_EQ(Word(fixed180, 8 + 2), 900);
  EXPECT_EQ(list.CountEntries(24), 1);

  const sHdrEntry* node = list.GetEntry(201, 1);
  EXPECT_EQ(node->Size(), 56u);
  EXPECT_EQ(Word(node, 1), 12);
  EXPECT_EQ(Text(node, 8, 17), std::string(16, 'v'));
  EXPECT_EQ(Word(node, 7), 1);
  EXPECT_EQ(At<float>(node, 44), GetDefaultObsPrecisionInUnits(37, 25, 0.0));
  EXPECT_EQ(At<float>(node, 52), GetDefaultObsPrecisionInUnits(39, 25, 0.0));
  EXPECT_EQ(list.FindVariableNodeByNumber(12), node);
}

TEST(HdrUpgradeSteps, GnssDataAndUsbl) {
  UnitGuard guard;
  SetUnitName(GetUnitName(1));
  SetConvToMeters(1.0);
  CHdrList list;
  Add(list, 76,
      Old(76)
          .Words(0, {1, 2})
          .Text(8, "Station1X")
          .Word(5, 55)
          .Word(15, 66)
          .Text(64, "Reference station")
          .Text(82, "abcdefghij")
          .Text(93, "0123456789")
          .bytes(),
      7);
  UpgradeHdrGnssData(list);
  const sHdrEntry* source = list.GetEntry(200, 1);
  EXPECT_EQ(source->link, 7);
  EXPECT_EQ(Text(source, 8, 9), "Station1");
  EXPECT_EQ(Word(source, 5), 55);
  EXPECT_EQ(Word(source, 15), 66);
  EXPECT_EQ(Text(source, 64, 18), "Reference station");
  EXPECT_EQ(At<float>(source, 84), GetDefaultObsPrecisionInUnits(33, 0, 0.0));
  EXPECT_EQ(Text(source, 88, 11), "abcdefghij");
  EXPECT_EQ(Text(source, 99, 11), "0123456789");

  Add(list, 201, P(56).Words(0, {70, 12}).Word(7, 1).Put(32, 1.0f).Put(36, 2.0f).bytes());
  Add(list, 37, Old(37).Words(0, {1, 1, 2, 3, 4, 5, 6, 7, 8, 1}).bytes(), 2);
  Add(list, 38,
      Old(38)
          .Words(0, {1, 2})
          .Put(12, 1.0f)
          .Put(16, 2.0f)
          .Words(6, {6, 7, 8})
          .Put(36, 10.0f)
          .Put(40, 20.0f)
          .Word(11, 1)
          .Word(12, 12)
          .bytes());
  UpgradeHdrUsblSystems(list);
  const sHdrEntry* system = list.GetEntry(202, 1);
  EXPECT_EQ(system->link, 2);
  EXPECT_EQ(Word(system, 3), 3);
  EXPECT_EQ(Word(system, 4), 1);
  EXPECT_EQ(Word(system, 10), 7);
  EXPECT_EQ(Word(system, 11), 8);
  EXPECT_EQ(Word(system, 12), 70);
  const sHdrEntry* old = list.GetEntry(195, 1);
  EXPECT_EQ(Word(old, 2), 70);
  EXPECT_EQ(Word(old, 9), 8);
  EXPECT_FLOAT_EQ(At<float>(old, 52), 3.048f);  // 10 ft in metres
  EXPECT_FLOAT_EQ(At<float>(old, 56), 6.096f);
  EXPECT_EQ(Word(old, 16), 12);

  Add(list, 128, Old(128).Words(0, {1, 2, 3}).Text(12, "TransponderX").Text(23, "Beacon").bytes(),
      3);
  UpgradeHdrUsbl(list);
  const sHdrEntry* usbl = list.GetEntry(260, 1);
  EXPECT_EQ(Word(usbl, 0), 0);
  EXPECT_EQ(Word(usbl, 3), 3);
  EXPECT_EQ(Text(usbl, 16, 11), "Transponde");
  EXPECT_EQ(Text(usbl, 27, 11), "Beacon");
  EXPECT_EQ(usbl->link, 3);
}

TEST(HdrUpgradeSteps, GnssPositionsTo205AndThen258) {
  UnitGuard guard;
  SetUnitName(GetUnitName(2));
  SetConvToMeters(GetConvToMeters(2));
  CHdrList list;
  Add(list, 73, Old(73).Words(0, {7, 3, 0, 1}).Put(16, 1.5f).Text(28, "Antenna").bytes());
  Add(list, 181,
      Old(181)
          .Words(0, {6, 5, 0, 1, 2, 900})
          .Put(24, 0.25)
          .Put(32, 4.0f)
          .Text(44, "Old antenna")
          .bytes());
  UpgradeHdrGnssPositions73(list);
  UpgradeHdrOldGnssPositions(list);
  ASSERT_EQ(list.CountEntries(205), 2);
  {
    // The newer old layouts keep their entry's word; RecId 164 gets none.
    CHdrList words;
    Add(words, 164, Old(164).bytes(), 5);
    Add(words, 181, Old(181).bytes(), 6);
    Add(words, 199, Old(199).bytes(), 7);
    UpgradeHdrOldGnssPositions(words);
    std::vector<int32_t> links;
    for (const sHdrEntry& e : words) links.push_back(e.link);
    EXPECT_EQ(links, (std::vector<int32_t>{-1, 6, 7}));
  }
  const sHdrEntry* a = list.GetEntry(205, 1);
  EXPECT_EQ(Word(a, 4 + 69), 3);  // kind 7 - 4 as the part's id
  EXPECT_EQ(At<float>(a, 592), 1.5f);
  EXPECT_EQ(At<float>(a, 604), GetDefaultObsPrecisionInUnits(30, 25, 0.0));
  EXPECT_EQ(Text(a, 616, 37), "Antenna");
  const sHdrEntry* b = list.GetEntry(205, 2);
  EXPECT_EQ(Word(b, 4 + 2), 900);
  EXPECT_EQ(At<double>(b, 16 + 552), 0.25);
  EXPECT_EQ(Text(b, 616, 37), "Old antenna");

  // None of the converted entries was logged: the first two 258 records
  // without a word are marked current; the file's logged one is not.
  Add(list, 258, P(712).Word(0, 0).bytes(), 3);
  zor::platform::SetLE(std::span(list.GetEntry(205, 1)->payload), 604, 10.0f);
  UpgradeHdrGnssPositions258(list);
  EXPECT_EQ(list.CountEntries(205), 0);
  ASSERT_EQ(list.CountEntries(258), 3);
  EXPECT_EQ(Word(list.GetEntry(258, 1), 0), 0);
  EXPECT_EQ(Word(list.GetEntry(258, 2), 0), 1);
  EXPECT_EQ(Word(list.GetEntry(258, 3), 0), 1);
  const sHdrEntry* converted = list.GetEntry(258, 2);
  EXPECT_EQ(Word(converted, 2), 7);
  EXPECT_EQ(Word(converted, 5), 1);
  EXPECT_FLOAT_EQ(At<float>(converted, 620), 3.048f);  // 10 ft
  EXPECT_EQ(Text(converted, 632, 37), "Antenna");

  // A logged 73 waits for the 258 conversion.
  CHdrList logged;
  Add(logged, 73, Old(73).Words(0, {5, 3}).bytes(), 4);
  Add(logged, 73, Old(73).Words(0, {5, 4}).bytes());
  UpgradeHdrGnssPositions73(logged);
  EXPECT_EQ(logged.CountEntries(73), 2);
  UpgradeHdrGnssPositions258(logged);
  EXPECT_EQ(Word(logged.GetEntry(258, 1), 0), -1);
  EXPECT_EQ(logged.GetEntry(258, 1)->link, 4);
  EXPECT_EQ(Word(logged.GetEntry(258, 1), 8 + 69), 1);  // kind 5 - 4
}

TEST(HdrUpgradeSteps, SinglebeamsAndPrhSensorsTakeNodesAndCompanions) {
  CHdrList list;
  Add(list, 201, P(56).Words(0, {70, 12}).Word(7, 1).Put(32, 1.0f).Put(36, 2.0f).bytes());
  Add(list, 34,
      Old(34)
          .Words(0, {1, 1})
          .Put(8, 1.0f)
          .Put(12, 2.0f)
          .Words(5, {5, 6, 7, 8, 9})
          .Text(40, "Echo")
          .bytes());
  Add(list, 183,
      Old(183)
          .Words(0, {1, 2})
          .Text(72, "EchoShortX")
          .Word(21, 84)
          .Word(22, 88)
          .Word(25, 100)
          .Word(26, 104)
          .bytes());
  UpgradeHdrSinglebeams(list);
  const sHdrEntry* a = list.GetEntry(219, 1);
  EXPECT_EQ(Word(a, 1), 1);
  EXPECT_EQ(Word(a, 3), 70);
  EXPECT_EQ(Word(a, 7), 8);
  EXPECT_EQ(Word(a, 23), 9);
  EXPECT_EQ(Text(a, 32, 32), "Echo");
  EXPECT_EQ(Word(a, 0), 1);  // none logged: marked current
  const sHdrEntry* b = list.GetEntry(219, 2);
  EXPECT_EQ(Word(b, 3), 0);  // no node at its position
  EXPECT_EQ(Word(b, 19), 88);
  EXPECT_EQ(Word(b, 22), 100);
  EXPECT_EQ(Word(b, 24), 84);
  EXPECT_EQ(Word(b, 25), 104);
  EXPECT_EQ(Text(b, 64, 11), "EchoShortX");

  Add(list, 41, Old(41).Words(0, {4, 1}).Text(8, std::string(80, 't')).bytes());
  Add(list, 154, Old(154).Words(0, {4, 1, 66}).bytes());
  Add(list, 40,
      Old(40)
          .Words(0, {4, 1, 2, 3})
          .Words(12, {12, 13, 14, 15, 16})
          .Text(68, "Motion sensor")
          .bytes(),
      5);
  Add(list, 196, Old(196).Words(0, {4, 2, 2, 3, 4}).Word(23, 23).Text(96, "Gyro").bytes());
  UpgradeHdrPrhSensors(list);
  for (int32_t r : {40, 41, 154, 196}) EXPECT_EQ(list.CountEntries(r), 0) << r;
  const sHdrEntry* prh = list.GetEntry(226, 1);
  EXPECT_EQ(prh->link, 5);
  EXPECT_EQ(Word(prh, 3), 66);
  EXPECT_EQ(Word(prh, 4), 2);
  EXPECT_EQ(At<float>(prh, 56), 20.0f);
  EXPECT_EQ(Word(prh, 16), 12);
  EXPECT_EQ(Word(prh, 51), 16);
  EXPECT_EQ(Text(prh, 72, 22), "Motion sensor");
  EXPECT_EQ(Text(prh, 105, 73), std::string(72, 't'));
  EXPECT_EQ(Word(prh, 0), 0);  // a logged sensor: no fix-up
  const sHdrEntry* gyro = list.GetEntry(226, 2);
  EXPECT_EQ(Word(gyro, 3), 2);
  EXPECT_EQ(Word(gyro, 54), 23);
  EXPECT_EQ(Text(gyro, 105, 73), "");
}

TEST(HdrUpgradeSteps, MultibeamsAndMultitransducers) {
  CHdrList list;
  Add(list, 144,
      Old(144).Words(0, {1, 50, 2}).Word(10, 10).Word(11, 11).Word(15, 15).Word(20, 20).bytes());
  Add(list, 191,
      Old(191).Words(0, {1, 51}).Word(15, 15).Word(24, 24).Word(40, 40).Word(44, 44).bytes(), 3);
  Add(list, 170, Old(170).Words(0, {1, 52, 9}).Put(16, 1.5).Put(56, 2.5).Word(13, 1).bytes());
  UpgradeHdrMultibeams(list);
  UpgradeHdrMultitransducers(list);
  const sHdrEntry* a = list.GetEntry(220, 1);
  EXPECT_EQ(Word(a, 2), 50);
  EXPECT_EQ(Word(a, 7), 2);
  EXPECT_EQ(Word(a, 15), 10);
  EXPECT_EQ(Word(a, 16), 11);
  EXPECT_EQ(Word(a, 20), 15);
  EXPECT_EQ(At<float>(a, 92), 180.0f);
  EXPECT_EQ(Word(a, 25), 20);
  EXPECT_EQ(Word(a, 0), 0);  // 191 carried a word: no fix-up
  const sHdrEntry* b = list.GetEntry(220, 2);
  EXPECT_EQ(Word(b, 20), 15);
  EXPECT_EQ(Word(b, 29), 24);
  EXPECT_EQ(Word(b, 45), 40);
  EXPECT_EQ(Word(b, 49), 44);
  EXPECT_EQ(At<float>(b, 92), 0.0f);
  const sHdrEntry* t = list.GetEntry(221, 1);
  EXPECT_EQ(Word(t, 3), 9);
  EXPECT_EQ(At<double>(t, 32), 1.5);
  EXPECT_EQ(Word(t, 17), 1);
  EXPECT_EQ(At<double>(t, 72), 2.5);
  EXPECT_EQ(Word(t, 0), 1);
}

// Only ids known before the step are skipped: every other old entry gets
// its record, a second one of the same id as well, so no word is lost.
TEST(HdrUpgradeSteps, LoggedIdsBecomeCurrentRecords) {
  for (auto [oldId, step] : {std::pair{157, &UpgradeHdrRawData}, std::pair{177, &UpgradeHdrEventing}}) {
    const int32_t newId = oldId == 157 ? 238 : 254;
    CHdrList list;
    Add(list, newId, P(88).Words(0, {0, 60}).bytes());
    Add(list, newId, P(88).Words(0, {0, 61}).bytes(), 2);
    Add(list, oldId, Old(oldId).Word(0, 60).bytes());
    Add(list, oldId, Old(oldId).Word(0, 62).bytes(), 4);
    Add(list, oldId, Old(oldId).Word(0, 62).bytes());
    Add(list, oldId, Old(oldId).Word(0, 62).bytes(), 5);
    step(list);
    EXPECT_EQ(list.CountEntries(oldId), 0);
    ASSERT_EQ(list.CountEntries(newId), 5);
    EXPECT_EQ(Word(list.GetEntry(newId, 1), 0), 1);
    EXPECT_EQ(Word(list.GetEntry(newId, 2), 0), 0);
    const int32_t links[] = {4, -1, 5};
    for (int32_t i = 0; i < 3; ++i) {
      const sHdrEntry* added = list.GetEntry(newId, 3 + i);
      EXPECT_EQ(Word(added, 0), links[i] == -1 ? 1 : 0);
      EXPECT_EQ(Word(added, 1), 62);
      EXPECT_EQ(added->link, links[i]);
    }
  }

  CHdrList list;
  Add(list, 257, Old(257).Words(0, {0, 7, 8, 9}).bytes(), 6);
  Add(list, 265, P(96).Words(0, {1, 5}).bytes());
  Add(list, 257, Old(257).Words(0, {0, 5, 1, 1}).bytes());
  Add(list, 257, Old(257).Words(0, {0, 7, 3, 4}).bytes(), 8);
  UpgradeHdrSubBottomProfiling(list);
  EXPECT_EQ(list.CountEntries(257), 0);
  ASSERT_EQ(list.CountEntries(265), 3);
  const sHdrEntry* system = list.GetEntry(265, 2);
  EXPECT_EQ(Word(system, 1), 7);
  EXPECT_EQ(Word(system, 2), 8);
  EXPECT_EQ(Word(system, 3), 1);
  EXPECT_EQ(system->link, 6);
  const sHdrEntry* data = list.GetEntry(266, 1);
  EXPECT_EQ(Word(data, 0), 9);
  EXPECT_EQ(Word(data, 1), 7);
  EXPECT_EQ(data->link, -1);
  const sHdrEntry* second = list.GetEntry(265, 3);
  EXPECT_EQ(Word(second, 1), 7);
  EXPECT_EQ(Word(second, 2), 3);
  EXPECT_EQ(second->link, 8);
  ASSERT_EQ(list.CountEntries(266), 2);
  EXPECT_EQ(Word(list.GetEntry(266, 2), 0), 4);
}

TEST(HdrUpgradeSteps, DredgingSystemsAreNamedAndSplitOnce) {
  CHdrList list;
  Add(list, 201, P(56).Words(0, {70, 12}).bytes());
  Add(list, 201, P(56).Words(0, {71, 13}).bytes());
  Add(list, 197, P(104).Words(0, {70, 3}).bytes());
  Add(list, 197, P(104).Words(0, {71, 12}).bytes());
  Add(list, 207, Old(207).Words(0, {5, 0, 12, 13}).bytes());
  Add(list, 208, Old(208).Words(0, {0, 5}).bytes(), 9);
  Add(list, 210, Old(210).Words(0, {0, 5}).bytes());
  Add(list, 210, Old(210).Words(0, {0, 6}).bytes());
  UpgradeHdrDredging(list);
  EXPECT_EQ(Word(list.GetEntry(207, 1), 1), 1);
  EXPECT_EQ(Word(list.GetEntry(197, 1), 1), 12);
  const sHdrEntry* first = list.GetEntry(208, 1);
  EXPECT_EQ(Word(first, 1), 70);
  EXPECT_EQ(Text(first, 8, 32), "Upgraded System 5");
  EXPECT_EQ(first->link, 9);
  const sHdrEntry* second = list.GetEntry(208, 2);
  EXPECT_EQ(Word(second, 1), 71);
  EXPECT_EQ(Text(second, 8, 32), "Upgraded System 5(2)");
  EXPECT_EQ(second->link, -1);
  ASSERT_EQ(list.CountEntries(210), 3);
  EXPECT_EQ(Word(list.GetEntry(210, 2), 1), 6);
  EXPECT_EQ(Word(list.GetEntry(210, 3), 1), 71);

  const Snapshot once = Snap(list);
  UpgradeHdrDredging(list);
  EXPECT_EQ(Snap(list), once);
}

TEST(HdrUpgradeSteps, ManualLaybackObservationsBecomeGnssHeights) {
  CHdrList list;
  Add(list, 201, P(56).Words(0, {70, 12}).Text(8, "Mast top").bytes());
  Add(list, 65, Old(65).Words(0, {60, 4}).Word(8, 12).Word(11, 33).bytes());
  Add(list, 65, Old(65).Words(0, {60, 5}).Word(8, 99).bytes());
  Add(list, 65, Old(65).Words(0, {1, 6}).Word(8, 12).bytes());
  Add(list, 68, Old(68).Words(0, {60, 4}).bytes());
  UpgradeHdrGnssHeights(list);
  ASSERT_EQ(list.CountEntries(78), 1);
  const sHdrEntry* height = list.GetEntry(78, 1);
  EXPECT_EQ(Word(height, 1), 70);
  EXPECT_EQ(Word(height, 2), 12);
  EXPECT_EQ(Word(height, 3), 33);
  EXPECT_EQ(Text(height, 24, 58), "Mast top");
  EXPECT_EQ(Word(list.GetEntry(65, 1), 0), 97);
  EXPECT_EQ(Word(list.GetEntry(65, 2), 0), 97);
  EXPECT_EQ(Word(list.GetEntry(65, 3), 0), 1);
  EXPECT_EQ(Word(list.GetEntry(68, 1), 0), 97);

  CHdrList logged;
  Add(logged, 65, Old(65).Words(0, {60, 4}).bytes(), 3);
  UpgradeHdrGnssHeights(logged);
  EXPECT_EQ(Word(logged.GetEntry(65, 1), 0), 60);
}

TEST(HdrUpgradeSteps, DatumShiftCompanionsAndQuality) {
  CHdrList none;
  Add(none, 188, P(40).Words(0, {1, 2}).bytes());
  Add(none, 247, P(40).Words(0, {1, 2}).bytes());
  UpgradeHdrDatumShiftCompanions(none);
  EXPECT_TRUE(RecIds(none).empty());

  CHdrList list;
  Add(list, 188, P(40).Words(0, {5, 3}).bytes(), 7);
  Add(list, 206, P(88).Words(0, {3, 5}).bytes());
  Add(list, 206, P(88).Words(0, {1, 2}).bytes());
  UpgradeHdrDatumShiftCompanions(list);
  EXPECT_EQ(RecIds(list), (std::vector<uint32_t>{188, 206, 206, 188, 246, 246, 247, 247}));
  EXPECT_EQ(list.GetEntry(188, 1)->link, 7);
  EXPECT_EQ(Word(list.GetEntry(188, 2), 0), 1);
  EXPECT_EQ(list.GetEntry(246, 2)->Size(), 88u);
  EXPECT_EQ(Word(list.GetEntry(247, 1), 1), 5);
  const Snapshot once = Snap(list);
  UpgradeHdrDatumShiftCompanions(list);
  EXPECT_EQ(Snap(list), once);

  CHdrList quality;
  Add(quality, 129, P(8).Words(0, {1, 2}).bytes());
  Add(quality, 129, P(8).Words(0, {3, 33}).bytes());
  Add(quality, 129, P(8).Words(0, {4, 33}).bytes());
  UpgradeHdrQuality(quality);
  std::vector<int32_t> words;
  for (const sHdrEntry& e : quality) words.insert(words.end(), {Word(&e, 0), Word(&e, 1)});
  // Every record of the older code moves to the end, in order, so that a
  // second run finds none left to move.
  EXPECT_EQ(words, (std::vector<int32_t>{1, 2, 3, 1, 4, 1}));
  const Snapshot moved = Snap(quality);
  UpgradeHdrQuality(quality);
  EXPECT_EQ(Snap(quality), moved);
}

TEST(HdrUpgradeSteps, ShortOldEntriesStayUnchanged) {
  CHdrList list;
  Add(list, 1, Bytes(20, 'x'), 3);
  Add(list, 1, Old(1).Text(0, "Kept").bytes());
  Add(list, 25, P(100).Word(19, 1000).bytes());
  Add(list, 166, P(60).bytes(), 2);
  UpgradeHdrLineNames(list);
  UpgradeHdrObjects(list);
  UpgradeHdrObjectOutlines(list);
  EXPECT_EQ(RecIds(list), (std::vector<uint32_t>{1, 25, 166, 176}));
  EXPECT_EQ(list.GetEntry(1, 1)->payload, Bytes(20, 'x'));
  EXPECT_EQ(list.GetEntry(1, 1)->link, 3);
  EXPECT_EQ(list.GetEntry(166, 1)->Size(), 60u);

  // The outline of a converted object goes to a binary object, never into a
  // RecId 166 record left behind, even one that a negative id would name.
  CHdrList outlines;
  const Bytes orphan = P(2000).Word(10, -1).bytes();
  Add(outlines, 166, orphan, 4);
  Add(outlines, 166, P(28080).Word(10, -1).Word(19, 2).Word(20, 42).bytes());
  UpgradeHdrObjectOutlines(outlines);
  ASSERT_EQ(outlines.CountEntries(166), 1);
  EXPECT_EQ(outlines.GetEntry(166, 1)->payload, orphan);
  EXPECT_EQ(outlines.CountEntries(267), 1);
  EXPECT_EQ(outlines.CountEntries(268), 1);
}

// Records of the current RecIds that the steps rewrite in place: one cut
// short is neither read nor given another record's content, and the whole
// records keep every word they are given.
TEST(HdrUpgradeSteps, ShortCurrentEntriesStayUnchanged) {
  CHdrList quality;
  Add(quality, 129, P(8).Words(0, {4, 33}).bytes(), 2);
  Add(quality, 129, P(4).Word(0, 7).bytes(), 5);
  UpgradeHdrQuality(quality);
  ASSERT_EQ(quality.CountEntries(129), 2);
  EXPECT_EQ(quality.GetEntry(129, 1)->payload, P(8).Words(0, {4, 1}).bytes());
  EXPECT_EQ(quality.GetEntry(129, 2)->payload, P(4).Word(0, 7).bytes());
  EXPECT_EQ(quality.GetEntry(129, 2)->link, 5);

  // A companion cut short holds no key: the shift gets a whole one.
  CHdrList shifts;
  Add(shifts, 206, Old(206).Words(0, {3, 0}).bytes());
  Add(shifts, 188, P(4).Word(0, 3).bytes());
  UpgradeHdrDatumShiftCompanions(shifts);
  EXPECT_EQ(shifts.CountEntries(188), 2);
  EXPECT_EQ(shifts.GetEntry(188, 1)->Size(), 4u);
  EXPECT_EQ(Word(shifts.GetEntry(188, 2), 0), 3);

  // A dredging record or an observation too short for its words is left
  // alone, though a whole one beside it is upgraded.
  CHdrList dredging;
  Add(dredging, 201, P(56).Words(0, {70, 0}).bytes());
  Add(dredging, 207, P(12).Words(0, {5, 0, 0}).bytes());
  Add(dredging, 207, Old(207).Words(0, {6, 0, 0}).bytes());
  Add(dredging, 65, P(16).Words(0, {60, 1}).bytes());
  Add(dredging, 65, Old(65).Words(0, {60, 2}).Word(8, 0).bytes());
  UpgradeHdrDredging(dredging);
  UpgradeHdrGnssHeights(dredging);
  EXPECT_EQ(Word(dredging.GetEntry(207, 1), 1), 0);
  EXPECT_EQ(Word(dredging.GetEntry(207, 2), 1), 1);
  EXPECT_EQ(Word(dredging.GetEntry(65, 1), 0), 60);
  EXPECT_EQ(Word(dredging.GetEntry(65, 2), 0), 97);
  EXPECT_EQ(dredging.CountEntries(78), 1);  // for the whole observation only

  // A variable node cut short is no node to build from: the whole one of the
  // same number behind it is taken.
  CHdrList heights;
  Add(heights, 201, P(40).Words(0, {70, 3}).bytes());
  Add(heights, 201, P(56).Words(0, {71, 3}).Text(8, "Whole").bytes());
  Add(heights, 65, Old(65).Words(0, {60, 2}).Word(8, 3).bytes());
  UpgradeHdrGnssHeights(heights);
  ASSERT_EQ(heights.CountEntries(78), 1);
  EXPECT_EQ(Word(heights.GetEntry(78, 1), 1), 71);
  EXPECT_EQ(Text(heights.GetEntry(78, 1), 24, 58), "Whole");
}

}  // namespace

namespace {

// RecIds the chain reads or writes, old and current.
constexpr int32_t kChainRecIds[] = {
    1,   14,  16,  19,  24,  25,  26,  27,  28,  29,  34,  35,  36,  37,  38,  40,  41,
    63,  64,  65,  68,  73,  76,  125, 128, 129, 142, 144, 154, 157, 160, 162, 163, 164,
    166, 170, 177, 179, 180, 181, 182, 183, 184, 188, 190, 191, 192, 196, 197, 198, 199,
    201, 203, 205, 206, 207, 208, 210, 217, 218, 219, 220, 221, 226, 228, 238, 246, 247,
    254, 257, 258, 265, 267};

// Words that the steps compare against, so that generated records meet.
constexpr int32_t kWords[] = {-1, 0, 1, 2, 3, 5, 12, 13, 33, 60, 62, 200, 1200, 10003};

// A list of random entries of the chain's RecIds: most hold their whole
// record, some are cut short (or empty), links are -1 or small.
CHdrList RandomChainList(std::mt19937& rng) {
  CHdrList list;
  const int count = static_cast<int>(rng() % 48);
  for (int i = 0; i < count; ++i) {
    const int32_t recId = kChainRecIds[rng() % std::size(kChainRecIds)];
    const uint32_t full = RecordTypeSize(recId);
    const uint32_t size = rng() % 4 == 0 ? static_cast<uint32_t>(rng() % (full + 1)) : full;
    Bytes payload(size, 0);
    for (std::size_t at = 0; at + 4 <= payload.size(); at += 4) {
      if (rng() % 2 == 0) continue;
      const int32_t w = kWords[rng() % std::size(kWords)];
      std::memcpy(payload.data() + at, &w, 4);
    }
    Add(list, recId, payload, rng() % 3 == 0 ? static_cast<int32_t>(rng() % 9) : -1);
  }
  return list;
}

}  // namespace

// A second run of the chain over its own result changes nothing, whatever
// old, current and cut-short records the list held.
TEST(HdrUpgradeChainSteps, ASecondRunChangesNothingOverGeneratedLists) {
  UnitGuard guard;
  std::mt19937 rng(2024);
  for (int round = 0; round < 800; ++round) {
    CHdrList list = RandomChainList(rng);
    const HdrUpgradeContext context{1 + static_cast<int32_t>(rng() % 2), rng() % 2 == 0};
    const Snapshot input = Snap(list);
    RunHdrUpgradeChain(list, context);
    const Snapshot once = Snap(list);
    // Entries too short for their layout, old or current, stay as they
    // were, in order: no step reads, changes, moves or removes them.
    const auto cutShort = [](const Snapshot& snap) {
      Snapshot out;
      for (const auto& e : snap) {
        const auto recId = static_cast<int32_t>(std::get<0>(e));
        if (std::get<2>(e).size() < RecordTypeSize(recId)) out.push_back(e);
      }
      return out;
    };
    EXPECT_EQ(cutShort(once), cutShort(input)) << "round " << round;
    RunHdrUpgradeChain(list, context);
    if (Snap(list) == once) continue;
    std::string what;
    for (const auto& [recId, link, payload] : input)
      what += " " + std::to_string(recId) + "/" + std::to_string(payload.size()) + "/" +
              std::to_string(link);
    ADD_FAILURE() << "round " << round << " level " << context.upgradeLevel << " events "
                  << context.fileHasEventBlock << " input:" << what;
    const Snapshot twice = Snap(list);
    for (std::size_t i = 0; i < std::min(once.size(), twice.size()); ++i) {
      if (once[i] != twice[i]) {
        ADD_FAILURE() << "first change at " << i << ": RecId " << std::get<0>(once[i]) << " -> "
                      << std::get<0>(twice[i]);
        break;
      }
    }
    if (once.size() != twice.size()) ADD_FAILURE() << once.size() << " -> " << twice.size();
    break;
  }
}
