#include "database/definitions/es_dtm_def_list.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "database/definitions/hdr_list.h"
#include "database/definitions/record_block.h"
#include "tests/database/definitions/object_lists_test_support.h"

namespace {

sEsDtmDef Dtm(int32_t id) {
  sEsDtmDef r{};
  r.size = kEsDtmDefSize;
  r.id = id;
  r.enabled = 1;
  r.cellSize = 1.0;
  r.value32 = 0.5;
  for (int32_t& link : r.links) link = -1;
  return r;
}

TEST(EsDtmDefListTest, LoadRepairsStoredFields) {
  sEsDtmDef a = Dtm(1);
  a.enabled = 7;
  a.word12 = 1000001;
  a.word60 = 5;
  a.byte426 = 9;
  sEsDtmDef b = Dtm(2);
  b.enabled = 0;
  b.word12 = 1000000;
  std::vector<uint8_t> data = BytesOf(a);
  const std::vector<uint8_t> second = BytesOf(b);
  data.insert(data.end(), second.begin(), second.end());

  ScratchDb db(DbBytes().Count(1).Block(kBlockEsDtmDefinitions, data).bytes());
  CEsDtmDefList dtms;
  ASSERT_TRUE(db.file().FindBlock(kBlockEsDtmDefinitions));
  EXPECT_EQ(dtms.Load(db.file()), 1);
  ASSERT_EQ(dtms.GetCount(), 2);
  EXPECT_EQ(dtms.GetAt(0)->enabled, 1);
  EXPECT_EQ(dtms.GetAt(0)->word12, 0);
  EXPECT_EQ(dtms.GetAt(0)->word60, 0);
  EXPECT_EQ(dtms.GetAt(0)->byte426, 0);
  EXPECT_EQ(dtms.GetAt(1)->enabled, 0);
  EXPECT_EQ(dtms.GetAt(1)->word12, 1000000);
  dtms.RemoveAll();
}

TEST(EsDtmDefListTest, ValidateBringsFieldsIntoRange) {
  CEsDtmDefList dtms;
  sEsDtmDef* a = dtms.AddCopy(Dtm(1));
  a->word460 = 3;
  a->colour[0] = 10;
  a->colour[1] = 256;
  a->colour[2] = 20;
  a->cellSize = 10000.5;
  a->value32 = 1000.0;
  sEsDtmDef* b = dtms.AddCopy(Dtm(2));
  b->colour[0] = 255;
  b->cellSize = 10000.0;
  b->value32 = 0.0;
  sEsDtmDef* c = dtms.AddCopy(Dtm(3));
  c->cellSize = std::nan("");
  c->value32 = -1.0;

  CHdrList header;
  header.AddEntry(193, 8, nullptr, -1);  // "Sound Velocity": the word stays
  dtms.Validate(header);
  EXPECT_EQ(a->word460, 3);
  EXPECT_EQ(a->colour[0], 0u);
  EXPECT_EQ(a->colour[2], 0u);
  EXPECT_EQ(a->cellSize, 1.0);
  EXPECT_EQ(a->value32, 1000.0);
  EXPECT_EQ(b->colour[0], 255u);
  EXPECT_EQ(b->cellSize, 10000.0);
  EXPECT_EQ(b->value32, 0.5);
  EXPECT_EQ(c->cellSize, 1.0);  // a NaN is not in range either
  EXPECT_EQ(c->value32, 0.5);

  header.RemoveAll();
  dtms.Validate(header);
  EXPECT_EQ(a->word460, 0);
  dtms.RemoveAll();
}

TEST(EsDtmDefListTest, FlagsAndLinks) {
  sEsDtmDef r = Dtm(1);
  r.flags = 0xF;
  r.word500 = 6;
  CEsDtmDefList::SetFlags(&r, 0, 1, 0);
  EXPECT_EQ(r.flags, 0xDu);
  EXPECT_EQ(r.word500, 0);

  r.word512 = 4;
  for (int32_t& link : r.links) link = 0;
  r.links[3] = 2;
  CEsDtmDefList::ResetLinks(&r, false);  // one link set: kept
  EXPECT_EQ(r.links[0], 0);
  r.links[3] = 0;
  CEsDtmDefList::ResetLinks(&r, false);  // all 0: none
  EXPECT_EQ(r.links[3], -1);
  EXPECT_EQ(r.word512, 4);
  r.links[1] = 8;
  CEsDtmDefList::ResetLinks(&r, true);
  EXPECT_EQ(r.links[1], -1);
  EXPECT_EQ(r.word512, 0);
  CEsDtmDefList::ResetLinks(nullptr, true);
}

}  // namespace
