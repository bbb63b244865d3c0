// Entries that the bulk fills keep in the list's own chunks and blocks must
// behave like entries of their own: they stay put while others come and go,
// change length without touching their neighbours, and copies or moves of
// them outlive the list (AddressSanitizer reports a use after free else).
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <span>
#include <vector>

#include "database/blockfile/block_file.h"
#include "database/definitions/hdr_list.h"
#include "tests/database/definitions/numbered_list.h"
#include "tests/database/definitions/settings_block.h"
#include "tests/support/temp_folder.h"

namespace {

using Bytes = std::vector<uint8_t>;
using zor::platform::File;

// Appends the source to the target through the settings buffer.
void ReadThroughSettings(const CHdrList& source, CHdrList& target) {
  auto settings = EmptyBuffer(0, 0);
  EXPECT_TRUE(source.WriteToSettingsBuffer(settings.get(), 1));
  EXPECT_TRUE(target.ReadFromSettingsBuffer(settings.get(), 1));
}

// The same through block 33 of a file (with events, which keep the links).
void ReadThroughFile(CHdrList& source, CHdrList& target) {
  TempFolder tmp;
  CBlockFile db;
  EXPECT_TRUE(db.Open(tmp.Path("h.zdb"), File::modeCreate | File::modeReadWrite));
  SaveAfterEvents(db, source);
  EXPECT_TRUE(target.Load(db, false, 0));
}

// Links are the entry numbers of NumberedList(); the payload must match them.
void ExpectIntact(const CHdrList& list) {
  for (const sHdrEntry& e : list) EXPECT_EQ(e.payload, NumberedPayload(e.link)) << e.link;
}

class HdrListStorageTest : public testing::TestWithParam<int> {
 protected:
  // The fill under test: settings-buffer read, Load or CopyFrom (which
  // empties the target first; the others append).
  void ReadInto(CHdrList& source, CHdrList& target) const {
    switch (GetParam()) {
      case 0:
        return ReadThroughSettings(source, target);
      case 1:
        return ReadThroughFile(source, target);
      default:
        return target.CopyFrom(source);
    }
  }
  std::unique_ptr<CHdrList> Read(CHdrList& source) const {
    auto list = std::make_unique<CHdrList>();
    ReadInto(source, *list);
    return list;
  }
};

std::string FillName(const testing::TestParamInfo<int>& info) {
  static const char* const kNames[] = {"SettingsBuffer", "Load", "CopyFrom"};
  return kNames[info.param];
}
INSTANTIATE_TEST_SUITE_P(BulkFills, HdrListStorageTest, testing::Values(0, 1, 2), FillName);

TEST_P(HdrListStorageTest, EntriesStayPutWhileOthersComeAndGo) {
  CHdrList source = NumberedList(100);
  auto list = Read(source);
  ASSERT_EQ(list->GetCount(), 100u);
  ExpectIntact(*list);

  const sHdrEntry* kept = list->GetEntry(83, 60);
  const uint8_t* keptBytes = kept->Data();
  list->RemoveEntry(83, 1);
  list->RemoveEntry(83, 30);
  for (int n = 100; n < 400; ++n) {  // reuses the two slots, then grows
    const Bytes p = NumberedPayload(n);
    list->AddEntry(83, static_cast<uint32_t>(p.size()), p.data(), n);
  }
  EXPECT_EQ(list->GetEntry(83, 58), kept);
  EXPECT_EQ(kept->Data(), keptBytes);
  ASSERT_EQ(list->GetCount(), 398u);
  ExpectIntact(*list);
  // List order is kept: the added entries follow the read ones.
  EXPECT_EQ(list->GetEntry(83, 98)->link, 99);
  EXPECT_EQ(list->GetEntry(83, 99)->link, 100);
}

TEST_P(HdrListStorageTest, APayloadThatChangesLengthLeavesItsNeighboursAlone) {
  CHdrList source = NumberedList(8);
  auto list = Read(source);
  sHdrEntry& e = *list->GetEntry(83, 4);

  // The same length is written in place.
  const uint8_t* before = e.Data();
  e.payload = Bytes(e.Size(), 0xEE);
  EXPECT_EQ(e.Data(), before);

  // Longer: the bytes kept, zeros behind them, then every byte overwritten.
  e.payload.resize(200);
  EXPECT_EQ(e.payload[3], 0xEE);
  EXPECT_EQ(e.payload[199], 0);
  std::span<uint8_t>(e.payload).back() = 0x11;
  e.payload.assign(e.payload.size(), 0xAB);
  for (int n : {2, 4}) EXPECT_EQ(list->GetEntry(83, n + 1)->payload, NumberedPayload(n)) << n;

  // Shorter, from its own bytes, and empty.
  e.payload.assign(e.payload.begin() + 190, e.payload.end());
  EXPECT_EQ(e.payload, Bytes(10, 0xAB));
  list->GetEntry(83, 5)->payload.clear();
  EXPECT_EQ(list->GetPayload(83, 5), nullptr);
  EXPECT_EQ(list->GetEntry(83, 6)->payload, NumberedPayload(5));

  // Written out and read again, the changed list is what it shows.
  CHdrList changed(*list);
  auto again = Read(changed);
  EXPECT_EQ(again->GetEntry(83, 4)->payload, Bytes(10, 0xAB));
  EXPECT_TRUE(again->GetEntry(83, 5)->payload.empty());
  EXPECT_EQ(again->GetEntry(83, 8)->payload, NumberedPayload(7));
}

TEST_P(HdrListStorageTest, CopiesAndMovesOfEntriesOutliveTheList) {
  CHdrList source = NumberedList(5);
  auto list = Read(source);
  const sHdrEntry copied = *list->GetEntry(83, 2);
  sHdrEntry moved = std::move(*list->GetEntry(83, 3));
  sHdrEntry assigned;
  assigned = *list->GetEntry(83, 4);
  EXPECT_TRUE(list->GetEntry(83, 3)->payload.empty());  // moved from
  CHdrList other;
  other.AddEntryCached(std::move(*list->GetEntry(83, 5)));

  list.reset();
  EXPECT_EQ(copied.payload, NumberedPayload(1));
  EXPECT_EQ(moved.payload, NumberedPayload(2));
  EXPECT_EQ(assigned.payload, NumberedPayload(3));
  EXPECT_EQ(other.GetEntry(83, 1)->payload, NumberedPayload(4));
}

TEST_P(HdrListStorageTest, AListEmptiedAndRefilledReadsTheSameAgain) {
  // Larger, smaller and larger again than the memory it kept.
  CHdrList list;
  for (int count : {300, 20, 500, 0, 300}) {
    CHdrList source = NumberedList(count);
    list.RemoveAll();
    ReadInto(source, list);
    ASSERT_EQ(list.GetCount(), static_cast<std::size_t>(count));
    ExpectIntact(list);
  }
}

// A list moved from, by construction or assignment, is an empty list that
// every operation takes as a new one, also when it had kept a block for its
// next fill (RemoveAll), and however often it is moved again.
TEST_P(HdrListStorageTest, AMovedFromListIsAnEmptyUsableList) {
  CHdrList source = NumberedList(300);
  auto expectFilled = [&](CHdrList& list, const char* where) {
    ReadInto(source, list);
    ASSERT_EQ(list.GetCount(), 300u) << where;
    ExpectIntact(list);
  };
  auto expectEmpty = [](const CHdrList& list, const char* where) {
    EXPECT_TRUE(list.IsEmpty()) << where;
    EXPECT_EQ(list.GetCount(), 0u) << where;
  };

  CHdrList list;
  expectFilled(list, "new");
  list.RemoveAll();
  CHdrList constructed(std::move(list));
  expectEmpty(list, "moved by construction");
  expectFilled(list, "after construction");
  expectFilled(constructed, "constructed");  // takes the block the list kept

  list.RemoveAll();
  CHdrList assigned = NumberedList(3);
  assigned = std::move(list);
  expectEmpty(list, "moved by assignment");
  expectFilled(list, "after assignment");
  expectFilled(assigned, "assigned");

  // Moved while full, then moved from again before it is used; the cached
  // values go with the entries and the moved-from list has a new list's.
  const Bytes unit(48, 0);
  list.AddEntry(kRecIdSurveyUnit, 48, unit.data(), 7);
  constructed = std::move(list);
  EXPECT_EQ(constructed.GetSurveyUnitFactor(), 0.0);
  EXPECT_EQ(list.GetSurveyUnitFactor(), kDefaultSurveyUnitFactor);
  CHdrList again(std::move(list));
  expectEmpty(list, "moved twice");
  expectEmpty(again, "moved from a moved-from list");
  CHdrList copy(list);
  expectEmpty(copy, "copied from a moved-from list");
  copy = NumberedList(3);
  copy.CopyFrom(list);
  expectEmpty(copy, "CopyFrom a moved-from list");
  list.AddEntry(83, 48, unit.data(), 7);
  list.RemoveAll();
  expectFilled(list, "after AddEntry and RemoveAll");

  // Moving a list into itself keeps it.
  CHdrList& self = list;
  list = std::move(self);
  ASSERT_EQ(list.GetCount(), 300u);
  ExpectIntact(list);
  ASSERT_EQ(constructed.GetCount(), 301u);
  EXPECT_EQ(constructed.GetEntry(kRecIdSurveyUnit, 1)->payload, unit);
}

TEST(HdrPayload, ReadsWritesAndComparesLikeAByteVector) {
  HdrPayload p;
  EXPECT_TRUE(p.empty());
  EXPECT_EQ(p.data(), nullptr);
  p = Bytes{1, 2, 3};
  EXPECT_EQ(p, (Bytes{1, 2, 3}));
  EXPECT_NE(p, (Bytes{1, 2}));
  const Bytes back = p;
  EXPECT_EQ(back, (Bytes{1, 2, 3}));
  HdrPayload q = p;
  q[0] = 9;
  EXPECT_EQ(p[0], 1);  // a copy has bytes of its own
  EXPECT_FALSE(p == q);
  const uint8_t words[] = {4, 5};
  q.assign(std::begin(words), std::end(words));
  EXPECT_EQ(q, (Bytes{4, 5}));
  q.assign(3, 7);
  EXPECT_EQ(q, (Bytes{7, 7, 7}));
  p = std::move(q);
  EXPECT_EQ(p, (Bytes{7, 7, 7}));
  EXPECT_TRUE(q.empty());  // NOLINT(bugprone-use-after-move): moved-from is empty
  const HdrPayload& self = p;
  p = self;  // self-assignment keeps the bytes
  EXPECT_EQ(p, (Bytes{7, 7, 7}));
  p.resize(0);
  EXPECT_EQ(p.data(), nullptr);
}

}  // namespace
