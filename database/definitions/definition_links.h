// Questions about a definition that follow its links into the other lists:
// the observation's node to its object, the system to its observations.
//
//   if (IsBundleObs(obs, objects, nodes, systems)) ...   // pipe-bundle sensor
//   int32_t objectId = GetSystemObjectId(sys, &obsList, &nodeList);
//
// `objects` is any range of object record pointers (the object definition
// list, or a plain vector of pointers); an object is found by its id, the
// special objects -2 and -1 included.
#pragma once

#include <cstdint>

#include "database/catalogue/definition_records.h"
#include "database/catalogue/object_record.h"
#include "database/definitions/node_def_list.h"
#include "database/definitions/obs_def_list.h"
#include "database/definitions/sys_def_list.h"

// An object type that marks a pipe bundle.
inline constexpr int32_t kObjectTypePipeBundle = 13;

// The first object of the range with that id, or null.
template <typename ObjectRange>
const sObjDef* FindObjectById(const ObjectRange& objects, int32_t id) {
  for (const sObjDef* object : objects)
    if (object && object->id == id) return object;
  return nullptr;
}

// Whether the system of a bundle sensor, types 37-39, produces the
// observation; false when the system is unknown.
bool IsBundleSensorObs(const sObsDef& obs, const CSysDefList& systems);

// True when the object carrying the observation's from-node is a pipe bundle
// (object type 13), or else when the observation's system is a bundle sensor
// (system types 37-39). False for null and when the system is not found.
template <typename ObjectRange>
bool IsBundleObs(const sObsDef* obs, const ObjectRange& objects, const CNodeDefList& nodes,
                 const CSysDefList& systems) {
  if (!obs) return false;
  if (const sNodeDef* node = nodes.FindById(obs->fromNodeId)) {
    const sObjDef* object = FindObjectById(objects, node->objectId);
    if (object && object->kind == kObjectTypePipeBundle) return true;
  }
  return IsBundleSensorObs(*obs, systems);
}

// The id of the object carrying the from-node of the system's first
// observation (in list order) whose from-node is in the node list; 0 when
// there is none; -1 when any argument is null.
int32_t GetSystemObjectId(const sSysDef* sys, const CObsDefList* obsList,
                          const CNodeDefList* nodeList);
