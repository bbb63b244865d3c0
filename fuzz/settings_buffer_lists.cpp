// Feeds arbitrary settings buffers to the readers of the observation, node
// and system lists, then to the look-ups that read the records' text fields
// and to the writers. The first byte chooses the form: odd, the input is a
// whole buffer image as another process could leave it (descriptors, record
// sizes, counts and offsets all hostile); even, the input describes blocks
// 4, 5 and 19 (record size, capacity, stored count) followed by their data.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "Drivers/framework/ipc_item_buffer.h"
#include "database/definitions/node_def_list.h"
#include "database/definitions/obs_def_list.h"
#include "database/definitions/sys_def_list.h"
#include "platform/bytes.h"

namespace {

struct Reader {
  const uint8_t* p;
  size_t n;
  template <typename T>
  T Take() {
    T v{};
    const size_t k = n < sizeof(T) ? n : sizeof(T);
    std::memcpy(&v, p, k);
    p += k;
    n -= k;
    return v;
  }
};

std::unique_ptr<CIpcItemBuffer> Describe(Reader in) {
  auto settings = std::make_unique<CIpcItemBuffer>("Settings");
  Zor::MultiIPCBuffer& buf = settings->GetBuffer();
  for (int block = 1; block <= 19; ++block) {
    const bool table = block == 4 || block == 5 || block == 19;
    const uint32_t recordSize = table ? in.Take<uint16_t>() % 1024 : 0;
    const uint32_t capacity = table ? in.Take<uint8_t>() % 16 : 0;
    const int index = buf.AddBlock(static_cast<uint32_t>(block), recordSize, capacity);
    if (index < 0) return settings;
    if (!table) continue;
    buf.SetRecordCount(index, in.Take<uint32_t>());
    uint8_t* data = buf.GetBlockData(index);
    const size_t k = in.n < buf.GetBlockSize(index) ? in.n : buf.GetBlockSize(index);
    if (data != nullptr) std::memcpy(data, in.p, k);
    in.p += k;
    in.n -= k;
  }
  return settings;
}

void Exercise(CIpcItemBuffer& settings) {
  CObsDefList obs;
  CNodeDefList nodes;
  CSysDefList systems;
  obs.ReadFromSettingsBuffer(&settings, 4);
  nodes.ReadFromSettingsBuffer(&settings, 5);
  systems.ReadFromSettingsBuffer(&settings, 19);

  // Text fields and ids straight from the buffer.
  for (const sObsDef* r : obs) {
    obs.CountTagUses(r->systemId, zor::platform::FieldText(r->tag1), 0, 0, 0);
    obs.CopyByShortName(obs, zor::platform::FieldText(r->shortName));
    obs.FindPartnerOf(r);
    CObsDefList::RemoveObsCalibration(ApplyObsCalibration(1.0, r), r);
  }
  for (const sNodeDef* n : nodes) nodes.CountNodesInLine(n->id, n->number % 3);
  std::vector<std::string> names;
  std::vector<uint32_t> ids;
  if (!nodes.IsEmpty()) nodes.GetNamesAndIds(nodes.GetHead()->objectId, names, ids);
  nodes.SortByAxis(nodes.IsEmpty() ? 0 : nodes.GetHead()->type % 3, true);
  for (const sSysDef* s : systems) {
    const std::string name = zor::platform::FieldText(s->name);
    systems.FindIdByName(name.c_str());
    sSysDef copy = *systems.GetHead();
    CSysDefList::ApplySysDefChanges(copy, *s, CSysDefList::CompareSysDefs(copy, *s));
  }
  systems.GetFreeId();

  CObsDefList again;
  again.CopyFrom(&obs);
  again.Compare(obs);
  for (int32_t i = 0; i < obs.GetCount(); ++i)
    if (std::memcmp(again.GetAt(i), obs.GetAt(i), sizeof(sObsDef)) != 0) __builtin_trap();
  again.RemoveAll();

  // Writing back into the same hostile buffer is bounded as well.
  obs.WriteToSettingsBuffer(&settings, 4);
  nodes.WriteToSettingsBuffer(&settings, 5);
  systems.WriteToSettingsBuffer(&settings, 19);
  obs.RemoveAll();
  nodes.RemoveAll();
  systems.RemoveAll();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  Reader in{data + 1, size - 1};
  std::unique_ptr<CIpcItemBuffer> settings;
  if (data[0] & 1) {
    auto region = std::make_unique<Zor::HeapMemoryRegion>(
        std::vector<uint8_t>(in.p, in.p + in.n), /*fixed=*/true);
    settings = std::make_unique<CIpcItemBuffer>("Settings", std::move(region));
  } else {
    settings = Describe(in);
  }
  Exercise(*settings);
  return 0;
}
