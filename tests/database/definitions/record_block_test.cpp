#include "database/definitions/record_block.h"

#include <gtest/gtest.h>

#include <fstream>
#include <random>
#include <string>
#include <type_traits>
#include <vector>

#include "Drivers/framework/ipc_item_buffer.h"
#include "core/log/logger.h"
#include "database/definitions/anchor_def_list.h"
#include "database/definitions/es_dtm_def_list.h"
#include "database/definitions/height_def_list.h"
#include "database/definitions/obj_def_list.h"
#include "tests/database/definitions/definition_test_support.h"
#include "tests/database/definitions/object_lists_test_support.h"

namespace {

using Bytes = std::vector<uint8_t>;

// Per list: its block type, how it loads, and a record of random bytes that
// loading leaves as it is.
template <typename List>
struct ListTraits;

template <>
struct ListTraits<CObjDefList> {
  static constexpr uint32_t kBlock = kBlockObjectDefinitions;
  static int Load(CObjDefList& l, CBlockFile& f) { return l.Load(f, true); }
  static sObjDef Make(std::mt19937& rng, int32_t id) {
    sObjDef r = RandomBytes<sObjDef>(rng);
    r.size = kObjDefSize;
    r.version = kObjDefVersion;
    r.id = id;
    r.kind = 5;
    r.sharedMode = 3;
    r.sharedWord184 = 1;
    return r;
  }
};

template <>
struct ListTraits<CEsDtmDefList> {
  static constexpr uint32_t kBlock = kBlockEsDtmDefinitions;
  static int Load(CEsDtmDefList& l, CBlockFile& f) { return l.Load(f); }
  static sEsDtmDef Make(std::mt19937& rng, int32_t id) {
    sEsDtmDef r = RandomBytes<sEsDtmDef>(rng);
    r.size = kEsDtmDefSize;
    r.id = id;
    r.enabled = 1;
    r.word12 = 12;
    r.word60 = 0;
    r.byte426 = 0;
    return r;
  }
};

template <>
struct ListTraits<CHeightDefList> {
  static constexpr uint32_t kBlock = kBlockHeightDefinitions;
  static int Load(CHeightDefList& l, CBlockFile& f) { return l.Load(f); }
  static sHeightDef Make(std::mt19937& rng, int32_t id) {
    sHeightDef r = RandomBytes<sHeightDef>(rng);
    r.size = kHeightDefSize;
    r.version = kHeightDefVersion;
    r.id = id;
    return r;
  }
};

template <>
struct ListTraits<CAnchorDefList> {
  static constexpr uint32_t kBlock = kBlockAnchorDefinitions;
  static int Load(CAnchorDefList& l, CBlockFile& f) { return l.Load(f); }
  static sAnchorDef Make(std::mt19937& rng, int32_t id) {
    sAnchorDef r = RandomBytes<sAnchorDef>(rng);
    r.id = id;
    return r;
  }
};

template <typename List>
class RecordListTest : public testing::Test {
 protected:
  using Traits = ListTraits<List>;
  using Record = std::remove_pointer_t<typename List::value_type>;

  void TearDown() override {
    a_.RemoveAll();
    b_.RemoveAll();
  }
  void Fill(List& list, int count, uint32_t seed = 5) {
    std::mt19937 rng(seed);
    for (int i = 1; i <= count; ++i) list.AddCopy(Traits::Make(rng, i));
  }
  // The list's records back to back.
  Bytes Data(const List& list) {
    Bytes out;
    for (const Record* r : list) {
      const Bytes b = BytesOf(*r);
      out.insert(out.end(), b.begin(), b.end());
    }
    return out;
  }
  // Saves the list as the only block of a new file and returns the file.
  std::string SaveAlone(List& list) {
    ScratchDb db;
    EXPECT_TRUE(db.file().SeekEndOfBlocks());
    EXPECT_EQ(list.Save(db.file()), 1);
    db.file().SetBlockCount(1);
    return db.Bytes();
  }
  int LoadFrom(List& list, ScratchDb& db) {
    if (!db.file().FindBlock(Traits::kBlock)) return -1;
    return Traits::Load(list, db.file());
  }

  List a_, b_;
};

using ListTypes = testing::Types<CObjDefList, CEsDtmDefList, CHeightDefList, CAnchorDefList>;
TYPED_TEST_SUITE(RecordListTest, ListTypes);

TYPED_TEST(RecordListTest, BlockRoundTripIsByteExact) {
  using Traits = typename TestFixture::Traits;
  using Record = typename TestFixture::Record;
  this->Fill(this->a_, 3);
  const std::string saved = this->SaveAlone(this->a_);
  const Bytes data = this->Data(this->a_);
  EXPECT_EQ(saved, DbBytes().Count(1).Block(Traits::kBlock, data).str());

  ScratchDb db(Bytes(saved.begin(), saved.end()));
  ASSERT_EQ(this->LoadFrom(this->b_, db), 1);
  ASSERT_EQ(this->b_.GetCount(), 3);
  for (int i = 0; i < 3; ++i)
    EXPECT_TRUE(SameBytes<Record>(this->a_.GetAt(i), this->b_.GetAt(i))) << i;
  EXPECT_EQ(this->SaveAlone(this->b_), saved);

  // An empty list writes an empty block and loads as nothing.
  this->b_.RemoveAll();
  const std::string empty = this->SaveAlone(this->b_);
  EXPECT_EQ(empty, DbBytes().Count(1).Block(Traits::kBlock, Bytes{}).str());
  ScratchDb none(Bytes(empty.begin(), empty.end()));
  EXPECT_EQ(this->LoadFrom(this->b_, none), 1);
  EXPECT_TRUE(this->b_.IsEmpty());
}

TYPED_TEST(RecordListTest, HostileBlockSizesKeepTheRecordsReadBefore) {
  using Traits = typename TestFixture::Traits;
  using Record = typename TestFixture::Record;
  constexpr uint32_t kSize = sizeof(Record);
  this->Fill(this->a_, 3);
  const Bytes data = this->Data(this->a_);

  // A size far beyond the file (FindBlock refuses such a block, a reader
  // standing at it must cope): the records that are there, and no more.
  for (uint32_t claimed : {0xFFFFFFFFu, 10 * kSize}) {
    ScratchDb db(DbBytes().Count(1).Block(Traits::kBlock, data, claimed).bytes());
    db.file().Seek(4, zor::platform::File::begin);
    EXPECT_EQ(Traits::Load(this->b_, db.file()), 0);
    ASSERT_EQ(this->b_.GetCount(), 3);
    EXPECT_TRUE(SameBytes<Record>(this->b_.GetAt(2), this->a_.GetAt(2)));
    this->b_.RemoveAll();
  }

  // A size ending inside the second record: the next block's bytes are not
  // taken for the rest of it.
  Bytes next(2 * kSize, 0xAB);
  ScratchDb cut(DbBytes()
                    .Count(2)
                    .Block(Traits::kBlock, Bytes(data.begin(), data.begin() + kSize + kSize / 2))
                    .Block(Traits::kBlock + 100, next)
                    .bytes());
  EXPECT_EQ(this->LoadFrom(this->b_, cut), 0);
  ASSERT_EQ(this->b_.GetCount(), 1);
  EXPECT_TRUE(SameBytes<Record>(this->b_.GetAt(0), this->a_.GetAt(0)));
  this->b_.RemoveAll();

  // A file ending inside the block header reads nothing.
  Bytes stub = DbBytes().Count(1).Put(Traits::kBlock).bytes();
  ScratchDb bare(stub);
  bare.file().Seek(4, zor::platform::File::begin);
  EXPECT_EQ(Traits::Load(this->b_, bare.file()), 0);
  EXPECT_TRUE(this->b_.IsEmpty());
}

TYPED_TEST(RecordListTest, SettingsBufferRoundTripAndHostileCount) {
  using Record = typename TestFixture::Record;
  constexpr int kBlock = 6;
  CIpcItemBuffer settings("Settings");
  AddBlockNumber(settings, kBlock, sizeof(Record), 3);
  this->Fill(this->a_, 3);
  ASSERT_EQ(this->a_.WriteToSettingsBuffer(&settings, kBlock), 1);
  Zor::MultiIPCBuffer& buf = settings.GetBuffer();
  const Bytes data = this->Data(this->a_);
  EXPECT_EQ(Bytes(buf.GetBlockData(kBlock - 1), buf.GetBlockData(kBlock - 1) + data.size()), data);
  EXPECT_EQ(buf.GetRecordCount(kBlock - 1), 3u);

  // The count says more than the block holds: the three records, once.
  buf.SetRecordCount(kBlock - 1, 0x7FFFFFFFu);
  EXPECT_EQ(this->b_.ReadFromSettingsBuffer(&settings, kBlock), 1);
  ASSERT_EQ(this->b_.GetCount(), 3);
  EXPECT_EQ(this->Data(this->b_), data);
  EXPECT_EQ(this->b_.Compare(this->a_), 0);

  // A fourth record does not fit: reported, the block unchanged.
  this->a_.AddCopy(*this->a_.GetAt(0));
  buf.SetRecordCount(kBlock - 1, 3);
  EXPECT_EQ(this->a_.WriteToSettingsBuffer(&settings, kBlock), 0);
  EXPECT_EQ(buf.GetRecordCount(kBlock - 1), 3u);
}

TYPED_TEST(RecordListTest, LookUpsByIdsBelowOne) {
  this->Fill(this->a_, 2);
  this->a_.GetAt(0)->id = 0;
  this->a_.GetAt(1)->id = -1;
  // Objects and anchors give no record for an id below 1 (objects -2 and -1
  // have FindObject); ES-DTM and height records are found by any id.
  constexpr bool kGuarded =
      std::is_same_v<TypeParam, CObjDefList> || std::is_same_v<TypeParam, CAnchorDefList>;
  EXPECT_EQ(this->a_.FindById(0), kGuarded ? nullptr : this->a_.GetAt(0));
  EXPECT_EQ(this->a_.FindById(-1), kGuarded ? nullptr : this->a_.GetAt(1));
  this->a_.GetAt(1)->id = 9;
  this->a_.AddCopy(*this->a_.GetAt(1));
  EXPECT_EQ(this->a_.FindById(9), this->a_.GetAt(1));  // the first of two

  // Copying into itself changes nothing; a copy is a deep one.
  const auto* first = this->a_.GetAt(0);
  this->a_.CopyFrom(&this->a_);
  ASSERT_EQ(this->a_.GetCount(), 3);
  EXPECT_EQ(this->a_.GetAt(0), first);
  TypeParam copy(&this->a_);
  EXPECT_EQ(copy.Compare(this->a_), 999);  // id 0 has no partner
  EXPECT_NE(copy.GetAt(0), first);
  copy.RemoveAll();
}

TEST(RecordBlockReaderTest, PeekAndReadStayInsideTheBlock) {
  ScratchDb db(DbBytes().Count(2).Block(9, {1, 2, 3, 4, 5}).Block(10, {6, 7}).bytes());
  ASSERT_TRUE(db.file().FindBlock(9));
  RecordBlockReader in(db.file());
  ASSERT_TRUE(in.HasHeader());
  EXPECT_EQ(in.Header().type, 9u);
  uint8_t b[4] = {};
  ASSERT_TRUE(in.Peek(b, 2));
  EXPECT_EQ(b[1], 2);
  ASSERT_TRUE(in.Read(b, 4));
  EXPECT_EQ(b[0], 1);
  EXPECT_EQ(b[3], 4);
  EXPECT_FALSE(in.Read(b, 2));  // one byte left; nothing consumed
  EXPECT_EQ(in.Remaining(), 1u);
  ASSERT_TRUE(in.Read(b, 1));
  EXPECT_EQ(b[0], 5);
  EXPECT_TRUE(in.AtEnd());
  EXPECT_TRUE(in.Finish("test records"));
}

TEST(RecordBlockReaderTest, ACutBlockLogsOneWarning) {
  TempFolder tmp;
  const std::string log = tmp.Path("read.log");
  InitLogging(2, kLogFile, 0, log.c_str(), false, 0, false);
  ScratchDb db(DbBytes().Count(1).Block(31, Bytes(40, 1), 1000).bytes());
  CHeightDefList heights;
  db.file().Seek(4, zor::platform::File::begin);
  EXPECT_EQ(heights.Load(db.file()), 0);
  StopLogging();
  EXPECT_EQ(heights.GetCount(), 2);
  heights.RemoveAll();

  std::ifstream in(log);
  std::string line;
  int warnings = 0;
  while (std::getline(in, line)) warnings += line.find("WARNING") != std::string::npos;
  EXPECT_EQ(warnings, 1);
}

}  // namespace
