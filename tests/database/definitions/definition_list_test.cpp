#include "database/definitions/definition_list.h"

#include <gtest/gtest.h>
#include <malloc.h>

#include <cstring>
#include <fstream>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "core/log/logger.h"
#include "database/definitions/node_def_list.h"
#include "database/definitions/obs_def_list.h"
#include "database/definitions/sys_def_list.h"
#include "tests/database/definitions/definition_test_support.h"
#include "tests/support/temp_folder.h"

#if defined(__SANITIZE_ADDRESS__)
// The sanitizer's allocator keeps its own books (GCC ships no header for it).
extern "C" std::size_t __sanitizer_get_current_allocated_bytes();
#endif

namespace {

// Bytes of heap memory the program holds now.
std::size_t HeapInUse() {
#if defined(__SANITIZE_ADDRESS__)
  return __sanitizer_get_current_allocated_bytes();
#else
  const struct mallinfo2 info = mallinfo2();
  return info.uordblks + info.hblkhd;
#endif
}

// A record of random bytes (padding included) with the given id; the
// observation's transient mark is 0 as it is on the wire.
template <typename Record>
Record RandomRecord(std::mt19937& rng, int32_t id) {
  uint8_t bytes[sizeof(Record)];
  for (uint8_t& b : bytes) b = static_cast<uint8_t>(rng());
  Record r;
  std::memcpy(&r, bytes, sizeof r);
  r.id = id;
  if constexpr (std::is_same_v<Record, sObsDef>) r.transient = 0;
  return r;
}

template <typename List>
class DefinitionListTest : public testing::Test {
 protected:
  using Record = std::remove_pointer_t<typename List::value_type>;
  static constexpr int kBlock = 4;

  void TearDown() override {
    a_.RemoveAll();
    b_.RemoveAll();
  }
  void Fill(List& list, int count, uint32_t seed = 7) {
    std::mt19937 rng(seed);
    for (int i = 1; i <= count; ++i) list.AddCopy(RandomRecord<Record>(rng, i));
  }

  CIpcItemBuffer settings_{"Settings"};
  List a_, b_;
};

using ListTypes = testing::Types<CObsDefList, CNodeDefList, CSysDefList>;
TYPED_TEST_SUITE(DefinitionListTest, ListTypes);

TYPED_TEST(DefinitionListTest, SettingsBufferRoundTripIsByteExactAndAppends) {
  using Record = typename TestFixture::Record;
  const int block = TestFixture::kBlock;
  AddBlockNumber(this->settings_, block, sizeof(Record), 8);
  // An empty block changes nothing.
  this->Fill(this->b_, 1, 99);
  EXPECT_EQ(this->b_.ReadFromSettingsBuffer(&this->settings_, block), 1);
  EXPECT_EQ(this->b_.GetCount(), 1);

  this->Fill(this->a_, 3);
  ASSERT_EQ(this->a_.WriteToSettingsBuffer(&this->settings_, block), 1);
  const Zor::MultiIPCBuffer& buf = this->settings_.GetBuffer();
  EXPECT_EQ(buf.GetRecordCount(block - 1), 3u);
  const uint8_t* data = buf.GetBlockData(block - 1);
  for (int i = 0; i < 3; ++i)
    EXPECT_EQ(std::memcmp(data + i * sizeof(Record), this->a_.GetAt(i), sizeof(Record)), 0) << i;

  // Reading twice without emptying holds both copies, after what was there.
  this->b_.ReadFromSettingsBuffer(&this->settings_, block);
  this->b_.ReadFromSettingsBuffer(&this->settings_, block);
  ASSERT_EQ(this->b_.GetCount(), 7);
  for (int i = 0; i < 6; ++i)
    EXPECT_EQ(std::memcmp(this->b_.GetAt(1 + i), this->a_.GetAt(i % 3), sizeof(Record)), 0) << i;
}

TYPED_TEST(DefinitionListTest, CountBeyondTheBlockKeepsTheRecordsThatAreThere) {
  using Record = typename TestFixture::Record;
  const int block = TestFixture::kBlock;
  AddBlockNumber(this->settings_, block, sizeof(Record), 3);
  this->Fill(this->a_, 3);
  ASSERT_EQ(this->a_.WriteToSettingsBuffer(&this->settings_, block), 1);
  this->settings_.GetBuffer().SetRecordCount(block - 1, 0xFFFFFFFFu);

  EXPECT_EQ(this->b_.ReadFromSettingsBuffer(&this->settings_, block), 1);
  ASSERT_EQ(this->b_.GetCount(), 3);
  EXPECT_EQ(this->b_.Compare(this->a_), 0);

  // A block that does not exist, or a block number below 1, reads nothing.
  this->b_.RemoveAll();
  EXPECT_EQ(this->b_.ReadFromSettingsBuffer(&this->settings_, 40), 1);
  EXPECT_EQ(this->b_.ReadFromSettingsBuffer(&this->settings_, 0), 1);
  EXPECT_EQ(this->b_.ReadFromSettingsBuffer(nullptr, block), 0);
  EXPECT_TRUE(this->b_.IsEmpty());
}

TYPED_TEST(DefinitionListTest, OtherRecordSizesAreCutOrZeroFilled) {
  using Record = typename TestFixture::Record;
  const int block = TestFixture::kBlock;
  constexpr uint32_t kLarger = sizeof(Record) + 64;
  constexpr uint32_t kSmaller = sizeof(Record) - 40;
  AddBlockNumber(this->settings_, block, kLarger, 2);
  AddBlockNumber(this->settings_, block + 1, kSmaller, 2);
  Zor::MultiIPCBuffer& buf = this->settings_.GetBuffer();
  for (int index : {block - 1, block}) {
    uint8_t* data = buf.GetBlockData(index);
    for (uint32_t i = 0; i < buf.GetBlockSize(index); ++i) data[i] = static_cast<uint8_t>(i * 7 + 1);
    buf.SetRecordCount(index, 2);
  }

  this->a_.ReadFromSettingsBuffer(&this->settings_, block);
  ASSERT_EQ(this->a_.GetCount(), 2);
  const uint8_t* large = buf.GetBlockData(block - 1);
  for (int i = 0; i < 2; ++i)
    EXPECT_EQ(std::memcmp(this->a_.GetAt(i), large + i * kLarger, sizeof(Record)), 0);

  this->b_.ReadFromSettingsBuffer(&this->settings_, block + 1);
  ASSERT_EQ(this->b_.GetCount(), 2);
  const uint8_t* small = buf.GetBlockData(block);
  const std::vector<uint8_t> zeros(sizeof(Record) - kSmaller, 0);
  for (int i = 0; i < 2; ++i) {
    const uint8_t* rec = reinterpret_cast<const uint8_t*>(this->b_.GetAt(i));
    EXPECT_EQ(std::memcmp(rec, small + i * kSmaller, kSmaller), 0);
    EXPECT_EQ(std::memcmp(rec + kSmaller, zeros.data(), zeros.size()), 0);
  }
}

TYPED_TEST(DefinitionListTest, WriteRefusesABlockTheTableDoesNotFit) {
  using Record = typename TestFixture::Record;
  const int block = TestFixture::kBlock;
  AddBlockNumber(this->settings_, block, sizeof(Record), 2);
  AddBlockNumber(this->settings_, block + 1, sizeof(Record) + 8, 8);
  Zor::MultiIPCBuffer& buf = this->settings_.GetBuffer();
  buf.SetRecordCount(block - 1, 1);
  this->Fill(this->a_, 3);

  EXPECT_EQ(this->a_.WriteToSettingsBuffer(&this->settings_, block), 0);
  EXPECT_EQ(buf.GetRecordCount(block - 1), 1u);
  const std::vector<uint8_t> zeros(2 * sizeof(Record), 0);
  EXPECT_EQ(std::memcmp(buf.GetBlockData(block - 1), zeros.data(), zeros.size()), 0);
  EXPECT_EQ(this->a_.WriteToSettingsBuffer(&this->settings_, block + 1), 0);
  EXPECT_EQ(this->a_.WriteToSettingsBuffer(&this->settings_, 40), 0);
  EXPECT_EQ(this->a_.WriteToSettingsBuffer(nullptr, block), 0);

  // Exactly full fits; an empty list writes a count of 0.
  this->a_.RemoveAt(2);
  EXPECT_EQ(this->a_.WriteToSettingsBuffer(&this->settings_, block), 1);
  EXPECT_EQ(buf.GetRecordCount(block - 1), 2u);
  this->b_.RemoveAll();
  EXPECT_EQ(this->b_.WriteToSettingsBuffer(&this->settings_, block), 1);
  EXPECT_EQ(buf.GetRecordCount(block - 1), 0u);
  // An empty table clears the count of a block of another record size too,
  // so its earlier records are not read as current; a missing block fails.
  buf.SetRecordCount(block, 5);
  EXPECT_EQ(this->b_.WriteToSettingsBuffer(&this->settings_, block + 1), 1);
  EXPECT_EQ(buf.GetRecordCount(block), 0u);
  EXPECT_EQ(this->b_.WriteToSettingsBuffer(&this->settings_, 40), 0);
}

TYPED_TEST(DefinitionListTest, CompareCountsThenIdsThenBytes) {
  using Record = typename TestFixture::Record;
  EXPECT_EQ(this->a_.Compare(this->b_), 0);
  this->Fill(this->a_, 3);
  EXPECT_EQ(this->b_.Compare(this->a_), -3);
  // Records are paired by id, not by position.
  for (int i = 2; i >= 0; --i) this->b_.AddCopy(*this->a_.GetAt(i));
  EXPECT_EQ(this->a_.Compare(this->b_), 0);

  // The sign follows the first differing byte taken unsigned.
  Record* r = this->b_.GetAt(0);  // id 3
  uint8_t* last = reinterpret_cast<uint8_t*>(r) + sizeof(Record) - 1;
  const uint8_t mine = reinterpret_cast<uint8_t*>(this->a_.GetAt(2))[sizeof(Record) - 1];
  *last = static_cast<uint8_t>(mine ^ 0x80);
  EXPECT_EQ(this->a_.Compare(this->b_), mine & 0x80 ? 1 : -1);

  // An id with no partner, or no id at all, gives 999.
  r->id = 77;
  EXPECT_EQ(this->a_.Compare(this->b_), 999);
  this->a_.GetAt(0)->id = 0;
  r->id = 0;
  EXPECT_EQ(this->a_.Compare(this->b_), 999);
}

TYPED_TEST(DefinitionListTest, BorrowedRecordsAreNeverFreed) {
  this->Fill(this->a_, 3);
  const auto* first = this->a_.GetAt(0);
  this->a_.CopyFrom(&this->a_);  // into itself: nothing changes
  ASSERT_EQ(this->a_.GetCount(), 3);
  EXPECT_EQ(this->a_.GetAt(0), first);

  // b borrows a's records beside one of its own; RemoveAll frees only that
  // one (AddressSanitizer reports a double free or a use after free else).
  this->b_.AddNew();
  for (auto* r : this->a_) this->b_.AddRef(r);
  this->b_.RemoveAt(1);
  this->b_.RemoveAll();
  EXPECT_EQ(this->a_.GetAt(0)->id, 1);

  // A source borrowing this list's own records is copied before they go.
  for (auto* r : this->a_) this->b_.AddRef(r);
  this->a_.CopyFrom(&this->b_);
  this->b_.RemoveAll();
  ASSERT_EQ(this->a_.GetCount(), 3);
  EXPECT_EQ(this->a_.GetAt(2)->id, 3);
}

TYPED_TEST(DefinitionListTest, BulkReadRecordsLeaveOneByOneBesideOwnAndBorrowedOnes) {
  using Record = typename TestFixture::Record;
  const int block = TestFixture::kBlock;
  // Enough records that a read spans several slabs of every record size.
  constexpr int kCount = 600;
  AddBlockNumber(this->settings_, block, sizeof(Record), kCount);
  this->Fill(this->a_, kCount);
  ASSERT_EQ(this->a_.WriteToSettingsBuffer(&this->settings_, block), 1);

  TypeParam read;
  read.AddNew();  // a heap record in front
  ASSERT_EQ(read.ReadFromSettingsBuffer(&this->settings_, block), 1);
  read.AddRef(this->a_.GetAt(0));  // a borrowed one behind
  ASSERT_EQ(read.GetCount(), kCount + 2);
  EXPECT_TRUE(read.IsOwned(1));
  EXPECT_TRUE(read.IsOwned(kCount));
  EXPECT_FALSE(read.IsOwned(kCount + 1));

  // Records leave from the front, the middle and the back of the read; the
  // others stay where they are, with their bytes.
  const Record* kept = read.GetAt(450);
  const int32_t keptId = kept->id;
  read.RemoveHead(11);
  read.RemoveAt(200);
  read.RemoveAt(read.GetCount() - 2);
  EXPECT_EQ(read.GetAt(450 - 11 - 1), kept);
  EXPECT_EQ(kept->id, keptId);
  EXPECT_EQ(std::memcmp(kept, this->a_.GetAt(keptId - 1), sizeof(Record)), 0);

  // A copy of a list that borrows the read records outlives them.
  TypeParam copy;
  copy.CopyFrom(&read);
  read.RemoveAll();
  ASSERT_EQ(copy.GetCount(), kCount + 2 - 13);
  EXPECT_EQ(copy.GetAt(450 - 12)->id, keptId);
  EXPECT_EQ(copy.GetTail()->id, 1);  // the copy of the borrowed record

  // Emptied one record at a time, the last slab record frees the slabs
  // (LeakSanitizer reports them else), and the list reads again.
  while (!copy.IsEmpty()) copy.RemoveAt(copy.GetCount() / 2);
  ASSERT_EQ(copy.ReadFromSettingsBuffer(&this->settings_, block), 1);
  EXPECT_EQ(copy.Compare(this->a_), 0);
  copy.RemoveAll();
}

// A list that always keeps some records read in bulk while others come
// and go (a sliding window over reads) holds the memory of the records it
// holds, not of every record it ever read.
TEST(DefinitionListStorageTest, RecordsThatComeAndGoGiveBackTheirMemory) {
  constexpr uint32_t kCount = 4000;  // 500 KiB of nodes, several slabs
  CIpcItemBuffer settings("Settings");
  AddBlockNumber(settings, 5, sizeof(sNodeDef), kCount);
  settings.GetBuffer().SetRecordCount(4, kCount);
  CNodeDefList list;
  list.ReadFromSettingsBuffer(&settings, 5);
  CNodeDefList source(&list);
  const std::size_t before = HeapInUse();
  for (int round = 0; round < 40; ++round) {
    if (round % 2 == 0) {
      list.ReadFromSettingsBuffer(&settings, 5);
    } else {
      list.RemoveAt(0);  // out of step with the slabs
      list.AddNew();
      list.CopyFrom(&source, true);
    }
    list.RemoveHead(static_cast<int32_t>(kCount));
    ASSERT_EQ(list.GetCount(), static_cast<int32_t>(kCount));
  }
  // Forty rounds would have kept 20 MB.
  EXPECT_LT(HeapInUse(), before + (std::size_t{4} << 20));
  list.RemoveAll();
  source.RemoveAll();
}

TEST(DefinitionListLogTest, AShortBlockLogsOneWarning) {
  TempFolder tmp;
  const std::string path = tmp.Path("read.log");
  InitLogging(2, kLogFile, 0, path.c_str(), false, 0, false);
  CIpcItemBuffer settings("Settings");
  AddBlockNumber(settings, 5, sizeof(sNodeDef), 2);
  settings.GetBuffer().SetRecordCount(4, 1000);
  CNodeDefList nodes;
  nodes.ReadFromSettingsBuffer(&settings, 5);
  StopLogging();
  EXPECT_EQ(nodes.GetCount(), 2);
  nodes.RemoveAll();

  std::ifstream in(path);
  std::string line;
  int warnings = 0;
  while (std::getline(in, line)) warnings += line.find("WARNING") != std::string::npos;
  EXPECT_EQ(warnings, 1);
}

TEST(DefinitionListWriteTest, ObservationsLeaveWithTheTransientMarkCleared) {
  CIpcItemBuffer settings("Settings");
  AddBlockNumber(settings, 4, sizeof(sObsDef), 1);
  CObsDefList obs;
  obs.AddCopy(MakeObs(1, 1, 1, 0))->transient = 1;
  ASSERT_EQ(obs.WriteToSettingsBuffer(&settings, 4), 1);
  EXPECT_EQ(settings.GetBuffer().GetBlockData(3)[offsetof(sObsDef, transient)], 0);
  obs.RemoveAll();
}

}  // namespace
