#include "database/definitions/object_record_upgrade.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <random>
#include <vector>

#include "database/definitions/obj_def_list.h"
#include "database/definitions/object_defaults.h"
#include "database/definitions/record_block.h"
#include "tests/database/definitions/object_lists_test_support.h"

namespace {

using Bytes = std::vector<uint8_t>;

constexpr std::size_t kShift = 28004;

template <typename T>
void PutAt(Bytes& b, std::size_t offset, T value) {
  std::memcpy(b.data() + offset, &value, sizeof value);
}

// A current record with every byte random but a consistent shared setting
// (mode 2, word 184 1) and kind 0.
sObjDef Source(uint32_t seed) {
  std::mt19937 rng(seed);
  sObjDef o = RandomBytes<sObjDef>(rng);
  o.size = kObjDefSize;
  o.version = kObjDefVersion;
  o.id = 350;
  o.sharedMode = 2;
  o.sharedWord184 = 1;
  o.kind = 0;
  return o;
}

// The source's fields in an older layout of `size` bytes, with word 184's
// value where the older layouts keep it.
Bytes OlderRecord(const sObjDef& src, uint32_t size, uint16_t version, int32_t word184) {
  Bytes old(size, 0);
  const auto* s = reinterpret_cast<const uint8_t*>(&src);
  std::memcpy(old.data(), s, 52);
  PutAt(old, 0, size);
  PutAt(old, 4, version);
  std::memcpy(old.data() + 52 + kShift, s + 52, 1264 - 52);
  PutAt(old, 176 + kShift, word184);
  const std::size_t laterEnd = version == 3 ? 1384 : 1288;
  std::memcpy(old.data() + 1264 + kShift + 4, s + 1264, laterEnd - 1264);
  return old;
}

bool SameRange(const sObjDef& a, const sObjDef& b, std::size_t from, std::size_t to) {
  return std::memcmp(reinterpret_cast<const uint8_t*>(&a) + from,
                     reinterpret_cast<const uint8_t*>(&b) + from, to - from) == 0;
}

TEST(ObjectRecordUpgradeTest, TheHeadTellsTheLayout) {
  EXPECT_EQ(ObjectLayoutOfHead(1424, 4), ObjectRecordLayout::kCurrent);
  EXPECT_EQ(ObjectLayoutOfHead(1424, 0x0104), ObjectRecordLayout::kCurrent);  // low byte
  EXPECT_EQ(ObjectLayoutOfHead(29432, 3), ObjectRecordLayout::kVersion3);
  EXPECT_EQ(ObjectLayoutOfHead(29432, 4), ObjectRecordLayout::kVersion2);
  EXPECT_EQ(ObjectLayoutOfHead(1424, 3), ObjectRecordLayout::kVersion2);
  EXPECT_EQ(ObjectLayoutOfHead(0, 0), ObjectRecordLayout::kVersion2);
  EXPECT_EQ(ObjectRecordSize(ObjectRecordLayout::kVersion2), 29296u);
}

TEST(ObjectRecordUpgradeTest, VersionThreeDropsTheTableAndKeepsLaterDefaults) {
  const sObjDef src = Source(1);
  const Bytes old = OlderRecord(src, kObjDefVersion3Size, 3, 1);
  sObjDef obj;
  SetObjectDefaults(obj);
  const sObjDef defaults = obj;
  ASSERT_TRUE(ConvertObjectRecord(old, ObjectRecordLayout::kVersion3, obj));
  EXPECT_FALSE(ConvertObjectRecord(Bytes(old.begin(), old.end() - 1), ObjectRecordLayout::kVersion3,
                                   obj));  // short: no change
  FinishLoadedObject(obj);

  EXPECT_TRUE(SameRange(obj, src, 8, 176));
  EXPECT_EQ(obj.sharedWord176, -1);
  EXPECT_EQ(obj.sharedWord184, 1);
  EXPECT_TRUE(SameRange(obj, src, 180, 184));
  EXPECT_TRUE(SameRange(obj, src, 188, 1340));
  EXPECT_TRUE(SameRange(obj, src, 1344, 1384));
  EXPECT_TRUE(SameRange(obj, defaults, 1384, sizeof obj));
  EXPECT_EQ(obj.kind, 2);  // 0 became the kind of id 350
  EXPECT_EQ(obj.size, kObjDefSize);
  EXPECT_EQ(obj.version, kObjDefVersion);
}

TEST(ObjectRecordUpgradeTest, VersionTwoNarrowsTheSharedValue) {
  const sObjDef src = Source(2);
  Bytes old = OlderRecord(src, kObjDefVersion2Size, 2, 2);
  PutAt(old, 180 + kShift, 3.25);
  sObjDef obj;
  SetObjectDefaults(obj);
  const sObjDef defaults = obj;
  ASSERT_TRUE(ConvertObjectRecord(old, ObjectRecordLayout::kVersion2, obj));
  EXPECT_TRUE(SameRange(obj, src, 8, 176));
  EXPECT_EQ(obj.sharedWord176, -1);
  EXPECT_EQ(obj.sharedValue180, 3.25f);
  EXPECT_EQ(obj.sharedWord184, 2);
  EXPECT_TRUE(SameRange(obj, src, 188, 1288));
  EXPECT_TRUE(SameRange(obj, defaults, 1288, sizeof obj));

  // Beyond the float range the value becomes infinite, as the hardware
  // rounds it; a NaN stays one.
  PutAt(old, 180 + kShift, 1e300);
  ASSERT_TRUE(ConvertObjectRecord(old, ObjectRecordLayout::kVersion2, obj));
  EXPECT_EQ(obj.sharedValue180, std::numeric_limits<float>::infinity());
  EXPECT_EQ(NarrowToFloat(-1e300), -std::numeric_limits<float>::infinity());
  EXPECT_TRUE(std::isnan(NarrowToFloat(std::nan(""))));
}

TEST(ObjectRecordUpgradeTest, LoadTakesEachRecordInItsLayout) {
  const sObjDef current = Source(3);
  const sObjDef three = Source(4);
  const sObjDef two = Source(5);
  Bytes data = BytesOf(current);
  const Bytes v3 = OlderRecord(three, kObjDefVersion3Size, 3, 1);
  Bytes v2 = OlderRecord(two, kObjDefVersion2Size, 2, 1);
  PutAt(v2, 180 + kShift, 0.5);
  data.insert(data.end(), v3.begin(), v3.end());
  data.insert(data.end(), v2.begin(), v2.end());

  ScratchDb db(DbBytes().Count(1).Block(kBlockObjectDefinitions, data).bytes());
  CObjDefList objects;
  ASSERT_TRUE(db.file().FindBlock(kBlockObjectDefinitions));
  EXPECT_EQ(objects.Load(db.file(), true), 1);
  ASSERT_EQ(objects.GetCount(), 3);
  EXPECT_TRUE(SameRange(*objects.GetAt(0), current, 8, 1340));
  EXPECT_TRUE(SameRange(*objects.GetAt(1), three, 188, 1340));
  EXPECT_EQ(objects.GetAt(2)->sharedValue180, 0.5f);
  objects.RemoveAll();

  // Without the head check every record is taken as version 2: the 60152
  // bytes hold two of them and a cut third.
  ASSERT_TRUE(db.file().FindBlock(kBlockObjectDefinitions));
  EXPECT_EQ(objects.Load(db.file(), false), 0);
  EXPECT_EQ(objects.GetCount(), 2);
  objects.RemoveAll();

  ScratchDb older(DbBytes().Count(1).Block(kBlockObjectDefinitions, v2).bytes());
  ASSERT_TRUE(older.file().FindBlock(kBlockObjectDefinitions));
  EXPECT_EQ(objects.Load(older.file(), false), 1);
  ASSERT_EQ(objects.GetCount(), 1);
  EXPECT_TRUE(SameRange(*objects.GetAt(0), two, 188, 1288));
  objects.RemoveAll();
}

// Whatever an older head held behind its version, a converted record has
// the current head: size 1424, version 4 and two zero bytes. A current
// record is carried as stored.
TEST(ObjectRecordUpgradeTest, LoadedRecordsHaveTheCurrentHead) {
  sObjDef current = Source(7);
  current.align6[0] = 0x5A;
  current.version = 0x0104;  // current by its low byte
  sObjDef three = Source(8);
  three.align6[0] = 0xA5;
  three.align6[1] = 0x01;
  sObjDef two = Source(9);
  two.align6[1] = 0x77;
  Bytes data = BytesOf(current);
  const Bytes v3 = OlderRecord(three, kObjDefVersion3Size, 3, 1);
  const Bytes v2 = OlderRecord(two, kObjDefVersion2Size, 2, 1);
  ASSERT_EQ(v3[6], 0xA5);
  data.insert(data.end(), v3.begin(), v3.end());
  data.insert(data.end(), v2.begin(), v2.end());
  ScratchDb db(DbBytes().Count(1).Block(kBlockObjectDefinitions, data).bytes());
  CObjDefList objects;
  ASSERT_TRUE(db.file().FindBlock(kBlockObjectDefinitions));
  EXPECT_EQ(objects.Load(db.file(), true), 1);
  ASSERT_EQ(objects.GetCount(), 3);
  for (const sObjDef* o : objects) {
    EXPECT_EQ(o->size, kObjDefSize);
    EXPECT_EQ(o->version, kObjDefVersion);
  }
  EXPECT_EQ(objects.GetAt(0)->align6[0], 0x5A);
  for (int i : {1, 2}) {
    EXPECT_EQ(objects.GetAt(i)->align6[0], 0) << i;
    EXPECT_EQ(objects.GetAt(i)->align6[1], 0) << i;
  }
  objects.RemoveAll();
}

TEST(ObjectRecordUpgradeTest, LoadedRecordsGetTheSharedRule) {
  sObjDef bad = Source(6);
  bad.sharedWord184 = 9;
  bad.kind = 0;
  bad.id = -2;
  ScratchDb db(DbBytes().Count(1).Block(kBlockObjectDefinitions, BytesOf(bad)).bytes());
  CObjDefList objects;
  ASSERT_TRUE(db.file().FindBlock(kBlockObjectDefinitions));
  EXPECT_EQ(objects.Load(db.file(), true), 1);
  ASSERT_EQ(objects.GetCount(), 1);
  EXPECT_EQ(objects.GetHead()->sharedMode, -1);
  EXPECT_EQ(objects.GetHead()->sharedWord184, 0);
  EXPECT_EQ(objects.GetHead()->sharedFilePaths[1][0], 0);
  EXPECT_EQ(objects.GetHead()->kind, 101);
  objects.RemoveAll();
}

}  // namespace
