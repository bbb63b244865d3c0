#include "database/definitions/height_def_list.h"

#include <cstring>
#include <span>
#include <vector>

#include "database/blockfile/block_file.h"
#include "database/definitions/obj_def_list.h"
#include "database/definitions/object_record_upgrade.h"
#include "database/definitions/record_block.h"
#include "platform/bytes.h"

namespace {

// The record size of an older height block; 0 for a type that is not one.
uint32_t OlderRecordSize(uint32_t blockType) {
  switch (blockType) {
    case kBlockHeightDefinitionsOld24:
      return 336;
    case kBlockHeightDefinitionsOld25:
      return 400;
    case kBlockHeightDefinitionsOld28:
      return 2368;
    case kBlockHeightDefinitionsOld30:
      return 3456;
    default:
      return 0;
  }
}

class OldRecord {
 public:
  explicit OldRecord(std::span<const uint8_t> bytes) : bytes_(bytes) {}
  int32_t Word(uint32_t n) const { return At<int32_t>(4 * n); }
  template <typename T>
  T At(uint32_t offset) const {
    return zor::platform::GetLEOr(bytes_, offset, T{});
  }
  std::span<const uint8_t> bytes() const { return bytes_; }

 private:
  std::span<const uint8_t> bytes_;
};

// The sensor words every older layout carries.
void ApplySensorWords(const OldRecord& old, sObjDef& obj) {
  obj.derivedSensorWords[0] = 0;
  obj.derivedSensorWords[1] = 0;
  int next = 0;
  if (old.Word(82) != 0) obj.derivedSensorWords[next++] = old.Word(6);
  if (old.Word(80) != 0) obj.derivedSensorWords[next] = old.Word(4);
}

// The shared settings that arrived with block 30.
void ApplySharedSettings(const OldRecord& old, sObjDef& obj) {
  if (old.Word(81) == 0) {
    obj.sharedMode = -1;
  } else {
    const int32_t w2 = old.Word(2);
    obj.sharedMode = w2 == 2 ? 1 : w2 == 1 ? -2 : -1;
  }
  obj.sharedWord176 = -1;
  obj.sharedValue180 = NarrowToFloat(old.At<double>(4 * 8));
  obj.sharedWord184 = old.Word(5);
  for (int i = 0; i < 4; ++i) obj.sharedFileFlags[i] = old.At<uint32_t>(4 * (84 + i));
  constexpr uint32_t kPaths = 4 * 88;
  constexpr uint32_t kPathWidth = sizeof obj.sharedFilePaths[0];
  for (uint32_t i = 0; i < 4; ++i)
    zor::platform::SetFieldText(
        obj.sharedFilePaths[i],
        zor::platform::GetText(old.bytes(), kPaths + i * kPathWidth, kPathWidth));
  if (old.At<uint32_t>(1396) == 0) obj.squatModel = -1;
  obj.settingWords[1] = old.At<int32_t>(1408);
  obj.settingWords[0] = old.At<uint32_t>(1400) == 0 ? 0 : old.At<int32_t>(1404);
  obj.settingWords[2] = old.Word(3);
}

}  // namespace

sHeightDef* CHeightDefList::FindById(int32_t id) const {
  return FindFirst([id](const sHeightDef& r) { return r.id == id; });
}

int CHeightDefList::Save(CBlockFile& file) {
  RecordBlockWriter out(file);
  for (sHeightDef* r : *this) {
    r->size = kHeightDefSize;
    r->version = kHeightDefVersion;
    out.Write(r, sizeof *r);
  }
  out.Finish(kBlockHeightDefinitions);
  return 1;
}

int CHeightDefList::Load(CBlockFile& file) {
  RecordBlockReader in(file);
  sHeightDef record;
  while (in.Read(&record, sizeof record)) AddCopy(record);
  return in.Finish("height definitions") ? 1 : 0;
}

int CHeightDefList::LoadOlder(CBlockFile& file, uint32_t blockType, CObjDefList& objects,
                              const CObsDefList& obs, const CNodeDefList& nodes) {
  if (blockType == kBlockHeightDefinitions) return Load(file);
  const uint32_t size = OlderRecordSize(blockType);
  if (size == 0) return 0;
  RecordBlockReader in(file);
  std::vector<uint8_t> bytes;
  while (in.Read(bytes, size)) {
    const OldRecord old(bytes);
    sHeightDef* h = AddNew();
    InitHeightDef(*h);
    h->id = old.Word(0);
    h->value = static_cast<uint32_t>(old.Word(1));
    sObjDef* obj = objects.FindObjectOfSystem(old.Word(0), obs, nodes);
    if (obj == nullptr) continue;
    ApplySensorWords(old, *obj);
    if (blockType == kBlockHeightDefinitionsOld30) ApplySharedSettings(old, *obj);
  }
  return in.Finish("older height definitions") ? 1 : 0;
}
