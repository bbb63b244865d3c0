// Feeds arbitrary bytes to the block readers of the observation, node and
// system lists and to the copy of a database's definitions. Nothing may
// crash, hang or allocate more than the input holds; a list loaded from a
// block survives a save and a second load byte for byte, and a copied
// database holds the systems its source held.
//
// The first input byte picks the form: 0 the rest (after a type byte) is the
// data of one block of a list's current or older type; 1 the rest is a whole
// file, each list read at its own blocks and at the first block header
// whatever its type and size.
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
#include <type_traits>

#include "database/blockfile/block_file.h"
#include "database/definitions/node_def_list.h"
#include "database/definitions/obs_def_list.h"
#include "database/definitions/sys_def_list.h"
#include "platform/file.h"

#include "fuzz/fuzz_support.h"

namespace {

using namespace zor::fuzz;

using zor::platform::File;

template <typename T>
void Put(std::string& out, T value) {
  out.append(reinterpret_cast<const char*>(&value), sizeof value);
}

constexpr uint32_t kTypes[] = {40, 37, 4, 38, 6, 27, 2};

// A file's bytes stay within this of its size, whatever it claims.
size_t AllocationLimit(size_t fileSize) { return std::max<size_t>(fileSize, 65536) + 4096; }

// Saves the list as the only block of a new file and returns the file.
template <typename List>
std::string SaveAlone(List& list, const std::string& path) {
  {
    CBlockFile db;
    Check(db.Open(path, File::modeCreate | File::modeReadWrite));
    db.SetBlockCount(0);
    list.Save(db);
    db.SetBlockCount(1);
    db.Close();
  }
  return ReadFile(path);
}

template <typename List>
bool SameRecords(const List& a, const List& b) {
  using Record = std::remove_pointer_t<typename List::value_type>;
  if (a.GetCount() != b.GetCount()) return false;
  for (int32_t i = 0; i < a.GetCount(); ++i)
    if (std::memcmp(a.GetAt(i), b.GetAt(i), sizeof(Record)) != 0) return false;
  return true;
}

// Loads the list at the block header standing at `at` (systems: wherever
// their block is), then checks its bounds and its round trip.
template <typename List>
void LoadAndRoundTrip(const std::string& path, uint64_t at, size_t fileSize, size_t smallest) {
  List list;
  {
    CBlockFile db;
    if (!db.Open(path, File::modeRead)) return;
    db.Seek(static_cast<int64_t>(at), File::begin);
    g_largest = 0;
    list.Load(db);
    Check(g_largest <= AllocationLimit(fileSize));
    Check(uint64_t(list.GetCount()) * smallest <= fileSize);
  }
  static const std::string copy = TempPath("copy.zdb");
  const std::string first = SaveAlone(list, copy);
  List again;
  {
    CBlockFile db;
    Check(db.Open(copy, File::modeRead));
    db.Seek(4, File::begin);
    Check(again.Load(db) == 1);
  }
  Check(SameRecords(again, list));
  Check(SaveAlone(again, copy) == first);
  ::unlink(copy.c_str());
  list.RemoveAll();
  again.RemoveAll();
}

// Copies the definitions into a new file; a copy that was made holds the
// source's systems.
void Copy(const std::string& path, size_t fileSize) {
  static const std::string target = TempPath("target.zdb");
  CBlockFile from, to;
  if (!from.Open(path, File::modeRead)) return;
  Check(to.Open(target, File::modeCreate | File::modeReadWrite));
  to.SetBlockCount(0);
  g_largest = 0;
  const int written = from.CopyDefinitionsTo(&to, false, 0, 0);
  Check(g_largest <= AllocationLimit(fileSize));
  if (written == 0) {
    Check(to.GetLength() == 4);
  } else {
    Check(written == 3);
    to.SetBlockCount(3);
    CSysDefList source, copied;
    source.Load(from);
    Check(copied.Load(to) == 1);
    for (sSysDef* s : source) s->currentLayout = 1;  // what Save marks
    Check(SameRecords(source, copied));
    source.RemoveAll();
    copied.RemoveAll();
  }
  to.Close();
  ::unlink(target.c_str());
}

void Blocks(const std::string& file) {
  static const std::string path = TempPath("db.zdb");
  WriteFile(path, file);
  for (uint32_t type : kTypes) {
    uint64_t at = 0;
    {
      CBlockFile db;
      if (!db.Open(path, File::modeRead)) return;
      if (!db.FindBlock(type)) continue;
      at = db.GetPosition();
    }
    if (type == 40 || type == 37 || type == 4)
      LoadAndRoundTrip<CObsDefList>(path, at, file.size(), 192);
    else if (type == 38 || type == 6)
      LoadAndRoundTrip<CNodeDefList>(path, at, file.size(), 112);
  }
  // At the first header as it stands, whatever its type and size say.
  LoadAndRoundTrip<CObsDefList>(path, 4, file.size(), 192);
  LoadAndRoundTrip<CNodeDefList>(path, 4, file.size(), 112);
  LoadAndRoundTrip<CSysDefList>(path, 0, file.size(), 148);
  Copy(path, file.size());
  ::unlink(path.c_str());
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  __sanitizer_install_malloc_and_free_hooks(OnMalloc, OnFree);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 2) return 0;
  const uint8_t* rest = data + 1;
  const size_t n = size - 1;
  if (data[0] % 2 == 0) {
    std::string file;
    Put(file, int32_t{1});
    Put(file, kTypes[rest[0] % std::size(kTypes)]);
    Put(file, static_cast<uint32_t>(n - 1));
    file.append(reinterpret_cast<const char*>(rest + 1), n - 1);
    Blocks(file);
  } else {
    Blocks(std::string(reinterpret_cast<const char*>(rest), n));
  }
  return 0;
}
