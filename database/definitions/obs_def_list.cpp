#include "database/definitions/obs_def_list.h"

#include <algorithm>
#include <limits>
#include <memory>

#include "core/text/string_helpers.h"
#include "database/definitions/node_def_list.h"
#include "platform/bytes.h"

using zor::platform::FieldText;

namespace {

// Observation types the partner look-up knows.
constexpr int32_t kObsBearingTrue = 11;
constexpr int32_t kObsRovDepth = 51;
constexpr int32_t kObsDraft = 88;
constexpr int32_t kObsPressure = 91;
constexpr int32_t kObsLayback = 97;

bool NodesMatch(const sObsDef& r, int32_t fromNode, int32_t toNode) {
  return (fromNode <= 0 || r.fromNodeId == fromNode) && (toNode <= 0 || r.toNodeId == toNode);
}

bool TypeMatches(const sObsDef& r, int32_t type) { return type <= 0 || r.type == type; }

// The number an observation's partner carries, or 0 when it can have none:
// 0 pairs with nothing, and the lowest number has no negation.
int32_t PartnerNumber(const sObsDef* obs) {
  if (obs == nullptr || obs->number == 0 ||
      obs->number == std::numeric_limits<int32_t>::min())
    return 0;
  return -obs->number;
}

}  // namespace

// ---- Look-ups ---------------------------------------------------------------

sObsDef* CObsDefList::FindById(int32_t id) const {
  if (id < 1) return nullptr;
  return FindFirst([id](const sObsDef& r) { return r.id == id; });
}

sObsDef* CObsDefList::FindByNumber(int32_t number) const {
  if (number == 0) return nullptr;
  return FindFirst([number](const sObsDef& r) { return r.number == number; });
}

sObsDef* CObsDefList::FindNthOfSystem(int32_t systemId, int32_t type, int32_t n) const {
  if (systemId < 1) return nullptr;
  return FindNth(n, [&](const sObsDef& r) {
    return r.systemId == systemId && TypeMatches(r, type);
  });
}

sObsDef* CObsDefList::FindNthOfType(int32_t type, int32_t n) const {
  return FindNth(n, [type](const sObsDef& r) { return r.type == type; });
}

sObsDef* CObsDefList::FindObs(int32_t systemId, int32_t type, int32_t fromNode,
                              int32_t toNode) const {
  if (systemId < 1) return nullptr;
  return FindFirst([&](const sObsDef& r) {
    return r.systemId == systemId && TypeMatches(r, type) && NodesMatch(r, fromNode, toNode);
  });
}

sObsDef* CObsDefList::FindObsByType(int32_t type, int32_t fromNode, int32_t toNode) const {
  return FindFirst(
      [&](const sObsDef& r) { return r.type == type && NodesMatch(r, fromNode, toNode); });
}

sObsDef* CObsDefList::FindObsWithNegativeNumber(int32_t systemId, int32_t type,
                                                int32_t fromNode, int32_t toNode) const {
  if (systemId < 1) return nullptr;
  return FindFirst([&](const sObsDef& r) {
    return r.number < 0 && r.systemId == systemId && TypeMatches(r, type) &&
           NodesMatch(r, fromNode, toNode);
  });
}

sObsDef* CObsDefList::FindObsWithNegativeNumberByType(int32_t type, int32_t fromNode,
                                                      int32_t toNode) const {
  return FindFirst([&](const sObsDef& r) {
    return r.number < 0 && r.type == type && NodesMatch(r, fromNode, toNode);
  });
}

sObsDef* CObsDefList::FindByNode(const int32_t* nodeId, bool from, bool to) const {
  if (nodeId == nullptr) return nullptr;
  const int32_t id = *nodeId;
  return FindFirst(
      [&](const sObsDef& r) { return (from && r.fromNodeId == id) || (to && r.toNodeId == id); });
}

sObsDef* CObsDefList::FindPartner(const sObsDef* obs) const {
  const int32_t partner = PartnerNumber(obs);
  if (partner == 0) return nullptr;
  return FindFirst([partner](const sObsDef& r) { return r.number == partner; });
}

sObsDef* CObsDefList::FindPartnerOf(const sObsDef* obs) const {
  const int32_t partner = PartnerNumber(obs);
  if (partner == 0) return nullptr;
  if (obs->type == kObsPressure) {
    if (sObsDef* depth = FindFirst([partner](const sObsDef& r) {
          return (r.type == kObsRovDepth || r.type == kObsDraft) && r.number == partner;
        }))
      return depth;
  } else if (obs->type != kObsLayback) {
    return nullptr;
  }
  return FindFirst([partner](const sObsDef& r) {
    return r.type == kObsBearingTrue && r.number == partner;
  });
}

// ---- Counts -------------------------------------------------------------------

int32_t CObsDefList::CountOfType(int32_t type) const {
  if (type < 0) return -1;
  return CountIf([type](const sObsDef& r) { return r.type == type; });
}

int32_t CObsDefList::CountOfSystem(int32_t systemId) const {
  if (systemId < 1) return -1;
  return CountIf([systemId](const sObsDef& r) { return r.systemId == systemId; });
}

int32_t CObsDefList::CountByNodes(int32_t fromNode, int32_t toNode) const {
  if (fromNode < 1) return -1;
  return CountIf([&](const sObsDef& r) {
    return r.fromNodeId == fromNode && (toNode <= 0 || r.toNodeId == toNode);
  });
}

void CObsDefList::CollectSystemIds(std::vector<uint32_t>& ids) const {
  for (const sObsDef* r : *this) {
    const uint32_t id = static_cast<uint32_t>(r->systemId);
    if (std::find(ids.begin(), ids.end(), id) == ids.end()) ids.push_back(id);
  }
}

int32_t CObsDefList::CountTagUses(int32_t systemId, const std::string& tag, int32_t exclude1,
                                  int32_t exclude2, int32_t exclude3) const {
  if (systemId < 1 || tag.empty()) return -1;
  int32_t n = 0;
  for (const sObsDef* r : *this) {
    if (r->systemId != systemId || r->id == exclude1 || r->id == exclude2 || r->id == exclude3)
      continue;
    if (EqualsText(FieldText(r->tag1), tag, true)) ++n;
    if (EqualsText(FieldText(r->tag2), tag, true)) ++n;
  }
  return n;
}

void CObsDefList::ClearTag(int32_t systemId, const std::string& tag) {
  for (sObsDef* r : *this) {
    if (r->systemId != systemId) continue;
    if (EqualsText(FieldText(r->tag1), tag, true)) zor::platform::SetFieldText(r->tag1, "");
    if (EqualsText(FieldText(r->tag2), tag, true)) zor::platform::SetFieldText(r->tag2, "");
  }
}

// ---- Copies -----------------------------------------------------------------

template <typename Pred>
void CObsDefList::CopyWhere(CObsDefList& out, Pred pred) const {
  if (&out == this) return;
  // Copied before out is emptied: out may borrow records of this list.
  std::vector<std::unique_ptr<sObsDef>> copies;
  for (const sObsDef* r : *this)
    if (pred(*r)) copies.push_back(std::make_unique<sObsDef>(*r));
  out.RemoveAll();
  out.AdoptAll(copies);
}

void CObsDefList::CopyOfSystem(CObsDefList& out, int32_t systemId) const {
  CopyWhere(out, [systemId](const sObsDef& r) { return r.systemId == systemId; });
}

void CObsDefList::CopyOfType(CObsDefList& out, int32_t type) const {
  CopyWhere(out, [type](const sObsDef& r) { return r.type == type; });
}

void CObsDefList::CopyByShortName(CObsDefList& out, const std::string& shortName) const {
  CopyWhere(out, [&](const sObsDef& r) { return FieldText(r.shortName) == shortName; });
}

void CObsDefList::CopyOfTypeOnObject(CObsDefList& out, const CNodeDefList& nodes, int32_t type,
                                     int32_t objectId) const {
  CopyWhere(out, [&](const sObsDef& r) {
    if (r.type != type || r.fromNodeId <= 0) return false;
    const sNodeDef* from = nodes.FindById(r.fromNodeId);
    return from != nullptr && from->objectId == objectId;
  });
}

namespace {

// The objects of an observation's two nodes, when both nodes are known.
bool NodeObjects(const sObsDef& r, const CNodeDefList& nodes, int32_t& fromObject,
                 int32_t& toObject) {
  if (r.fromNodeId <= 0 || r.toNodeId <= 0) return false;
  const sNodeDef* from = nodes.FindById(r.fromNodeId);
  const sNodeDef* to = nodes.FindById(r.toNodeId);
  if (from == nullptr || to == nullptr) return false;
  fromObject = from->objectId;
  toObject = to->objectId;
  return true;
}

}  // namespace

void CObsDefList::CopyLeavingObject(CObsDefList& out, const CNodeDefList& nodes,
                                    int32_t objectId) const {
  CopyWhere(out, [&](const sObsDef& r) {
    int32_t from = 0, to = 0;
    return NodeObjects(r, nodes, from, to) && from != to && from == objectId;
  });
}

void CObsDefList::CopyEnteringObject(CObsDefList& out, const CNodeDefList& nodes,
                                     int32_t objectId) const {
  CopyWhere(out, [&](const sObsDef& r) {
    int32_t from = 0, to = 0;
    return NodeObjects(r, nodes, from, to) && from != to && to == objectId;
  });
}

void CObsDefList::CollectByNodes(CObsDefList& out, const int32_t* fromNode,
                                 const int32_t* toNode) const {
  if (&out == this) return;
  out.RemoveAll();
  if (fromNode == nullptr || toNode == nullptr) return;
  for (sObsDef* r : *this)
    if (r->fromNodeId == *fromNode && r->toNodeId == *toNode) out.AddRef(r);
}

void CObsDefList::CollectByNode(CObsDefList& out, const int32_t* nodeId, bool from,
                                bool to) const {
  if (&out == this) return;
  out.RemoveAll();
  if (nodeId == nullptr) return;
  for (sObsDef* r : *this)
    if ((from && r->fromNodeId == *nodeId) || (to && r->toNodeId == *nodeId)) out.AddRef(r);
}
