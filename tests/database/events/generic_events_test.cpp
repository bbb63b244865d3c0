#include "database/events/generic_events.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <climits>
#include <memory>
#include <vector>

namespace {

using testing::ElementsAre;
using testing::IsEmpty;

CGenericEvent* Add(CGenericEventList& list, int32_t id, std::vector<uint32_t> links = {},
                   int32_t cls = -1, uint32_t type = 0) {
  auto e = std::make_unique<CGenericEvent>();
  e->m_id = id;
  e->m_class = cls;
  e->m_type = type;
  e->m_linkedIds = std::move(links);
  e->m_abbreviation = "E" + std::to_string(id);
  return list.AddEvent(std::move(e));
}

CGenericEventClass* AddClass(CGenericEventClassList& list, int32_t id, bool sequential) {
  auto c = std::make_unique<CGenericEventClass>();
  c->m_id = id;
  c->m_sequential = sequential;
  c->m_code = "C" + std::to_string(id);
  return list.AddClass(std::move(c));
}

// "abbreviation:id>links" per event, in list order.
std::vector<std::string> Dump(const CGenericEventList& list) {
  std::vector<std::string> out;
  for (const CGenericEvent& e : list) {
    std::string s = e.m_abbreviation + ":" + std::to_string(e.m_id) + ">";
    for (uint32_t link : e.m_linkedIds) s += std::to_string(link) + ",";
    out.push_back(s);
  }
  return out;
}

TEST(GenericEventTest, CopiesCarryEveryFieldAndResetRestoresTheDefaults) {
  CGenericEvent e;
  e.m_id = 4;
  e.m_class = 2;
  e.m_eventCode = "FIX";
  e.m_abbreviation = "F";
  e.m_description = "Fix taken";
  e.m_icon = "fix.ico";
  e.m_type = kEventTypeStart;
  e.m_action = 3;
  e.m_sequenceNr = 7;
  e.m_linkedIds = {9, 1, 5};
  CGenericEvent copy;
  copy.m_linkedIds = {42};
  copy.CopyFrom(e);
  copy.CopyFrom(copy);
  CGenericEvent constructed(e);
  for (const CGenericEvent* c : {&copy, &constructed}) {
    EXPECT_EQ(c->m_id, 4);
    EXPECT_EQ(c->m_class, 2);
    EXPECT_EQ(c->m_eventCode + c->m_abbreviation + c->m_description + c->m_icon,
              "FIXFFix takenfix.ico");
    EXPECT_EQ(c->m_type, kEventTypeStart);
    EXPECT_EQ(c->m_action, 3);
    EXPECT_EQ(c->m_sequenceNr, 7);
    EXPECT_THAT(c->m_linkedIds, ElementsAre(9, 1, 5));
  }
  copy.Reset();
  EXPECT_EQ(copy.m_id, -1);
  EXPECT_EQ(copy.m_class, -1);
  EXPECT_EQ(copy.m_description, "");
  EXPECT_EQ(copy.m_type | copy.m_action | copy.m_sequenceNr, 0u);
  EXPECT_THAT(copy.m_linkedIds, IsEmpty());

  CGenericEventClass cls;
  cls.m_id = 3;
  cls.m_sequential = true;
  cls.m_name = "Sound velocity";
  const CGenericEventClass clsCopy(cls);
  EXPECT_EQ(clsCopy.m_id, 3);
  EXPECT_TRUE(clsCopy.m_sequential);
  EXPECT_EQ(clsCopy.m_name, "Sound velocity");
  cls.Reset();
  EXPECT_EQ(cls.m_id, -1);
  EXPECT_FALSE(cls.m_sequential);
}

TEST(GenericEventTest, LinkedIdsTypeTextAndFixedSet) {
  CGenericEvent e;
  for (uint32_t id : {5u, 3u, 5u, 8u}) e.AddLinkedId(id);
  EXPECT_THAT(e.m_linkedIds, ElementsAre(5, 3, 8));
  e.RemoveLinkedId(5);
  e.RemoveLinkedId(99);
  EXPECT_THAT(e.m_linkedIds, ElementsAre(3, 8));

  EXPECT_EQ(e.GetTypeText(), "None");
  e.m_type = 127;
  EXPECT_EQ(e.GetTypeText(), "C,S,E,LN,W,H,LC");
  e.m_type = kEventTypeStart | kEventTypeLN;
  EXPECT_EQ(e.GetTypeText(), "S,LN");

  for (uint32_t fixed : {kEventTypeC, kEventTypeW, kEventTypeH, kEventTypeLC, kEventTypeLN,
                         kEventTypeLN | kEventTypeEnd | kEventTypeH}) {
    e.m_type = fixed;
    EXPECT_TRUE(e.IsTypeInFixedSet()) << fixed;
  }
  for (uint32_t other : {0u, kEventTypeStart, kEventTypeEnd, kEventTypeLN | kEventTypeEnd}) {
    e.m_type = other;
    EXPECT_FALSE(e.IsTypeInFixedSet()) << other;
  }
}

TEST(GenericEventListTest, CopiesLookUpsAndTheCountOfAdditions) {
  CGenericEventList source;
  Add(source, 1);
  source.RemoveAll();
  Add(source, 3, {4});
  Add(source, 3, {1});
  EXPECT_EQ(source.GetAddedCount(), 3u);
  EXPECT_EQ(source.FindEventPosition(3), std::optional<std::size_t>(0));
  EXPECT_EQ(source.FindEvent(7), nullptr);

  CGenericEventList copy;
  Add(copy, 9);
  copy.CopyFrom(source);
  EXPECT_EQ(copy.GetAddedCount(), 3u);
  EXPECT_THAT(Dump(copy), ElementsAre("E9:9>", "E3:3>4,", "E3:3>1,"));
  EXPECT_NE(copy.FindEvent(3), source.FindEvent(3));
  // Onto itself: nothing, where appending while walking would never end.
  copy.CopyFrom(copy);
  EXPECT_EQ(copy.GetCount(), 3u);

  CGenericEventClassList classes;
  AddClass(classes, 1, true)->m_name = "first";
  AddClass(classes, 1, false)->m_name = "second";
  CGenericEventClassList classCopy;
  classCopy.CopyFrom(classes);
  EXPECT_EQ(classCopy.FindClass(1)->m_name, "first");
  EXPECT_TRUE(classCopy.RemoveClass(1));
  EXPECT_EQ(classCopy.FindClass(1)->m_name, "second");
  EXPECT_FALSE(classCopy.RemoveClass(7));
  EXPECT_FALSE(classCopy.HasClass(2));
  EXPECT_EQ(classCopy.GetAddedCount(), 2u);
}

TEST(GenericEventListTest, RenumberingAndRemovingKeepLinksOnTheirEvents) {
  CGenericEventList list;
  Add(list, 7, {9});
  Add(list, 3);
  Add(list, 9, {7});
  list.RenumberEvents();
  EXPECT_THAT(Dump(list), ElementsAre("E7:1>3,", "E3:2>", "E9:3>1,"));

  // An unknown link stays; one that meets a renumbered link is not doubled.
  CGenericEventList more;
  Add(more, 4, {50, 2, 6});
  Add(more, 6, {4});
  more.RenumberEvents();
  EXPECT_THAT(Dump(more), ElementsAre("E4:1>50,2,", "E6:2>1,"));

  // A link to no event whose id renumbering gives to an event would come to
  // name that event: it goes, as a link to a removed event goes. One beyond
  // the new ids stays.
  CGenericEventList stale;
  Add(stale, 8, {1, 3, 99});
  Add(stale, 5, {2, 8});
  Add(stale, 6);
  stale.RenumberEvents();
  EXPECT_THAT(Dump(stale), ElementsAre("E8:1>99,", "E5:2>1,", "E6:3>"));

  EXPECT_FALSE(list.RemoveEvent(5));
  // Left in place, the link of event 3 to the removed 2 would name event 3
  // itself once renumbered.
  list.GetAt(2)->AddLinkedId(2);
  EXPECT_TRUE(list.RemoveEvent(2));
  EXPECT_THAT(Dump(list), ElementsAre("E7:1>2,", "E9:2>1,"));
  EXPECT_TRUE(list.RemoveEvent(1));
  EXPECT_TRUE(list.RemoveEvent(1));
  EXPECT_TRUE(list.IsEmpty());
}

TEST(GenericEventListTest, SequencesCountPerSequentialClassAndWrap) {
  CGenericEventClassList classes;
  AddClass(classes, 1, true);
  AddClass(classes, 2, false);
  CGenericEventList list;
  for (int32_t cls : {1, 2, 1, 3, 1}) Add(list, 0, {}, cls)->m_sequenceNr = 9;
  list.RenumberSequences(classes);
  std::vector<int32_t> numbers;
  for (const CGenericEvent& e : list) numbers.push_back(e.m_sequenceNr);
  EXPECT_THAT(numbers, ElementsAre(1, 0, 2, 9, 3));

  EXPECT_EQ(list.FindNextInSequence(1, 1), list.GetAt(2));
  EXPECT_EQ(list.FindNextInSequence(1, 3), list.GetAt(0));
  EXPECT_EQ(list.FindNextInSequence(1, INT32_MAX), list.GetAt(0));
  EXPECT_EQ(list.FindNextInSequence(1, 0), nullptr);
  EXPECT_EQ(list.FindNextInSequence(2, 5), nullptr);
}

TEST(GenericEventListTest, MovingSwapsPlacesAndIdsAndLinksFollow) {
  CGenericEventList list;
  Add(list, 1);
  Add(list, 2);
  Add(list, 3, {1, 2});
  Add(list, 4, {2});
  const std::vector<std::string> before = Dump(list);
  EXPECT_FALSE(list.MoveEventUp(1));
  EXPECT_FALSE(list.MoveEventDown(4));
  EXPECT_FALSE(list.MoveEventUp(9));
  EXPECT_EQ(Dump(list), before);

  EXPECT_TRUE(list.MoveEventUp(2));
  EXPECT_THAT(Dump(list), ElementsAre("E2:1>", "E1:2>", "E3:3>1,2,", "E4:4>1,"));
  EXPECT_TRUE(list.MoveEventDown(1));
  EXPECT_EQ(Dump(list), before);

  // Links as a file may give them, one id twice: every occurrence follows,
  // so the event does not come to link both moved events.
  list.FindEvent(4)->m_linkedIds = {2, 2};
  EXPECT_TRUE(list.MoveEventUp(2));
  EXPECT_THAT(list.FindEvent(4)->m_linkedIds, ElementsAre(1u, 1u));
}

TEST(GenericEventListTest, LinksMirrorDanglingOnesGoAndStartEndEventsNeedThem) {
  CGenericEventList list;
  Add(list, 1, {2});
  Add(list, 2, {1, 3});
  Add(list, 3, {1, 7, 8});
  Add(list, 4);
  // An edited copy of event 1, now linking 3 and 4 instead of 2.
  CGenericEvent edited(*list.GetAt(0));
  edited.m_linkedIds = {3, 4};
  list.LinkBothWays(edited);
  list.RemoveDanglingLinks();
  EXPECT_THAT(Dump(list), ElementsAre("E1:1>2,", "E2:2>3,", "E3:3>1,", "E4:4>1,"));

  // The stored event of the copy's id is another event like any: it links
  // the copy's id exactly when the copy links its own.
  CGenericEventList self;
  Add(self, 1, {1, 2});
  Add(self, 2, {1});
  CGenericEvent unlinked(*self.GetAt(0));
  unlinked.m_linkedIds = {2};
  self.LinkBothWays(unlinked);
  EXPECT_THAT(Dump(self), ElementsAre("E1:1>2,", "E2:2>1,"));
  CGenericEvent selfLinked(*self.GetAt(1));
  selfLinked.m_linkedIds = {1, 2};
  self.LinkBothWays(selfLinked);
  EXPECT_THAT(Dump(self), ElementsAre("E1:1>2,", "E2:2>1,2,"));

  int32_t badId = -5;
  EXPECT_TRUE(list.CheckStartEndLinks(badId));
  EXPECT_EQ(badId, 0);
  Add(list, 5, {}, -1, kEventTypeC);
  Add(list, 6, {}, -1, kEventTypeEnd);
  Add(list, 7, {}, -1, kEventTypeStart);
  EXPECT_FALSE(list.CheckStartEndLinks(badId));
  EXPECT_EQ(badId, 6);

  EXPECT_FALSE(list.HasAnyAction());
  list.GetAt(2)->m_action = -1;
  EXPECT_TRUE(list.HasAnyAction());
}

}  // namespace
