#include "database/definitions/obs_def_list.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstring>
#include <limits>
#include <vector>

#include "database/definitions/node_def_list.h"
#include "tests/database/definitions/definition_test_support.h"

namespace {

using testing::ElementsAre;
using zor::platform::SetFieldText;

class ObsDefListTest : public testing::Test {
 protected:
  void TearDown() override {
    obs_.RemoveAll();
    out_.RemoveAll();
    nodes_.RemoveAll();
  }
  sObsDef* Add(const sObsDef& r) { return obs_.AddCopy(r); }
  std::vector<int32_t> Ids(const CObsDefList& list) {
    std::vector<int32_t> ids;
    for (const sObsDef* r : list) ids.push_back(r->id);
    return ids;
  }

  CObsDefList obs_, out_;
  CNodeDefList nodes_;
};

TEST_F(ObsDefListTest, LookUpsTakeTheFirstMatchAndTreatIdsBelowOneAsNone) {
  Add(MakeObs(1, 5, 10, 7, 100, 200));
  Add(MakeObs(2, -5, 10, 8, 100, 201));
  Add(MakeObs(3, 6, 11, 7, 101, 200));
  Add(MakeObs(4, -6, 10, 7, 100, 200));
  Add(MakeObs(1, 0, 0, 0));  // a second record of id 1, without number or system

  EXPECT_EQ(obs_.FindById(1)->number, 5);
  EXPECT_EQ(obs_.FindById(0), nullptr);
  EXPECT_EQ(obs_.FindByNumber(0), nullptr);
  EXPECT_EQ(obs_.FindNthOfSystem(10, 7, 2)->id, 4);
  EXPECT_EQ(obs_.FindNthOfSystem(10, 7, 0), nullptr);
  EXPECT_EQ(obs_.FindNthOfSystem(0, 0, 1), nullptr);
  // Filters of 0 match anything in FindObs; the type always filters by type.
  EXPECT_EQ(obs_.FindObs(10, 0, 0, 201)->id, 2);
  EXPECT_EQ(obs_.FindObs(0, 0, 0, 0), nullptr);
  EXPECT_EQ(obs_.FindObsByType(0, 0, 0)->id, 1);
  EXPECT_EQ(obs_.FindObsWithNegativeNumber(10, 7, 0, 0)->id, 4);
  EXPECT_EQ(obs_.FindObsWithNegativeNumberByType(7, 101, 0), nullptr);
  const int32_t node = 200;
  EXPECT_EQ(obs_.FindByNode(&node, true, false), nullptr);
  EXPECT_EQ(obs_.FindByNode(&node, false, true)->id, 1);
  EXPECT_EQ(obs_.FindByNode(nullptr, true, true), nullptr);
}

TEST_F(ObsDefListTest, PartnersAreFoundByTheNegatedNumber) {
  sObsDef* pressure = Add(MakeObs(1, 4, 1, 91));
  Add(MakeObs(2, -4, 1, 11));  // true bearing
  Add(MakeObs(3, -4, 1, 5));
  sObsDef* layback = Add(MakeObs(4, 4, 1, 97));
  sObsDef* zero = Add(MakeObs(5, 0, 1, 91));
  sObsDef* lowest = Add(MakeObs(6, std::numeric_limits<int32_t>::min(), 1, 91));

  EXPECT_EQ(obs_.FindPartner(pressure)->id, 2);
  // Pressure without a depth or draft partner falls back to the bearing.
  EXPECT_EQ(obs_.FindPartnerOf(pressure)->id, 2);
  EXPECT_EQ(obs_.FindPartnerOf(layback)->id, 2);
  Add(MakeObs(7, -4, 1, 88));  // draft
  EXPECT_EQ(obs_.FindPartnerOf(pressure)->id, 7);
  EXPECT_EQ(obs_.FindPartnerOf(layback)->id, 2);
  EXPECT_EQ(obs_.FindPartnerOf(obs_.FindById(3)), nullptr);  // type 5 has none

  // Number 0 pairs with nothing (not with itself), nor does the number
  // without a negation.
  EXPECT_EQ(obs_.FindPartner(zero), nullptr);
  EXPECT_EQ(obs_.FindPartnerOf(zero), nullptr);
  EXPECT_EQ(obs_.FindPartner(lowest), nullptr);
  EXPECT_EQ(obs_.FindPartner(nullptr), nullptr);
  EXPECT_EQ(obs_.FindPartnerOf(nullptr), nullptr);
}

TEST_F(ObsDefListTest, CountsAndTags) {
  sObsDef* a = Add(MakeObs(1, 1, 10, 3, 100, 200));
  sObsDef* b = Add(MakeObs(2, 2, 10, 3, 100, 201));
  sObsDef* c = Add(MakeObs(3, 3, 20, 4, 101, 200));

  EXPECT_EQ(obs_.CountOfType(-1), -1);
  EXPECT_EQ(obs_.CountOfSystem(0), -1);
  EXPECT_EQ(obs_.CountByNodes(100, 0), 2);
  EXPECT_EQ(obs_.CountByNodes(0, 200), -1);
  std::vector<uint32_t> systems{20};
  obs_.CollectSystemIds(systems);
  EXPECT_THAT(systems, ElementsAre(20u, 10u));

  SetFieldText(a->tag1, "3");
  SetFieldText(a->tag2, "3");
  SetFieldText(b->tag1, "Aux");
  SetFieldText(c->tag1, "aux");  // another system
  // A tag filling its field without a terminator is read up to the width.
  std::memcpy(b->tag2, "AUXILIARY1", 10);
  b->tag2[10] = 'X';
  EXPECT_EQ(obs_.CountTagUses(10, "3", 0, 0, 0), 2);
  EXPECT_EQ(obs_.CountTagUses(10, "aux", 0, 0, 0), 1);
  EXPECT_EQ(obs_.CountTagUses(10, "auxiliary1x", 0, 0, 0), 1);
  EXPECT_EQ(obs_.CountTagUses(10, "3", 5, 1, 6), 0);
  EXPECT_EQ(obs_.CountTagUses(10, "", 0, 0, 0), -1);
  EXPECT_EQ(obs_.CountTagUses(0, "3", 0, 0, 0), -1);

  obs_.ClearTag(10, "AUX");
  EXPECT_EQ(b->tag1[0], '\0');
  EXPECT_EQ(c->tag1[0], 'a');
}

TEST_F(ObsDefListTest, CopiesIntoAnOutputListReplaceItsContent) {
  nodes_.AddCopy(MakeNode(100, 1, 1, 0, 0, 0));
  nodes_.AddCopy(MakeNode(101, 2, 1, 1, 0, 0));
  nodes_.AddCopy(MakeNode(200, 3, 2, 0, 0, 0));
  sObsDef* a = Add(MakeObs(1, 1, 10, 3, 100, 200));  // leaves object 1
  Add(MakeObs(2, 2, 10, 3, 100, 101));               // stays on object 1
  Add(MakeObs(3, 3, 20, 3, 200, 101));               // enters object 1
  Add(MakeObs(4, 4, 20, 4, 200, 999));               // to an unknown node
  Add(MakeObs(5, 5, 20, 3, 0, 100));                 // no from-node
  SetFieldText(a->shortName, "MB1");
  out_.AddCopy(MakeObs(50, 50, 1, 1));

  obs_.CopyOfSystem(out_, 20);
  EXPECT_THAT(Ids(out_), ElementsAre(3, 4, 5));
  EXPECT_NE(out_.GetAt(0), obs_.GetAt(2));
  obs_.CopyByShortName(out_, "mb1");  // case-sensitive
  EXPECT_TRUE(out_.IsEmpty());

  obs_.CopyOfTypeOnObject(out_, nodes_, 3, 1);
  EXPECT_THAT(Ids(out_), ElementsAre(1, 2));
  obs_.CopyLeavingObject(out_, nodes_, 1);
  EXPECT_THAT(Ids(out_), ElementsAre(1));
  obs_.CopyEnteringObject(out_, nodes_, 1);
  EXPECT_THAT(Ids(out_), ElementsAre(3));

  // Into itself: nothing changes.
  obs_.CopyOfType(obs_, 4);
  EXPECT_EQ(obs_.GetCount(), 5);
}

TEST_F(ObsDefListTest, CollectedRecordsAreBorrowed) {
  Add(MakeObs(1, 1, 10, 3, 100, 200));
  Add(MakeObs(2, 2, 10, 3, 200, 100));
  Add(MakeObs(3, 3, 10, 3, 100, 200));
  const int32_t from = 100, to = 200;

  obs_.CollectByNodes(out_, &from, &to);
  EXPECT_THAT(Ids(out_), ElementsAre(1, 3));
  EXPECT_EQ(out_.GetAt(0), obs_.GetAt(0));
  EXPECT_FALSE(out_.IsOwned(0));
  // Refilling empties the borrowed content without freeing it.
  obs_.CollectByNode(out_, &to, true, true);
  EXPECT_THAT(Ids(out_), ElementsAre(1, 2, 3));
  obs_.CollectByNodes(out_, nullptr, &to);
  EXPECT_TRUE(out_.IsEmpty());

  // A copy made into a list that borrows the source's records.
  obs_.CollectByNode(out_, &from, true, false);
  obs_.CopyOfType(out_, 3);
  EXPECT_THAT(Ids(out_), ElementsAre(1, 2, 3));
  EXPECT_TRUE(out_.IsOwned(0));
  EXPECT_EQ(obs_.GetAt(0)->id, 1);
}

}  // namespace
