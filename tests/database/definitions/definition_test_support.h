// Builders for definition records and a settings buffer with numbered
// blocks, shared by the definition list tests.
#pragma once

#include <cstdint>
#include <string>

#include "Drivers/framework/ipc_item_buffer.h"
#include "database/catalogue/definition_records.h"
#include "platform/bytes.h"

inline sObsDef MakeObs(int32_t id, int32_t number, int32_t systemId, int32_t type,
                       int32_t from = 0, int32_t to = 0) {
  sObsDef r{};
  r.id = id;
  r.number = number;
  r.systemId = systemId;
  r.type = type;
  r.fromNodeId = from;
  r.toNodeId = to;
  zor::platform::SetFieldText(r.name, "Obs " + std::to_string(id));
  return r;
}

inline sNodeDef MakeNode(int32_t id, int32_t number, int32_t objectId, double x, double y,
                         double z, int32_t type = 2) {
  sNodeDef r{};
  r.id = id;
  r.number = number;
  r.objectId = objectId;
  r.type = type;
  r.offset[0] = x;
  r.offset[1] = y;
  r.offset[2] = z;
  zor::platform::SetFieldText(r.name, "Node " + std::to_string(id));
  return r;
}

inline sSysDef MakeSys(int32_t id, int32_t type, const std::string& name = "") {
  sSysDef r{};
  r.id = id;
  r.type = type;
  zor::platform::SetFieldText(r.name, name.empty() ? "System " + std::to_string(id) : name);
  return r;
}

// Adds empty blocks until block number `block` (1-based) exists, then that
// block with the given record size and capacity.
inline void AddBlockNumber(CIpcItemBuffer& settings, int block, uint32_t recordSize,
                           uint32_t capacity) {
  Zor::MultiIPCBuffer& buf = settings.GetBuffer();
  while (static_cast<int>(buf.GetBlockCount()) < block - 1) buf.AddBlock(0, 0, 0);
  buf.AddBlock(static_cast<uint32_t>(block), recordSize, capacity);
}
