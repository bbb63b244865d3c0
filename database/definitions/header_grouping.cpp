#include "database/definitions/header_grouping.h"

#include "database/definitions/hdr_entry.h"
#include "database/definitions/hdr_list.h"

namespace {

bool IsProjectRecId(uint32_t r) {
  switch (r) {
    case 11: case 12: case 13:
    case 15: case 16: case 17: case 18: case 19: case 20: case 21: case 22: case 23:
    case 139: case 153: case 188: case 206: case 228: case 236: case 237: case 246: case 247:
      return true;
    default:
      return false;
  }
}

template <typename Filter>
HeaderPayloadGroups Group(const CHdrList& list, Filter keep) {
  HeaderPayloadGroups groups;
  for (const sHdrEntry& entry : list) {
    if (!keep(entry.recId) || entry.payload.empty()) continue;
    groups[static_cast<int32_t>(entry.recId)].push_back(entry.Data());
  }
  return groups;
}

}  // namespace

HeaderPayloadGroups GroupHeaderPayloads(const CHdrList& list) {
  return Group(list, [](uint32_t) { return true; });
}

HeaderPayloadGroups GroupProjectHeaderPayloads(const CHdrList& list) {
  return Group(list, IsProjectRecId);
}
