#include "database/definitions/data_record_layout.h"

#include <gtest/gtest.h>

#include <climits>
#include <vector>

#include "database/catalogue/record_catalogue.h"
#include "database/catalogue/record_time_tags.h"
#include "database/definitions/hdr_entry.h"
#include "tests/database/catalogue/payload_builder.h"

namespace {

TEST(GetDataRecId, FollowsTheKeyWhereTheVariantsDiffer) {
  EXPECT_EQ(GetDataRecId(258, 0), 165);
  EXPECT_EQ(GetDataRecId(258, -1), 98);
  EXPECT_EQ(GetDataRecId(258, 1), 259);
  EXPECT_EQ(GetDataRecId(65, 60), 152);  // "Manual Layback"
  EXPECT_EQ(GetDataRecId(65, 59), 94);
  EXPECT_EQ(GetDataRecId(219, 0), 85);
  EXPECT_EQ(GetDataRecId(219, 1), 222);
  EXPECT_EQ(GetDataRecId(260, 2), 261);
  EXPECT_EQ(GetDataRecId(131, 0), 115);
  EXPECT_EQ(GetDataRecId(133, 0), 117);
  EXPECT_EQ(GetDataRecId(3, 0), 0);
  EXPECT_EQ(GetDataRecId(0, 0), 0);
  EXPECT_EQ(GetDataRecId(-258, 0), 0);
}

// Every data RecId a header record leads to is a record type without a fixed
// payload size, has a head layout, and keeps its time tags inside that head.
TEST(GetDataRecId, LeadsOnlyToDataRecordsWithALayoutAndATimeTag) {
  int found = 0;
  for (int32_t header = -1; header <= kLastRecId + 1; ++header) {
    for (int32_t key : {-1, 0, 1, 60}) {
      const int32_t data = GetDataRecId(header, key);
      if (data == 0) continue;
      ++found;
      EXPECT_EQ(RecordTypeSize(data), 0u) << header << " -> " << data;
      const uint32_t head = GetDataRecordHeadSize(data);
      const int32_t tagAt = GetRecordTimeTagOffset(data);
      ASSERT_GE(tagAt, 0) << data;
      EXPECT_LE(static_cast<uint32_t>(tagAt) + 16, head) << data;
      // A second time field lies inside the head as well.
      std::vector<uint8_t> record(head);
      EXPECT_EQ(ClearRecordTimeTags(data, record),
                data == 98 || data == 148 || data == 165 || data == 227 || data == 259 ||
                    data == 261)
          << data;
    }
  }
  EXPECT_GT(found, 0);
}

TEST(GetEntryDataRecId, TakesTheKeyFromWordZeroWhereItMatters) {
  sHdrEntry e;
  e.recId = 258;
  e.payload = PayloadBuilder(712).Word(0, -1).bytes();
  EXPECT_EQ(GetEntryDataRecId(e), 98);
  e.SetWord(0, 4);
  EXPECT_EQ(GetEntryDataRecId(e), 259);
  e.payload.clear();  // no word 0: key 0
  EXPECT_EQ(GetEntryDataRecId(e), 165);

  e.recId = 65;
  e.payload = PayloadBuilder(104).Word(0, 60).bytes();
  EXPECT_EQ(GetEntryDataRecId(e), 152);
  e.recId = 219;  // 60 is a key of 1 or more here
  EXPECT_EQ(GetEntryDataRecId(e), 222);
  e.recId = 34;  // word 0 is not its key
  EXPECT_EQ(GetEntryDataRecId(e), 85);
}

TEST(GetDataRecordSize, AddsTheTailThatTheCountsGive) {
  uint32_t head = 0;
  bool variable = true;
  GetDataRecordLayout(98, head, variable);
  EXPECT_EQ(head, 104u);
  EXPECT_FALSE(variable);
  GetDataRecordLayout(148, head, variable);
  EXPECT_EQ(head, 136u);
  EXPECT_TRUE(variable);
  GetDataRecordLayout(3, head, variable);
  EXPECT_EQ(head, 0u);
  EXPECT_FALSE(variable);

  EXPECT_EQ(GetDataRecordSize(145, PayloadBuilder(40).Put<uint16_t>(20, 3).bytes()), 40u + 96u);
  EXPECT_EQ(GetDataRecordSize(148, PayloadBuilder(136).Word(20, 2).Word(19, 1).bytes()),
            136u + 4u * 19u);
  EXPECT_EQ(GetDataRecordSize(172, PayloadBuilder(40).Put<uint16_t>(18, 2).bytes()), 40u + 48u);
  EXPECT_EQ(GetDataRecordSize(158, PayloadBuilder(32).Word(6, 10).bytes()), 42u);
  EXPECT_EQ(GetDataRecordSize(235, PayloadBuilder(320).Word(8, 5).bytes()), 325u);
  EXPECT_EQ(GetDataRecordSize(239, PayloadBuilder(88).Word(20, 100).bytes()), 188u);
  EXPECT_EQ(GetDataRecordSize(263, PayloadBuilder(92).Word(7, 8).bytes()), 100u);
  // A fixed record ignores its bytes; no record given: the head alone.
  EXPECT_EQ(GetDataRecordSize(98, PayloadBuilder(4).bytes()), 104u);
  EXPECT_EQ(GetDataRecordSize(239, {}), 88u);
  EXPECT_EQ(GetDataRecordSize(300, {}), 0u);
}

TEST(GetDataRecordSize, IsZeroWhenTheCountsCannotBeTrusted) {
  EXPECT_EQ(GetDataRecordSize(239, PayloadBuilder(80).bytes()), 0u);  // word 20 missing
  EXPECT_EQ(GetDataRecordSize(145, PayloadBuilder(21).bytes()), 0u);  // u16 cut in half
  EXPECT_EQ(GetDataRecordSize(158, PayloadBuilder(32).Word(6, -40).bytes()), 0u);
  EXPECT_EQ(GetDataRecordSize(148, PayloadBuilder(136).Word(20, INT32_MAX).bytes()), 0u);
  EXPECT_EQ(GetDataRecordSize(175, PayloadBuilder(32).Word(7, INT32_MAX).bytes()),
            32u + uint32_t{INT32_MAX});
}

TEST(GetDataRecordVariantText, NamesTheVariantInThreeForms) {
  EXPECT_EQ(GetDataRecordVariantText(258, 0, 0), "E62nn");
  EXPECT_EQ(GetDataRecordVariantText(258, 0, 1), "0 (E62nn)");
  EXPECT_EQ(GetDataRecordVariantText(258, -3, -1), "E620n (-3)");
  EXPECT_EQ(GetDataRecordVariantText(258, 2, 0), "E6282");
  EXPECT_EQ(GetDataRecordVariantText(65, 60, 0), "E8800");
  EXPECT_EQ(GetDataRecordVariantText(65, 61, 0), "E52nn");
  // 244 turns at 1, 245 at 0.
  EXPECT_EQ(GetDataRecordVariantText(244, 0, 0), "Initial");
  EXPECT_EQ(GetDataRecordVariantText(245, 0, 0), "Suffix");
  EXPECT_EQ(GetDataRecordVariantText(245, -1, 0), "Initial");
  EXPECT_EQ(GetDataRecordVariantText(257, 1, 1), "1 (Q9005 E9001)");
  EXPECT_EQ(GetDataRecordVariantText(240, 9, 0), "E9001");
  // Outside the list: the key alone, whatever the mode.
  EXPECT_EQ(GetDataRecordVariantText(100, 5, 1), "5");
  EXPECT_EQ(GetDataRecordVariantText(266, -5, -1), "-5");
}

}  // namespace
