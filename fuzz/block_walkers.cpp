// Feeds arbitrary file contents to the project database's block walkers and
// to the history reader: they must not crash or hang, must never allocate
// more than the file holds (watched through the allocator's hook), and the
// repairs must not change the file's length. A history stamp either fails
// and leaves the bytes as they were or adds its entry to the history readers
// saw, appending one history block at most.
#include <sanitizer/allocator_interface.h>
#include <unistd.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "database/blockfile/block_file.h"
#include "database/blockfile/block_file_dump.h"
#include "database/blockfile/his_list.h"

#include "fuzz/fuzz_support.h"

namespace {

using namespace zor::fuzz;

using zor::platform::File;

const std::string& DbPath() {
  static const std::string path = TempPath("db.zdb");
  return path;
}
const std::string& CopyPath() {
  static const std::string path = TempPath("copy.zdb");
  return path;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  // Without the hook the allocation bound would go unchecked.
  Check(__sanitizer_install_malloc_and_free_hooks(OnMalloc, OnFree) != 0);
  DbPath();
  CopyPath();
  std::atexit([] {
    ::unlink(DbPath().c_str());
    ::unlink(CopyPath().c_str());
  });
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string& path = DbPath();
  const std::string& copy = CopyPath();
  WriteFile(path, data, size);
  // Room for the walk's read-ahead, a copy buffer and the bookkeeping of
  // the library; anything the file's own numbers could make larger fails.
  const size_t limit = std::max<size_t>(size, 4096) + 4096;
  const uint32_t type = size >= 1 ? data[size - 1] % 44 : 33;
  {
    CBlockFile db;
    if (!db.Open(path, File::modeReadWrite)) return 0;
    g_largest = 0;
    db.GetBlockCount();
    if (db.FindBlock(type)) Check(db.GetPosition() + 8 <= size);
    if (db.SeekPastBlock(type)) Check(db.GetPosition() <= size);
    if (db.SeekEndOfBlocks()) Check(db.GetPosition() <= size);
    BlockHeader header{};
    for (bool more = db.ReadFirstBlockHeader(header); more; more = db.ReadNextBlockHeader(header)) {
      Check(db.GetPosition() <= size);
    }
    db.Seek(4, File::begin);
    while (db.SkipBlock()) Check(db.GetPosition() <= size);
    std::vector<uint8_t> collected;
    db.CollectBlocksAfterEvents(collected);
    Check(collected.size() <= size);
    db.GetVersionBlockValue();
    CHisList history;
    const uint32_t found = history.Load(db);
    Check(found == 0 || found == kBlockHistory || found == kBlockHistoryOld);
    Check(history.GetUsedCount() <= 19);
    {
      CBlockFile to;
      if (to.Open(copy, File::modeCreate | File::modeReadWrite)) {
        if (db.CopyBlockTo(&to, type)) Check(to.GetLength() <= size);
      }
    }
    Check(g_largest <= limit);

    std::vector<std::string> lines;
    db.DumpBlockFile(lines);
    Check(lines.size() <= size / 8 + 3 + 2 * 19);
    // The dump calls a file sound exactly when its counted blocks are all
    // there, as the walkers that find blocks see them.
    std::size_t text = 0;
    const DumpDamage damage =
        DumpBlockFileText(db, [&text](std::string_view piece) { text += piece.size(); });
    Check(text <= (size / 8 + 3 + 2 * 19) * 700);
    const bool whole = db.SeekEndOfBlocks();
    if (!damage) Check(whole);
    if (damage && damage.kind != DumpDamage::kHistoryUnreadable &&
        damage.kind != DumpDamage::kCountAboveReaders &&
        damage.kind != DumpDamage::kUncountedBytes &&
        damage.kind != DumpDamage::kPlaceholderHeader) {
      Check(!whole);
    }
    DescribeDumpDamage(damage);

    db.Seek(0, File::begin);
    db.DiscardBlocks(type);
    db.DiscardAllButEvents();
    db.RecountBlocks();
    Check(db.GetLength() == size);
    db.Close();
  }
  // Two stamps: each keeps every entry readers saw and adds its own, and
  // grows the file by one block at most however many histories it held.
  const auto readHistory = [&path] {
    CBlockFile db;
    CHisList history;
    Check(db.Open(path, File::modeRead));
    history.Load(db);
    return history;
  };
  const int32_t action = 1 + (size > 0 ? data[0] : 0) % 19;
  for (const int32_t stamped : {action, action % 19 + 1}) {
    const std::string was = ReadFile(path);
    const CHisList seen = readHistory();
    CBlockFile stamp;
    if (!stamp.AddHistoryEntry(path, stamped, 0)) {
      Check(ReadFile(path) == was);
      break;
    }
    Check(ReadFile(path).size() <= was.size() + 8 + kHisBlockSize);
    const CHisList now = readHistory();
    Check(now[stamped].version == 1 && now[stamped].action == stamped);
    for (int32_t slot = 1; slot < kHisSlots; ++slot) {
      if (slot != stamped) Check(std::memcmp(&now[slot], &seen[slot], sizeof(sHisEntry)) == 0);
    }
  }
  return 0;
}
