#include "database/definitions/obs_header_entry.h"

#include <gtest/gtest.h>

#include <initializer_list>
#include <vector>

#include "database/definitions/hdr_list.h"
#include "database/definitions/node_def_list.h"
#include "database/definitions/sys_def_list.h"
#include "tests/database/catalogue/payload_builder.h"

namespace {

class FindObsHeaderEntryTest : public testing::Test {
 protected:
  ~FindObsHeaderEntryTest() override {
    systems_.RemoveAll();
    nodes_.RemoveAll();
  }

  const sHdrEntry* Add(int32_t recId, std::initializer_list<int32_t> words) {
    const std::vector<uint8_t> p = PayloadBuilder(0).Words(0, words).bytes();
    header_.AddEntry(recId, static_cast<uint32_t>(p.size()), p.data(), -1);
    const sHdrEntry* last = nullptr;
    for (const sHdrEntry& e : header_) last = &e;
    return last;
  }
  void AddSystem(int32_t id, int32_t type, int32_t l1, int32_t l2, int32_t l3 = 0) {
    sSysDef s{};
    s.id = id;
    s.type = type;
    s.link1 = l1;
    s.link2 = l2;
    s.link3 = l3;
    systems_.AddCopy(s);
  }
  void AddNode(int32_t id, int32_t number, int32_t type = 2, int32_t systemId = 0) {
    sNodeDef n{};
    n.id = id;
    n.number = number;
    n.type = type;
    n.systemId = systemId;
    nodes_.AddCopy(n);
  }
  const sHdrEntry* Find(int32_t type, int32_t number, int32_t systemId = 0, int32_t from = 0,
                        int32_t to = 0) {
    sObsDef obs{};
    obs.type = type;
    obs.number = number;
    obs.systemId = systemId;
    obs.fromNodeId = from;
    obs.toNodeId = to;
    return FindObsHeaderEntry(&obs, header_, &systems_, &nodes_);
  }

  CHdrList header_;
  CSysDefList systems_;
  CNodeDefList nodes_;
};

TEST_F(FindObsHeaderEntryTest, TypesWithoutARecordAndBadObservationsFindNothing) {
  Add(65, {0, 3});
  EXPECT_EQ(Find(13, 3), nullptr);  // a type without a header record
  EXPECT_EQ(Find(0, 3), nullptr);
  EXPECT_EQ(Find(114, 3), nullptr);
  EXPECT_EQ(Find(1, -3), nullptr);
  EXPECT_EQ(FindObsHeaderEntry(nullptr, header_, &systems_, &nodes_), nullptr);
  EXPECT_NE(Find(1, 3), nullptr);
}

TEST_F(FindObsHeaderEntryTest, ObservationRecordsMatchTheNumberAndOthersTheSystem) {
  Add(65, {0, 2});
  const sHdrEntry* second = Add(65, {0, 3});
  const sHdrEntry* third = Add(65, {9, 3});
  EXPECT_EQ(Find(109, 3), second);  // the first match in list order
  EXPECT_NE(third, nullptr);
  EXPECT_EQ(Find(1, 0), nullptr);

  const sHdrEntry* multibeam = Add(220, {0, 12});
  EXPECT_EQ(Find(54, 1, 12), multibeam);
  EXPECT_EQ(Find(54, 1, 13), nullptr);
  const sHdrEntry* sidescan = Add(173, {12});
  EXPECT_EQ(Find(74, 1, 12), sidescan);  // whatever the observation number
  EXPECT_EQ(Find(74, 173, 12), sidescan);
  Add(143, {0});
  EXPECT_EQ(Find(53, 1, 0), nullptr);  // no system id, even against a word 0
}

TEST_F(FindObsHeaderEntryTest, GnssPositionsMatchTheirSystemAndTheFromNode) {
  AddSystem(5, 12, 7, 21, 0);
  AddSystem(6, 12, 8, 21, 0);
  AddNode(1, 21);
  AddNode(2, 22);
  Add(258, {1, 0, 8, 21, 0});                              // system 6
  const sHdrEntry* gnss205 = Add(205, {7, 21, 0});         // system 5, node 21
  const sHdrEntry* gnss258 = Add(258, {1, 0, 7, 21, 0});   // the same, later
  EXPECT_EQ(Find(30, 1, 5, 1), gnss205);
  EXPECT_NE(gnss258, nullptr);
  EXPECT_EQ(Find(68, 1, 6, 1), header_.GetEntry(258, 1));
  EXPECT_EQ(Find(30, 1, 5, 2), nullptr);   // another from-node
  EXPECT_EQ(Find(30, 1, 5, 99), nullptr);  // a from-node not in the list
  EXPECT_EQ(FindObsHeaderEntry(nullptr, header_, nullptr, &nodes_), nullptr);
}

TEST_F(FindObsHeaderEntryTest, UsblRecordsMatchTheirSystemAndTheToNode) {
  AddSystem(3, 2, 4, 1);
  AddNode(10, 31);
  const sHdrEntry* old = Add(128, {4, 1, 31});
  const sHdrEntry* current = Add(260, {0, 4, 1, 31});
  EXPECT_EQ(Find(43, 1, 3, 0, 10), old);
  header_.RemoveEntry(128, 1);
  EXPECT_EQ(Find(45, 1, 3, 0, 10), current);
}

TEST_F(FindObsHeaderEntryTest, SatelliteRecordsMatchTheToNodesSatelliteSystem) {
  AddNode(1, 40);
  AddNode(2, 41, 5, 11);  // a satellite node of system 11
  Add(129, {4, 12});
  const sHdrEntry* ephemeris = Add(129, {4, 11});
  EXPECT_EQ(Find(21, 4, 0, 1, 2), ephemeris);
  EXPECT_EQ(Find(21, 4, 0, 1, 1), nullptr);  // the to-node is no satellite
  const sHdrEntry* dgps = Add(134, {40, 0, 11});
  EXPECT_EQ(Find(33, 0, 0, 1, 2), dgps);
  EXPECT_EQ(Find(33, 0, 0, 7, 2), nullptr);  // from-node not in the list
}

TEST_F(FindObsHeaderEntryTest, SensorRecordsMatchTheSystemTheirKeysName) {
  AddSystem(8, 35, 2, 3);  // a magnetometer keyed like a singlebeam
  AddSystem(9, 3, 2, 3);
  const sHdrEntry* singlebeam = Add(219, {0, 2, 3});
  const sHdrEntry* prh = Add(226, {0, 2, 3});
  Add(234, {0, 2, 3});
  EXPECT_EQ(Find(50, 1, 8), singlebeam);
  EXPECT_EQ(Find(46, 1, 9), prh);
  EXPECT_EQ(Find(90, 1, 8), nullptr);  // raw data records name type-1 systems only
  EXPECT_EQ(Find(46, 1, 8), nullptr);
}

}  // namespace
