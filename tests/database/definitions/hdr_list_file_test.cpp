#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstring>
#include <initializer_list>
#include <optional>
#include <string>
#include <tuple>
#include <vector>

#include "core/log/logger.h"
#include "core/text/string_helpers.h"
#include "database/blockfile/block_file.h"
#include "database/definitions/hdr_list.h"
#include "platform/message_sink.h"
#include "platform/string_resources.h"
#include "tests/database/blockfile/db_bytes.h"
#include "tests/support/temp_folder.h"

namespace {

using testing::ElementsAre;
using zor::platform::File;
using zor::platform::MessageBoxCall;
using Bytes = std::vector<uint8_t>;

constexpr uint32_t kNoHeaderBlock = 42347;
constexpr uint32_t kDamagedHeader = 42348;

// n bytes that differ from entry to entry and from byte to byte.
Bytes Pattern(std::size_t n, uint8_t seed) {
  Bytes b(n);
  for (std::size_t i = 0; i < n; ++i) b[i] = static_cast<uint8_t>(seed * 31 + i * 7);
  return b;
}

template <typename T>
Bytes Le(T value) {
  return DbBytes().Put(value).bytes();
}

Bytes Cat(std::initializer_list<Bytes> parts) {
  Bytes out;
  for (const Bytes& p : parts) out.insert(out.end(), p.begin(), p.end());
  return out;
}

// One entry as block 33 stores it; `size` overrides the stored Size.
Bytes Entry33(uint32_t recId, const Bytes& payload, int32_t link, uint8_t flag = 0,
              std::optional<uint32_t> size = std::nullopt) {
  const uint32_t stored = size.value_or(static_cast<uint32_t>(payload.size()));
  return DbBytes().Put(stored).Put(flag).Put(recId).Raw(payload).Put(link).bytes();
}
// One entry as the older block 1 stores it.
Bytes Entry1(uint32_t recId, const Bytes& payload, int32_t link, int32_t reserved) {
  return DbBytes().Put(recId).Raw(payload).Put(link).Put(reserved).bytes();
}

// A file's "Observation Events" block: it keeps the links.
const Bytes kEvents(4, 0);

using Fields = std::tuple<uint32_t, int32_t, int32_t, int64_t, uint8_t, Bytes>;
std::vector<Fields> FieldsOf(const CHdrList& list) {
  std::vector<Fields> out;
  for (const sHdrEntry& e : list) {
    out.emplace_back(e.recId, e.link, e.reserved, e.filePos, e.flag, e.payload);
  }
  return out;
}

std::vector<uint32_t> RecIds(const CHdrList& list) {
  std::vector<uint32_t> ids;
  for (const sHdrEntry& e : list) ids.push_back(e.recId);
  return ids;
}

class HdrListFileTest : public testing::Test {
 protected:
  void SetUp() override {
    oldLevel_ = SetLogLevel(2);
    oldFlags_ = SetLogFlags(kLogMessageBoxes);
  }
  void TearDown() override {
    SetLogLevel(oldLevel_);
    SetLogFlags(oldFlags_);
  }

  CBlockFile& Open(const DbBytes& bytes, const std::string& name = "db.zdb") {
    path_ = tmp_.Write(name, bytes.str());
    file_.Abort();
    EXPECT_TRUE(file_.Open(path_, File::modeReadWrite));
    return file_;
  }
  // Appends the list as block 33 behind the counted blocks of a new file,
  // counts it and returns the file's bytes; the file stays open.
  std::string SaveInto(CHdrList& list, const DbBytes& prefix, const std::string& name,
                       int32_t mode = 0) {
    CBlockFile& f = Open(prefix, name);
    EXPECT_TRUE(f.SeekEndOfBlocks());
    EXPECT_TRUE(list.Save(f, mode));
    EXPECT_EQ(f.GetPosition(), f.GetLength());
    f.SetBlockCount(f.GetBlockCount() + 1);
    return ReadAll(path_);
  }
  std::string Message(uint32_t id) const {
    return FormatString(zor::platform::LoadResourceString(id).c_str(), path_.c_str());
  }

  std::vector<MessageBoxCall> boxes_;
  zor::platform::ScopedMessageSink sink_{[this](const MessageBoxCall& box) {
    boxes_.push_back(box);
    return zor::platform::IDOK;
  }};
  int32_t oldLevel_ = 0;
  uint32_t oldFlags_ = 0;
  TempFolder tmp_;
  std::string path_;
  CBlockFile file_;
};

// ---- Block 33 ------------------------------------------------------------------

TEST_F(HdrListFileTest, SaveLoadSaveIsByteExactAndPositionsPointAtTheLinks) {
  CHdrList list;
  list.AddEntry(16, 80, Pattern(80, 1).data(), 7);
  list.AddEntry(139, 4, Le(37.0f).data(), 3);
  list.AddEntry(83, 7, Pattern(7, 2).data(), -1);           // no fixed size: any Size
  list.AddEntry(84, 0, nullptr, 12);                        // an empty payload
  list.AddEntry(83, 200000, Pattern(200000, 3).data(), 5);  // larger than any buffer
  list.GetEntry(16, 1)->flag = 0xA5;
  list.GetEntry(16, 1)->reserved = 9;  // not stored in block 33

  const DbBytes prefix = DbBytes().Count(1).Block(7, kEvents);
  const std::string first = SaveInto(list, prefix, "a.zdb");
  const Bytes expected33 = Cat({Entry33(16, Pattern(80, 1), 7, 0xA5), Entry33(139, Le(37.0f), 3),
                                Entry33(83, Pattern(7, 2), -1), Entry33(84, {}, 12),
                                Entry33(83, Pattern(200000, 3), 5)});
  EXPECT_EQ(first, DbBytes().Count(2).Block(7, kEvents).Block(33, expected33).str());
  for (const sHdrEntry& e : list) {
    EXPECT_EQ(ValueAt<int32_t>(first, static_cast<std::size_t>(e.filePos)), e.link);
  }

  CHdrList loaded;
  ASSERT_TRUE(loaded.Load(file_, true, 0));
  EXPECT_TRUE(boxes_.empty());
  std::vector<Fields> want = FieldsOf(list);
  std::get<2>(want[0]) = -1;  // reserved
  EXPECT_EQ(FieldsOf(loaded), want);
  EXPECT_EQ(loaded.GetGpsUtcOffset(), 37.0);
  EXPECT_EQ(SaveInto(loaded, prefix, "b.zdb"), first);

  // Mode 1 writes every link as none, in the list as in the file.
  CHdrList two;
  two.AddEntry(139, 4, Le(18.0f).data(), 4);
  two.AddEntry(83, 3, Pattern(3, 1).data(), 6);
  EXPECT_EQ(SaveInto(two, DbBytes().Count(0), "c.zdb", /*mode=*/1),
            DbBytes()
                .Count(1)
                .Block(33, Cat({Entry33(139, Le(18.0f), -1), Entry33(83, Pattern(3, 1), -1)}))
                .str());
  EXPECT_THAT(FieldsOf(two), ElementsAre(Fields{139, -1, -1, 4 + 8 + 13, 0, Le(18.0f)},
                                         Fields{83, -1, -1, 4 + 8 + 17 + 12, 0, Pattern(3, 1)}));
}

TEST_F(HdrListFileTest, LinksSurviveOnlyBesideAnEventsBlockAndLevelZeroKeepsOldRecords) {
  const Bytes unit = Cat({Pattern(40, 4), Le(0.3048)});
  const Bytes block = Cat({Entry33(1, Pattern(56, 1), 5), Entry33(139, Le(17.0f), 6),
                           Entry33(25, Pattern(2880, 2), 7), Entry33(153, unit, 8)});
  CHdrList withEvents;
  ASSERT_TRUE(
      withEvents.Load(Open(DbBytes().Count(2).Block(33, block).Block(7, kEvents)), true, 0));
  EXPECT_THAT(RecIds(withEvents), ElementsAre(1u, 139u, 25u, 153u));
  EXPECT_EQ(withEvents.GetEntry(25, 1)->link, 7);
  EXPECT_EQ(withEvents.GetGpsUtcOffset(), 17.0);
  EXPECT_EQ(withEvents.GetSurveyUnitFactor(), 0.3048);

  CHdrList without;
  ASSERT_TRUE(without.Load(Open(DbBytes().Count(1).Block(33, block)), true, 0));
  for (const sHdrEntry& e : without) EXPECT_EQ(e.link, -1);
  // The position of the link word is kept all the same.
  EXPECT_EQ(without.GetEntry(139, 1)->filePos, 4 + 8 + 69 + 9 + 4);
}

// ---- Damaged blocks -----------------------------------------------------------

TEST_F(HdrListFileTest, DamagedEntryStopsTheLoadAndKeepsTheEntriesInFront) {
  const Bytes good = Entry33(16, Pattern(80, 1), 1);
  const Bytes tail = Entry33(2, Pattern(60, 3), 3);
  const Bytes damaged[] = {
      Entry33(139, Pattern(8, 2), 2),                      // the catalogue says 4 bytes
      Entry33(83, Pattern(7, 1), 2, 0, 0xFFFFFFF0u),       // far beyond the file
      Entry33(83, Pattern(7, 1), 2, 0, 7 + 60 + 13 + 1),  // a byte beyond the block
  };
  for (const Bytes& bad : damaged) {
    boxes_.clear();
    // A further block follows, so a reader trusting the Size would read it.
    CHdrList list;
    EXPECT_FALSE(list.Load(Open(DbBytes()
                                    .Count(3)
                                    .Block(7, kEvents)
                                    .Block(33, Cat({good, bad, tail}))
                                    .Block(35, 64, 0xEE)),
                           true, 1));
    EXPECT_THAT(RecIds(list), ElementsAre(16u));
    ASSERT_EQ(boxes_.size(), 1u);
    EXPECT_EQ(boxes_[0].text, Message(kDamagedHeader));
    EXPECT_EQ(boxes_[0].style, zor::platform::MB_ICONWARNING);
  }
  // Without report nobody hears of it.
  CHdrList quiet;
  EXPECT_FALSE(quiet.Load(file_, false, 0));
  EXPECT_EQ(quiet.GetCount(), 1u);
  EXPECT_EQ(boxes_.size(), 1u);
}

// Every cut of a block into a shorter block, in both layouts: whole entries
// are read, a tail of 1 to 3 bytes is ignored as it always was, and anything
// longer ends the load with failure. The next block's bytes never enter an
// entry.
TEST_F(HdrListFileTest, TruncatedBlocksKeepTheWholeEntriesInFront) {
  const std::vector<Bytes> layouts[] = {
      {Entry33(139, Le(21.0f), 1), Entry33(83, Pattern(7, 2), 2), Entry33(16, Pattern(80, 3), 3)},
      {Entry1(139, Le(21.0f), 1, 7), Entry1(33, Pattern(16, 2), 2, 8),
       Entry1(16, Pattern(80, 3), 3, 9)},
  };
  for (uint32_t type : {33u, 1u}) {
    const std::vector<Bytes>& entries = layouts[type == 33 ? 0 : 1];
    Bytes full;
    std::vector<std::size_t> ends;
    for (const Bytes& e : entries) {
      full.insert(full.end(), e.begin(), e.end());
      ends.push_back(full.size());
    }
    for (std::size_t cut = 0; cut <= full.size(); ++cut) {
      SCOPED_TRACE(testing::Message() << "block " << type << " cut at " << cut);
      std::size_t whole = 0;
      std::size_t wholeEnd = 0;
      for (std::size_t end : ends) {
        if (end <= cut) {
          wholeEnd = end;
          ++whole;
        }
      }
      const bool ok = cut - wholeEnd < 4;
      const Bytes data(full.begin(), full.begin() + static_cast<std::ptrdiff_t>(cut));
      CHdrList list;
      boxes_.clear();
      EXPECT_EQ(list.Load(Open(DbBytes().Count(3).Block(7, kEvents).Block(type, data).Block(
                              35, 64, 0xEE)),
                          true, 0),
                ok);
      EXPECT_EQ(boxes_.size(), ok ? 0u : 1u);
      ASSERT_EQ(list.GetCount(), whole);
      for (const sHdrEntry& e : list) {
        EXPECT_NE(e.link, static_cast<int32_t>(0xEEEEEEEE));
        EXPECT_NE(e.reserved, static_cast<int32_t>(0xEEEEEEEE));
      }
    }
  }
}

TEST_F(HdrListFileTest, FileWithoutACompleteHeaderBlockHoldsNoHeader) {
  // The block announces 100 bytes and the file ends after 20 of them.
  const DbBytes files[] = {DbBytes().Count(1).Block(33, Pattern(20, 1), 100), DbBytes(),
                           DbBytes().Count(0), DbBytes().Count(1).Block(35, 8, 0)};
  for (const DbBytes& bytes : files) {
    boxes_.clear();
    CHdrList list;
    EXPECT_FALSE(list.Load(Open(bytes), true, 1));
    EXPECT_EQ(list.GetCount(), 0u);
    ASSERT_EQ(boxes_.size(), 1u);
    EXPECT_EQ(boxes_[0].text, Message(kNoHeaderBlock));
  }
}

// ---- Block 1 ----------------------------------------------------------------------

TEST_F(HdrListFileTest, OlderBlockTakesSizesFromTheCatalogueAndKeepsReservedWords) {
  const Bytes block = Cat({Entry1(139, Le(16.0f), 3, 77), Entry1(1, Pattern(56, 1), 4, -5)});
  CHdrList list;
  ASSERT_TRUE(list.Load(Open(DbBytes().Count(2).Block(7, kEvents).Block(1, block)), true, 0));
  const int64_t start = 4 + 12 + 8;
  EXPECT_THAT(FieldsOf(list),
              ElementsAre(Fields{139, 3, 77, start + 4 + 4, 0, Le(16.0f)},
                          Fields{1, 4, -5, start + 16 + 4 + 56, 0, Pattern(56, 1)}));
  EXPECT_EQ(list.GetGpsUtcOffset(), 16.0);

  // Block 33 wins wherever it stands; block 1 is never written.
  CHdrList both;
  ASSERT_TRUE(both.Load(
      Open(DbBytes().Count(2).Block(1, block).Block(33, Entry33(16, Pattern(80, 2), 1))), true, 0));
  EXPECT_EQ(SaveInto(both, DbBytes().Count(0), "saved.zdb"),
            DbBytes().Count(1).Block(33, Entry33(16, Pattern(80, 2), -1)).str());

  // A record type without a fixed size cannot be read from block 1.
  for (uint32_t recId : {83u, 0u, 272u, 0x80000000u}) {
    boxes_.clear();
    CHdrList stopped;
    EXPECT_FALSE(stopped.Load(
        Open(DbBytes().Count(1).Block(1, Cat({block, Entry1(recId, Pattern(8, 1), 4, 5)}))),
        true, 0));
    EXPECT_EQ(stopped.GetCount(), 2u) << recId;
    ASSERT_EQ(boxes_.size(), 1u);
    EXPECT_EQ(boxes_[0].text, Message(kDamagedHeader));
  }
}

// The header's own usage: loaded from one database, saved into a new one,
// and loaded back from there as it was.
TEST_F(HdrListFileTest, ALoadedListSavedIntoANewDatabaseLoadsBackFromIt) {
  CHdrList saved;
  saved.AddEntry(139, 4, Le(19.0f).data(), 3);
  saved.AddEntry(83, 7, Pattern(7, 2).data(), 5);
  SaveInto(saved, DbBytes().Count(1).Block(26, 4, 1), "from.zdb");
  CHdrList header;
  ASSERT_TRUE(header.Load(file_, false, 0));
  file_.Abort();

  const std::string newPath = tmp_.Path("new.zdb");
  CBlockFile to;
  ASSERT_TRUE(to.Open(newPath, File::modeCreate | File::modeReadWrite | File::shareDenyWrite));
  const int32_t count = to.GetBlockCount();
  ASSERT_TRUE(to.StartAppend());
  header.Save(to, 0);
  to.Flush();
  to.SetBlockCount(count + 1);
  to.Close();

  CBlockFile again;
  ASSERT_TRUE(again.Open(newPath, File::modeRead));
  CHdrList loaded;
  ASSERT_TRUE(loaded.Load(again, false, 0));
  ASSERT_EQ(loaded.GetCount(), 2u);
  EXPECT_EQ(loaded.GetGpsUtcOffset(), 19.0);
  ASSERT_NE(loaded.GetEntry(83, 1), nullptr);
  EXPECT_EQ(loaded.GetEntry(83, 1)->Size(), 7u);
  EXPECT_EQ(std::memcmp(loaded.GetPayload(83, 1), Pattern(7, 2).data(), 7), 0);
}

// ---- Positions beyond 4 GiB -------------------------------------------------------

TEST_F(HdrListFileTest, PositionsBeyondFourGibibytesKeepAllTheirBits) {
  // A sparse file: one discarded block of almost 4 GiB, then block 33.
  constexpr uint32_t kHuge = 0xFFFFFFF0u;
  CBlockFile& f = Open(DbBytes().Count(1).Put(uint32_t{0}).Put(kHuge));
  f.SetLength(4 + 8 + uint64_t{kHuge});
  CHdrList list;
  list.AddEntry(139, 4, Le(20.0f).data(), 6);
  ASSERT_TRUE(f.SeekEndOfBlocks());
  list.Save(f, 0);
  f.SetBlockCount(2);
  const int64_t linkAt = 4 + 8 + int64_t{kHuge} + 8 + 9 + 4;
  EXPECT_EQ(list.GetEntry(139, 1)->filePos, linkAt);

  CHdrList loaded;
  ASSERT_TRUE(loaded.Load(f, true, 0));
  EXPECT_EQ(loaded.GetEntry(139, 1)->filePos, linkAt);
  EXPECT_EQ(ToImage(*loaded.GetEntry(139, 1)).filePos, static_cast<uint32_t>(linkAt));
}

}  // namespace
