#include "database/definitions/anchor_def_list.h"

#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "database/definitions/record_block.h"
#include "platform/bytes.h"
#include "tests/database/definitions/object_lists_test_support.h"

namespace {

using zor::platform::FieldText;

sAnchorDefOld OldAnchor(int32_t id, const std::string& name) {
  std::mt19937 rng(static_cast<uint32_t>(id));
  sAnchorDefOld r = RandomBytes<sAnchorDefOld>(rng);
  std::memset(r.name, 0, sizeof r.name);
  std::memcpy(r.name, name.data(), std::min(name.size(), sizeof r.name));
  r.id = id;
  return r;
}

TEST(AnchorDefListTest, OlderBlockIsConvertedWithNamesCut) {
  const sAnchorDefOld a = OldAnchor(1, std::string(49, 'a'));
  const sAnchorDefOld b = OldAnchor(2, std::string(76, 'b'));  // unterminated
  std::vector<uint8_t> data = BytesOf(a);
  const std::vector<uint8_t> second = BytesOf(b);
  data.insert(data.end(), second.begin(), second.end());
  ScratchDb db(DbBytes().Count(1).Block(kBlockAnchorDefinitionsOld, data).bytes());

  CAnchorDefList anchors;
  ASSERT_TRUE(db.file().FindBlock(kBlockAnchorDefinitionsOld));
  ASSERT_EQ(anchors.Load(db.file()), 1);
  ASSERT_EQ(anchors.GetCount(), 2);
  const sAnchorDef& r = *anchors.GetAt(0);
  EXPECT_EQ(FieldText(r.name), std::string(49, 'a'));
  EXPECT_EQ(FieldText(anchors.GetAt(1)->name), std::string(49, 'b'));
  EXPECT_EQ(r.id, 1);
  EXPECT_EQ(r.word80, 0);
  EXPECT_EQ(std::memcmp(r.settingWords, a.settingWords, sizeof a.settingWords), 0);
  EXPECT_EQ(std::memcmp(r.settingValues, a.settingValues, sizeof a.settingValues), 0);
  // Everything the older record does not have is zero.
  const std::vector<uint8_t> bytes = BytesOf(r);
  for (std::size_t i = 164; i < bytes.size(); ++i) ASSERT_EQ(bytes[i], 0) << i;
  for (std::size_t i = 50; i < 76; ++i) ASSERT_EQ(bytes[i], 0) << i;
  EXPECT_FALSE(CAnchorDefList::IsAssigned(&r));
  anchors.RemoveAll();
}

TEST(AnchorDefListTest, EqualityIsInOrderAndAssignmentByAnyWord) {
  CAnchorDefList a, b;
  EXPECT_TRUE(a.Equals(b));
  sAnchorDef one{}, two{};
  one.id = 1;
  two.id = 2;
  a.AddCopy(one);
  a.AddCopy(two);
  b.AddCopy(two);
  b.AddCopy(one);
  EXPECT_FALSE(a.Equals(b));  // same records, another order
  EXPECT_TRUE(a.NotEquals(b));
  b.RemoveAll();
  b.CopyFrom(&a);
  EXPECT_TRUE(a.Equals(b));
  b.GetAt(1)->bytes244[39] = 1;
  EXPECT_FALSE(a.Equals(b));

  sAnchorDef r{};
  r.assignWords[4] = -3;
  EXPECT_FALSE(CAnchorDefList::IsAssigned(&r));
  r.assignWords5[6] = 1;  // the last of the twelve words
  EXPECT_TRUE(CAnchorDefList::IsAssigned(&r));
  a.RemoveAll();
  b.RemoveAll();
}

}  // namespace
