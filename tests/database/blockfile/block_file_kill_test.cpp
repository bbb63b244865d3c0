// Every write and truncate call of the operations that change a project
// database is a point where the process may be killed: the file must then
// read with each counted block as it was or as the operation makes it, and
// the next operation must lose nothing.
#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <sys/resource.h>

#include <algorithm>
#include <climits>
#include <cstring>
#include <filesystem>
#include <iterator>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include "database/blockfile/block_file.h"
#include "database/blockfile/his_list.h"
#include "tests/database/blockfile/db_bytes.h"
#include "tests/database/blockfile/kill_points.h"
#include "tests/support/temp_folder.h"

namespace {

using zor::platform::File;

// The counted blocks of a file as a reader meets them.
struct Counted {
  bool whole = true;  // every counted block lies inside the file
  std::size_t end = 4;  // behind the last counted block
  std::vector<std::pair<uint32_t, std::string>> blocks;  // type, data
};

Counted ReadCounted(const std::string& bytes) {
  Counted c;
  const int32_t count = ValueAt<int32_t>(bytes, 0);
  std::size_t at = 4;
  for (int32_t i = 0; i < count; ++i) {
    if (bytes.size() < at + 8) return c.whole = false, c;
    const uint32_t type = ValueAt<uint32_t>(bytes, at);
    const uint32_t size = ValueAt<uint32_t>(bytes, at + 4);
    if (bytes.size() - at - 8 < size) return c.whole = false, c;
    c.blocks.emplace_back(type, bytes.substr(at + 8, size));
    at += 8 + size;
  }
  c.end = at;
  return c;
}

// The live blocks that are not history, in file order.
std::vector<std::pair<uint32_t, std::string>> OtherBlocks(const Counted& c) {
  std::vector<std::pair<uint32_t, std::string>> out;
  for (const auto& block : c.blocks) {
    if (block.first != kBlockUnused && block.first != kBlockHistory &&
        block.first != kBlockHistoryOld) {
      out.push_back(block);
    }
  }
  return out;
}

CHisList LoadHistory(const std::string& path) {
  CBlockFile db;
  CHisList history;
  EXPECT_TRUE(db.Open(path, File::modeRead));
  history.Load(db);
  return history;
}

bool SameEntry(const sHisEntry& a, const sHisEntry& b) {
  return std::memcmp(&a, &b, sizeof a) == 0;
}

// True when slot `action` holds a fresh stamp with the reserved word.
bool Stamped(const CHisList& list, int32_t action, uint32_t reserved) {
  return list[action].version == 1 && list[action].action == action &&
         list[action].reserved == reserved && list[action].start.wYear >= 2024 &&
         list[action].end.wYear >= 2024;
}

template <typename T>
std::vector<uint8_t> BytesOf(const T& value) {
  const auto* p = reinterpret_cast<const uint8_t*>(&value);
  return std::vector<uint8_t>(p, p + sizeof(T));
}

std::vector<uint8_t> HistoryData(const CHisList& list) {
  const auto* p = reinterpret_cast<const uint8_t*>(&list[0]);
  return std::vector<uint8_t>(p, p + kHisBlockSize);
}

class KillTest : public testing::Test {
 protected:
  TempFolder tmp_;
};

// ---- History stamps ----------------------------------------------------------

struct StampCase {
  const char* name;
  DbBytes bytes;
  bool appends;  // the stamp needs a new block
};

std::vector<StampCase> StampCases() {
  CHisList current;
  const zor::platform::SYSTEMTIME t{2019, 5, 0, 6, 7, 8, 9, 10};
  current.SetEntry(1, 11, &t, false);
  current.SetTexts(1, "surveyor", "made");
  current.SetEntry(9, 12, &t, true);
  sHisEntryOld old{};
  old.action = 6;
  old.time = t;
  old.reserved = 13;
  std::memcpy(old.comment, "imported", 8);
  std::vector<uint8_t> twoOld = BytesOf(old);
  old.action = 2;
  const std::vector<uint8_t> second = BytesOf(old);
  twoOld.insert(twoOld.end(), second.begin(), second.end());
  const std::vector<uint8_t> oneEntry = BytesOf(current[1]);
  // A stamp of action 7 killed once its history was live and before the
  // one in front of it was discarded leaves two live histories: readers
  // take the first.
  CHisList later(&current);
  later.SetEntry(7, 14, &t, false);
  // A stamp killed in its append leaves the start of its block.
  std::vector<uint8_t> cutAppend = HistoryData(later);
  cutAppend.resize(4 * sizeof(sHisEntry) + 6);

  std::vector<StampCase> cases;
  cases.push_back({"current history",
                   DbBytes().Count(4).Block(33, 95, 'h').Block(35, HistoryData(current))
                       .Block(27, 1024, 's').Block(7, 168, 'e'),
                   true});
  cases.push_back({"no history, a killed stamp's append behind",
                   DbBytes().Count(3).Block(33, 95, 'h').Block(27, 1024, 's').Block(7, 168, 'e')
                       .Put(kBlockHistory).Put(kHisBlockSize).Raw(cutAppend),
                   true});
  cases.push_back({"older block 8",
                   DbBytes().Count(4).Block(33, 95, 'h').Block(8, twoOld).Block(27, 1024, 's')
                       .Block(7, 168, 'e'),
                   true});
  cases.push_back({"block 35 of another size",
                   DbBytes().Count(4).Block(33, 95, 'h').Block(35, oneEntry).Block(27, 1024, 's')
                       .Block(7, 168, 'e'),
                   true});
  // An empty block discarded (an empty header list's) reads as {0, 0}, as a
  // placeholder does: what a stamp killed in its append leaves behind is
  // still cut off by the next.
  cases.push_back({"an empty discarded block, no history",
                   DbBytes().Count(4).Block(33, 95, 'h').Block(0, 0, 0).Block(27, 1024, 's')
                       .Block(7, 168, 'e'),
                   true});
  cases.push_back({"two live histories, the later one first",
                   DbBytes().Count(5).Block(33, 95, 'h').Block(35, HistoryData(later))
                       .Block(27, 1024, 's').Block(35, HistoryData(current)).Block(7, 168, 'e'),
                   false});
  cases.push_back({"two live histories, the earlier one first",
                   DbBytes().Count(5).Block(33, 95, 'h').Block(35, HistoryData(current))
                       .Block(27, 1024, 's').Block(35, HistoryData(later)).Block(7, 168, 'e'),
                   false});
  return cases;
}

// Stamps action 4 into each case, killed at every write and truncate call
// (the write there cut after `partBytes` bytes, or not made when -1), and
// checks what a reader then sees and what a second stamp keeps.
void CheckStampKilledAnywhere(TempFolder& tmp, int64_t partBytes) {
  for (const StampCase& c : StampCases()) {
    SCOPED_TRACE(c.name);
    const std::string path = tmp.Path("db.zdb");
    const auto prepare = [&] { tmp.Write("db.zdb", c.bytes.str()); };
    prepare();
    const auto others = OtherBlocks(ReadCounted(c.bytes.str()));
    const CHisList before = LoadHistory(path);

    // What a reader must see: the other blocks untouched, the history old
    // (slot 4 as before) or new (slot 4 stamped), every other slot kept.
    const auto readsOldOrNew = [&](const std::string& what) {
      SCOPED_TRACE(what);
      const std::string bytes = ReadAll(path);
      const Counted counted = ReadCounted(bytes);
      ASSERT_TRUE(counted.whole);
      EXPECT_EQ(OtherBlocks(counted), others);
      const CHisList now = LoadHistory(path);
      const bool first = Stamped(now, 4, 0xAB);
      const bool second = Stamped(now, 5, 0xCD);
      EXPECT_EQ(now.GetUsedCount(), before.GetUsedCount() + first + second);
      for (int32_t slot = 1; slot < kHisSlots; ++slot) {
        if ((slot == 4 && first) || (slot == 5 && second)) continue;
        EXPECT_TRUE(SameEntry(now[slot], before[slot])) << slot;
      }
    };
    const auto op = [&] {
      KillableBlockFile db;
      if (!db.AddHistoryEntry(path, 4, 0xAB)) _exit(90);
    };
    const auto check = [&](int n) {
      readsOldOrNew("killed at call " + std::to_string(n));
      // A second stamp after the kill keeps everything a reader saw.
      const bool wasStamped = Stamped(LoadHistory(path), 4, 0xAB);
      CBlockFile again;
      ASSERT_TRUE(again.AddHistoryEntry(path, 5, 0xCD)) << n;
      readsOldOrNew("stamped again after call " + std::to_string(n));
      const CHisList after = LoadHistory(path);
      EXPECT_TRUE(Stamped(after, 5, 0xCD)) << n;
      EXPECT_EQ(Stamped(after, 4, 0xAB), wasStamped) << n;
    };
    const int calls = ForEachPartialKillPoint(partBytes, prepare, op, check);
    EXPECT_GE(calls, 1);
    readsOldOrNew("completed");
    EXPECT_TRUE(Stamped(LoadHistory(path), 4, 0xAB));
  }
}

TEST_F(KillTest, AHistoryStampKilledAnywhereLeavesOldOrNewAndTheNextStampLosesNothing) {
  CheckStampKilledAnywhere(tmp_, -1);
}

// A write call cut short (a kill between pages, a full disk, an I/O error)
// leaves part of its bytes: the cuts fall in a count or type word, in slot
// 4's action word, and at the end of the history data.
TEST_F(KillTest, AHistoryStampWhoseWriteIsCutShortLeavesOldOrNew) {
  for (const int64_t part : {int64_t{3}, int64_t{4 * 564 + 6}, int64_t{kHisBlockSize - 1}}) {
    SCOPED_TRACE(part);
    CheckStampKilledAnywhere(tmp_, part);
  }
}

// A disk that fills up in the middle of a stamp's write (a file size limit
// here): the stamp fails, says so, and readers keep the old history.
TEST_F(KillTest, AStampWhoseWriteFailsReturnsFalseAndLeavesTheOldHistory) {
  for (const StampCase& c : StampCases()) {
    SCOPED_TRACE(c.name);
    const std::string path = tmp_.Write("db.zdb", c.bytes.str());
    const CHisList before = LoadHistory(path);
    const pid_t pid = ::fork();
    if (pid == 0) {
      ::signal(SIGXFSZ, SIG_IGN);
      // Room for a few hundred bytes more than the file holds.
      const rlimit limit{c.bytes.size() + 300, c.bytes.size() + 300};
      ::setrlimit(RLIMIT_FSIZE, &limit);
      CBlockFile db;
      _exit(db.AddHistoryEntry(path, 4, 0xAB) ? 1 : 0);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(pid, &status, 0), pid);
    ASSERT_TRUE(WIFEXITED(status));
    // The cases that need a new block cannot have it.
    EXPECT_EQ(WEXITSTATUS(status), c.appends ? 0 : 1);
    const Counted counted = ReadCounted(ReadAll(path));
    ASSERT_TRUE(counted.whole);
    EXPECT_EQ(OtherBlocks(counted), OtherBlocks(ReadCounted(c.bytes.str())));
    const CHisList now = LoadHistory(path);
    for (int32_t slot = 0; slot < kHisSlots; ++slot) {
      if (!c.appends && (slot == 0 || slot == 4) && Stamped(now, 4, 0xAB)) continue;
      EXPECT_TRUE(SameEntry(now[slot], before[slot])) << slot;
    }
  }
}

// The stamp makes a read-only file writable only to open it: killed at any
// write, it leaves the file read-only.
TEST_F(KillTest, AStampKilledAnywhereLeavesAReadOnlyFileReadOnly) {
  const DbBytes start = StampCases()[0].bytes;
  const std::string path = tmp_.Path("db.zdb");
  const auto prepare = [&] {
    File::SetReadOnly(path, false);
    tmp_.Write("db.zdb", start.str());
    File::SetReadOnly(path, true);
  };
  const int calls = ForEachKillPoint(
      prepare, [&] { KillableBlockFile db; if (!db.AddHistoryEntry(path, 4, 0xAB)) _exit(90); },
      [&](int n) {
        bool readOnly = false;
        ASSERT_TRUE(File::GetReadOnly(path, readOnly));
        EXPECT_TRUE(readOnly) << n;
      });
  EXPECT_GE(calls, 1);
  bool readOnly = false;
  ASSERT_TRUE(File::GetReadOnly(path, readOnly));
  EXPECT_TRUE(readOnly);
  EXPECT_TRUE(Stamped(LoadHistory(path), 4, 0xAB));
  File::SetReadOnly(path, false);
}

// A file killed inside an in-place rewrite by earlier versions: the history
// block's header became {0, 0}, so the walk reads its data as headers and
// ends inside them. The blocks behind must not be cut off.
TEST_F(KillTest, AStampRefusesToCutAFileWhoseWalkMetAPlaceholderHeader) {
  CHisList history;
  history.SetEntry(3, 0, nullptr, false);
  const DbBytes damaged = DbBytes().Count(4).Block(33, 95, 'h')
                              .Block(0, HistoryData(history), 0)
                              .Block(27, 1024, 's').Block(7, 168, 'e');
  const std::string path = tmp_.Write("db.zdb", damaged.str());
  CBlockFile db;
  EXPECT_FALSE(db.AddHistoryEntry(path, 4, 0));
  EXPECT_TRUE(ReadAll(path) == damaged.str());

  // An unknown type on the walk is no more trusted.
  const DbBytes unknown = DbBytes().Count(1).Block(77, 3, 'u').Block(27, 8, 's');
  tmp_.Write("db.zdb", unknown.str());
  EXPECT_FALSE(db.AddHistoryEntry(path, 4, 0));
  EXPECT_TRUE(ReadAll(path) == unknown.str());
  // With nothing to cut, the stamp goes ahead, and the stamps after it take
  // turns between two history blocks as elsewhere.
  const DbBytes alone = DbBytes().Count(1).Block(77, 3, 'u');
  tmp_.Write("db.zdb", alone.str());
  for (int32_t action = 4; action <= 8; ++action) {
    EXPECT_TRUE(db.AddHistoryEntry(path, action, 0));
    EXPECT_TRUE(Stamped(LoadHistory(path), action, 0));
  }
  EXPECT_EQ(std::filesystem::file_size(path), alone.size() + 2 * (8 + kHisBlockSize));
}

TEST_F(KillTest, AStampThatFindBlockCouldNotReadIsRefused) {
  DbBytes bytes;
  bytes.Count(kMaxFindBlockCount);
  for (int i = 0; i < kMaxFindBlockCount; ++i) bytes.Block(27, 0, 0);
  const std::string path = tmp_.Write("db.zdb", bytes.str());
  CBlockFile db;
  EXPECT_FALSE(db.AddHistoryEntry(path, 4, 0));
  EXPECT_TRUE(ReadAll(path) == bytes.str());
  // Without a spare block, a live history there could be changed only in
  // place, where a write cut short leaves a mix of old and new.
  DbBytes live;
  live.Count(kMaxFindBlockCount).Block(35, HistoryData(CHisList()));
  for (int i = 1; i < kMaxFindBlockCount; ++i) live.Block(27, 0, 0);
  tmp_.Write("db.zdb", live.str());
  EXPECT_FALSE(db.AddHistoryEntry(path, 4, 0));
  EXPECT_TRUE(ReadAll(path) == live.str());

  // Nor does the refusal walk the blocks of a larger count first: a sparse
  // file of zeros holds an empty header every 8 bytes.
  class ReadCounting : public CBlockFile {
   public:
    uint32_t Read(void* buffer, uint32_t count) override {
      const uint32_t got = CBlockFile::Read(buffer, count);
      read += got;
      return got;
    }
    uint64_t read = 0;
  };
  const std::string sparse = tmp_.Write("sparse.zdb", DbBytes().Count(INT32_MAX).str());
  ASSERT_EQ(::truncate(sparse.c_str(), 256 << 20), 0);
  ReadCounting counting;
  EXPECT_FALSE(counting.AddHistoryEntry(sparse, 4, 0));
  EXPECT_LT(counting.read, 1u << 20);
  EXPECT_EQ(std::filesystem::file_size(sparse), 256u << 20);
}

// Stamps one after another, each killed at a random write (or cut short in
// it) or let run: each leaves readers the history they saw before it or
// that history with its entry, and the file takes at most two history
// blocks more than it had, however the kills fall.
TEST_F(KillTest, StampsKilledOneAfterAnotherLoseNoEntryAndKeepTheFileBounded) {
  // A current history, and block 8 (two appends before the turns begin).
  std::vector<StampCase> cases = StampCases();
  cases = {cases[0], cases[2]};
  // An empty block discarded (an empty header list's) is no placeholder: the
  // stamps reuse their blocks behind it as elsewhere.
  CHisList made;
  made.SetEntry(1, 5, nullptr, false);
  cases.push_back({"an empty discarded block in front",
                   DbBytes().Count(5).Block(33, 95, 'h').Block(0, 0, 0)
                       .Block(35, HistoryData(made)).Block(27, 1024, 's').Block(7, 168, 'e'),
                   true});
  const std::string path = tmp_.Path("db.zdb");
  std::mt19937 random(20261207);
  const int64_t parts[] = {-1, -1, 1, 4 * 564 + 6, kHisBlockSize - 1};
  for (const StampCase& c : cases) {
    SCOPED_TRACE(c.name);
    tmp_.Write("db.zdb", c.bytes.str());
    const auto others = OtherBlocks(ReadCounted(c.bytes.str()));
    CHisList seen = LoadHistory(path);
    for (int stamp = 0; stamp < 24; ++stamp) {
      const int32_t action = 1 + static_cast<int32_t>(random() % 19);
      const uint32_t reserved = 1000 + static_cast<uint32_t>(stamp);
      const int killAt = static_cast<int>(random() % 6);
      const int64_t part = parts[random() % std::size(parts)];
      SCOPED_TRACE(testing::Message() << "stamp " << stamp << " action " << action
                                      << " killed at " << killAt << " part " << part);
      const int status = RunToKillPoint(
          killAt,
          [&] {
            KillableBlockFile db;
            if (!db.AddHistoryEntry(path, action, reserved)) _exit(90);
          },
          part);
      ASSERT_TRUE(status == kill_points::kKilled || status == kill_points::kDone) << status;
      const std::string bytes = ReadAll(path);
      const Counted counted = ReadCounted(bytes);
      ASSERT_TRUE(counted.whole);
      EXPECT_EQ(OtherBlocks(counted), others);
      EXPECT_LE(ValueAt<int32_t>(bytes, 0), ValueAt<int32_t>(c.bytes.str(), 0) + 2);
      EXPECT_LE(bytes.size(), c.bytes.size() + 2 * (8 + kHisBlockSize));
      const CHisList now = LoadHistory(path);
      const bool stamped = Stamped(now, action, reserved);
      if (status == kill_points::kDone) {
        EXPECT_TRUE(stamped);
      }
      for (int32_t slot = 0; slot < kHisSlots; ++slot) {
        if (slot == action && stamped) continue;
        if (slot == 0) {
          const bool added = stamped && seen[action].action == 0;
          EXPECT_EQ(now.GetUsedCount(), seen.GetUsedCount() + added);
          continue;
        }
        ASSERT_TRUE(SameEntry(now[slot], seen[slot])) << slot;
      }
      seen = now;
    }
  }
}

// ---- Discards, appends and copies ----------------------------------------------

// Each counted block as it was, or discarded with its size and data kept.
void ExpectOldOrDiscarded(const Counted& before, const Counted& now) {
  ASSERT_TRUE(now.whole);
  ASSERT_EQ(now.blocks.size(), before.blocks.size());
  for (std::size_t i = 0; i < now.blocks.size(); ++i) {
    EXPECT_EQ(now.blocks[i].second, before.blocks[i].second) << i;
    EXPECT_TRUE(now.blocks[i].first == before.blocks[i].first || now.blocks[i].first == 0) << i;
  }
}

TEST_F(KillTest, DiscardsAndRecountsKilledAnywhereLeaveEachBlockOldOrNew) {
  const DbBytes start = DbBytes().Count(4).Block(33, 3, 'h').Block(27, 5, 's').Block(7, 2, 'e')
                            .Block(27, 4, 't').Block(26, 4, 'v');
  const std::string path = tmp_.Path("db.zdb");
  const Counted before = ReadCounted(start.str());
  const auto prepare = [&] { tmp_.Write("db.zdb", start.str()); };
  for (int form = 0; form < 3; ++form) {
    SCOPED_TRACE(form);
    const int calls = ForEachKillPoint(
        prepare,
        [&] {
          KillableBlockFile db;
          if (!db.Open(path, File::modeReadWrite)) _exit(90);
          if (form == 0) db.DiscardBlocks(27);
          if (form == 1) db.DiscardAllButEvents();
          if (form == 2) db.RecountBlocks();
        },
        [&](int) {
          const std::string bytes = ReadAll(path);
          const int32_t count = ValueAt<int32_t>(bytes, 0);
          EXPECT_TRUE(count == 4 || (form == 2 && count == 5));
          Counted now = ReadCounted(bytes);
          now.blocks.resize(std::min<std::size_t>(now.blocks.size(), 4));
          ExpectOldOrDiscarded(before, now);
        });
    EXPECT_EQ(calls, form == 0 ? 2 : form == 1 ? 4 : 1);
  }
}

TEST_F(KillTest, AppendsAndCopiesKilledAnywhereAreNotCountedUntilWhole) {
  CHisList history;
  history.SetEntry(2, 0, nullptr, false);
  const DbBytes source = DbBytes().Count(3).Block(33, 60, 'h').Block(27, 200000, 's')
                             .Block(35, HistoryData(history));
  const DbBytes target = DbBytes().Count(1).Block(26, 4, 'v').Put(uint16_t{0xFFFF});
  const std::string sourcePath = tmp_.Write("source.zdb", source.str());
  const std::string path = tmp_.Path("db.zdb");
  const Counted before = ReadCounted(target.str());

  // form 0: a list's append; 1: CopyBlockTo; 2: CopyDefinitionsTo.
  for (int form = 0; form < 3; ++form) {
    SCOPED_TRACE(form);
    const int added = form == 2 ? 3 : 1;
    const auto op = [&] {
      KillableBlockFile db;
      CBlockFile from;
      if (!db.Open(path, File::modeReadWrite) || !from.Open(sourcePath, File::modeRead)) _exit(90);
      const int32_t count = db.GetBlockCount();
      if (!db.StartAppend()) _exit(91);
      if (form == 0) {
        const uint64_t at = db.BeginBlock();
        db.Write("abcdefgh", 8);
        db.WriteBlockHeader(at, 8, 31);
      } else if (form == 1) {
        if (!from.CopyBlockTo(&db, 27)) _exit(92);
      } else if (from.CopyDefinitionsTo(&db, false, 0, 0) != 3) {
        _exit(93);
      }
      db.Flush();
      db.SetBlockCount(count + added);
    };
    const int calls = ForEachKillPoint(
        [&] { tmp_.Write("db.zdb", target.str()); }, op, [&](int) {
          const Counted now = ReadCounted(ReadAll(path));
          ASSERT_TRUE(now.whole);
          EXPECT_EQ(now.blocks, before.blocks);
        });
    EXPECT_GE(calls, 3);
    const Counted after = ReadCounted(ReadAll(path));
    ASSERT_TRUE(after.whole);
    ASSERT_EQ(after.blocks.size(), before.blocks.size() + added);
    EXPECT_EQ(after.blocks[0], before.blocks[0]);
    if (form == 1) {
      EXPECT_EQ(after.blocks[1], ReadCounted(source.str()).blocks[1]);
    }
  }
}

// ---- Writers one after another and at once -----------------------------------

// A list's save as this library's writers append one: behind the counted
// blocks, whatever lies there cut first, counted last.
void SaveListBlock(CBlockFile& db, uint32_t type, char fill) {
  const int32_t count = db.GetBlockCount();
  if (!db.StartAppend()) _exit(91);
  const std::string data(300, fill);
  const uint64_t at = db.BeginBlock();
  db.Write(data.data(), static_cast<uint32_t>(data.size()));
  db.WriteBlockHeader(at, data.size(), type);
  db.Flush();
  db.SetBlockCount(count + 1);
}

// One writer: a stamp of `action` or a save of block `action` + 37, opened
// as the writers open the file. Exit status 0 when done, 1 when the file
// could not be had.
int RunWriter(CBlockFile& db, const std::string& path, int32_t action, bool save) {
  if (!save) return db.AddHistoryEntry(path, action, 0xA0 + action) ? 0 : 1;
  if (!db.Open(path, File::modeReadWrite | File::shareDenyWrite)) return 1;
  SaveListBlock(db, 37 + action, static_cast<char>('a' + action));
  db.Close();
  return 0;
}

// RunWriter in a child process: its exit status, -1 when it did not exit.
int InChildWriter(const std::string& path, int32_t action, bool save) {
  const pid_t pid = ::fork();
  if (pid == 0) {
    CBlockFile db;
    _exit(RunWriter(db, path, action, save));
  }
  int status = 0;
  if (pid < 0 || ::waitpid(pid, &status, 0) != pid || !WIFEXITED(status)) return -1;
  return WEXITSTATUS(status);
}

// Every block and entry the writers `saves` and `stamps` made is there,
// with the blocks of `start`, and nothing lies behind the counted blocks.
void ExpectAllWritten(const std::string& path, const DbBytes& start,
                      const std::vector<int32_t>& saves, const std::vector<int32_t>& stamps) {
  const std::string bytes = ReadAll(path);
  const Counted counted = ReadCounted(bytes);
  ASSERT_TRUE(counted.whole);
  auto expected = OtherBlocks(ReadCounted(start.str()));
  for (const int32_t action : saves) {
    expected.emplace_back(37 + action, std::string(300, static_cast<char>('a' + action)));
  }
  EXPECT_EQ(OtherBlocks(counted), expected);
  const CHisList history = LoadHistory(path);
  for (const int32_t action : stamps) EXPECT_TRUE(Stamped(history, action, 0xA0 + action));
}

// A stamp or a list save killed at any write or truncate call, then a
// second stamp, a save and a recount: each state is stamped, nothing a
// reader found is lost, and nothing is left behind the counted blocks.
TEST_F(KillTest, AfterAStampOrASaveKilledAnywhereTheNextWritersLoseNothing) {
  const DbBytes start = StampCases()[0].bytes;
  const std::string path = tmp_.Path("db.zdb");
  for (const bool save : {false, true}) {
    SCOPED_TRACE(save ? "list save" : "stamp");
    const int calls = ForEachKillPoint(
        [&] { tmp_.Write("db.zdb", start.str()); },
        [&] {
          KillableBlockFile db;
          if (RunWriter(db, path, 4, save) != 0) _exit(90);
        },
        [&](int n) {
          SCOPED_TRACE(n);
          const bool done = save ? OtherBlocks(ReadCounted(ReadAll(path))).size() >
                                       OtherBlocks(ReadCounted(start.str())).size()
                                 : Stamped(LoadHistory(path), 4, 0xA4);
          std::vector<int32_t> saves, stamps;
          if (done) (save ? saves : stamps).push_back(4);
          ExpectAllWritten(path, start, saves, stamps);
          CBlockFile a, b;
          ASSERT_EQ(RunWriter(a, path, 5, false), 0);
          ASSERT_EQ(RunWriter(b, path, 6, true), 0);
          ASSERT_TRUE(b.Open(path, File::modeReadWrite | File::shareDenyWrite));
          b.RecountBlocks();
          b.Close();
          stamps.push_back(5);
          saves.push_back(6);
          ExpectAllWritten(path, start, saves, stamps);
          EXPECT_EQ(ReadCounted(ReadAll(path)).end, std::filesystem::file_size(path));
        });
    EXPECT_GE(calls, 3);
  }
}

// Pauses at its n-th write until the parent says go on (or 10 s passed).
class PausingBlockFile : public CBlockFile {
 public:
  PausingBlockFile(int pauseAt, int toParent, int fromParent)
      : pauseAt_(pauseAt), toParent_(toParent), fromParent_(fromParent) {}
  void Write(const void* buffer, uint32_t count) override {
    if (++calls_ == pauseAt_) {
      char c = 'p';
      pollfd p{fromParent_, POLLIN, 0};
      if (::write(toParent_, &c, 1) != 1 || ::poll(&p, 1, 10'000) != 1 ||
          ::read(fromParent_, &c, 1) != 1) {
        _exit(95);
      }
    }
    CBlockFile::Write(buffer, count);
  }

 private:
  int pauseAt_, calls_ = 0, toParent_, fromParent_;
};

// Two processes writing at once, stamps and saves in every pair and with
// the first paused at each of its writes while the second runs whole: the
// second meets a sharing violation and, run again after, loses nothing.
TEST_F(KillTest, TwoWritersAtOnceAreSerialisedAndLoseNothing) {
  const DbBytes start = StampCases()[0].bytes;
  const std::string path = tmp_.Path("db.zdb");
  for (const bool firstSaves : {false, true}) {
    for (const bool secondSaves : {false, true}) {
      for (int n = 1;; ++n) {
        SCOPED_TRACE(testing::Message() << firstSaves << secondSaves << " paused at " << n);
        tmp_.Write("db.zdb", start.str());
        int up[2], down[2];
        ASSERT_EQ(::pipe(up), 0);
        ASSERT_EQ(::pipe(down), 0);
        const pid_t first = ::fork();
        ASSERT_GE(first, 0);
        if (first == 0) {
          ::close(up[0]);
          ::close(down[1]);
          PausingBlockFile db(n, up[1], down[0]);
          _exit(RunWriter(db, path, 4, firstSaves));
        }
        ::close(up[1]);
        ::close(down[0]);
        pollfd p{up[0], POLLIN, 0};
        char c = 0;
        const bool paused = ::poll(&p, 1, 10'000) == 1 && ::read(up[0], &c, 1) == 1;
        int second = -1;
        if (paused) {
          second = InChildWriter(path, 5, secondSaves);
          EXPECT_EQ(::write(down[1], "g", 1), 1);
        }
        ::close(up[0]);
        ::close(down[1]);
        int status = 0;
        ASSERT_EQ(::waitpid(first, &status, 0), first);
        ASSERT_TRUE(WIFEXITED(status));
        EXPECT_EQ(WEXITSTATUS(status), 0);
        if (paused) {
          EXPECT_EQ(second, 1);  // the file is another writer's
        }
        EXPECT_EQ(InChildWriter(path, 5, secondSaves), 0);
        std::vector<int32_t> saves, stamps;
        (firstSaves ? saves : stamps).push_back(4);
        (secondSaves ? saves : stamps).push_back(5);
        ExpectAllWritten(path, start, saves, stamps);
        if (!paused || testing::Test::HasFailure()) break;
      }
    }
  }
}

// Records appended to an event chain: whatever a kill leaves, the chain
// from its first record reads a prefix of the records and ends with -1.
TEST_F(KillTest, AChainKilledAnywhereReadsAPrefixOfItsRecords) {
  const std::string path = tmp_.Path("db.zdb");
  const int calls = ForEachKillPoint(
      [&] { tmp_.Write("db.zdb", DbBytes().Count(0).str()); },
      [&] {
        KillableBlockFile db;
        if (!db.Open(path, File::modeReadWrite)) _exit(90);
        db.Seek(4, File::begin);
        const uint64_t start = db.BeginBlock();
        int32_t first = -1;
        int32_t last = -1;
        for (int32_t fix = 101; fix <= 104; ++fix) {
          const int32_t record[3] = {-1, fix, 0};
          db.AppendChainedRecord(record, sizeof record, first, last, start);
        }
      },
      [&](int n) {
        const std::string bytes = ReadAll(path);
        const std::size_t base = 12;
        int32_t link = bytes.size() >= base + 12 ? 0 : -1;
        int32_t expected = 101;
        while (link != -1) {
          ASSERT_LE(base + static_cast<uint32_t>(link) + 12, bytes.size()) << n;
          EXPECT_EQ(ValueAt<int32_t>(bytes, base + link + 4), expected++) << n;
          link = ValueAt<int32_t>(bytes, base + link);
        }
      });
  EXPECT_EQ(calls, 1 + 4 + 3);
}

}  // namespace
