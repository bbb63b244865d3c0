#include "database/blockfile/his_list.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "database/blockfile/block_file.h"
#include "platform/bytes.h"
#include "tests/database/blockfile/db_bytes.h"
#include "tests/support/temp_folder.h"

namespace {

using zor::platform::File;
using zor::platform::SYSTEMTIME;

template <typename T>
std::vector<uint8_t> BytesOf(const T& value) {
  const auto* p = reinterpret_cast<const uint8_t*>(&value);
  return std::vector<uint8_t>(p, p + sizeof(T));
}

bool IsZero(const sHisEntry& e) {
  static const sHisEntry kZero{};
  return std::memcmp(&e, &kZero, sizeof e) == 0;
}

// ---- In memory ---------------------------------------------------------------

TEST(HisList, StartsEmptyAndCountsEachActionOnce) {
  CHisList list;
  for (int32_t slot = 0; slot < CHisList::GetSize(); ++slot) EXPECT_TRUE(IsZero(list[slot]));

  const SYSTEMTIME t{2020, 1, 3, 2, 3, 4, 5, 6};
  list.SetEntry(3, 8, &t, false);
  list.SetEntry(3, 9, &t, true);
  list.SetTexts(3, "me", nullptr);
  EXPECT_EQ(list.GetUsedCount(), 1u);
  EXPECT_EQ(list[3].version, 1u);
  EXPECT_EQ(list[3].action, 3);
  EXPECT_EQ(list[3].reserved, 9u);
  EXPECT_EQ(list[3].start.wYear, 2020);
  EXPECT_EQ(list[3].end.wMilliseconds, 6);

  list.SetEntry(0, 1, &t, false);
  list.SetEntry(20, 1, &t, false);
  list.SetTexts(-1, "x", "y");
  list.SetTexts(4, nullptr, "y");
  list.ClearEntry(5);
  EXPECT_EQ(list.GetUsedCount(), 1u);
  EXPECT_TRUE(IsZero(list[4]));

  list.SetTexts(19, "you", "a comment");
  EXPECT_EQ(list.GetUsedCount(), 2u);
  list.ClearEntry(3);
  EXPECT_EQ(list.GetUsedCount(), 1u);
  EXPECT_TRUE(IsZero(list[3]));
  list.Clear();
  EXPECT_EQ(list.GetUsedCount(), 0u);
  EXPECT_TRUE(IsZero(list[19]));
}

TEST(HisList, SetEntryWithoutTimeStampsNowAndTextsAreBounded) {
  CHisList list;
  list.SetEntry(1, 0, nullptr, false);
  EXPECT_GE(list[1].start.wYear, 2024);
  EXPECT_EQ(list[1].end.wYear, list[1].start.wYear);

  const std::string longText(300, 'u');
  list.SetTexts(2, longText.c_str(), longText.c_str());
  EXPECT_EQ(zor::platform::FieldText(list[2].user), std::string(259, 'u'));
  EXPECT_EQ(zor::platform::FieldText(list[2].comment), std::string(259, 'u'));
  list.SetTexts(2, "short", nullptr);  // the comment stays
  EXPECT_EQ(zor::platform::FieldText(list[2].user), "short");
  EXPECT_EQ(zor::platform::FieldText(list[2].comment), std::string(259, 'u'));
}

TEST(HisList, CopiesEntriesAndCopyingOntoItselfChangesNothing) {
  CHisList source;
  source.SetTexts(7, "a", "b");
  source.SetTexts(9, "c", nullptr);
  CHisList copy(&source);
  EXPECT_EQ(std::memcmp(&copy[0], &source[0], kHisBlockSize), 0);
  CHisList none(static_cast<const CHisList*>(nullptr));
  EXPECT_EQ(none.GetUsedCount(), 0u);

  copy.Copy(&copy);
  EXPECT_EQ(copy.GetUsedCount(), 2u);
  EXPECT_EQ(zor::platform::FieldText(copy[7].user), "a");
  copy = copy;  // NOLINT: self-assignment is what is tested
  EXPECT_EQ(std::memcmp(&copy[0], &source[0], kHisBlockSize), 0);
}

// ---- In the file -------------------------------------------------------------

class HisListFileTest : public testing::Test {
 protected:
  CBlockFile& OpenBytes(const DbBytes& bytes) {
    path_ = tmp_.Write("h.zdb", bytes.str());
    file_.Abort();
    EXPECT_TRUE(file_.Open(path_, File::modeReadWrite));
    return file_;
  }
  TempFolder tmp_;
  std::string path_;
  CBlockFile file_;
};

TEST_F(HisListFileTest, Block35RoundTripsByteForByte) {
  CHisList list;
  const SYSTEMTIME a{2019, 12, 2, 31, 23, 59, 58, 999};
  list.SetEntry(1, 0xDEADBEEF, &a, false);
  list.SetEntry(19, 2, &a, true);
  list.SetTexts(19, "operator", "checked");

  CBlockFile& f = OpenBytes(DbBytes().Count(0));
  ASSERT_TRUE(f.SeekEndOfBlocks());
  EXPECT_EQ(list.Save(f), kBlockHistory);
  f.SetBlockCount(1);
  const std::string written = ReadAll(path_);
  ASSERT_EQ(written.size(), 4u + 8 + kHisBlockSize);
  // Slot 0 carries the count in its reserved word; slot i starts at 12 + 564 i.
  EXPECT_EQ(ValueAt<uint32_t>(written, 12 + 8), 2u);
  EXPECT_EQ(ValueAt<uint32_t>(written, 12 + 564 + 8), 0xDEADBEEFu);
  EXPECT_EQ(written.substr(12 + 19 * 564 + 44, 9), std::string("operator\0", 9));

  CHisList loaded;
  EXPECT_EQ(loaded.Load(f), kBlockHistory);
  CBlockFile& g = OpenBytes(DbBytes().Count(0));
  ASSERT_TRUE(g.SeekEndOfBlocks());
  loaded.Save(g);
  g.SetBlockCount(1);
  EXPECT_EQ(ReadAll(path_), written);
}

// A stamp rewrites the history where it stands, under its header, only
// when the block there is a history block of the current size; a block
// read from an offset must be a history block.
TEST_F(HisListFileTest, SavesInPlaceOnlyOverACurrentHistoryBlockAndLoadsFromOne) {
  CHisList list;
  const SYSTEMTIME a{2021, 3, 1, 4, 5, 6, 7, 8};
  list.SetEntry(7, 70, &a, false);
  CHisList other;
  other.SetEntry(2, 20, &a, false);
  const DbBytes start = DbBytes()
                            .Count(3)
                            .Block(33, 2, 1)
                            .Block(35, std::vector<uint8_t>(kHisBlockSize))
                            .Block(35, BytesOf(list[7]));
  CBlockFile& f = OpenBytes(start);
  EXPECT_FALSE(other.SaveInPlace(f, 4));                        // block 33
  EXPECT_FALSE(other.SaveInPlace(f, 14 + 8 + kHisBlockSize));   // block 35 of one entry
  EXPECT_EQ(ReadAll(path_), start.str());
  ASSERT_TRUE(other.SaveInPlace(f, 14));
  EXPECT_EQ(f.GetPosition(), 14u + 8 + kHisBlockSize);
  EXPECT_EQ(ReadAll(path_).substr(0, 22), start.str().substr(0, 22));  // header kept

  CHisList loaded;
  EXPECT_EQ(loaded.LoadFrom(f, 14), kBlockHistory);
  EXPECT_EQ(loaded[2].reserved, 20u);
  EXPECT_EQ(loaded.LoadFrom(f, 14 + 8 + kHisBlockSize), kBlockHistory);
  EXPECT_EQ(loaded[7].reserved, 70u);
  EXPECT_EQ(loaded[2].version, 0u);
  EXPECT_EQ(loaded.LoadFrom(f, 4), kBlockUnused);
  EXPECT_EQ(loaded.GetUsedCount(), 0u);
}

TEST_F(HisListFileTest, Block8IsConvertedAndSavedAsBlock35) {
  sHisEntryOld first{};
  first.action = 4;
  first.time = SYSTEMTIME{1999, 5, 1, 10, 11, 12, 13, 14};
  first.reserved = 17;
  std::memset(first.comment, 'c', sizeof first.comment);  // 76 characters, no end
  sHisEntryOld dropped{};
  dropped.action = 25;
  sHisEntryOld second{};
  second.action = 11;
  std::memcpy(second.comment, "short", 6);
  std::vector<uint8_t> data = BytesOf(first);
  for (const auto& e : {dropped, second}) {
    const std::vector<uint8_t> b = BytesOf(e);
    data.insert(data.end(), b.begin(), b.end());
  }
  CBlockFile& f = OpenBytes(DbBytes().Count(1).Block(8, data));
  CHisList list;
  ASSERT_EQ(list.Load(f), kBlockHistoryOld);
  EXPECT_EQ(list.GetUsedCount(), 2u);

  sHisEntry expected{};
  expected.action = 4;
  expected.reserved = 17;
  expected.start = first.time;
  expected.end = first.time;
  std::memset(expected.comment, 'c', 76);
  EXPECT_EQ(BytesOf(list[4]), BytesOf(expected));
  EXPECT_EQ(zor::platform::FieldText(list[11].comment), "short");

  CBlockFile& g = OpenBytes(DbBytes().Count(0));
  ASSERT_TRUE(g.SeekEndOfBlocks());
  list.Save(g);
  const std::string saved = ReadAll(path_);
  EXPECT_EQ(saved.substr(12 + 4 * 564, 564), std::string(reinterpret_cast<char*>(&expected), 564));
}

TEST_F(HisListFileTest, TakesOnlyWholeEntriesOfTheBlock) {
  sHisEntry e{};
  e.version = 1;
  e.action = 2;
  sHisEntry later = e;
  later.reserved = 5;
  std::vector<uint8_t> data = BytesOf(e);
  const std::vector<uint8_t> b = BytesOf(later);
  data.insert(data.end(), b.begin(), b.end());
  // Two entries of one action: the later one stays and counts once.
  CHisList list;
  EXPECT_EQ(list.Load(OpenBytes(DbBytes().Count(1).Block(35, data))), kBlockHistory);
  EXPECT_EQ(list[2].reserved, 5u);
  EXPECT_EQ(list.GetUsedCount(), 1u);

  // The block ends inside the second entry: the first alone is read, and
  // nothing of the block behind it.
  std::vector<uint8_t> cut(data.begin(), data.begin() + 564 + 100);
  sHisEntry next{};
  next.action = 3;
  EXPECT_EQ(list.Load(OpenBytes(DbBytes().Count(2).Block(35, cut).Block(33, BytesOf(next)))),
            kBlockHistory);
  EXPECT_EQ(list[2].reserved, 0u);
  EXPECT_EQ(list[3].action, 0);
  EXPECT_EQ(list.GetUsedCount(), 1u);

  // A block 35 that runs past the end of the file is not there; block 8 is
  // taken instead.
  sHisEntryOld old{};
  old.action = 9;
  DbBytes bytes;
  bytes.Count(2).Block(8, BytesOf(old)).Put(uint32_t{35}).Put(uint32_t{kHisBlockSize}).Raw(data);
  EXPECT_EQ(list.Load(OpenBytes(bytes)), kBlockHistoryOld);
  EXPECT_EQ(list[9].action, 9);
  EXPECT_EQ(list.GetUsedCount(), 1u);

  EXPECT_EQ(list.Load(OpenBytes(DbBytes().Count(1).Block(33, 4, 0))), kBlockUnused);
  EXPECT_EQ(list.GetUsedCount(), 0u);
}

// A large history block (a sparse file holds one of gigabytes cheaply) is
// read many entries at a time, and a later entry of an action still wins
// across the pieces; each layout alike.
TEST_F(HisListFileTest, ALargeBlockIsReadInFewPieces) {
  class ReadCounting : public CBlockFile {
   public:
    uint32_t Read(void* buffer, uint32_t count) override {
      ++reads;
      return CBlockFile::Read(buffer, count);
    }
    int reads = 0;
  };
  for (const uint32_t type : {kBlockHistory, kBlockHistoryOld}) {
    SCOPED_TRACE(type);
    const std::size_t size = type == kBlockHistory ? sizeof(sHisEntry) : sizeof(sHisEntryOld);
    const uint32_t entries = 3000;
    std::vector<uint8_t> data(entries * size + size / 2);  // and half an entry
    const auto put = [&](uint32_t index, int32_t action, uint32_t reserved) {
      const std::size_t reservedAt = type == kBlockHistory ? 8 : 20;
      std::memcpy(&data[index * size + (type == kBlockHistory ? 4 : 0)], &action, 4);
      std::memcpy(&data[index * size + reservedAt], &reserved, 4);
    };
    put(5, 3, 1);
    put(2999, 3, 2);  // the last whole entry, pieces later
    put(1200, 7, 3);
    path_ = tmp_.Write("h.zdb", DbBytes().Count(1).Block(type, data).str());
    ReadCounting f;
    ASSERT_TRUE(f.Open(path_, File::modeRead));
    CHisList list;
    EXPECT_EQ(list.LoadFrom(f, 4), type);
    EXPECT_LT(f.reads, 40);
    EXPECT_EQ(list[3].reserved, 2u);
    EXPECT_EQ(list[7].reserved, 3u);
    EXPECT_EQ(list.GetUsedCount(), 2u);
  }
}

}  // namespace
