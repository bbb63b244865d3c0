#include "database/definitions/height_def_list.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "database/definitions/node_def_list.h"
#include "database/definitions/obj_def_list.h"
#include "database/definitions/object_defaults.h"
#include "database/definitions/obs_def_list.h"
#include "database/definitions/record_block.h"
#include "platform/bytes.h"
#include "tests/database/definitions/definition_test_support.h"
#include "tests/database/definitions/object_lists_test_support.h"

namespace {

using Bytes = std::vector<uint8_t>;
using zor::platform::FieldText;

// An older height record of `size` bytes: id, value and the words given.
Bytes OldHeight(uint32_t size, int32_t id, int32_t value,
                std::initializer_list<std::pair<uint32_t, int32_t>> words = {}) {
  Bytes b(size, 0);
  std::memcpy(b.data(), &id, 4);
  std::memcpy(b.data() + 4, &value, 4);
  for (auto [n, w] : words) std::memcpy(b.data() + 4 * n, &w, 4);
  return b;
}

class HeightOlderTest : public testing::Test {
 protected:
  void SetUp() override {
    objects_.AddCopy(MakeDefaultObject(1));
    objects_.AddCopy(MakeDefaultObject(2));
    nodes_.AddCopy(MakeNode(10, 110, 1, 0, 0, 0, /*type=*/4));
    nodes_.AddCopy(MakeNode(20, 120, 2, 0, 0, 0, /*type=*/3));
    obs_.AddCopy(MakeObs(1, 1, /*system=*/7, 1, /*from=*/10, 0));
    obs_.AddCopy(MakeObs(2, 2, /*system=*/8, 1, /*from=*/20, 0));
  }
  void TearDown() override {
    heights_.RemoveAll();
    objects_.RemoveAll();
    nodes_.RemoveAll();
    obs_.RemoveAll();
  }
  int LoadOlder(uint32_t type, const Bytes& data) {
    ScratchDb db(DbBytes().Count(1).Block(type, data).bytes());
    if (!db.file().FindBlock(type)) return -1;
    return heights_.LoadOlder(db.file(), type, objects_, obs_, nodes_);
  }

  CHeightDefList heights_;
  CObjDefList objects_;
  CNodeDefList nodes_;
  CObsDefList obs_;
};

TEST_F(HeightOlderTest, OlderRecordsBecomeHeightsAndSetTheirObject) {
  Bytes data = OldHeight(336, 7, 70, {{82, 1}, {6, 66}, {80, 1}, {4, 44}});
  const Bytes second = OldHeight(336, 8, 80, {{80, 1}, {4, 45}});
  const Bytes unknown = OldHeight(336, 9, 90, {{82, 1}, {6, 99}});
  data.insert(data.end(), second.begin(), second.end());
  data.insert(data.end(), unknown.begin(), unknown.end());
  objects_.GetAt(1)->derivedSensorWords[1] = 123;

  ASSERT_EQ(LoadOlder(kBlockHeightDefinitionsOld24, data), 1);
  ASSERT_EQ(heights_.GetCount(), 3);
  EXPECT_EQ(heights_.GetAt(0)->id, 7);
  EXPECT_EQ(heights_.GetAt(0)->value, 70u);
  EXPECT_EQ(heights_.GetAt(0)->size, kHeightDefSize);
  EXPECT_EQ(heights_.GetAt(0)->version, kHeightDefVersion);
  EXPECT_EQ(heights_.FindById(9)->value, 90u);
  EXPECT_EQ(objects_.GetAt(0)->derivedSensorWords[0], 66);
  EXPECT_EQ(objects_.GetAt(0)->derivedSensorWords[1], 44);
  EXPECT_EQ(objects_.GetAt(1)->derivedSensorWords[0], 45);  // the first free
  EXPECT_EQ(objects_.GetAt(1)->derivedSensorWords[1], 0);

  // Only the listed block types are read.
  heights_.RemoveAll();
  EXPECT_EQ(LoadOlder(26, data), 0);
  EXPECT_TRUE(heights_.IsEmpty());
  // 28 records of another size: none in a block of 336-byte records.
  EXPECT_EQ(LoadOlder(kBlockHeightDefinitionsOld28, data), 0);
  EXPECT_TRUE(heights_.IsEmpty());
}

TEST_F(HeightOlderTest, BlockThirtyCarriesTheSharedSettings) {
  Bytes old = OldHeight(3456, 7, 70, {{81, 1}, {2, 2}, {5, 1}, {3, 33}, {84, 5}, {87, 6}});
  const double shared = 2.75;
  std::memcpy(old.data() + 32, &shared, 8);
  std::memset(old.data() + 352, 'q', 261);  // the first path, unterminated
  std::memcpy(old.data() + 352 + 3 * 261, "/data/d.x", 10);
  const uint32_t words[] = {0, 1, 55, 66};  // bytes 1396, 1400, 1404, 1408
  std::memcpy(old.data() + 1396, words, sizeof words);
  Bytes other = OldHeight(3456, 8, 80, {{81, 1}, {2, 1}});
  const uint32_t words2[] = {1, 0, 57, 67};
  std::memcpy(other.data() + 1396, words2, sizeof words2);
  old.insert(old.end(), other.begin(), other.end());
  objects_.GetAt(0)->squatModel = 4;
  objects_.GetAt(1)->squatModel = 5;

  ASSERT_EQ(LoadOlder(kBlockHeightDefinitionsOld30, old), 1);
  const sObjDef& a = *objects_.GetAt(0);
  EXPECT_EQ(a.sharedMode, 1);
  EXPECT_EQ(a.sharedWord176, -1);
  EXPECT_EQ(a.sharedValue180, 2.75f);
  EXPECT_EQ(a.sharedWord184, 1);
  EXPECT_EQ(a.sharedFileFlags[0], 5u);
  EXPECT_EQ(a.sharedFileFlags[3], 6u);
  EXPECT_EQ(FieldText(a.sharedFilePaths[0]), std::string(260, 'q'));
  EXPECT_EQ(FieldText(a.sharedFilePaths[3]), "/data/d.x");
  EXPECT_EQ(a.squatModel, -1);
  EXPECT_EQ(a.settingWords[0], 55);
  EXPECT_EQ(a.settingWords[1], 66);
  EXPECT_EQ(a.settingWords[2], 33);
  const sObjDef& b = *objects_.GetAt(1);
  EXPECT_EQ(b.sharedMode, -2);
  EXPECT_EQ(b.squatModel, 5);
  EXPECT_EQ(b.settingWords[0], 0);  // the word at 1400 is 0
  EXPECT_EQ(b.settingWords[1], 67);
}

TEST_F(HeightOlderTest, SharedModeFromTheOldWords) {
  struct Case {
    int32_t word81, word2, mode;
  };
  for (const Case& c : {Case{0, 2, -1}, Case{1, 2, 1}, Case{1, 1, -2}, Case{1, 5, -1}}) {
    heights_.RemoveAll();
    ASSERT_EQ(LoadOlder(kBlockHeightDefinitionsOld30,
                        OldHeight(3456, 7, 0, {{81, c.word81}, {2, c.word2}})),
              1);
    EXPECT_EQ(objects_.GetAt(0)->sharedMode, c.mode) << c.word81 << " " << c.word2;
  }
}

TEST_F(HeightOlderTest, CurrentBlocksLoadAsTheyAre) {
  sHeightDef h{};
  CHeightDefList::Init(h);
  h.id = 3;
  h.value = 0xDEADBEEF;
  ASSERT_EQ(LoadOlder(kBlockHeightDefinitions, BytesOf(h)), 1);
  ASSERT_EQ(heights_.GetCount(), 1);
  EXPECT_TRUE(SameBytes(heights_.GetHead(), &h));
}

}  // namespace
