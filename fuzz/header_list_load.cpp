// Feeds arbitrary file contents to the header list's loader: it must not
// crash or hang, must never allocate more than the file holds (watched
// through the allocator's hook), and every entry it takes lies inside the
// file. A list it loads survives a save and a second load unchanged: the two
// saved blocks are byte for byte the same.
//
// The first input byte picks the form: 0 the rest is the whole file; 1 or 2
// the rest is the data of block 33 or block 1 in a file that has them, so a
// short run already reaches the entries.
#include <sanitizer/allocator_interface.h>
#include <unistd.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>

#include "database/blockfile/block_file.h"
#include "database/definitions/hdr_list.h"

#include "fuzz/fuzz_support.h"

namespace {

using namespace zor::fuzz;

using zor::platform::File;

template <typename T>
void Put(std::string& out, T value) {
  out.append(reinterpret_cast<const char*>(&value), sizeof value);
}

// The file the input stands for.
std::string FileBytes(const uint8_t* data, size_t size) {
  if (size == 0) return {};
  const std::string rest(reinterpret_cast<const char*>(data + 1), size - 1);
  const uint8_t form = data[0] % 3;
  if (form == 0) return rest;
  std::string file;
  Put(file, int32_t{2});
  Put(file, uint32_t{7});  // an events block keeps the links
  Put(file, uint32_t{0});
  Put(file, form == 1 ? uint32_t{33} : uint32_t{1});
  Put(file, static_cast<uint32_t>(rest.size()));
  return file + rest;
}

// Saves the list (links as none) into a new file of its own.
std::string SaveCopy(CHdrList& list, const std::string& path) {
  {
    CBlockFile db;
    Check(db.Open(path, File::modeCreate | File::modeReadWrite));
    db.SetBlockCount(0);
    list.Save(db, 1);
    db.SetBlockCount(1);
    db.Close();
  }
  return ReadFile(path);
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  __sanitizer_install_malloc_and_free_hooks(OnMalloc, OnFree);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const std::string path = TempPath("db.zdb");
  static const std::string copy = TempPath("copy.zdb");
  const std::string bytes = FileBytes(data, size);
  WriteFile(path, bytes);
  size = bytes.size();
  // Room for the block walk's read-ahead and the library's bookkeeping;
  // anything the file's own numbers could make larger fails.
  const size_t limit = std::max<size_t>(size, 4096) + 4096;

  CHdrList list;
  {
    CBlockFile db;
    if (!db.Open(path, File::modeRead)) return 0;
    g_largest = 0;
    const bool ok = list.Load(db, /*report=*/false, /*upgrade=*/0);
    Check(g_largest <= limit);
    Check(db.GetPosition() <= size);
    uint64_t total = 0;
    for (const sHdrEntry& e : list) {
      total += 9 + uint64_t{e.Size()};
      Check(e.filePos >= 0 && static_cast<uint64_t>(e.filePos) + 4 <= size);
    }
    Check(total <= size);
    if (!ok) return 0;
  }

  const std::string first = SaveCopy(list, copy);
  CHdrList again;
  {
    CBlockFile db;
    Check(db.Open(copy, File::modeRead));
    Check(again.Load(db, false, 0));
  }
  Check(again.GetCount() == list.GetCount());
  Check(SaveCopy(again, copy) == first);
  ::unlink(copy.c_str());
  return 0;
}
