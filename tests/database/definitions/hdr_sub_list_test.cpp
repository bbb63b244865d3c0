#include "database/definitions/hdr_sub_list.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <vector>

#include "database/definitions/hdr_list.h"
#include "tests/database/definitions/settings_block.h"

namespace {

using testing::ElementsAre;
using Bytes = std::vector<uint8_t>;

std::vector<Bytes> Elements(const CHdrSubList& sub) { return {sub.begin(), sub.end()}; }

TEST(HdrSubListFill, CopiesPayloadsOfTheGivenRecIdsInListOrderCutOrPadded) {
  CHdrList header;
  header.AddEntry(188, 4, Bytes{1, 1, 1, 1}.data(), -1);
  header.AddEntry(16, 4, Bytes{9, 9, 9, 9}.data(), -1);
  header.AddEntry(206, 2, Bytes{2, 2}.data(), -1);
  header.AddEntry(188, 6, Bytes{3, 3, 3, 3, 3, 3}.data(), -1);

  CHdrSubList both(188, 206, header, 4);
  EXPECT_THAT(Elements(both), ElementsAre(Bytes{1, 1, 1, 1}, Bytes{2, 2, 0, 0}, Bytes{3, 3, 3, 3}));
  CHdrSubList wide(both, 5);
  EXPECT_THAT(Elements(wide)[1], ElementsAre(2, 2, 0, 0, 0));
  wide[0][0] = 7;  // the copies are the list's own
  EXPECT_EQ(header.GetPayload(188, 1)[0], 1);
  EXPECT_EQ(both[0][0], 1);

  both.Fill(230, header, 4);  // no such entries: emptied
  EXPECT_TRUE(both.IsEmpty());
}

TEST(HdrSubListSettingsBuffer, WritesRecordsOfTheBlocksSizeAndReadsThemBack) {
  auto settings = EmptyBuffer(4, 3);
  CHdrSubList empty;
  EXPECT_TRUE(empty.ReadFromSettingsBuffer(settings.get(), 1));
  EXPECT_TRUE(empty.IsEmpty());

  CHdrSubList sub;
  sub.AddTail(Bytes{1, 2, 3, 4, 5}.data(), 5);  // cut to the record size
  sub.AddTail(Bytes{6}.data(), 1);              // padded
  sub.AddTail(nullptr, 0);
  ASSERT_TRUE(sub.WriteToSettingsBuffer(settings.get(), 1));
  EXPECT_EQ(BlockBytes(*settings, 1), (Bytes{1, 2, 3, 4, 6, 0, 0, 0, 0, 0, 0, 0}));
  EXPECT_EQ(settings->GetBuffer().GetRecordCount(0), 3u);

  CHdrSubList back;
  back.AddTail(Bytes{9}.data(), 1);  // reading appends
  ASSERT_TRUE(back.ReadFromSettingsBuffer(settings.get(), 1));
  EXPECT_THAT(Elements(back),
              ElementsAre(Bytes{9}, Bytes{1, 2, 3, 4}, Bytes{6, 0, 0, 0}, Bytes{0, 0, 0, 0}));

  sub.AddTail(nullptr, 4);  // four records do not fit three: nothing written
  EXPECT_FALSE(sub.WriteToSettingsBuffer(settings.get(), 1));
  EXPECT_EQ(settings->GetBuffer().GetRecordCount(0), 3u);
  // No block 2: even an empty list has nowhere to put its count.
  EXPECT_FALSE(empty.WriteToSettingsBuffer(settings.get(), 2));
}

TEST(HdrSubListSettingsBuffer, StopsWhereTheStoredCountOverrunsTheBlock) {
  const Bytes block{1, 1, 1, 1, 2, 2, 2, 2, 3, 3};  // two whole 4-byte records
  for (uint32_t count : {3u, 0xFFFFFFFFu}) {
    SCOPED_TRACE(count);
    auto settings = BlockBuffer(block, count, 4);
    CHdrSubList sub;
    EXPECT_FALSE(sub.ReadFromSettingsBuffer(settings.get(), 1));
    EXPECT_THAT(Elements(sub), ElementsAre(Bytes{1, 1, 1, 1}, Bytes{2, 2, 2, 2}));
  }
  auto noSize = BlockBuffer(block, 5, 0);  // records of no size hold nothing
  CHdrSubList sub;
  EXPECT_FALSE(sub.ReadFromSettingsBuffer(noSize.get(), 1));
  EXPECT_TRUE(sub.IsEmpty());
}

}  // namespace
