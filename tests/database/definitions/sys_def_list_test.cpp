#include "database/definitions/sys_def_list.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>
#include <random>
#include <vector>

#include "tests/database/definitions/definition_test_support.h"

namespace {

class SysDefListTest : public testing::Test {
 protected:
  void TearDown() override {
    sys_.RemoveAll();
    other_.RemoveAll();
  }
  sSysDef* Add(const sSysDef& s) { return sys_.AddCopy(s); }

  CSysDefList sys_, other_;
};

TEST_F(SysDefListTest, LookUpsByLinkAndName) {
  Add(MakeSys(3, 12, "Nav A"))->link1 = 7;
  Add(MakeSys(4, 16))->link1 = 3;
  Add(MakeSys(6, 46))->link1 = 3;
  Add(MakeSys(8, 12, "Nav B"))->link1 = 7;
  Add(MakeSys(9, 16))->link1 = 0;

  EXPECT_EQ(sys_.GetSystemType(-5), 0);
  EXPECT_EQ(sys_.GetIdOfType(11), -1);
  EXPECT_EQ(sys_.FindOffsetSystem(3)->id, 4);
  EXPECT_EQ(sys_.FindOffsetSystem(0), nullptr);  // not system 9
  EXPECT_EQ(sys_.FindComputedHeight(4), nullptr);
  sys_.RelinkPositionSystems(7, 70);
  EXPECT_EQ(sys_.FindById(8)->link1, 70);
  sys_.RelinkPositionSystems(0, 5);  // no id: nothing relinked
  EXPECT_EQ(sys_.FindById(9)->link1, 0);

  EXPECT_EQ(sys_.FindIdByName("Nav B"), 8);
  EXPECT_EQ(sys_.FindIdByName("nav b"), -1);
  EXPECT_EQ(sys_.FindIdByName(nullptr), -1);
  // A name filling its whole field, without a terminator, is read up to the
  // field's width and never beyond.
  sSysDef* full = Add(MakeSys(11, 1));
  std::memset(full->name, 'N', sizeof full->name);
  std::memset(full->driverFile, 'D', sizeof full->driverFile);
  EXPECT_EQ(sys_.FindIdByName(std::string(76, 'N').c_str()), 11);
}

TEST_F(SysDefListTest, FreeIdIsTheSmallestGap) {
  EXPECT_EQ(sys_.GetFreeId(), 1);
  for (int id : {2, 1, 0, -4, 4, 1000000, 3, 3}) Add(MakeSys(id, 1));
  EXPECT_EQ(sys_.GetFreeId(), 5);
  sys_.FindById(2)->id = 7;
  EXPECT_EQ(sys_.GetFreeId(), 2);

  // Ids in any order, with the only gap far down the list.
  sys_.RemoveAll();
  std::vector<int32_t> ids;
  for (int32_t id = 1; id <= 20000; ++id)
    if (id != 12345) ids.push_back(id);
  std::shuffle(ids.begin(), ids.end(), std::mt19937(3));
  for (int32_t id : ids) sys_.AddNew()->id = id;
  EXPECT_EQ(sys_.GetFreeId(), 12345);
  sys_.AddNew()->id = 12345;
  EXPECT_EQ(sys_.GetFreeId(), 20001);
}

TEST_F(SysDefListTest, AssignReusesRecordsFromTheHead) {
  for (int id : {1, 2, 3}) Add(MakeSys(id, 1));
  for (int id : {7, 8}) other_.AddCopy(MakeSys(id, 2));
  sSysDef* kept = sys_.GetAt(1);
  sys_.Assign(other_);
  ASSERT_EQ(sys_.GetCount(), 2);
  EXPECT_EQ(sys_.GetAt(0), kept);  // the surplus head record went
  EXPECT_EQ(sys_.Compare(other_), 0);

  other_.AddCopy(MakeSys(9, 3));
  sys_.Assign(other_);
  ASSERT_EQ(sys_.GetCount(), 3);
  EXPECT_EQ(std::memcmp(sys_.GetAt(2), other_.GetAt(2), sizeof(sSysDef)), 0);
  sys_.Assign(sys_);
  EXPECT_EQ(sys_.GetCount(), 3);
}

sSysDef RandomSys(std::mt19937& rng) {
  sSysDef s = MakeSys(static_cast<int32_t>(rng() % 5) + 1, static_cast<int32_t>(rng() % 3));
  auto small = [&] { return static_cast<int32_t>(rng() % 3) - 1; };  // -1, 0 or 1
  for (int32_t& w : s.ident) w = small();
  s.driverCode = small();
  s.link1 = small();
  s.link2 = small();
  s.link3 = small();
  s.value32 = static_cast<float>(small());
  s.value36 = static_cast<float>(small());
  s.wordA = small();
  s.wordB = small();
  s.wordC = small();
  s.byteD = static_cast<uint8_t>(rng() % 2);
  s.word416 = small();  // not compared
  if (rng() % 2) zor::platform::SetFieldText(s.name, "Other");
  // Records from other processes may fill the whole name field, byte 75
  // included, with no terminator.
  if (rng() % 3 == 0) {
    std::memset(s.name, 'N', sizeof s.name);
    s.name[sizeof s.name - 1] = static_cast<char>('a' + rng() % 3);
  }
  return s;
}

TEST_F(SysDefListTest, ApplyingTheComparedChangesLeavesNoDifference) {
  std::mt19937 rng(11);
  for (int i = 0; i < 2000; ++i) {
    sSysDef a = RandomSys(rng);
    const sSysDef b = RandomSys(rng);
    const uint32_t mask = CSysDefList::CompareSysDefs(a, b);
    CSysDefList::ApplySysDefChanges(a, b, mask);
    EXPECT_EQ(CSysDefList::CompareSysDefs(a, b), 0u);
    // Groups outside the mask are untouched.
    sSysDef c = RandomSys(rng);
    const sSysDef before = c;
    CSysDefList::ApplySysDefChanges(c, b, ~CSysDefList::CompareSysDefs(c, b) & 0x3FFu);
    EXPECT_EQ(CSysDefList::CompareSysDefs(c, b), CSysDefList::CompareSysDefs(before, b));
  }
}

TEST_F(SysDefListTest, CompareSysDefsSpecialCases) {
  const sSysDef base = MakeSys(1, 12);
  auto diff = [&](auto change) {
    sSysDef b = base;
    change(b);
    return CSysDefList::CompareSysDefs(base, b);
  };
  EXPECT_EQ(diff([](sSysDef& b) { b.ident[4] = 1; }), kSysChangeIdentWord4 | kSysChangeIdentWords);
  // Word 3 counts only when neither side is "not set".
  EXPECT_EQ(diff([](sSysDef& b) { b.ident[3] = 5; }), kSysChangeIdentWords);
  EXPECT_EQ(diff([](sSysDef& b) { b.ident[3] = -1; }), 0u);
  // Bytes after the name's terminator and unnamed settings are not compared.
  EXPECT_EQ(diff([](sSysDef& b) { b.name[70] = 'x'; b.word28 = 3; b.reserved[0] = 1; }), 0u);
  // A NaN differs even from itself.
  sSysDef nan = base;
  nan.value36 = std::numeric_limits<float>::quiet_NaN();
  EXPECT_EQ(CSysDefList::CompareSysDefs(nan, nan), kSysChangeValue36);

  // An unterminated name is copied cut to 75 characters and terminated.
  sSysDef src = base;
  std::memset(src.name, 'Q', sizeof src.name);
  sSysDef dst = base;
  CSysDefList::ApplySysDefChanges(dst, src, kSysChangeName);
  EXPECT_EQ(zor::platform::FieldText(dst.name), std::string(75, 'Q'));
  // ... and so compares equal to its source: only the 75 characters count.
  EXPECT_EQ(CSysDefList::CompareSysDefs(dst, src), 0u);
  sSysDef other = src;
  other.name[75] = 'R';
  EXPECT_EQ(CSysDefList::CompareSysDefs(src, other), 0u);
  other.name[74] = 'R';
  EXPECT_EQ(CSysDefList::CompareSysDefs(src, other), kSysChangeName);
}

}  // namespace
