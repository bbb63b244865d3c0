// The object list's settings in the class archive of the project settings:
// the fields a user shares between projects, matched by object id.
#include <cstring>

#include "database/definitions/obj_def_list.h"
#include "database/definitions/object_defaults.h"
#include "platform/class_archive.h"

using zor::platform::ClassArchive;

namespace {

// The byte range [from, from + n) of a record.
struct Span {
  std::size_t from;
  uint32_t n;
};

// What SaveSettings writes per object behind the id, in order.
constexpr Span kSaved[] = {
    {52, 40},    {92, 40},  {132, 40}, {172, 4},  {176, 4},   {180, 4},  {184, 4},  {188, 16},
    {204, 1044}, {1248, 4}, {1252, 4}, {1256, 4}, {1260, 4},  {1264, 8}, {1272, 8}, {1280, 4},
    {1284, 4},   {1288, 4}, {1292, 4}, {1296, 4}, {1300, 40}, {1340, 4}, {1344, 4}, {1348, 4},
    {1352, 4},   {1356, 1}, {1360, 4}, {1364, 4}, {1368, 4},  {1372, 4}, {1376, 4}, {1380, 4},
    {1384, 4},   {1388, 4}, {1392, 4}, {1396, 3}, {1400, 24},
};

void ReadField(ClassArchive& ar, sObjDef& o, std::size_t from, uint32_t n) {
  ar.ReadBlock(reinterpret_cast<uint8_t*>(&o) + from, n);
}

void Skip(ClassArchive& ar, uint32_t n) {
  uint8_t scratch[32];
  while (n > 0) {
    const uint32_t k = n < sizeof scratch ? n : static_cast<uint32_t>(sizeof scratch);
    ar.ReadBlock(scratch, k);
    n -= k;
  }
}

// One element of versions 1..4 behind its id.
void ReadElement(ClassArchive& ar, uint8_t version, sObjDef& o) {
  ReadField(ar, o, 52, 40);
  ReadField(ar, o, 92, 40);
  ReadField(ar, o, 132, 40);
  ReadField(ar, o, 172, 16);
  ReadField(ar, o, 188, 16);
  ReadField(ar, o, 204, 1044);
  ReadField(ar, o, 1248, 4);
  ReadField(ar, o, 1252, 4);
  ReadField(ar, o, 1256, 4);
  Skip(ar, 4 + 8);  // 1260, 1264
  ReadField(ar, o, 1272, 8);
  if (version < 2) return;
  ReadField(ar, o, 1280, 4);
  ReadField(ar, o, 1284, 4);
  if (version < 3) return;
  ReadField(ar, o, 1288, 4);
  ReadField(ar, o, 1292, 4);
  ReadField(ar, o, 1296, 4);
  ReadField(ar, o, 1300, 40);
  Skip(ar, 4 + 4);  // 1340, 1344: kind and link are the project's own
  ReadField(ar, o, 1348, 4);
  ReadField(ar, o, 1352, 4);
  ReadField(ar, o, 1356, 1);
  ReadField(ar, o, 1360, 4);
  Skip(ar, 20);  // 1364..1383
  ReadField(ar, o, 1384, 4);
  ReadField(ar, o, 1388, 4);
  ReadField(ar, o, 1392, 4);
  Skip(ar, 3 + 24);  // 1396, 1400
}

}  // namespace

void CObjDefList::SaveSettings(ClassArchive& archive) const {
  archive << kObjSettingsVersion << static_cast<uint32_t>(GetCount());
  for (const sObjDef* o : *this) {
    archive << o->id;
    const auto* bytes = reinterpret_cast<const uint8_t*>(o);
    for (const Span& s : kSaved) archive.Write(bytes + s.from, s.n);
  }
}

void CObjDefList::ApplySettings(ClassArchive& archive, bool withVersion) {
  uint8_t version = 0;
  if (withVersion) archive >> version;
  uint32_t count = 0;
  archive >> count;
  if (version > kObjSettingsVersion) return;
  for (uint32_t i = 0; i < count; ++i) {
    if (version == 0) {
      Skip(archive, 4 * 4);
      continue;
    }
    int32_t id = 0;
    archive >> id;
    sObjDef* target = FindObject(id);
    // Read whole before anything changes, so an element cut short by the end
    // of the archive leaves its object as it was.
    sObjDef element;
    if (target != nullptr)
      element = *target;
    else
      SetObjectDefaults(element);
    ReadElement(archive, version, element);
    if (target != nullptr) *target = element;
  }
}
