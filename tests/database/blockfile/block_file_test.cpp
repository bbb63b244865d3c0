#include "database/blockfile/block_file.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <fcntl.h>
#include <grp.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <climits>
#include <filesystem>
#include <fstream>
#include <random>
#if defined(__SANITIZE_ADDRESS__)
// The sanitizer runtime's allocation hooks (g++ ships no header for them).
extern "C" int __sanitizer_install_malloc_and_free_hooks(
    void (*onMalloc)(const volatile void*, size_t), void (*onFree)(const volatile void*));
#endif

#include "core/text/string_helpers.h"
#include "database/blockfile/block_file_dump.h"
#include "database/blockfile/his_list.h"
#include "tests/database/blockfile/db_bytes.h"
#include "tests/support/cpu_timer.h"
#include "tests/support/temp_folder.h"

namespace {

using testing::ElementsAre;
using zor::platform::File;
using zor::platform::FileException;

// In a child process: any allocation beyond `bytes` more than the process
// holds now ends the process (status 3 or a failed allocation).
void LimitAllocations(uint64_t bytes) {
#if defined(__SANITIZE_ADDRESS__)
  // The sanitizer reserves far more address space than it uses: watch the
  // allocations instead of limiting the space.
  static uint64_t limit = 0;
  limit = bytes;
  __sanitizer_install_malloc_and_free_hooks(
      [](const volatile void*, size_t size) {
        if (size > limit) _exit(3);
      },
      [](const volatile void*) {});
#else
  std::ifstream status("/proc/self/status");
  std::string line;
  uint64_t kib = 0;
  while (std::getline(status, line)) {
    if (line.rfind("VmSize:", 0) == 0) kib = std::stoull(line.substr(7));
  }
  const rlimit limit{kib * 1024 + bytes, kib * 1024 + bytes};
  ::setrlimit(RLIMIT_AS, &limit);
#endif
}

class BlockFileTest : public testing::Test {
 protected:
  // Writes the bytes and opens them read-write.
  CBlockFile& OpenBytes(const DbBytes& bytes, const std::string& name = "db.zdb") {
    path_ = tmp_.Write(name, bytes.str());
    file_.Abort();
    EXPECT_TRUE(file_.Open(path_, File::modeReadWrite));
    return file_;
  }
  std::string Bytes() const { return ReadAll(path_); }

  TempFolder tmp_;
  std::string path_;
  CBlockFile file_;
};

// ---- Finding -----------------------------------------------------------------

TEST_F(BlockFileTest, EmptyDatabaseHasNothingToFindAndEndsBehindTheCount) {
  CBlockFile& f = OpenBytes(DbBytes().Count(0));
  EXPECT_EQ(f.GetBlockCount(), 0);
  f.Seek(3, File::begin);
  EXPECT_FALSE(f.FindBlock(33));
  EXPECT_EQ(f.GetPosition(), 0u);
  EXPECT_TRUE(f.SeekEndOfBlocks());
  EXPECT_EQ(f.GetPosition(), 4u);
  f.DiscardBlocks(0);
  f.RecountBlocks();
  EXPECT_EQ(Bytes(), DbBytes().Count(0).str());
}

TEST_F(BlockFileTest, DuplicateTypesFirstWinsAndDiscardingKeepsSizesCountAndPosition) {
  CBlockFile& f = OpenBytes(DbBytes().Count(3).Block(33, 5, 'a').Block(27, 2, 'b').Block(33, 7, 'c'));
  ASSERT_TRUE(f.FindBlock(33));
  EXPECT_EQ(f.GetPosition(), 4u);
  ASSERT_TRUE(f.SeekPastBlock(33));
  EXPECT_EQ(f.GetPosition(), 4u + 8 + 5);
  ASSERT_TRUE(f.SeekPastBlock(27));
  EXPECT_EQ(f.GetPosition(), 4u + 13 + 10);

  f.Seek(9, File::begin);
  f.DiscardBlocks(33);
  EXPECT_EQ(f.GetPosition(), 9u);
  const std::string after = Bytes();
  EXPECT_EQ(after, DbBytes().Count(3).Block(0, 5, 'a').Block(27, 2, 'b').Block(0, 7, 'c').str());
  EXPECT_FALSE(f.FindBlock(33));
  f.RecountBlocks();
  EXPECT_EQ(f.GetBlockCount(), 3);
}

TEST_F(BlockFileTest, CountAboveTenThousandFindsNothingAndStaysBehindTheCount) {
  CBlockFile& f = OpenBytes(DbBytes().Count(10001).Block(33, 4, 0));
  EXPECT_FALSE(f.FindBlock(33));
  EXPECT_EQ(f.GetPosition(), 4u);
  // The repairs are not bound by the count.
  f.RecountBlocks();
  EXPECT_EQ(f.GetBlockCount(), 1);
  EXPECT_TRUE(f.FindBlock(33));
}

TEST_F(BlockFileTest, NegativeCountFindsNothingAndHasNoEnd) {
  CBlockFile& f = OpenBytes(DbBytes().Count(-1).Block(33, 4, 0));
  EXPECT_FALSE(f.FindBlock(33));
  EXPECT_EQ(f.GetPosition(), 0u);
  EXPECT_FALSE(f.SeekEndOfBlocks());
  BlockHeader header;
  EXPECT_FALSE(f.ReadFirstBlockHeader(header));
}

TEST_F(BlockFileTest, TruncatedFilesEndEveryWalkAtTheLastWholeBlock) {
  // The second counted block claims 100 bytes; 10 are there.
  DbBytes truncated;
  truncated.Count(2).Block(33, 4, 1).Put(uint32_t{35}).Put(uint32_t{100}).Raw(std::vector<uint8_t>(10, 2));
  CBlockFile& f = OpenBytes(truncated);
  EXPECT_TRUE(f.FindBlock(33));
  EXPECT_FALSE(f.FindBlock(35));
  EXPECT_FALSE(f.SeekPastBlock(35));
  EXPECT_FALSE(f.SeekEndOfBlocks());
  std::vector<std::string> lines;
  f.DumpBlockFile(lines);
  EXPECT_EQ(lines.size(), 4u);  // the count, block 33 only, history, end
  f.RecountBlocks();
  EXPECT_EQ(f.GetBlockCount(), 1);

  // A count of more blocks than the file holds.
  CBlockFile& g = OpenBytes(DbBytes().Count(3).Block(33, 4, 1), "short.zdb");
  EXPECT_TRUE(g.FindBlock(33));
  EXPECT_FALSE(g.FindBlock(27));
  EXPECT_FALSE(g.SeekEndOfBlocks());

  // Shorter than the count itself: count 0, nothing found, nothing written.
  CBlockFile& h = OpenBytes(DbBytes().Put(uint16_t{1}), "tiny.zdb");
  EXPECT_EQ(h.GetBlockCount(), 0);
  EXPECT_FALSE(h.FindBlock(0));
  EXPECT_FALSE(h.SeekEndOfBlocks());
  h.Seek(1, File::begin);
  h.RecountBlocks();
  h.DiscardAllButEvents();
  EXPECT_EQ(h.GetPosition(), 1u);
  EXPECT_EQ(Bytes(), DbBytes().Put(uint16_t{1}).str());
}

TEST_F(BlockFileTest, StrayHeadersBehindTheCountedBlocksAreSeenByRepairsOnly) {
  CBlockFile& f = OpenBytes(DbBytes().Count(1).Block(33, 3, 1).Block(26, 4, 2).Put(uint32_t{7}));
  EXPECT_FALSE(f.FindBlock(26));
  EXPECT_EQ(f.GetVersionBlockValue(), 0u);
  std::vector<std::string> lines;
  f.DumpBlockFile(lines);
  ASSERT_GE(lines.size(), 3u);
  EXPECT_EQ(lines[2], " Block Id 26 'Version Information' Offset 23 Size 4");
  f.RecountBlocks();  // the 4 trailing bytes are no header
  EXPECT_EQ(f.GetBlockCount(), 2);
  EXPECT_TRUE(f.FindBlock(26));
  EXPECT_EQ(f.GetVersionBlockValue(), 0x02020202u);
}

// Zeros behind the counted blocks (a file extended with zeros, a hole) are
// no blocks: read as {0, 0} headers, a recount would make every 8 bytes a
// block and raise the count past what readers walk, the discards would
// write into every one, and the dump would list each.
TEST_F(BlockFileTest, ZerosBehindTheCountedBlocksEndTheWalksToTheEndOfTheFile) {
  // Writes made to the file, counted.
  class CountingFile : public CBlockFile {
   public:
    void Write(const void* buffer, uint32_t count) override {
      ++writes;
      CBlockFile::Write(buffer, count);
    }
    int writes = 0;
  };
  const DbBytes bytes = DbBytes().Count(3).Block(33, 3, 1).Block(0, 0, 0).Block(27, 4, 2)
                            .Block(26, 4, 3).Raw(std::vector<uint8_t>(800000, 0));
  path_ = tmp_.Write("db.zdb", bytes.str());
  CountingFile f;
  ASSERT_TRUE(f.Open(path_, File::modeReadWrite));
  f.RecountBlocks();
  EXPECT_EQ(f.GetBlockCount(), 4);  // the stray block 26, not the zeros
  f.writes = 0;
  f.DiscardAllButEvents();
  EXPECT_EQ(f.writes, 3);  // blocks 33, 27 and 26; the discarded block stays
  std::vector<std::string> lines;
  f.DumpBlockFile(lines);
  EXPECT_EQ(lines.size(), 1u + 4 + 2);
  f.Close();
  const std::string after = Bytes();
  EXPECT_TRUE(after.substr(after.size() - 800000) == std::string(800000, '\0'));

  // {0, 0} is also what discarding an empty block leaves: with blocks
  // behind it, it is one, and so are they.
  path_ = tmp_.Write("low.zdb", DbBytes().Count(1).Block(33, 3, 1).Block(0, 0, 0).Block(7, 2, 2)
                                    .Block(27, 4, 3).Raw(std::vector<uint8_t>(64, 0)).str());
  CountingFile g;
  ASSERT_TRUE(g.Open(path_, File::modeReadWrite));
  g.DumpBlockFile(lines);
  EXPECT_EQ(lines.size(), 1u + 4 + 2);
  g.DiscardAllButEvents();
  EXPECT_EQ(g.writes, 2);  // blocks 33 and 27
  g.RecountBlocks();
  EXPECT_EQ(g.GetBlockCount(), 4);
}

// Counted empty headers one after another are zeros more likely than
// blocks: the dump gives the first its line and the rest one line, so a
// sparse file of a few bytes does not become gigabytes of text.
TEST_F(BlockFileTest, TheDumpShowsARunOfEmptyHeadersAsTwoLines) {
  CBlockFile& f = OpenBytes(DbBytes().Count(6).Block(33, 3, 1).Block(0, 0, 0).Block(0, 0, 0)
                                .Block(0, 0, 0).Block(27, 4, 2).Block(0, 0, 0));
  std::vector<std::string> lines;
  f.DumpBlockFile(lines);
  EXPECT_EQ(lines, (std::vector<std::string>{
                       "---------- Zor File contains 6 blocks ----------",
                       " Block Id 33 'Header Definitions' Offset 12 Size 3",
                       " Block Id 0 'Unused block type' Offset 23 Size 0",
                       " ... 2 more blocks like it, the last at Offset 39",
                       " Block Id 27 'System Definitions' Offset 47 Size 4",
                       " Block Id 0 'Unused block type' Offset 59 Size 0",
                       "---------- History list -------------------------",
                       "---------- Zor File end -------------------------"}));
  // Behind the counted blocks too, where a block follows the run.
  CBlockFile& g = OpenBytes(DbBytes().Count(2).Block(33, 3, 1).Block(0, 0, 0).Block(0, 0, 0)
                                .Block(0, 0, 0).Block(26, 4, 2), "behind.zdb");
  g.DumpBlockFile(lines);
  EXPECT_THAT(lines, testing::IsSupersetOf({" ... 2 more blocks like it, the last at Offset 39",
                                            " Block Id 26 'Version Information' Offset 47 Size 4"}));
  EXPECT_EQ(lines.size(), 1u + 4 + 2);

  path_ = tmp_.Write("sparse.zdb", DbBytes().Count(INT32_MAX).str());
  ASSERT_EQ(::truncate(path_.c_str(), 16 << 20), 0);
  CBlockFile sparse;
  ASSERT_TRUE(sparse.Open(path_, File::modeRead));
  sparse.DumpBlockFile(lines);
  ASSERT_EQ(lines.size(), 5u);
  EXPECT_EQ(lines[2], FormatString(" ... %d more blocks like it, the last at Offset %d",
                                   (16 << 20) / 8 - 2, (16 << 20) - 4));

  // The repairs go over the run as fast; a recount to its two million
  // headers, far above what readers walk, is left unwritten.
  sparse.Close();
  ASSERT_TRUE(sparse.Open(path_, File::modeReadWrite));
  const ThreadCpuTimer timer;
  sparse.DiscardAllButEvents();
  sparse.RecountBlocks();
  EXPECT_EQ(sparse.GetBlockCount(), INT32_MAX);
  sparse.SetBlockCount(1);
  sparse.RecountBlocks();
  EXPECT_EQ(sparse.GetBlockCount(), 1);
  EXPECT_LT(timer.Seconds(), 1.0);
  EXPECT_EQ(std::filesystem::file_size(path_), 16u << 20);
}

// A recount writes no count that hides a block FindBlock found, nor one
// above what readers walk: zeros with a header behind them would count as
// an empty block every 8 bytes.
TEST_F(BlockFileTest, ARecountNeverHidesABlockReadersFound) {
  const DbBytes front = DbBytes().Count(3).Block(33, 95, 1).Block(35, 30, 2).Block(27, 40, 3);
  const auto readersFindAll = [&](CBlockFile& f) {
    for (const uint32_t type : {33u, 35u, 27u}) EXPECT_TRUE(f.FindBlock(type)) << type;
  };
  OpenBytes(DbBytes(front).Raw(std::vector<uint8_t>(1 << 20, 0)).Block(27, 0, 0));
  file_.RecountBlocks();
  EXPECT_EQ(file_.GetBlockCount(), 3);
  readersFindAll(file_);
  // So over a hole of 64 GiB, where the file system keeps one.
  constexpr uint64_t kHole = uint64_t{64} << 30;
  file_.Seek(static_cast<int64_t>(front.size() + kHole), File::begin);
  const BlockHeader header{27, 0};
  file_.Write(&header, sizeof header);
  const ThreadCpuTimer timer;
  file_.RecountBlocks();
  EXPECT_EQ(file_.GetBlockCount(), 3);
  EXPECT_LT(timer.Seconds(), 2.0);
  readersFindAll(file_);
  // A count too low or too high is still mended.
  OpenBytes(DbBytes(front).Block(7, 2, 4));
  file_.RecountBlocks();
  EXPECT_EQ(file_.GetBlockCount(), 4);
  OpenBytes(DbBytes().Count(9).Block(33, 95, 1).Block(35, 30, 2).Block(27, 40, 3));
  file_.RecountBlocks();
  EXPECT_EQ(file_.GetBlockCount(), 3);
  readersFindAll(file_);
}

// A hole in a sparse file costs no disk, so its length is anyone's to
// choose: every walk steps over it without reading it, in front of the
// counted blocks' end, behind it, and among blocks that follow a hole.
TEST_F(BlockFileTest, HolesOfAnyLengthAreWalkedWithoutReadingThem) {
  // Counts the bytes read; beyond a few megabytes its reads find the end
  // of the file, so a walk that reads a hole ends at once, and is named.
  class ReadCountingFile : public CBlockFile {
   public:
    uint32_t Read(void* buffer, uint32_t count) override {
      read += count;
      return read > (8u << 20) ? 0 : CBlockFile::Read(buffer, count);
    }
    uint64_t read = 0;
  };
  const DbBytes front = DbBytes().Count(2).Block(33, 3, 1).Block(7, 2, 2);
  // The front, a hole of `hole` bytes, and `behind` written after it.
  const auto sparse = [&](const std::string& name, uint64_t hole, const DbBytes& behind) {
    path_ = tmp_.Write(name, front.str());
    EXPECT_EQ(::truncate(path_.c_str(), static_cast<off_t>(front.size() + hole)), 0);
    std::ofstream(path_, std::ios::binary | std::ios::app) << behind.str();
    return path_;
  };
  constexpr uint64_t kTail = uint64_t{64} << 30;
  sparse("tail.zdb", kTail, DbBytes());
  {
    // Asked of the file system itself, not of the walk under test.
    const int raw = ::open(path_.c_str(), O_RDONLY | O_CLOEXEC);
    ASSERT_GE(raw, 0);
    const off_t hole = ::lseek(raw, 0, SEEK_HOLE);
    ::close(raw);
    if (hole < 0 || static_cast<uint64_t>(hole) >= front.size() + kTail) {
      GTEST_SKIP() << "the file system keeps no holes";
    }
  }
  ReadCountingFile f;
  const auto fresh = [&](const std::string& path) -> ReadCountingFile& {
    f.Abort();
    EXPECT_TRUE(f.Open(path, File::modeReadWrite));
    f.read = 0;
    return f;
  };
  std::vector<std::string> lines;
  std::vector<uint8_t> out;

  // Zeros to the end behind the counted blocks are no blocks.
  fresh(path_).DumpBlockFile(lines);
  EXPECT_EQ(lines.size(), 1u + 2 + 2);
  const DumpDamage tail = DumpBlockFileText(f, [](std::string_view) {});
  EXPECT_EQ(tail.kind, DumpDamage::kUncountedBytes);
  EXPECT_EQ(tail.uncounted, kTail);
  f.RecountBlocks();
  EXPECT_EQ(f.GetBlockCount(), 2);
  f.DiscardBlocks(27);
  f.DiscardAllButEvents();
  EXPECT_FALSE(f.FindBlock(33));
  EXPECT_TRUE(f.SeekEndOfBlocks());
  EXPECT_EQ(f.GetPosition(), front.size());
  EXPECT_TRUE(f.CollectBlocksAfterEvents(out));
  EXPECT_TRUE(out.empty());
  EXPECT_LT(f.read, 1u << 20);
  f.Close();
  // Behind the count lies no committed block: the stamp cuts it off.
  EXPECT_TRUE(f.AddHistoryEntry(path_, 4, 0));
  EXPECT_EQ(std::filesystem::file_size(path_), front.size() + 8 + kHisBlockSize);
  EXPECT_LT(f.read, 1u << 20);

  // A block behind a hole makes its zeros empty blocks, all counted.
  constexpr uint64_t kHole = uint64_t{1} << 30;
  fresh(sparse("inside.zdb", kHole, DbBytes().Block(26, 4, 3))).DumpBlockFile(lines);
  EXPECT_EQ(lines.size(), 1u + 4 + 2 + 1);
  EXPECT_EQ(lines[4], " ... " + std::to_string(kHole / 8 - 1) +
                          " more blocks like it, the last at Offset " +
                          std::to_string(front.size() + kHole));
  EXPECT_EQ(lines[5], " Block Id 26 'Version Information' Offset " +
                          std::to_string(front.size() + kHole + 8) + " Size 4");
  // Counted, the run would be millions of blocks that readers never walk.
  f.RecountBlocks();
  EXPECT_EQ(f.GetBlockCount(), 2);
  f.SetBlockCount(static_cast<int32_t>(2 + kHole / 8 + 1));
  EXPECT_TRUE(f.SeekEndOfBlocks());
  EXPECT_EQ(f.GetPosition(), front.size() + kHole + 12);
  f.DiscardAllButEvents();
  f.Seek(static_cast<int64_t>(front.size() + kHole), File::begin);
  uint32_t type = 26;
  f.Read(&type, sizeof type);
  EXPECT_EQ(type, 0u);
  EXPECT_LT(f.read, 1u << 20);

  // Counted blocks over a hole: as many as a count holds.
  path_ = tmp_.Write("most.zdb", front.str());
  ASSERT_EQ(::truncate(path_.c_str(), static_cast<off_t>(kTail)), 0);
  fresh(path_).SetBlockCount(INT32_MAX);
  EXPECT_TRUE(f.SeekEndOfBlocks());
  EXPECT_EQ(f.GetPosition(), front.size() + (uint64_t{INT32_MAX} - 2) * 8);
  const DumpDamage above = DumpBlockFileText(f, [](std::string_view) {});
  EXPECT_EQ(above.kind, DumpDamage::kCountAboveReaders);
  f.RecountBlocks();
  EXPECT_EQ(f.GetBlockCount(), INT32_MAX);
  CBlockFile to;
  ASSERT_TRUE(to.Open(tmp_.Path("to.zdb"), File::modeCreate | File::modeReadWrite));
  to.SetBlockCount(0);
  EXPECT_EQ(f.CopyDefinitionsTo(&to, false, 0, 0), 3);
  EXPECT_LT(f.read, 1u << 20);
  f.Close();
  EXPECT_FALSE(f.AddHistoryEntry(path_, 4, 0));
  EXPECT_LT(f.read, 1u << 20);
}

// A file cut while it is dumped: the damage is named from the file as it
// now is, not from the length it had when the dump began.
TEST_F(BlockFileTest, AFileCutWhileItIsDumpedIsNamedAsItNowIs) {
  // Cuts its own file at the second read: the walk has jumped over the
  // first, large block then.
  class CutAtSecondRead : public CBlockFile {
   public:
    uint32_t Read(void* buffer, uint32_t count) override {
      if (++reads == 2) ::truncate(GetFilePath().c_str(), static_cast<off_t>(cutAt));
      return CBlockFile::Read(buffer, count);
    }
    int reads = 0;
    uint64_t cutAt = 0;
  };
  const DbBytes bytes = DbBytes().Count(3).Block(27, 70000, 1).Block(26, 10, 2).Block(7, 10, 3);
  for (const uint64_t cut : {uint64_t{70012}, uint64_t{70015}, uint64_t{70022}}) {
    SCOPED_TRACE(cut);
    path_ = tmp_.Write("db.zdb", bytes.str());
    CutAtSecondRead f;
    f.cutAt = cut;
    ASSERT_TRUE(f.Open(path_, File::modeRead));
    const DumpDamage damage = DumpBlockFileText(f, [](std::string_view) {});
    EXPECT_EQ(damage.length, cut);
    EXPECT_EQ(damage.block, 2);
    EXPECT_EQ(damage.offset, 70012u);
    if (cut == 70012) {
      EXPECT_EQ(DescribeDumpDamage(damage),
                "block 2 of the 3 counted is missing: the file ends at offset 70012");
    } else if (cut == 70015) {
      EXPECT_EQ(DescribeDumpDamage(damage),
                "block 2 at offset 70012: the file ends 3 bytes into its 8-byte header");
    } else {
      EXPECT_EQ(DescribeDumpDamage(damage),
                "block 2 'Version Information' at offset 70012 runs past the end of the file: "
                "size 10, 2 bytes there");
    }
  }
}

// The walk reads ahead in growing chunks and jumps over large blocks; it
// must find every block where a plain header-by-header walk does.
TEST_F(BlockFileTest, FindsEveryBlockOfALargeMixedFileWhereAPlainWalkDoes) {
  std::mt19937 random(7);
  DbBytes bytes;
  const int kBlocks = 3000;
  bytes.Count(kBlocks);
  std::vector<uint64_t> offsets;
  for (int i = 0; i < kBlocks; ++i) {
    offsets.push_back(bytes.size());
    const std::size_t size = i % 500 == 7 ? 70000 + random() % 50000 : random() % 300;
    bytes.Block(1000 + i, size, static_cast<uint8_t>(i));
  }
  CBlockFile& f = OpenBytes(bytes);
  for (int i = 0; i < kBlocks; i += 37) {
    ASSERT_TRUE(f.FindBlock(1000 + i)) << i;
    EXPECT_EQ(f.GetPosition(), offsets[i]) << i;
  }
  ASSERT_TRUE(f.FindBlock(1000 + kBlocks - 1));
  EXPECT_EQ(f.GetPosition(), offsets.back());
  ASSERT_TRUE(f.SeekEndOfBlocks());
  EXPECT_EQ(f.GetPosition(), bytes.size());
  std::vector<std::string> lines;
  f.DumpBlockFile(lines);
  EXPECT_EQ(lines.size(), kBlocks + 3u);
}

// ---- Stepping ----------------------------------------------------------------

TEST_F(BlockFileTest, StepsThroughTheBlocksAndStopsAtTheEnd) {
  CBlockFile& f = OpenBytes(DbBytes().Count(2).Block(33, 3, 0).Block(27, 5, 0).Put(uint32_t{9}));
  BlockHeader header{};
  ASSERT_TRUE(f.ReadFirstBlockHeader(header));
  EXPECT_EQ(header.type, 33u);
  ASSERT_TRUE(f.ReadNextBlockHeader(header));
  EXPECT_EQ(header.type, 27u);
  EXPECT_EQ(header.size, 5u);
  EXPECT_FALSE(f.ReadNextBlockHeader(header));  // 4 stray bytes: no header

  f.Seek(4, File::begin);
  EXPECT_TRUE(f.SkipBlock());
  EXPECT_TRUE(f.SkipBlock());
  EXPECT_EQ(f.GetPosition(), 4u + 11 + 13);
  EXPECT_FALSE(f.SkipBlock());

  CBlockFile& g = OpenBytes(DbBytes().Count(1).Put(uint32_t{33}).Put(uint32_t{50}), "cut.zdb");
  EXPECT_FALSE(g.ReadFirstBlockHeader(header));
  g.Seek(4, File::begin);
  EXPECT_FALSE(g.SkipBlock());
  EXPECT_EQ(g.GetPosition(), 12u);
}

// ---- Writing -----------------------------------------------------------------

TEST_F(BlockFileTest, WritesABlockAndRefusesSizesBeyondThirtyTwoBits) {
  CBlockFile& f = OpenBytes(DbBytes().Count(0));
  ASSERT_TRUE(f.SeekEndOfBlocks());
  const uint64_t start = f.BeginBlock();
  EXPECT_EQ(start, 12u);
  f.Write("abc", 3);
  EXPECT_EQ(f.WriteBlockHeader(start, f.GetPosition() - start, 26), 15u);
  f.SetBlockCount(1);
  EXPECT_EQ(Bytes(), DbBytes().Count(1).Block(26, {'a', 'b', 'c'}).str());

  EXPECT_THROW(f.WriteBlockHeader(start, uint64_t{1} << 32, 26), FileException);
  EXPECT_THROW(f.WriteBlockHeader(8, 0, 26), FileException);
  EXPECT_EQ(Bytes(), DbBytes().Count(1).Block(26, {'a', 'b', 'c'}).str());
}

// A block whose writer was killed before its header: the repairs and the
// dump, which walk to the end of the file, must stop at it rather than count
// its data as blocks.
TEST_F(BlockFileTest, ABlockNeverFinishedStopsTheWalksToTheEndOfTheFile) {
  CBlockFile& f = OpenBytes(DbBytes().Count(1).Block(33, 3, 1));
  ASSERT_TRUE(f.SeekEndOfBlocks());
  f.BeginBlock();
  f.Write(std::vector<uint8_t>(64, 0).data(), 64);  // killed here
  f.RecountBlocks();
  EXPECT_EQ(f.GetBlockCount(), 1);
  std::vector<std::string> lines;
  f.DumpBlockFile(lines);
  EXPECT_EQ(lines.size(), 4u);  // the count, block 33, history, end
  f.DiscardBlocks(kBlockUnused);
  EXPECT_EQ(ValueAt<uint32_t>(Bytes(), 15), kBlockUnused);
  EXPECT_EQ(ValueAt<uint32_t>(Bytes(), 19), UINT32_MAX);
}

// An append goes behind the counted blocks: a file too short for its count
// is given one, a killed save's remains are cut, and nothing is cut behind
// a walk that met an impossible header unless a killed save left it.
TEST_F(BlockFileTest, StartAppendCutsOnlyAKilledSaveBehindTheCountedBlocks) {
  for (const DbBytes& tiny : {DbBytes(), DbBytes().Put(uint8_t{7}), DbBytes().Put(uint16_t{7}),
                              DbBytes().Put(uint16_t{7}).Put(uint8_t{7})}) {
    CBlockFile& f = OpenBytes(tiny);
    EXPECT_TRUE(f.StartAppend()) << tiny.size();
    EXPECT_EQ(f.GetPosition(), 4u);
    EXPECT_EQ(Bytes(), DbBytes().Count(0).str()) << tiny.size();
  }
  const DbBytes noBlocks = DbBytes().Count(1);
  EXPECT_FALSE(OpenBytes(noBlocks).StartAppend());
  EXPECT_EQ(Bytes(), noBlocks.str());

  // A save killed behind the counted blocks, then the next one, no stamp
  // in between: it lands where the killed one began, and nothing is left
  // of the killed one.
  const DbBytes counted = DbBytes().Count(1).Block(33, 3, 1);
  const DbBytes killedSave = DbBytes().Put(kBlockUnused).Put(UINT32_MAX).Raw(
      std::vector<uint8_t>(40, 5));
  const auto save = [](CBlockFile& f) {
    const int32_t count = f.GetBlockCount();
    if (!f.StartAppend()) return false;
    const uint64_t at = f.BeginBlock();
    f.Write("abcdefgh", 8);
    f.WriteBlockHeader(at, 8, 31);
    f.SetBlockCount(count + 1);
    return true;
  };
  ASSERT_TRUE(save(OpenBytes(DbBytes(counted).Raw(killedSave.bytes()))));
  DbBytes saved = DbBytes().Count(2).Block(33, 3, 1).Block(31, 8, 0);
  EXPECT_EQ(Bytes(), DbBytes(saved).str().replace(23, 8, "abcdefgh"));

  // Behind an empty discarded block: a killed save's remains go, as the
  // stamp's; whole blocks that the walk may have missed stay, and so does
  // everything else.
  const DbBytes withEmpty = DbBytes().Count(2).Block(33, 3, 1).Block(kBlockUnused, 0, 0);
  EXPECT_TRUE(OpenBytes(DbBytes(withEmpty).Raw(killedSave.bytes())).StartAppend());
  EXPECT_EQ(Bytes(), withEmpty.str());
  OpenBytes(DbBytes(withEmpty).Raw(killedSave.bytes()));
  file_.Abort();
  CBlockFile stamp;
  EXPECT_TRUE(stamp.AddHistoryEntry(path_, 1, 0));
  EXPECT_EQ(Bytes().size(), withEmpty.size() + kBlockHeaderSize + kHisBlockSize);
  for (const DbBytes& behind : {DbBytes().Block(27, 40, 3), DbBytes().Put(uint32_t{99})}) {
    const DbBytes bytes = DbBytes(withEmpty).Raw(behind.bytes());
    EXPECT_FALSE(OpenBytes(bytes).StartAppend()) << behind.size();
    EXPECT_EQ(Bytes(), bytes.str());
  }
}

TEST_F(BlockFileTest, RewritesInPlaceOnlyABlockOfTheSameTypeAndSize) {
  const DbBytes start = DbBytes().Count(2).Block(35, 4, 'a').Block(27, 2, 'b');
  CBlockFile& f = OpenBytes(start);
  EXPECT_FALSE(f.RewriteBlockInPlace(4, 27, "wxyz", 4));
  EXPECT_FALSE(f.RewriteBlockInPlace(4, 35, "wxy", 3));
  EXPECT_FALSE(f.RewriteBlockInPlace(16, 27, "wxyz", 4));  // runs past the end
  EXPECT_EQ(Bytes(), start.str());
  ASSERT_TRUE(f.RewriteBlockInPlace(4, 35, "wxyz", 4));
  EXPECT_EQ(f.GetPosition(), 16u);
  EXPECT_EQ(Bytes(), DbBytes().Count(2).Block(35, {'w', 'x', 'y', 'z'}).Block(27, 2, 'b').str());

  // An appended whole block carries its real header from the first write.
  ASSERT_TRUE(f.SeekEndOfBlocks());
  EXPECT_EQ(f.WriteBlock(26, "v", 1), 35u);
  EXPECT_EQ(ValueAt<uint32_t>(Bytes(), 26), 26u);
  EXPECT_EQ(ValueAt<uint32_t>(Bytes(), 30), 1u);
}

TEST_F(BlockFileTest, ChainsRecordsThroughTheirFirstWord) {
  CBlockFile& f = OpenBytes(DbBytes().Count(0));
  f.Seek(4, File::begin);
  const uint64_t start = f.BeginBlock();
  int32_t first = -1;
  int32_t last = -1;
  const int32_t records[3][2] = {{-1, 10}, {-1, 11}, {-1, 12}};
  f.AppendChainedRecord(records[0], 8, first, last, start);
  EXPECT_EQ(first, 0);
  EXPECT_EQ(last, 0);
  f.AppendChainedRecord(records[1], 8, first, last, start);
  f.AppendChainedRecord(records[2], 8, first, last, start);
  EXPECT_EQ(first, 0);
  EXPECT_EQ(last, 16);
  EXPECT_EQ(f.GetPosition(), start + 24);
  const std::string bytes = Bytes();
  EXPECT_EQ(ValueAt<int32_t>(bytes, start + 0), 8);
  EXPECT_EQ(ValueAt<int32_t>(bytes, start + 8), 16);
  EXPECT_EQ(ValueAt<int32_t>(bytes, start + 16), -1);
  EXPECT_EQ(ValueAt<int32_t>(bytes, start + 20), 12);
}

// ---- Copying -----------------------------------------------------------------

TEST_F(BlockFileTest, CopiesOneBlockWholeInPieces) {
  std::vector<uint8_t> big(200000);
  for (std::size_t i = 0; i < big.size(); ++i) big[i] = static_cast<uint8_t>(i * 7);
  CBlockFile& f = OpenBytes(DbBytes().Count(2).Block(33, 3, 1).Block(27, big));
  CBlockFile to;
  ASSERT_TRUE(to.Open(tmp_.Path("to.zdb"), File::modeCreate | File::modeReadWrite));
  EXPECT_FALSE(f.CopyBlockTo(nullptr, 27));
  EXPECT_FALSE(f.CopyBlockTo(&to, 35));
  ASSERT_TRUE(f.CopyBlockTo(&to, 27));
  to.Close();
  EXPECT_EQ(ReadAll(tmp_.Path("to.zdb")), DbBytes().Block(27, big).str());
}

TEST_F(BlockFileTest, CollectsTheBlocksBehindTheFirstEventBlock) {
  CBlockFile& f = OpenBytes(
      DbBytes().Count(5).Block(33, 2, 1).Block(7, 3, 2).Block(35, 2, 3).Block(7, 1, 4).Block(26, 4, 5));
  std::vector<uint8_t> out = {9};
  ASSERT_TRUE(f.CollectBlocksAfterEvents(out));
  EXPECT_EQ(out, DbBytes().Block(35, 2, 3).Block(7, 1, 4).Block(26, 4, 5).bytes());

  // Blocks larger than a read, many small ones, and stray bytes behind.
  std::vector<uint8_t> big(200000);
  for (std::size_t i = 0; i < big.size(); ++i) big[i] = static_cast<uint8_t>(i * 13);
  DbBytes many;
  DbBytes expected;
  many.Count(3 + 500).Block(7, 3, 2).Block(27, big).Block(33, 5, 1);
  expected.Block(27, big).Block(33, 5, 1);
  for (int i = 0; i < 500; ++i) {
    many.Block(12, i % 50, static_cast<uint8_t>(i));
    expected.Block(12, i % 50, static_cast<uint8_t>(i));
  }
  many.Block(26, 70000, 9);
  CBlockFile& m = OpenBytes(many, "many.zdb");
  ASSERT_TRUE(m.CollectBlocksAfterEvents(out));
  EXPECT_TRUE(out == expected.bytes());
  EXPECT_EQ(m.GetPosition(), 4 + 11 + expected.size());

  CBlockFile& g = OpenBytes(DbBytes().Count(1).Block(33, 2, 1), "none.zdb");
  EXPECT_FALSE(g.CollectBlocksAfterEvents(out));
  EXPECT_TRUE(out.empty());

  // A counted block that runs past the end: nothing is collected.
  DbBytes cut;
  cut.Count(2).Block(7, 2, 1).Put(uint32_t{35}).Put(uint32_t{1000000});
  CBlockFile& h = OpenBytes(cut, "cut.zdb");
  EXPECT_FALSE(h.CollectBlocksAfterEvents(out));
  EXPECT_TRUE(out.empty());
}

// The blocks behind the events block are read, not the file's tail: two
// small blocks in front of gigabytes of (sparse) bytes behind the counted
// ones must cost no more memory than the blocks themselves.
TEST_F(BlockFileTest, CollectingBlocksTakesMemoryForThemAloneNotForTheRestOfTheFile) {
  const DbBytes blocks = DbBytes().Count(3).Block(33, 20, 1).Block(7, 30, 2).Block(26, 40, 3);
  OpenBytes(blocks);
  file_.Abort();
  ASSERT_EQ(::truncate(path_.c_str(), off_t{3} << 30), 0);
  const pid_t pid = ::fork();
  if (pid == 0) {
    LimitAllocations(uint64_t{64} << 20);
    CBlockFile db;
    std::vector<uint8_t> out;
    if (!db.Open(path_, File::modeRead) || !db.CollectBlocksAfterEvents(out)) _exit(1);
    _exit(out == DbBytes().Block(26, 40, 3).bytes() ? 0 : 2);
  }
  int status = 0;
  ASSERT_EQ(::waitpid(pid, &status, 0), pid);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "status " << status;
}

// ---- Repairs and queries -----------------------------------------------------

TEST_F(BlockFileTest, DiscardAllButEventsKeepsBothEventTypesAndThePosition) {
  CBlockFile& f = OpenBytes(DbBytes().Count(4).Block(33, 1, 1).Block(7, 1, 2).Block(15, 1, 3).Block(35, 1, 4));
  f.Seek(6, File::begin);
  f.DiscardAllButEvents();
  EXPECT_EQ(f.GetPosition(), 6u);
  EXPECT_EQ(Bytes(), DbBytes().Count(4).Block(0, 1, 1).Block(7, 1, 2).Block(15, 1, 3).Block(0, 1, 4).str());
}

TEST_F(BlockFileTest, VersionValueNeedsAWholeWord) {
  CBlockFile& f = OpenBytes(DbBytes().Count(1).Block(26, {0x78, 0x56, 0x34, 0x12, 0xFF}));
  EXPECT_EQ(f.GetVersionBlockValue(), 0x12345678u);
  CBlockFile& g = OpenBytes(DbBytes().Count(1).Block(26, {1, 2}).Put(uint32_t{0x0A0A0A0A}), "small.zdb");
  EXPECT_EQ(g.GetVersionBlockValue(), 0u);
  CBlockFile& h = OpenBytes(DbBytes().Count(0), "none.zdb");
  EXPECT_EQ(h.GetVersionBlockValue(), 0u);
}

// ---- The dump ----------------------------------------------------------------

TEST_F(BlockFileTest, DumpsBlocksAndHistoryInItsLineFormat) {
  CHisList history;
  const zor::platform::SYSTEMTIME start{2023, 7, 2, 4, 8, 5, 9, 120};
  const zor::platform::SYSTEMTIME end{2023, 7, 2, 4, 17, 45, 0, 7};
  history.SetEntry(3, 77, &start, false);
  history.SetEntry(3, 77, &end, true);
  history.SetTexts(3, "ann", "moved");
  history.SetTexts(19, "bob", nullptr);  // no times: shown as not set

  CBlockFile& f = OpenBytes(DbBytes().Count(1).Block(33, 3, 0));
  ASSERT_TRUE(f.SeekEndOfBlocks());
  history.Save(f);
  f.SetBlockCount(2);
  f.SeekToEnd();
  f.Write("\x1b\0\0\0\0\0\0\0", 8);  // a stray empty block of type 27

  std::vector<std::string> lines = {"old"};
  f.DumpBlockFile(lines);
  EXPECT_THAT(lines,
              ElementsAre("---------- Zor File contains 2 blocks ----------",
                          " Block Id 33 'Header Definitions' Offset 12 Size 3",
                          " Block Id 35 'History Information' Offset 23 Size 11280",
                          " Block Id 27 'System Definitions' Offset 11311 Size 0",
                          "---------- History list -------------------------",
                          "[4]: version 1, action 3, reserved 77, start time 08:05:09.120",
                          "       end time 17:45:00.007, user ann, comment moved",
                          "[20]: version 1, action 19, reserved 0, start time Invalid",
                          "       end time Invalid, user bob, comment ",
                          "---------- Zor File end -------------------------"));
}

// The dump formats block lines from a table of line starts and hands its
// text over in pieces: every type, named or not, across many pieces, must
// read as the line format says.
TEST_F(BlockFileTest, DumpLinesOfEveryTypeAcrossManyPiecesFollowTheLineFormat) {
  DbBytes bytes;
  const int kBlocks = 3000;
  bytes.Count(kBlocks);
  std::vector<std::string> expected = {
      FormatString("---------- Zor File contains %d blocks ----------", kBlocks)};
  for (int i = 0; i < kBlocks; ++i) {
    const uint32_t type = i % 45 == 44 ? 0xFFFFFFFFu : static_cast<uint32_t>(i % 45);
    const std::size_t size = i % 7;
    expected.push_back(FormatString(" Block Id %d '%s' Offset %llu Size %d",
                                    static_cast<int32_t>(type),
                                    GetBlockTypeName(static_cast<int32_t>(type)).c_str(),
                                    static_cast<unsigned long long>(bytes.size() + 8),
                                    static_cast<int32_t>(size)));
    bytes.Block(type, size, 0);
  }
  expected.push_back("---------- History list -------------------------");
  expected.push_back("---------- Zor File end -------------------------");
  CBlockFile& f = OpenBytes(bytes);
  std::vector<std::string> lines;
  f.DumpBlockFile(lines);
  EXPECT_EQ(lines, expected);
}

// ---- History stamps ---------------------------------------------------------

class AddHistoryEntryTest : public BlockFileTest {
 protected:
  // Stamps the action into path_ through a closed block file.
  bool Stamp(int32_t action, uint32_t reserved) {
    file_.Abort();
    CBlockFile db;
    return db.AddHistoryEntry(path_, action, reserved);
  }
  CHisList Reload() {
    CBlockFile db;
    EXPECT_TRUE(db.Open(path_, File::modeRead));
    CHisList history;
    history.Load(db);
    return history;
  }
  static std::vector<uint8_t> History(const CHisList& list) {
    const auto* p = reinterpret_cast<const uint8_t*>(&list[0]);
    return std::vector<uint8_t>(p, p + kHisBlockSize);
  }
};

TEST_F(AddHistoryEntryTest, WithoutHistoryAppendsBlock35AndCutsAKilledStampsAppend) {
  OpenBytes(DbBytes().Count(1).Block(33, 3, 1).Put(uint32_t{kBlockHistory}).Put(kHisBlockSize)
                .Raw(std::vector<uint8_t>(700, 0)));
  ASSERT_TRUE(Stamp(4, 0xABCD));
  const std::string bytes = Bytes();
  ASSERT_EQ(bytes.size(), 4u + 11 + 8 + kHisBlockSize);
  EXPECT_EQ(ValueAt<int32_t>(bytes, 0), 2);
  EXPECT_EQ(ValueAt<uint32_t>(bytes, 15), kBlockHistory);
  EXPECT_EQ(ValueAt<uint32_t>(bytes, 19), kHisBlockSize);
  const CHisList history = Reload();
  EXPECT_EQ(history.GetUsedCount(), 1u);
  EXPECT_EQ(history[4].version, 1u);
  EXPECT_EQ(history[4].reserved, 0xABCDu);
  EXPECT_GE(history[4].start.wYear, 2024);  // the current time
  EXPECT_GE(history[4].end.wYear, history[4].start.wYear);
}

TEST_F(AddHistoryEntryTest, ReplacesOldBlock8ThenTakesTurnsBetweenTwoHistoryBlocks) {
  sHisEntryOld old{};
  old.action = 6;
  old.time = zor::platform::SYSTEMTIME{2001, 2, 0, 3, 4, 5, 6, 7};
  old.reserved = 9;
  std::memcpy(old.comment, "imported", 8);
  DbBytes bytes;
  bytes.Count(2).Block(8, std::vector<uint8_t>(reinterpret_cast<uint8_t*>(&old),
                                               reinterpret_cast<uint8_t*>(&old) + sizeof old))
      .Block(33, 3, 1);
  OpenBytes(bytes);
  ASSERT_TRUE(Stamp(2, 0));
  std::string after = Bytes();
  EXPECT_EQ(ValueAt<int32_t>(after, 0), 3);
  EXPECT_EQ(ValueAt<uint32_t>(after, 4), kBlockUnused);  // block 8 discarded,
  EXPECT_EQ(ValueAt<uint32_t>(after, 8), sizeof(sHisEntryOld));  // its size kept
  EXPECT_EQ(ValueAt<uint32_t>(after, bytes.size()), kBlockHistory);
  ASSERT_EQ(after.size(), bytes.size() + 8 + kHisBlockSize);
  CHisList history = Reload();
  EXPECT_EQ(history.GetUsedCount(), 2u);
  EXPECT_EQ(history[6].reserved, 9u);
  EXPECT_EQ(history[6].start.wYear, 2001);
  EXPECT_EQ(history[2].version, 1u);

  // Block 35 is never rewritten in place: the second stamp appends a new one
  // and discards it; from then on the stamps take turns between the two, so
  // the file keeps its size and count.
  const std::size_t first35 = bytes.size();
  ASSERT_TRUE(Stamp(5, 1));
  const std::string again = Bytes();
  ASSERT_EQ(again.size(), after.size() + 8 + kHisBlockSize);
  EXPECT_EQ(ValueAt<int32_t>(again, 0), 4);
  EXPECT_EQ(ValueAt<uint32_t>(again, first35), kBlockUnused);
  EXPECT_EQ(ValueAt<uint32_t>(again, first35 + 4), kHisBlockSize);
  EXPECT_EQ(ValueAt<uint32_t>(again, after.size()), kBlockHistory);
  history = Reload();
  EXPECT_EQ(history.GetUsedCount(), 3u);
  EXPECT_EQ(history[5].reserved, 1u);
  for (int32_t action = 7; action <= 9; ++action) {
    ASSERT_TRUE(Stamp(action, action));
    const std::string now = Bytes();
    ASSERT_EQ(now.size(), again.size());
    EXPECT_EQ(ValueAt<int32_t>(now, 0), 4);
    // One of the two blocks is live, in turn.
    const bool firstLive = action % 2 == 1;
    EXPECT_EQ(ValueAt<uint32_t>(now, first35), firstLive ? kBlockHistory : kBlockUnused);
    EXPECT_EQ(ValueAt<uint32_t>(now, after.size()), firstLive ? kBlockUnused : kBlockHistory);
    history = Reload();
    EXPECT_EQ(history.GetUsedCount(), static_cast<uint32_t>(action - 3));
    EXPECT_EQ(history[action].reserved, static_cast<uint32_t>(action));
    EXPECT_EQ(history[6].start.wYear, 2001);
  }
}

// A discarded block of the history's size is reused only when it reads as
// a history: other discarded bytes are left as they are.
TEST_F(AddHistoryEntryTest, ADiscardedBlockThatIsNoHistoryIsNotOverwritten) {
  CHisList current;
  current.SetEntry(3, 0, nullptr, false);
  const std::vector<uint8_t> other(kHisBlockSize, 0x41);  // action words 0x41414141
  const DbBytes bytes =
      DbBytes().Count(3).Block(0, other).Block(35, History(current)).Block(33, 3, 1);
  OpenBytes(bytes);
  ASSERT_TRUE(Stamp(4, 0));
  const std::string after = Bytes();
  EXPECT_TRUE(after.substr(4, 8 + kHisBlockSize) == bytes.str().substr(4, 8 + kHisBlockSize));
  EXPECT_EQ(ValueAt<int32_t>(after, 0), 4);
  ASSERT_EQ(after.size(), bytes.size() + 8 + kHisBlockSize);
  const CHisList history = Reload();
  EXPECT_EQ(history[3].version, 1u);
  EXPECT_EQ(history[4].version, 1u);
}

TEST_F(AddHistoryEntryTest, Block35OfAnotherSizeIsReplacedNotOverwritten) {
  sHisEntry entry{};
  entry.version = 1;
  entry.action = 7;
  entry.reserved = 3;
  std::vector<uint8_t> data(reinterpret_cast<uint8_t*>(&entry),
                            reinterpret_cast<uint8_t*>(&entry) + sizeof entry);
  DbBytes bytes;
  bytes.Count(2).Block(35, data).Block(33, 3, 1);
  OpenBytes(bytes);
  ASSERT_TRUE(Stamp(1, 0));
  const std::string after = Bytes();
  EXPECT_EQ(ValueAt<int32_t>(after, 0), 3);
  EXPECT_EQ(ValueAt<uint32_t>(after, 4), kBlockUnused);
  EXPECT_EQ(ValueAt<uint32_t>(after, 8), sizeof(sHisEntry));
  EXPECT_EQ(after.substr(12, sizeof entry), bytes.str().substr(12, sizeof entry));
  const CHisList history = Reload();
  EXPECT_EQ(history[7].reserved, 3u);
  EXPECT_EQ(history[1].version, 1u);
  EXPECT_EQ(history.GetUsedCount(), 2u);
}

TEST_F(AddHistoryEntryTest, ReadOnlyFileIsStampedAndStaysReadOnlyOnEveryPath) {
  OpenBytes(DbBytes().Count(1).Block(33, 3, 1));
  file_.Abort();
  ASSERT_TRUE(File::SetReadOnly(path_, true));
  ASSERT_TRUE(Stamp(1, 0));
  bool readOnly = false;
  ASSERT_TRUE(File::GetReadOnly(path_, readOnly));
  EXPECT_TRUE(readOnly);
  EXPECT_EQ(Reload()[1].version, 1u);

  // The permission bits come back as they were, group write included.
  ASSERT_EQ(::chmod(path_.c_str(), 0464), 0);
  ASSERT_TRUE(Stamp(2, 0));
  struct stat st {};
  ASSERT_EQ(::stat(path_.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 07777, 0464u);

  // A file put in the name's place once the stamp has opened it is neither
  // stamped nor changed: the write bit is given and taken back on the file
  // opened, which alone is stamped.
  struct SwappedWhileOpen : CBlockFile {
    std::string in, name;
    bool Open(const std::string& path, unsigned flags, FileException* error) override {
      const bool opened = CBlockFile::Open(path, flags, error);
      ::rename(in.c_str(), name.c_str());
      return opened;
    }
  } swapped;
  swapped.in = tmp_.Write("private.txt", "private");
  swapped.name = path_;
  const std::string stamped = tmp_.Path("stamped.zdb");
  ASSERT_EQ(::link(path_.c_str(), stamped.c_str()), 0);
  ASSERT_EQ(::chmod(swapped.in.c_str(), 0600), 0);
  ASSERT_EQ(::chmod(path_.c_str(), 0577), 0);
  EXPECT_TRUE(swapped.AddHistoryEntry(path_, 3, 0));
  ASSERT_EQ(::stat(path_.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 07777, 0600u);
  EXPECT_EQ(st.st_size, 7);
  ASSERT_EQ(::stat(stamped.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 07777, 0577u);
  path_ = stamped;
  EXPECT_EQ(Reload()[3].action, 3);

  // A failing stamp restores the attribute too.
  const std::string shortFile = tmp_.Write("short.zdb", DbBytes().Count(2).Block(33, 3, 1).str());
  ASSERT_TRUE(File::SetReadOnly(shortFile, true));
  path_ = shortFile;
  EXPECT_FALSE(Stamp(1, 0));
  ASSERT_TRUE(File::GetReadOnly(shortFile, readOnly));
  EXPECT_TRUE(readOnly);
}

TEST_F(AddHistoryEntryTest, FilesWhoseCountedBlocksAreNotWholeAreLeftUnchanged) {
  for (const DbBytes& bytes : {DbBytes().Count(3).Block(33, 3, 1),
                               DbBytes().Count(1).Put(uint32_t{33}).Put(uint32_t{90}),
                               DbBytes().Put(uint16_t{0}), DbBytes().Count(-2)}) {
    OpenBytes(bytes);
    EXPECT_FALSE(Stamp(1, 0)) << bytes.size();
    EXPECT_TRUE(Bytes() == bytes.str()) << bytes.size();
  }
}

// Whatever lies behind the counted blocks never reached the count: whole
// blocks a count too low leaves out, a list save's placeholder, a stray
// header. The stamp cuts it and appends its history there.
TEST_F(AddHistoryEntryTest, WhatLiesBehindTheCountedBlocksIsCutOff) {
  const DbBytes counted = DbBytes().Count(1).Block(33, 3, 1);
  for (const DbBytes& behind :
       {DbBytes().Block(27, 2851, 2).Block(35, History(CHisList())).Block(7, 168, 3),
        DbBytes().Block(26, 0, 0).Put(uint8_t{5}),
        DbBytes().Put(uint32_t{0}).Put(uint32_t{UINT32_MAX}).Raw(std::vector<uint8_t>(9, 4))}) {
    OpenBytes(DbBytes(counted).Raw(behind.bytes()));
    ASSERT_TRUE(Stamp(1, 0)) << behind.size();
    const std::string after = Bytes();
    ASSERT_EQ(after.size(), counted.size() + 8 + kHisBlockSize);
    EXPECT_EQ(ValueAt<int32_t>(after, 0), 2);
    EXPECT_EQ(after.substr(4, counted.size() - 4), counted.str().substr(4));
    EXPECT_EQ(Reload().GetUsedCount(), 1u);
  }
}

// The stamp takes its file's name once, as the user running the program: a
// link under the name is not followed, a FIFO is not waited on, and a
// set-user-id root program stamps no file its user may not write.
TEST_F(AddHistoryEntryTest, TheNameIsTakenOnceAsTheUserAndNeverThroughALink) {
  OpenBytes(DbBytes().Count(1).Block(33, 3, 1));
  file_.Abort();
  const std::string before = Bytes();
  const std::string link = tmp_.Path("link.zdb"), fifo = tmp_.Path("fifo.zdb");
  ASSERT_EQ(::symlink(path_.c_str(), link.c_str()), 0);
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  CBlockFile db;
  EXPECT_FALSE(db.AddHistoryEntry(link, 1, 0));
  EXPECT_FALSE(db.AddHistoryEntry(fifo, 1, 0));  // at once: no writer ever comes
  EXPECT_EQ(Bytes(), before);

  if (::geteuid() != 0) return;
  constexpr uid_t kNobody = 65534;
  ASSERT_EQ(::chmod(tmp_.path().c_str(), 0755), 0);
  ASSERT_EQ(::chmod(path_.c_str(), 0644), 0);  // root's, readable by all
  const pid_t child = ::fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    if (::setgroups(0, nullptr) != 0 || ::setresgid(kNobody, 0, 0) != 0 ||
        ::setresuid(kNobody, 0, 0) != 0)
      ::_exit(77);
    CBlockFile stamp;
    ::_exit(stamp.AddHistoryEntry(path_, 1, 0) ? 1 : 0);
  }
  int status = 0;
  ASSERT_EQ(::waitpid(child, &status, 0), child);
  ASSERT_TRUE(WIFEXITED(status));
  if (WEXITSTATUS(status) == 77) GTEST_SKIP() << "cannot run as user 65534 here";
  EXPECT_EQ(WEXITSTATUS(status), 0);
  EXPECT_EQ(Bytes(), before);
  struct stat st {};
  ASSERT_EQ(::stat(path_.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 07777, 0644u);
}

TEST_F(AddHistoryEntryTest, RefusesMissingFilesAndAnOpenObject) {
  CBlockFile db;
  EXPECT_FALSE(db.AddHistoryEntry(tmp_.Path("missing.zdb"), 1, 0));
  OpenBytes(DbBytes().Count(0));
  EXPECT_FALSE(file_.AddHistoryEntry(path_, 1, 0));
  EXPECT_TRUE(file_.IsOpen());
  EXPECT_EQ(Bytes(), DbBytes().Count(0).str());
}

}  // namespace
