#include "database/catalogue/record_time_tags.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "core/time/system_time.h"
#include "database/definitions/data_record_layout.h"
#include "tests/database/catalogue/payload_builder.h"

namespace {

using zor::platform::SYSTEMTIME;

const CZORTime kTime(2024, 3, 1, 12, 30, 15.25);

SYSTEMTIME SystemTimeAt(const std::vector<uint8_t>& r, std::size_t at) {
  SYSTEMTIME st{};
  std::memcpy(&st, r.data() + at, sizeof st);
  return st;
}

bool SameSystemTime(const SYSTEMTIME& a, const SYSTEMTIME& b) {
  return std::memcmp(&a, &b, sizeof a) == 0;
}

TEST(RecordTimeTag, WritesAndReadsBackEveryTaggedType) {
  int tagged = 0;
  for (int32_t id = 0; id <= 300; ++id) {
    const int32_t at = GetRecordTimeTagOffset(id);
    if (at < 0) continue;
    ++tagged;
    EXPECT_GE(id, 83);
    EXPECT_LE(id, 263);
    std::vector<uint8_t> r = PayloadBuilder(at + 16 + 64).Word(1, 1).bytes();
    ASSERT_TRUE(SetRecordTimeTag(id, r, kTime)) << id;
    EXPECT_TRUE(GetRecordTimeTag(id, r) == kTime) << id;
  }
  EXPECT_EQ(tagged, 40);
}

TEST(RecordTimeTag, AlsoWritesTheSystemTimeWhereOlderReadersLookForIt) {
  const SYSTEMTIME expected = TimeToSystemTime(kTime);
  const struct {
    int32_t recId;
    std::size_t at;
  } cases[] = {{148, 24}, {211, 34}, {263, 34}, {227, 32}, {261, 32}, {235, 42}};
  for (const auto& c : cases) {
    std::vector<uint8_t> r(GetDataRecordHeadSize(c.recId));
    ASSERT_TRUE(SetRecordTimeTag(c.recId, r, kTime));
    EXPECT_TRUE(SameSystemTime(SystemTimeAt(r, c.at), expected)) << c.recId;
  }

  // Without a second form nothing but the tag changes.
  std::vector<uint8_t> r(64, 0xAB);
  ASSERT_TRUE(SetRecordTimeTag(83, r, kTime));
  for (std::size_t i = 0; i < r.size(); ++i) {
    if (i < 8 || i >= 24) {
      EXPECT_EQ(r[i], 0xAB) << i;
    }
  }
}

TEST(RecordTimeTag, OlderPpsRecordsKeepASystemTime) {
  std::vector<uint8_t> r = PayloadBuilder(152).Word(1, 0).Put(48, TimeToSystemTime(kTime)).bytes();
  EXPECT_TRUE(GetRecordTimeTag(242, r) == CZORTime(2024, 3, 1, 12, 30, 15.25));
  // Writing always uses the plain form; with word 1 set it reads back plain.
  std::vector<uint8_t> current = PayloadBuilder(152).Word(1, 3).bytes();
  ASSERT_TRUE(SetRecordTimeTag(242, current, kTime));
  EXPECT_TRUE(GetRecordTimeTag(242, current) == kTime);
}

TEST(RecordTimeTag, ShortRecordsAndUntaggedTypesAreLeftAlone) {
  EXPECT_FALSE(GetRecordTimeTag(98, PayloadBuilder(87).bytes()).IsValid());  // tag at 72..87
  EXPECT_FALSE(GetRecordTimeTag(82, PayloadBuilder(64).bytes()).IsValid());
  EXPECT_FALSE(GetRecordTimeTag(-1, PayloadBuilder(64).bytes()).IsValid());
  EXPECT_FALSE(GetRecordTimeTag(242, PayloadBuilder(4).bytes()).IsValid());

  // The plain tag of 235 fits, its SYSTEMTIME at 42..57 does not: no write.
  std::vector<uint8_t> r(50, 0xCD);
  EXPECT_FALSE(SetRecordTimeTag(235, r, kTime));
  EXPECT_EQ(r, std::vector<uint8_t>(50, 0xCD));
  std::vector<uint8_t> any(400, 0xCD);
  EXPECT_FALSE(SetRecordTimeTag(264, any, kTime));
  EXPECT_FALSE(SetRecordTimeTag(0, any, kTime));
  EXPECT_EQ(any, std::vector<uint8_t>(400, 0xCD));
}

TEST(ClearRecordTimeTags, ZeroesOnlyTheSecondTimeField) {
  std::vector<uint8_t> r(104, 0xEE);
  ASSERT_TRUE(ClearRecordTimeTags(98, r));
  for (std::size_t i = 0; i < r.size(); ++i) EXPECT_EQ(r[i], i >= 88 ? 0 : 0xEE) << i;

  std::vector<uint8_t> shortRecord(100, 0xEE);
  EXPECT_FALSE(ClearRecordTimeTags(98, shortRecord));
  EXPECT_EQ(shortRecord, std::vector<uint8_t>(100, 0xEE));
  EXPECT_FALSE(ClearRecordTimeTags(97, r));
  EXPECT_TRUE(ClearRecordTimeTags(259, r));  // bytes 48..63
}

}  // namespace
