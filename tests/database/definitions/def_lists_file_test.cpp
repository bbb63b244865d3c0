// The observation, node and system lists in the project database file.
#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "database/definitions/node_def_list.h"
#include "database/definitions/obs_def_list.h"
#include "database/definitions/sys_def_list.h"
#include "platform/bytes.h"
#include "tests/database/definitions/definition_test_support.h"
#include "tests/database/definitions/object_lists_test_support.h"

namespace {

using Bytes = std::vector<uint8_t>;
using zor::platform::FieldText;

// A record of `size` bytes built by offsets, as an older program wrote it.
class OldRecord {
 public:
  explicit OldRecord(std::size_t size) : bytes_(size, 0) {}
  template <typename T>
  OldRecord& At(std::size_t offset, T value) {
    std::memcpy(bytes_.data() + offset, &value, sizeof value);
    return *this;
  }
  OldRecord& Text(std::size_t offset, const std::string& text) {
    std::memcpy(bytes_.data() + offset, text.data(), text.size());
    return *this;
  }
  const Bytes& bytes() const { return bytes_; }

 private:
  Bytes bytes_;
};

Bytes Join(std::initializer_list<Bytes> parts) {
  Bytes out;
  for (const Bytes& p : parts) out.insert(out.end(), p.begin(), p.end());
  return out;
}

// The file a list writes as its only block.
template <typename List>
std::string SavedAlone(List& list) {
  ScratchDb db;
  db.file().Seek(4, zor::platform::File::begin);
  EXPECT_EQ(list.Save(db.file()), 1);
  db.file().SetBlockCount(1);
  return db.Bytes();
}

template <typename List>
int LoadAt4(List& list, const Bytes& file) {
  ScratchDb db(file);
  db.file().Seek(4, zor::platform::File::begin);
  return list.Load(db.file());
}

template <typename Record>
Bytes BlockOf(uint32_t type, const std::vector<Record>& records) {
  Bytes data;
  for (const Record& r : records) {
    const Bytes b = BytesOf(r);
    data.insert(data.end(), b.begin(), b.end());
  }
  return DbBytes().Count(1).Block(type, data).bytes();
}

class DefListsFileTest : public testing::Test {
 protected:
  void TearDown() override {
    obs_.RemoveAll();
    nodes_.RemoveAll();
    systems_.RemoveAll();
  }
  CObsDefList obs_;
  CNodeDefList nodes_;
  CSysDefList systems_;
  std::mt19937 rng_{20240301};
};

// ---- Round trips -----------------------------------------------------------------

TEST_F(DefListsFileTest, ObservationsRoundTripByteForByteWithTheMarkCleared) {
  std::vector<sObsDef> records;
  for (int i = 0; i < 3; ++i) {
    records.push_back(RandomBytes<sObsDef>(rng_));
    records.back().transient = 0x5A;
  }
  for (const sObsDef& r : records) obs_.AddCopy(r);

  const std::string saved = SavedAlone(obs_);
  for (sObsDef& r : records) r.transient = 0;
  const Bytes expected = BlockOf(40, records);
  EXPECT_EQ(saved, std::string(expected.begin(), expected.end()));
  EXPECT_EQ(obs_.GetAt(0)->transient, 0);  // the list's own records too

  CObsDefList back;
  ASSERT_EQ(LoadAt4(back, Bytes(saved.begin(), saved.end())), 1);
  ASSERT_EQ(back.GetCount(), 3);
  for (int i = 0; i < 3; ++i) EXPECT_TRUE(SameBytes(back.GetAt(i), &records[i])) << i;
  EXPECT_EQ(SavedAlone(back), saved);
  back.RemoveAll();
}

TEST_F(DefListsFileTest, NodesAndSystemsRoundTripByteForByte) {
  std::vector<sNodeDef> nodes;
  std::vector<sSysDef> systems;
  for (int i = 0; i < 4; ++i) {
    nodes.push_back(RandomBytes<sNodeDef>(rng_));
    nodes.back().displayFlag = 7;  // set: kept as stored
    nodes_.AddCopy(nodes.back());
    systems.push_back(RandomBytes<sSysDef>(rng_));
    systems.back().driverCode = 150001 + i;  // no superseded code
    systems.back().currentLayout = 0;
    systems_.AddCopy(systems.back());
  }
  const std::string savedNodes = SavedAlone(nodes_);
  const Bytes expectedNodes = BlockOf(38, nodes);
  EXPECT_EQ(savedNodes, std::string(expectedNodes.begin(), expectedNodes.end()));

  const std::string savedSystems = SavedAlone(systems_);
  for (sSysDef& s : systems) s.currentLayout = 1;
  const Bytes expectedSystems = BlockOf(27, systems);
  EXPECT_EQ(savedSystems, std::string(expectedSystems.begin(), expectedSystems.end()));

  CNodeDefList nodesBack;
  CSysDefList systemsBack;
  ASSERT_EQ(LoadAt4(nodesBack, expectedNodes), 1);
  ScratchDb db(expectedSystems);
  ASSERT_EQ(systemsBack.Load(db.file()), 1);
  ASSERT_EQ(nodesBack.GetCount(), 4);
  ASSERT_EQ(systemsBack.GetCount(), 4);
  for (int i = 0; i < 4; ++i) {
    EXPECT_TRUE(SameBytes(nodesBack.GetAt(i), &nodes[i])) << i;
    EXPECT_TRUE(SameBytes(systemsBack.GetAt(i), &systems[i])) << i;
  }
  EXPECT_EQ(SavedAlone(nodesBack), savedNodes);
  EXPECT_EQ(SavedAlone(systemsBack), savedSystems);
  nodesBack.RemoveAll();
  systemsBack.RemoveAll();
}

TEST_F(DefListsFileTest, EmptyListsWriteEmptyBlocksAndLoadAppends) {
  EXPECT_EQ(SavedAlone(obs_), DbBytes().Count(1).Block(40, {}).str());
  EXPECT_EQ(SavedAlone(nodes_), DbBytes().Count(1).Block(38, {}).str());
  EXPECT_EQ(SavedAlone(systems_), DbBytes().Count(1).Block(27, {}).str());

  obs_.AddCopy(MakeObs(9, 9, 1, 1));
  ASSERT_EQ(LoadAt4(obs_, BlockOf(40, std::vector<sObsDef>{MakeObs(1, 1, 1, 1)})), 1);
  ASSERT_EQ(obs_.GetCount(), 2);
  EXPECT_EQ(obs_.GetAt(0)->id, 9);
  EXPECT_EQ(obs_.GetAt(1)->id, 1);
}

// ---- Older layouts -----------------------------------------------------------

TEST_F(DefListsFileTest, ObservationBlock37IsConverted) {
  const Bytes r = OldRecord(200)
                      .At<int32_t>(0, 5).At<int32_t>(4, -6).At<int32_t>(8, 7)
                      .Text(12, std::string(60, 'N'))
                      .At<uint8_t>(73, 0xEE).At<uint8_t>(74, 3).At<uint8_t>(75, 4)
                      .At<int32_t>(76, 11).At<int32_t>(80, 12).At<int32_t>(84, 8)
                      .At<int32_t>(88, 13).At<int32_t>(92, 14).At<int32_t>(96, 15)
                      .At(104, 1.5).At(112, 2.5).At(120, 3.5).At(128, 4.5).At(136, 5.5)
                      .At(144, 6.5).At(152, 7.25f).At(156, 8.25f)
                      .Text(160, "0123456789").Text(171, "abcdefghij")
                      .Text(182, "SHORTNAME1234").At(196, 9.5f)
                      .bytes();
  sObsDef expected = MakeObs(5, -6, 7, 8, 11, 12);
  zor::platform::SetFieldText(expected.name, std::string(60, 'N'));
  expected.setting74 = 3;
  expected.setting75 = 4;
  expected.word88 = 13;
  expected.word92 = 14;
  expected.word96 = 15;
  expected.value104 = 1.5;
  expected.ratioA = 2.5;
  expected.ratioB = 3.5;
  expected.c1 = 4.5;
  expected.c2 = 5.5;
  expected.scale = 6.5;
  expected.value160 = 7.25f;
  expected.value164 = 8.25f;
  zor::platform::SetFieldText(expected.tag1, "0123456789");
  zor::platform::SetFieldText(expected.tag2, "abcdefghij");
  zor::platform::SetFieldText(expected.shortName, "SHORTNAME1234");
  expected.timeOut = 9.5f;

  ASSERT_EQ(LoadAt4(obs_, DbBytes().Count(1).Block(37, Join({r, r})).bytes()), 1);
  ASSERT_EQ(obs_.GetCount(), 2);
  EXPECT_TRUE(SameBytes(obs_.GetAt(1), &expected));  // mark, quadratic, tail all 0
}

TEST_F(DefListsFileTest, ObservationBlock4GetsItsTypesDefaultTimeOut) {
  const auto old4 = [](int32_t id, int32_t type) {
    return OldRecord(192)
        .At<int32_t>(0, id).At<int32_t>(4, id).At<int32_t>(8, 2)
        .Text(12, "Obs " + std::to_string(id))
        .At<uint8_t>(74, 9)   // not part of this layout
        .At<int32_t>(76, 21).At<int32_t>(80, 22).At<int32_t>(84, type).At<int32_t>(88, 23)
        .At<int32_t>(92, 99)  // nor is this
        .At(104, 1.0).At(144, 2.0).At(152, 3.5f)
        .Text(156, "TAG1").Text(167, "TAG2").Text(178, "Short")
        .bytes();
  };
  ASSERT_EQ(LoadAt4(obs_, DbBytes().Count(1).Block(4, Join({old4(1, 59), old4(2, 8)})).bytes()),
            1);
  ASSERT_EQ(obs_.GetCount(), 2);
  sObsDef expected = MakeObs(1, 1, 2, 59, 21, 22);
  expected.word88 = 23;
  expected.value104 = 1.0;
  expected.scale = 2.0;
  expected.value160 = 3.5f;
  zor::platform::SetFieldText(expected.tag1, "TAG1");
  zor::platform::SetFieldText(expected.tag2, "TAG2");
  zor::platform::SetFieldText(expected.shortName, "Short");
  expected.timeOut = 60.0f;  // type 59
  EXPECT_TRUE(SameBytes(obs_.GetAt(0), &expected));
  EXPECT_EQ(obs_.GetAt(1)->timeOut, 5.0f);  // type 8
}

TEST_F(DefListsFileTest, NodeBlock6IsConvertedWithDisplayDefaults) {
  const Bytes r = OldRecord(112)
                      .At<int32_t>(0, 3).At<int32_t>(4, 103).At<int32_t>(8, 4)
                      .Text(12, std::string(61, 'M'))  // no terminator: 60 are taken
                      .At<int32_t>(76, 2).At<int32_t>(80, 6).At<int32_t>(84, 77)
                      .At(88, 1.25).At(96, -2.5).At(104, 3.75)
                      .bytes();
  ASSERT_EQ(LoadAt4(nodes_, DbBytes().Count(1).Block(6, r).bytes()), 1);
  ASSERT_EQ(nodes_.GetCount(), 1);
  sNodeDef expected = MakeNode(3, 103, 6, 1.25, -2.5, 3.75, 2);
  expected.systemId = 4;
  zor::platform::SetFieldText(expected.name, std::string(60, 'M'));
  expected.word84 = -1;
  expected.displayFlag = 1;
  expected.display74 = 25;
  expected.display75 = 2;
  EXPECT_TRUE(SameBytes(nodes_.GetAt(0), &expected));

  // A current record without display bytes gets them; one with them keeps its own.
  sNodeDef set = MakeNode(2, 2, 1, 0, 0, 0);
  set.displayFlag = 2;
  set.display74 = 9;
  ASSERT_EQ(LoadAt4(nodes_, BlockOf(38, std::vector<sNodeDef>{MakeNode(1, 1, 1, 0, 0, 0), set})),
            1);
  EXPECT_EQ(nodes_.GetAt(1)->display74, 25);
  EXPECT_TRUE(SameBytes(nodes_.GetAt(2), &set));
}

TEST_F(DefListsFileTest, SystemsFromTheOlderBlockAreConvertedAndMapped) {
  const Bytes old = OldRecord(148)
                        .At<int32_t>(0, 1).At<int32_t>(12, -1).At<int32_t>(20, 10)
                        .At<int32_t>(24, 1054).At<int32_t>(56, 4).At<int32_t>(60, 8)
                        .Text(72, std::string(76, 'S'))
                        .bytes();
  const Bytes old2 = OldRecord(148).At<int32_t>(24, 1501).At<int32_t>(56, 5).bytes();
  // Behind a block of another type, so the reader must find it.
  ScratchDb db(DbBytes().Count(2).Block(40, 3, 0).Block(2, Join({old, old2})).bytes());
  ASSERT_EQ(systems_.Load(db.file()), 1);
  ASSERT_EQ(systems_.GetCount(), 2);
  const sSysDef& s = *systems_.GetAt(0);
  EXPECT_EQ(s.id, 4);
  EXPECT_EQ(s.link1, 8);
  EXPECT_EQ(s.ident[3], -1);
  EXPECT_EQ(s.type, 31);
  EXPECT_EQ(s.driverCode, 310002);
  EXPECT_EQ(FieldText(s.name), std::string(75, 'S'));
  EXPECT_EQ(FieldText(s.driverFile), "");
  EXPECT_EQ(s.currentLayout, 0u);
  EXPECT_EQ(systems_.GetAt(1)->driverCode, 150001);
}

TEST_F(DefListsFileTest, CurrentSystemsKeepTheirCodesButSupersededOnesAreReplaced) {
  sSysDef current = MakeSys(1, 10);
  current.driverCode = 1054;
  current.currentLayout = 1;
  sSysDef superseded = MakeSys(2, 5);
  superseded.driverCode = 50203;
  superseded.currentLayout = 1;
  sSysDef unmarked = MakeSys(3, 10);
  unmarked.driverCode = 1054;
  Bytes file = BlockOf(27, std::vector<sSysDef>{current, superseded, unmarked});
  // A block 2 behind block 27 is not read.
  file[0] = 2;
  const Bytes stale = DbBytes().Block(2, OldRecord(148).At<int32_t>(56, 9).bytes()).bytes();
  file.insert(file.end(), stale.begin(), stale.end());

  ScratchDb db(file);
  ASSERT_EQ(systems_.Load(db.file()), 1);
  ASSERT_EQ(systems_.GetCount(), 3);
  EXPECT_EQ(systems_.GetAt(0)->driverCode, 1054);
  EXPECT_EQ(systems_.GetAt(1)->driverCode, 50185);
  EXPECT_EQ(systems_.GetAt(2)->driverCode, 310002);
  EXPECT_EQ(systems_.GetAt(2)->type, 31);
}

TEST_F(DefListsFileTest, NoSystemBlockStillChecksTheListsCodes) {
  sSysDef before = MakeSys(1, 5);
  before.driverCode = 30181;
  before.currentLayout = 1;
  systems_.AddCopy(before);
  ScratchDb db(DbBytes().Count(1).Block(40, {}).bytes());
  EXPECT_EQ(systems_.Load(db.file()), 1);
  ASSERT_EQ(systems_.GetCount(), 1);
  EXPECT_EQ(systems_.GetAt(0)->driverCode, 30169);
}

// ---- Damaged blocks --------------------------------------------------------------

TEST_F(DefListsFileTest, CutBlocksKeepTheWholeRecordsBeforeTheCut) {
  const std::vector<sObsDef> obs = {MakeObs(1, 1, 1, 1), MakeObs(2, 2, 1, 1)};
  Bytes data = BlockOf(40, obs);
  // The header claims a third record; the file holds half of it.
  Bytes cut = data;
  const uint32_t claimed = 3 * sizeof(sObsDef);
  std::memcpy(cut.data() + 8, &claimed, 4);
  cut.insert(cut.end(), 120, 0xAB);
  ASSERT_EQ(LoadAt4(obs_, cut), 0);
  ASSERT_EQ(obs_.GetCount(), 2);
  EXPECT_EQ(obs_.GetAt(1)->id, 2);

  // A block whose size is no multiple of the record: the tail is left.
  CNodeDefList nodes;
  Bytes nodeData = BytesOf(MakeNode(1, 1, 1, 0, 0, 0));
  nodeData.resize(nodeData.size() + 100, 0);
  EXPECT_EQ(LoadAt4(nodes, DbBytes().Count(1).Block(38, nodeData).bytes()), 0);
  EXPECT_EQ(nodes.GetCount(), 1);
  nodes.RemoveAll();

  // A system block ending inside a record keeps the records before it.
  Bytes sysData = BytesOf(MakeSys(4, 1));
  sysData.resize(sysData.size() + 511, 0);
  ScratchDb db(DbBytes().Count(1).Block(27, sysData).bytes());
  EXPECT_EQ(systems_.Load(db.file()), 0);
  ASSERT_EQ(systems_.GetCount(), 1);
  EXPECT_EQ(systems_.GetAt(0)->id, 4);
  systems_.RemoveAll();

  // A size far beyond the file: the block file finds no such block, so the
  // older block behind it is read instead and nothing is allocated by it.
  Bytes huge = DbBytes().Count(2).Block(27, BytesOf(MakeSys(5, 1)), 0xFFFFFFF0u).bytes();
  ScratchDb hugeDb(huge);
  EXPECT_EQ(systems_.Load(hugeDb.file()), 1);
  EXPECT_EQ(systems_.GetCount(), 0);

  CSysDefList old;
  Bytes oldData(148 + 147, 0);
  ScratchDb db2(DbBytes().Count(1).Block(2, oldData).bytes());
  EXPECT_EQ(old.Load(db2.file()), 0);
  EXPECT_EQ(old.GetCount(), 1);
  old.RemoveAll();
}

TEST_F(DefListsFileTest, BlocksOfAnotherTypeOrNoHeaderReadNothing) {
  const Bytes other = BlockOf(38, std::vector<sNodeDef>{MakeNode(1, 1, 1, 0, 0, 0)});
  EXPECT_EQ(LoadAt4(obs_, other), 0);
  EXPECT_EQ(obs_.GetCount(), 0);
  EXPECT_EQ(LoadAt4(nodes_, BlockOf(40, std::vector<sObsDef>{MakeObs(1, 1, 1, 1)})), 0);
  EXPECT_EQ(nodes_.GetCount(), 0);
  // An empty block of another type is no observation block either.
  EXPECT_EQ(LoadAt4(obs_, DbBytes().Count(1).Block(5, {}).bytes()), 0);
  // The file ends before the header.
  EXPECT_EQ(LoadAt4(obs_, DbBytes().Count(1).Put<uint32_t>(40).bytes()), 0);
  EXPECT_EQ(LoadAt4(nodes_, DbBytes().Count(0).bytes()), 0);
  EXPECT_EQ(obs_.GetCount(), 0);
  EXPECT_EQ(nodes_.GetCount(), 0);
}

}  // namespace
