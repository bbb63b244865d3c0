#include "database/definitions/hdr_list.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <vector>

#include "database/definitions/hdr_sub_list.h"
#include "tests/database/definitions/settings_block.h"

namespace {

using testing::ElementsAre;
using Words = std::vector<int32_t>;

// Appends an entry whose payload is the given words.
void Add(CHdrList& list, int32_t r, const Words& w, int32_t link = -1) {
  list.AddEntry(r, static_cast<uint32_t>(w.size() * 4), w.data(), link);
}

Words WordsOf(const sHdrEntry* e) {
  Words out(e->Size() / 4);
  for (std::size_t i = 0; i < out.size(); ++i) e->GetWord(i, out[i]);
  return out;
}

std::vector<uint8_t> Bytes(const Words& w) {
  ByteWriter b;
  for (int32_t v : w) b.Put(v);
  return b.bytes();
}

std::vector<uint32_t> RecIds(const CHdrList& list) {
  std::vector<uint32_t> ids;
  for (const sHdrEntry& e : list) ids.push_back(e.recId);
  return ids;
}

std::vector<uint8_t> Gps139(float s) { return ByteWriter().Put(s).bytes(); }
std::vector<uint8_t> Unit153(double f) { return ByteWriter().Fill(40, 'f').Put(f).bytes(); }

TEST(HdrListSettingsBuffer, WritesPackedImagesByteExactAndReadsThemBack) {
  CHdrList list;
  Add(list, 16, {13, 7}, 5);
  list.AddEntry(139, 4, Gps139(37.0f).data(), -1);
  list.AddEntry(85, 0, nullptr, 2);  // an empty payload travels as a bare image
  sHdrEntry* e = list.GetEntry(16, 1);
  e->reserved = 9;
  e->filePos = 0x1'2345'6789;  // only the low 32 bits travel
  e->flag = 0xA5;

  auto settings = EmptyBuffer(0, 0);
  ASSERT_TRUE(list.WriteToSettingsBuffer(settings.get(), 1));
  const std::vector<uint8_t> expected = ByteWriter()
                                            .Entry(16, Bytes({13, 7}), 5, 9, 0x23456789u, 0xA5)
                                            .Entry(139, Gps139(37.0f), -1, -1, 0xFFFFFFFFu, 0)
                                            .Entry(85, {}, 2, -1, 0xFFFFFFFFu, 0)
                                            .bytes();
  EXPECT_EQ(BlockBytes(*settings, 1), expected);
  EXPECT_EQ(settings->GetBuffer().GetRecordCount(0), 3u);

  CHdrList back;
  Add(back, 13, {1});  // reading appends
  ASSERT_TRUE(back.ReadFromSettingsBuffer(settings.get(), 1));
  EXPECT_THAT(RecIds(back), ElementsAre(13, 16, 139, 85));
  const sHdrEntry* first = back.GetEntry(16, 1);
  EXPECT_EQ(first->link, 5);
  EXPECT_EQ(first->reserved, 9);
  EXPECT_EQ(first->filePos, 0x23456789);
  EXPECT_EQ(first->flag, 0xA5);
  EXPECT_EQ(WordsOf(first), Words({13, 7}));
  EXPECT_EQ(back.GetEntry(139, 1)->filePos, -1);
  EXPECT_EQ(back.GetGpsUtcOffset(), 37.0);

  back.RemoveEntry(13, 1);
  auto again = EmptyBuffer(0, 0);
  ASSERT_TRUE(back.WriteToSettingsBuffer(again.get(), 1));
  EXPECT_EQ(BlockBytes(*again, 1), expected);

  // An empty list shrinks the block to nothing; reading that adds nothing.
  ASSERT_TRUE(CHdrList().WriteToSettingsBuffer(settings.get(), 1));
  EXPECT_EQ(settings->GetBuffer().GetBlockSize(0), 0u);
  EXPECT_EQ(settings->GetBuffer().GetRecordCount(0), 0u);
  EXPECT_TRUE(back.ReadFromSettingsBuffer(settings.get(), 1));
  EXPECT_EQ(back.GetCount(), 3u);

  // A buffer that cannot grow reports the failure and keeps its block.
  auto fixed = BlockBuffer({}, 0, 0);
  EXPECT_FALSE(back.WriteToSettingsBuffer(fixed.get(), 1));
  EXPECT_EQ(fixed->GetBuffer().GetBlockSize(0), 0u);
  EXPECT_FALSE(back.WriteToSettingsBuffer(settings.get(), 2));
}

TEST(HdrListSettingsBuffer, StopsAtAnEntryThatOverrunsTheBlockAndKeepsEarlierOnes) {
  const std::vector<uint8_t> good = ByteWriter()
                                        .Entry(16, Bytes({1}), -1, -1, 0, 0)
                                        .Entry(139, Gps139(20.0f), -1, -1, 0, 0)
                                        .bytes();
  auto withTail = [&](const ByteWriter& tail) {
    std::vector<uint8_t> b = good;
    b.insert(b.end(), tail.bytes().begin(), tail.bytes().end());
    return b;
  };
  const std::vector<uint8_t> oneShort =
      withTail(ByteWriter().Entry(153, std::vector<uint8_t>(48, 1), -1, -1, 0, 0));
  const std::vector<uint8_t> huge =
      withTail(ByteWriter().Put<uint32_t>(0).Put<uint32_t>(153).Put(0xFFFFFFF0u).Fill(16, 0));
  struct Case {
    const char* what;
    std::vector<uint8_t> block;
    uint32_t count;
  } cases[] = {
      {"Size one byte past the end", {oneShort.begin(), oneShort.end() - 1}, 3},
      {"Size near 4 GiB", huge, 3},
      {"image cut by the block end", withTail(ByteWriter().Fill(27, 0)), 3},
      {"count larger than the entries present", good, 1000000},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    auto settings = BlockBuffer(c.block, c.count, 0);
    CHdrList list;
    EXPECT_FALSE(list.ReadFromSettingsBuffer(settings.get(), 1));
    EXPECT_THAT(RecIds(list), ElementsAre(16, 139));
    EXPECT_EQ(list.GetGpsUtcOffset(), 20.0);
    EXPECT_EQ(list.GetSurveyUnitFactor(), 1.0);
  }
}

TEST(HdrListCache, FollowsEntriesLargeEnoughAsTheyEnterAndSurvivesRemoval) {
  CHdrList list;
  EXPECT_EQ(list.GetGpsUtcOffset(), 18.0);
  EXPECT_EQ(list.GetSurveyUnitFactor(), 1.0);
  const std::vector<uint8_t> unit = Unit153(0.3048);
  list.AddEntry(139, 2, Gps139(30.0f).data(), -1);  // too short for the float
  list.AddEntry(153, 47, unit.data(), -1);          // too short for the double
  list.AddEntry(139, 4, nullptr, -1);               // zeros, not an offset
  list.AddEntry(153, 48, nullptr, -1);
  EXPECT_EQ(list.GetGpsUtcOffset(), 18.0);
  EXPECT_EQ(list.GetSurveyUnitFactor(), 1.0);

  auto settings = BlockBuffer(ByteWriter()
                                  .Entry(139, Gps139(17.0f), -1, -1, 0, 0)
                                  .Entry(153, unit, -1, -1, 0, 0)
                                  .bytes(),
                              2, 0);
  ASSERT_TRUE(list.ReadFromSettingsBuffer(settings.get(), 1));
  EXPECT_EQ(list.GetGpsUtcOffset(), 17.0);
  EXPECT_EQ(list.GetSurveyUnitFactor(), 0.3048);
  list.RemoveAll();
  EXPECT_EQ(list.GetGpsUtcOffset(), 17.0);
  EXPECT_EQ(list.GetSurveyUnitFactor(), 0.3048);

  // A copy applies the rule to what it copies and keeps the rest.
  CHdrList source;
  source.AddEntry(153, 48, Unit153(0.25).data(), -1);
  list.CopyFrom(source);
  EXPECT_EQ(list.GetSurveyUnitFactor(), 0.25);
  EXPECT_EQ(list.GetGpsUtcOffset(), 17.0);
  EXPECT_EQ(CHdrList(source).GetGpsUtcOffset(), 18.0);

  CHdrSubList sub;
  sub.AddTail(Gps139(2.0f).data(), 4);
  ASSERT_TRUE(list.SyncFromSubList(sub, 139, 4));
  EXPECT_EQ(list.GetGpsUtcOffset(), 2.0);
}

TEST(HdrListCopy, CopiesAreDeepAndCopyingIntoItselfChangesNothing) {
  CHdrList list;
  Add(list, 16, {1, 2}, 3);
  list.GetEntry(16, 1)->filePos = 77;
  CHdrList copy(list);
  copy.GetPayload(16, 1)[0] = 9;
  EXPECT_EQ(WordsOf(list.GetEntry(16, 1)), Words({1, 2}));
  EXPECT_EQ(copy.GetEntry(16, 1)->filePos, 77);
  EXPECT_EQ(copy.GetEntry(16, 1)->link, 3);

  const uint8_t* before = list.GetPayload(16, 1);
  list.CopyFrom(list);
  ASSERT_EQ(list.GetCount(), 1u);
  EXPECT_EQ(list.GetPayload(16, 1), before);
}

TEST(HdrListLookup, CountsAndFindsTheNthEntryOfARecIdInListOrder) {
  CHdrList list;
  Add(list, 16, {100}, 10);
  Add(list, 13, {2}, 11);
  Add(list, 16, {101}, 12);
  Add(list, 16, {102}, 13);
  EXPECT_EQ(list.CountEntries(16), 3);
  EXPECT_EQ(WordsOf(list.GetEntry(16, 1)), Words({100}));
  EXPECT_EQ(WordsOf(list.GetEntry(16, 3)), Words({102}));
  for (auto [r, n] : {std::pair{16, 4}, {16, 0}, {0, 1}, {-16, 1}}) {
    EXPECT_EQ(list.GetPayload(r, n), nullptr) << r << " " << n;
  }
  int32_t link = -5;
  EXPECT_EQ(list.GetPayloadAndLink(16, 9, link), nullptr);
  EXPECT_EQ(link, -5);
  EXPECT_EQ(list.GetPayloadAndLink(16, 2, link), list.GetPayload(16, 2));
  EXPECT_EQ(link, 12);
  EXPECT_EQ(list.GetEntry(13, 1)->reserved, -1);
  EXPECT_EQ(list.GetEntry(13, 1)->filePos, -1);

  int32_t na = -1, nb = -1, nc = -1;
  EXPECT_EQ(list.CountEntries2(16, 16, na, nb), 3);  // counted for the first only
  EXPECT_EQ(nb, 0);
  EXPECT_EQ(list.CountEntries3(13, 99, 16, na, nb, nc), 4);
  EXPECT_EQ(na + 10 * nb + 100 * nc, 301);

  EXPECT_EQ(list.GetDefaultDatumIndex(), -1);
  Add(list, 13, {1});
  EXPECT_EQ(list.GetDefaultDatumIndex(), 0);
  EXPECT_EQ(list.GetProjectionType(), 100);
  list.AddEntry(236, 2, Bytes({5}).data(), -1);  // shorter than a word
  Add(list, 236, {6});
  EXPECT_EQ(list.GetLocalGridWord(), -1);
}

TEST(HdrListChange, RemovesOneEntryOrTheEntriesMatchingAKey) {
  CHdrList list;
  Add(list, 210, {1, 7});
  Add(list, 210, {2, 8});
  Add(list, 269, {7});
  Add(list, 270, {8});
  Add(list, 210, {3});  // too short to hold word 1: kept
  Add(list, 16, {7});
  list.RemoveEntries(210, 7);
  list.RemoveEntries(269, 8);
  list.RemoveEntries(270, 8);
  EXPECT_THAT(RecIds(list), ElementsAre(210, 269, 210, 16));
  EXPECT_EQ(WordsOf(list.GetEntry(210, 1)), Words({2, 8}));
  list.RemoveEntries(16, 12345);  // other RecIds ignore the key
  EXPECT_FALSE(list.RemoveEntry(210, 3));
  EXPECT_TRUE(list.RemoveEntry(210, 2));
  EXPECT_THAT(RecIds(list), ElementsAre(210, 269));
}

TEST(HdrListSync, MatchesTheSubListsCountThenCopiesItsElementsInOrder) {
  CHdrList list;
  Add(list, 230, {1, 1}, 11);
  Add(list, 16, {13});
  Add(list, 230, {2, 2}, 12);
  Add(list, 230, {3}, 13);  // shorter than the copies: written up to its end

  CHdrSubList sub;
  sub.AddTail(Bytes({7, 7}).data(), 8);
  sub.AddTail(Bytes({8, 8}).data(), 8);
  ASSERT_TRUE(list.SyncFromSubList(sub, 230, 8));
  EXPECT_THAT(RecIds(list), ElementsAre(16, 230, 230));  // surplus from the front
  EXPECT_EQ(list.GetEntry(230, 1)->link, 12);
  EXPECT_EQ(WordsOf(list.GetEntry(230, 1)), Words({7, 7}));
  EXPECT_EQ(WordsOf(list.GetEntry(230, 2)), Words({8}));

  sub.AddTail(Bytes({10}).data(), 4);  // short: zeros after it
  ASSERT_TRUE(list.SyncFromSubList(sub, 230, 8));
  EXPECT_THAT(RecIds(list), ElementsAre(16, 230, 230, 230));
  EXPECT_EQ(WordsOf(list.GetEntry(230, 3)), Words({10, 0}));
  EXPECT_EQ(list.GetEntry(230, 3)->link, -1);

  // Either: the newer RecId when the list has one, else the older.
  ASSERT_TRUE(list.SyncFromSubListEither(sub, 230, 231, 8));
  EXPECT_EQ(list.CountEntries(231), 0);
  ASSERT_TRUE(list.SyncFromSubListEither(CHdrSubList(), 230, 16, 8));
  EXPECT_THAT(RecIds(list), ElementsAre(230, 230, 230));
  EXPECT_FALSE(list.SyncFromSubList(sub, 0, 8));
}

TEST(HdrListRenumber, DatumIdsAndDatumIndexesEachInTheirOwnWords) {
  auto with = [](int32_t fill, std::size_t n, std::initializer_list<std::pair<int, int32_t>> set) {
    Words w(n, fill);
    for (auto [i, v] : set) w[static_cast<std::size_t>(i)] = v;
    return w;
  };
  CHdrList list;
  Add(list, 13, with(0, 18, {{0, 4}}));
  Add(list, 71, with(4, 8, {}));  // only word 4 names a datum
  Add(list, 206, with(0, 22, {{0, 4}, {1, 9}}));
  Add(list, 247, with(0, 10, {{0, 9}, {1, 4}}));
  Add(list, 200, with(4, 8, {}));
  Add(list, 204, with(3, 80, {}));  // index form: 4 - 1
  Add(list, 205, with(3, 80, {}));
  Add(list, 258, with(4, 80, {{8, 3}}));
  Add(list, 99, with(4, 8, {}));
  Add(list, 204, with(3, 9, {}));  // too short for words 9 and 77
  list.RenumberDatumId(4, 6);
  EXPECT_EQ(WordsOf(list.GetEntry(13, 1)), with(0, 18, {{0, 6}}));
  EXPECT_EQ(WordsOf(list.GetEntry(71, 1)), with(4, 8, {{4, 6}}));
  EXPECT_EQ(WordsOf(list.GetEntry(206, 1)), with(0, 22, {{0, 6}, {1, 9}}));
  EXPECT_EQ(WordsOf(list.GetEntry(247, 1)), with(0, 10, {{0, 9}, {1, 6}}));
  EXPECT_EQ(WordsOf(list.GetEntry(200, 1)), with(4, 8, {{5, 6}}));
  EXPECT_EQ(WordsOf(list.GetEntry(204, 1)), with(3, 80, {{8, 5}, {9, 5}, {77, 5}}));
  EXPECT_EQ(WordsOf(list.GetEntry(205, 1)), with(3, 80, {{4, 5}, {5, 5}, {73, 5}}));
  EXPECT_EQ(WordsOf(list.GetEntry(258, 1)), with(4, 80, {{8, 5}}));
  EXPECT_EQ(WordsOf(list.GetEntry(99, 1)), with(4, 8, {}));
  EXPECT_EQ(WordsOf(list.GetEntry(204, 2)), with(3, 9, {{8, 5}}));

  CHdrList systems;
  for (int32_t r : {71, 72, 73, 130, 205, 258, 16}) Add(systems, r, {3, 3, 3});
  systems.RenumberSystemId(3, 8);
  for (int32_t r : {71, 72, 73, 130, 205}) EXPECT_EQ(WordsOf(systems.GetEntry(r, 1)), Words({8, 3, 3}));
  EXPECT_EQ(WordsOf(systems.GetEntry(258, 1)), Words({3, 3, 8}));
  EXPECT_EQ(WordsOf(systems.GetEntry(16, 1)), Words({3, 3, 3}));
}

}  // namespace
