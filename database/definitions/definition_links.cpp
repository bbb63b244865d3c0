#include "database/definitions/definition_links.h"

#include "database/types/type_predicates.h"

bool IsBundleSensorObs(const sObsDef& obs, const CSysDefList& systems) {
  return IsBundleSystem(systems.FindById(obs.systemId));
}

int32_t GetSystemObjectId(const sSysDef* sys, const CObsDefList* obsList,
                          const CNodeDefList* nodeList) {
  if (!sys || !obsList || !nodeList) return -1;
  for (const sObsDef* obs : *obsList) {
    if (obs->systemId != sys->id) continue;
    if (const sNodeDef* node = nodeList->FindById(obs->fromNodeId)) return node->objectId;
  }
  return 0;
}
