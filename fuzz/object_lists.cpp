// Feeds arbitrary bytes to the readers of the object, ES-DTM, height and
// anchor lists and of the output definitions: their project-file blocks,
// their settings-buffer tables and their class-archive forms. Nothing may
// crash, hang or allocate more than the input holds; a list loaded from a
// block survives a save and a second load byte for byte.
//
// The first input byte picks the form: 0 the rest is the data of one block
// whose type the second byte picks; 1 the rest is a whole file, each list
// read at its own block and at the first block header whatever its size; 2
// the rest is a settings buffer image; 3 the rest is a class archive.
#include <sanitizer/allocator_interface.h>
#include <unistd.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

#include "Drivers/framework/ipc_item_buffer.h"
#include "database/blockfile/block_file.h"
#include "database/definitions/anchor_def_list.h"
#include "database/definitions/es_dtm_def_list.h"
#include "database/definitions/hdr_list.h"
#include "database/definitions/height_def_list.h"
#include "database/definitions/node_def_list.h"
#include "database/definitions/obj_def_list.h"
#include "database/definitions/object_defaults.h"
#include "database/definitions/obs_def_list.h"
#include "database/definitions/output_def_list.h"
#include "database/definitions/record_block.h"
#include "platform/class_archive.h"

#include "fuzz/fuzz_support.h"

namespace {

using namespace zor::fuzz;

using zor::platform::ArchiveException;
using zor::platform::ClassArchive;
using zor::platform::File;

template <typename T>
void Put(std::string& out, T value) {
  out.append(reinterpret_cast<const char*>(&value), sizeof value);
}

constexpr uint32_t kTypes[] = {5, 23, 24, 25, 28, 29, 30, 31, 39};

// The lists a height block hands its older settings to: objects 1 and 2,
// systems 0..3 measured from a moving node of object 1.
struct Setup {
  CObjDefList objects;
  CNodeDefList nodes;
  CObsDefList obs;
  Setup() {
    objects.AddCopy(MakeDefaultObject(1));
    objects.AddCopy(MakeDefaultObject(2));
    sNodeDef n{};
    n.id = 10;
    n.number = 10;
    n.objectId = 1;
    n.type = 4;
    nodes.AddCopy(n);
    for (int32_t s = 0; s < 4; ++s) {
      sObsDef o{};
      o.id = s + 1;
      o.systemId = s;
      o.fromNodeId = 10;
      obs.AddCopy(o);
    }
  }
  ~Setup() {
    objects.RemoveAll();
    nodes.RemoveAll();
    obs.RemoveAll();
  }
};

// Loads one list at the file's position (type: the block's form).
template <typename List>
int LoadAt(List& list, CBlockFile& db, uint32_t type, Setup& setup);
template <>
int LoadAt(CObjDefList& l, CBlockFile& db, uint32_t type, Setup&) {
  return l.Load(db, type == kBlockObjectDefinitions);
}
template <>
int LoadAt(CEsDtmDefList& l, CBlockFile& db, uint32_t, Setup&) {
  return l.Load(db);
}
template <>
int LoadAt(CHeightDefList& l, CBlockFile& db, uint32_t type, Setup& s) {
  return l.LoadOlder(db, type, s.objects, s.obs, s.nodes);
}
template <>
int LoadAt(CAnchorDefList& l, CBlockFile& db, uint32_t, Setup&) {
  return l.Load(db);
}

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

// Loads the list at the block header standing at `at`, then checks its
// bounds and its round trip.
template <typename List>
void LoadAndRoundTrip(const std::string& path, uint64_t at, uint32_t type, std::size_t fileSize,
                      std::size_t smallest) {
  using Record = std::remove_pointer_t<typename List::value_type>;
  Setup setup;
  List list;
  {
    CBlockFile db;
    if (!db.Open(path, File::modeRead)) return;
    db.Seek(static_cast<int64_t>(at), File::begin);
    g_largest = 0;
    LoadAt(list, db, type, setup);
    Check(g_largest <= std::max<size_t>(fileSize, 65536) + 4096);
    Check(db.GetPosition() <= std::max<uint64_t>(fileSize, at));
    Check(uint64_t(list.GetCount()) * smallest <= fileSize);
  }
  static const std::string copy = TempPath("copy.zdb");
  const std::string first = SaveAlone(list, copy);
  List again;
  {
    CBlockFile db;
    Check(db.Open(copy, File::modeRead));
    Check(db.FindBlock(std::is_same_v<List, CObjDefList>      ? kBlockObjectDefinitions
                       : std::is_same_v<List, CEsDtmDefList>  ? kBlockEsDtmDefinitions
                       : std::is_same_v<List, CHeightDefList> ? kBlockHeightDefinitions
                                                              : kBlockAnchorDefinitions));
    const uint32_t current = std::is_same_v<List, CObjDefList>      ? kBlockObjectDefinitions
                             : std::is_same_v<List, CHeightDefList> ? kBlockHeightDefinitions
                                                                    : 0;
    Check(LoadAt(again, db, current, setup) == 1);
  }
  Check(again.GetCount() == list.GetCount());
  for (int32_t i = 0; i < list.GetCount(); ++i)
    Check(std::memcmp(again.GetAt(i), list.GetAt(i), sizeof(Record)) == 0);
  Check(SaveAlone(again, copy) == first);
  ::unlink(copy.c_str());
  list.RemoveAll();
  again.RemoveAll();
}

void LoadAll(const std::string& path, uint64_t at, uint32_t type, std::size_t size) {
  switch (type) {
    case kBlockObjectDefinitions:
      LoadAndRoundTrip<CObjDefList>(path, at, type, size, sizeof(sObjDef));
      LoadAndRoundTrip<CObjDefList>(path, at, 0, size, sizeof(sObjDef));  // no head check
      break;
    case kBlockEsDtmDefinitions:
      LoadAndRoundTrip<CEsDtmDefList>(path, at, type, size, sizeof(sEsDtmDef));
      break;
    case kBlockAnchorDefinitionsOld:
    case kBlockAnchorDefinitions:
      LoadAndRoundTrip<CAnchorDefList>(path, at, type, size, sizeof(sAnchorDefOld));
      break;
    default:
      LoadAndRoundTrip<CHeightDefList>(path, at, type, size, sizeof(sHeightDef));
      break;
  }
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
    LoadAll(path, at, type, file.size());
  }
  // Read at the first header as it stands, whatever its size says.
  if (file.size() >= 4) LoadAll(path, 4, kTypes[file.size() % std::size(kTypes)], file.size());
}

void SettingsBuffer(const uint8_t* data, size_t size) {
  auto region = std::make_unique<Zor::HeapMemoryRegion>(std::vector<uint8_t>(data, data + size),
                                                        /*fixed=*/true);
  CIpcItemBuffer settings("Settings", std::move(region));
  CObjDefList objects;
  CEsDtmDefList dtms;
  CHeightDefList heights;
  CAnchorDefList anchors;
  objects.ReadFromSettingsBuffer(&settings, 1);
  dtms.ReadFromSettingsBuffer(&settings, 2);
  heights.ReadFromSettingsBuffer(&settings, 3);
  anchors.ReadFromSettingsBuffer(&settings, 4);

  std::vector<std::string> names;
  std::vector<uint32_t> ids;
  objects.GetNamesAndIds(names, ids);
  CHdrList header;
  objects.RefreshFromHeader(header);
  objects.ShareSettings(nullptr);
  objects.AssignOrder();
  objects.GetMainObject();
  objects.GetMinOrder();
  dtms.Validate(header);
  for (sEsDtmDef* d : dtms) CEsDtmDefList::ResetLinks(d, false);
  for (const sAnchorDef* a : anchors) CAnchorDefList::IsAssigned(a);

  objects.WriteToSettingsBuffer(&settings, 1);
  dtms.WriteToSettingsBuffer(&settings, 2);
  heights.WriteToSettingsBuffer(&settings, 3);
  anchors.WriteToSettingsBuffer(&settings, 4);
  objects.RemoveAll();
  dtms.RemoveAll();
  heights.RemoveAll();
  anchors.RemoveAll();
}

void Archives(const uint8_t* data, size_t size) {
  static const std::string path = TempPath("archive.bin");
  WriteFile(path, std::string(reinterpret_cast<const char*>(data), size));
  const bool withVersion = size > 0 && (data[0] & 1);
  {
    File f;
    if (!f.Open(path, File::modeRead)) return;
    ClassArchive ar(f, ClassArchive::load);
    CObjDefList objects;
    for (int32_t id = 1; id <= 3; ++id) objects.AddCopy(MakeDefaultObject(id));
    try {
      objects.ApplySettings(ar, withVersion);
    } catch (const ArchiveException&) {
    }
    objects.RemoveAll();
  }
  COutputDefList outputs;
  {
    File f;
    if (!f.Open(path, File::modeRead)) return;
    ClassArchive ar(f, ClassArchive::load);
    g_largest = 0;
    try {
      outputs.Load(ar, withVersion);
    } catch (const ArchiveException&) {
      return;
    }
    Check(g_largest <= std::max<size_t>(size * sizeof(COutputDef), 4096) + 4096);
  }
  static const std::string copy = TempPath("archive_copy.bin");
  {
    File f;
    Check(f.Open(copy, File::modeCreate | File::modeWrite));
    ClassArchive ar(f, ClassArchive::store);
    outputs.Save(ar);
    ar.Close();
  }
  File f;
  Check(f.Open(copy, File::modeRead));
  ClassArchive ar(f, ClassArchive::load);
  COutputDefList again;
  again.Load(ar, true);
  Check(again == outputs);
  ::unlink(copy.c_str());
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  __sanitizer_install_malloc_and_free_hooks(OnMalloc, OnFree);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 2) return 0;
  const uint8_t form = data[0] % 4;
  const uint8_t* rest = data + 1;
  const size_t n = size - 1;
  switch (form) {
    case 0: {
      const uint32_t type = kTypes[rest[0] % std::size(kTypes)];
      std::string file;
      Put(file, int32_t{1});
      Put(file, type);
      Put(file, static_cast<uint32_t>(n - 1));
      file.append(reinterpret_cast<const char*>(rest + 1), n - 1);
      Blocks(file);
      break;
    }
    case 1:
      Blocks(std::string(reinterpret_cast<const char*>(rest), n));
      break;
    case 2:
      SettingsBuffer(rest, n);
      break;
    default:
      Archives(rest, n);
      break;
  }
  return 0;
}
