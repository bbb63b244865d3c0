#include "database/definitions/sysdef_upgrades.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <climits>
#include <cstring>
#include <string>
#include <utility>
#include <vector>

#include "database/blockfile/block_file.h"
#include "platform/bytes.h"
#include "tests/database/blockfile/db_bytes.h"
#include "tests/support/temp_folder.h"

namespace {

using testing::ElementsAre;
using testing::Pair;
using zor::platform::FieldText;

// The code and type a record of layout mark 0 ends with.
std::pair<int32_t, int32_t> Mapped(int32_t type, int32_t code) {
  sSysDef r{};
  r.type = type;
  r.driverCode = code;
  EXPECT_FALSE(MapOldSystemType(&r));
  return {r.driverCode, r.type};
}

// A 148-byte block 2 record as the older writer left it, built byte by byte.
std::vector<uint8_t> OldRecord(int32_t id, int32_t type, int32_t code, const std::string& name) {
  std::vector<uint8_t> b(148, 0);
  std::span<uint8_t> s(b);
  for (int i = 0; i < 18; ++i) zor::platform::SetLE(s, 4 * i, int32_t{100 + i});
  zor::platform::SetLE(s, 20, type);
  zor::platform::SetLE(s, 24, code);
  zor::platform::SetLE(s, 32, 2.5f);
  zor::platform::SetLE(s, 56, id);
  std::memcpy(b.data() + 72, name.data(), std::min<std::size_t>(name.size(), 76));
  return b;
}

sSysDefOld AsOld(const std::vector<uint8_t>& bytes) {
  sSysDefOld old;
  std::memcpy(&old, bytes.data(), sizeof old);
  return old;
}

TEST(SysDefUpgradeTest, OldLayoutKeepsItsWordsCutsItsNameAndAwaitsCodeMapping) {
  const sSysDef r = UpgradeOldSysDef(AsOld(OldRecord(7, 10, 1054, "Gyro")));
  EXPECT_THAT(r.ident, ElementsAre(100, 101, 102, 103, 104));
  EXPECT_EQ(r.type, 10);
  EXPECT_EQ(r.driverCode, 1054);
  EXPECT_EQ(r.word28, 107);
  EXPECT_EQ(r.value32, 2.5f);
  EXPECT_THAT(r.words40, ElementsAre(110, 111, 112, 113));
  EXPECT_EQ(r.id, 7);
  EXPECT_EQ(r.link3, 117);
  EXPECT_EQ(FieldText(r.name), "Gyro");
  EXPECT_EQ(r.currentLayout, 0u);
  const auto* bytes = reinterpret_cast<const uint8_t*>(&r);
  EXPECT_TRUE(std::all_of(bytes + 148, bytes + sizeof r, [](uint8_t b) { return b == 0; }));

  // An old name filling all 76 bytes has no terminating zero.
  const sSysDef full = UpgradeOldSysDef(AsOld(OldRecord(1, 10, 1054, std::string(76, 'N'))));
  EXPECT_EQ(FieldText(full.name), std::string(75, 'N'));
  EXPECT_EQ(FieldText(full.driverFile), "");
}

TEST(SysDefUpgradeTest, CurrentAndMissingRecordsAreLeftAlone) {
  EXPECT_FALSE(MapOldSystemType(nullptr));
  sSysDef r{};
  r.type = 10;
  r.driverCode = 1054;
  r.currentLayout = 1;
  EXPECT_TRUE(MapOldSystemType(&r));
  EXPECT_EQ(r.driverCode, 1054);
  EXPECT_EQ(r.type, 10);
}

TEST(SysDefUpgradeTest, OldCodesTakeTheirCurrentFormAndType) {
  // Moved type-10 codes, in both stored forms.
  EXPECT_THAT(Mapped(10, 1054), Pair(310002, 31));
  EXPECT_THAT(Mapped(10, 100054), Pair(310002, 31));
  EXPECT_THAT(Mapped(10, 1055), Pair(300001, 30));
  EXPECT_THAT(Mapped(10, 100097), Pair(310022, 31));
  EXPECT_THAT(Mapped(10, 100083), Pair(310006, 31));
  // Codes with only a six-digit row are widened, not mapped, in one pass;
  // 100072 itself keeps its type.
  EXPECT_THAT(Mapped(10, 1072), Pair(100072, 10));
  EXPECT_THAT(Mapped(10, 1083), Pair(100083, 10));
  EXPECT_THAT(Mapped(12, 100072), Pair(312001, 12));
  // Widening of other 4-digit codes; current codes stay.
  EXPECT_THAT(Mapped(15, 1501), Pair(150001, 15));
  EXPECT_THAT(Mapped(2, 5), Pair(5, 2));
  EXPECT_THAT(Mapped(15, 150133), Pair(150133, 15));
  EXPECT_THAT(Mapped(10, 10000), Pair(10000, 10));
  // Negative codes follow the rule; the most negative wraps as the suite's 32-bit
  // Windows programs do instead of overflowing.
  EXPECT_THAT(Mapped(1, -150), Pair(-10050, 1));
  const int64_t wide = int64_t{INT32_MIN} + int64_t{INT32_MIN / 100} * 9900;
  EXPECT_EQ(Mapped(1, INT32_MIN).first, static_cast<int32_t>(static_cast<uint32_t>(wide)));
}

TEST(SysDefUpgradeTest, SupersededCodesAreReplacedWhereverTheyOccur) {
  CSysDefList list;
  EXPECT_FALSE(RemapSystemCodes(list));
  for (int32_t code : {200188, 180083, 120245, 50203, 30181, 50203, 150133}) {
    sSysDef r{};
    r.driverCode = code;
    list.AddCopy(r);
  }
  EXPECT_TRUE(RemapSystemCodes(list));
  std::vector<int32_t> codes;
  for (const sSysDef* s : list) codes.push_back(s->driverCode);
  EXPECT_THAT(codes, ElementsAre(200057, 180076, 120231, 50185, 30169, 50185, 150133));
  EXPECT_FALSE(RemapSystemCodes(list));
  list.RemoveAll();
}

TEST(SysDefUpgradeTest, OldSystemBlockComesOutCurrent) {
  std::vector<uint8_t> data;
  for (const auto& rec : {OldRecord(1, 10, 1054, "USBL"), OldRecord(2, 5, 50203, "Echo"),
                          OldRecord(3, 20, 2088, "Log")}) {
    data.insert(data.end(), rec.begin(), rec.end());
  }
  TempFolder tmp;
  CBlockFile file;
  ASSERT_TRUE(file.Open(tmp.Write("old.zdb", DbBytes().Count(1).Block(2, data).str()),
                        zor::platform::File::modeRead));
  ASSERT_TRUE(file.FindBlock(kBlockSystemDefinitionsOld));
  BlockHeader header{};
  ASSERT_EQ(file.Read(&header, sizeof header), sizeof header);
  CSysDefList list;
  sSysDefOld old;
  for (uint32_t used = 0; used + sizeof old <= header.size; used += sizeof old) {
    ASSERT_EQ(file.Read(&old, sizeof old), sizeof old);
    list.AddCopy(UpgradeOldSysDef(old));
  }
  EXPECT_TRUE(UpgradeLoadedSysDefs(list));
  std::vector<std::pair<int32_t, int32_t>> result;
  for (const sSysDef* s : list) result.emplace_back(s->driverCode, s->type);
  EXPECT_THAT(result, ElementsAre(Pair(310002, 31), Pair(50185, 5), Pair(200088, 20)));
  EXPECT_EQ(FieldText(list.GetAt(2)->name), "Log");
  list.RemoveAll();
}

TEST(SysDefUpgradeTest, LoggerIsAddedOnceWithTheNextFreeId) {
  CSysDefList list;
  int32_t id = -99;
  AddAsciiLoggerSystem(list, id);
  EXPECT_EQ(id, 1);
  sSysDef expected{};
  expected.type = 15;
  expected.driverCode = 150133;
  expected.value32 = 1.0f;
  expected.id = 1;
  zor::platform::SetFieldText(expected.name, "ASCII Logger");
  expected.currentLayout = 1;
  expected.wordC = 1;
  ASSERT_EQ(list.GetCount(), 1);
  EXPECT_EQ(std::memcmp(list.GetHead(), &expected, sizeof expected), 0);
  id = -99;
  AddAsciiLoggerSystem(list, id);
  EXPECT_EQ(list.GetCount(), 1);
  EXPECT_EQ(id, -99);
  list.RemoveAll();

  for (int32_t existing : {9, 4}) {
    sSysDef r{};
    r.id = existing;
    list.AddCopy(r);
  }
  AddAsciiLoggerSystem(list, id);
  EXPECT_EQ(id, 10);
  // Past the largest id the smallest free one serves.
  list.GetHead()->id = INT32_MAX;
  list.RemoveAt(2);
  AddAsciiLoggerSystem(list, id);
  EXPECT_EQ(id, 1);
  list.RemoveAll();
}

}  // namespace
