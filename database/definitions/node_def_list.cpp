#include "database/definitions/node_def_list.h"

#include <cmath>
#include <memory>
#include <unordered_set>

#include "platform/bytes.h"
#include "platform/unit_library.h"

namespace {

constexpr int32_t kNodeSatelliteVehicle = 5;

bool IsOrigin(const sNodeDef& n) {
  return n.offset[0] == 0.0 && n.offset[1] == 0.0 && n.offset[2] == 0.0;
}

bool ValidAxis(int32_t axis) { return axis >= 0 && axis <= 2; }

// Observation types measured to a satellite vehicle.
bool IsSatelliteObsType(int32_t type) { return (type >= 20 && type <= 23) || type == 33; }

}  // namespace

double CNodeDefList::OffsetTolerance() { return MetersToUnits(0.001); }

void CNodeDefList::CopyOfObject(int32_t objectId, const CNodeDefList* source, bool append) {
  if (source == nullptr || source == this) return;
  std::vector<std::unique_ptr<sNodeDef>> copies;
  for (const sNodeDef* n : *source)
    if (n->objectId == objectId) copies.push_back(std::make_unique<sNodeDef>(*n));
  if (!append) RemoveAll();
  AdoptAll(copies);
}

// ---- Look-ups -----------------------------------------------------------------

sNodeDef* CNodeDefList::FindById(int32_t id) const {
  if (id < 1) return nullptr;
  return FindFirst([id](const sNodeDef& n) { return n.id == id; });
}

sNodeDef* CNodeDefList::FindByNumber(int32_t number) const {
  if (number < 1) return nullptr;
  return FindFirst([number](const sNodeDef& n) { return n.number == number; });
}

int32_t CNodeDefList::FindIdByNumber(int32_t number) const {
  if (number >= 10000) number %= 10000;
  const sNodeDef* n = FindByNumber(number);
  return n != nullptr ? n->id : -1;
}

bool CNodeDefList::IsOriginNode(int32_t id) const {
  const sNodeDef* n = FindById(id);
  return n != nullptr && IsOrigin(*n);
}

sNodeDef* CNodeDefList::FindOriginNodeOfObject(int32_t objectId) const {
  return FindFirst([objectId](const sNodeDef& n) { return n.objectId == objectId && IsOrigin(n); });
}

int32_t CNodeDefList::GetObjectId(int32_t nodeId) const {
  const sNodeDef* n = FindById(nodeId);
  return n != nullptr ? n->objectId : -1;
}

int32_t CNodeDefList::CountOfObject(int32_t objectId) const {
  if (objectId < 1) return -1;
  return CountIf([objectId](const sNodeDef& n) { return n.objectId == objectId; });
}

int32_t CNodeDefList::GetSatelliteSystemId(int32_t nodeId) const {
  if (nodeId < 1) return 0;
  const sNodeDef* n = FindFirst(
      [nodeId](const sNodeDef& r) { return r.id == nodeId && r.type == kNodeSatelliteVehicle; });
  return n != nullptr ? n->systemId : -1;
}

int32_t CNodeDefList::FindSatelliteNode(int32_t systemId, int32_t obsType) const {
  if (!IsSatelliteObsType(obsType)) return -1;
  const sNodeDef* n = FindFirst([systemId](const sNodeDef& r) {
    return r.type == kNodeSatelliteVehicle && r.systemId == systemId;
  });
  return n != nullptr ? n->id : -1;
}

template <typename Visit>
void CNodeDefList::ForNodesInLine(int32_t nodeId, int32_t axis, Visit visit) const {
  if (!ValidAxis(axis)) return;
  const sNodeDef* node = FindById(nodeId);
  if (node == nullptr) return;
  const int a1 = (axis + 1) % 3;
  const int a2 = (axis + 2) % 3;
  const double tol = OffsetTolerance();
  for (sNodeDef* other : *this) {
    if (other == node || other->objectId != node->objectId) continue;
    if (std::fabs(other->offset[a1] - node->offset[a1]) < tol &&
        std::fabs(other->offset[a2] - node->offset[a2]) < tol) {
      if (!visit(other)) return;
    }
  }
}

sNodeDef* CNodeDefList::FindNodeInLine(int32_t nodeId, int32_t axis) const {
  sNodeDef* found = nullptr;
  ForNodesInLine(nodeId, axis, [&](sNodeDef* n) {
    found = n;
    return false;
  });
  return found;
}

int32_t CNodeDefList::CountNodesInLine(int32_t nodeId, int32_t axis) const {
  int32_t count = 0;
  ForNodesInLine(nodeId, axis, [&](sNodeDef*) {
    ++count;
    return true;
  });
  return count;
}

// ---- Appends ------------------------------------------------------------------

template <typename Pred>
bool CNodeDefList::AppendWhere(const CNodeDefList& from, bool append, bool refs, Pred pred) {
  if (&from == this) {
    // Every matching node is already present: nothing to append.
    return refs && FindFirst(pred) != nullptr;
  }
  // Decided and copied before this list is emptied, as from may borrow its
  // records.
  std::unordered_set<int32_t> present;
  if (append)
    for (const sNodeDef* n : *this) present.insert(n->id);
  std::vector<sNodeDef*> refsToAdd;
  std::vector<std::unique_ptr<sNodeDef>> copies;
  bool found = false;
  for (sNodeDef* n : from) {
    if (!pred(*n)) continue;
    found = true;
    if (!present.insert(n->id).second) continue;
    if (refs)
      refsToAdd.push_back(n);
    else
      copies.push_back(std::make_unique<sNodeDef>(*n));
  }
  const bool appended = !refsToAdd.empty() || !copies.empty();
  if (!append) RemoveAll();
  AdoptAll(copies);
  for (sNodeDef* n : refsToAdd) AddRef(n);
  return refs ? found : appended;
}

bool CNodeDefList::AppendOfType(int32_t type, const CNodeDefList& from, bool append) {
  return AppendWhere(from, append, false, [type](const sNodeDef& n) { return n.type == type; });
}

bool CNodeDefList::AppendOfObject(int32_t objectId, const CNodeDefList& from, bool append) {
  return AppendWhere(from, append, false,
                     [objectId](const sNodeDef& n) { return n.objectId == objectId; });
}

bool CNodeDefList::AppendRefsOfObject(int32_t objectId, const CNodeDefList& from, bool append) {
  return AppendWhere(from, append, true,
                     [objectId](const sNodeDef& n) { return n.objectId == objectId; });
}

// ---- Sorting ------------------------------------------------------------------

int CNodeDefList::SortByAxis(int32_t axis, bool ascending) {
  const int32_t count = GetCount();
  if (count < 2 || !ValidAxis(axis)) return 0;
  const double tol = OffsetTolerance();
  // The axis deciding one pair: the first of axis, axis + 1, axis + 2 on
  // which the two differ by at least the tolerance.
  auto keyAxis = [&](const sNodeDef& a, const sNodeDef& b) {
    for (int k : {axis, (axis + 1) % 3, (axis + 2) % 3})
      if (std::fabs(a.offset[k] - b.offset[k]) >= tol) return k;
    return static_cast<int>(axis);
  };
  // Near-equal offsets make the order intransitive; the passes are bounded
  // by the count, which an ordinary bubble sort never needs to exceed.
  for (int32_t pass = 0; pass < count; ++pass) {
    bool swapped = false;
    for (int32_t i = 1; i < count; ++i) {
      const sNodeDef& prev = *GetAt(i - 1);
      const sNodeDef& next = *GetAt(i);
      const int k = keyAxis(prev, next);
      if (ascending ? prev.offset[k] > next.offset[k] : next.offset[k] > prev.offset[k]) {
        SwapAt(i - 1, i);
        swapped = true;
      }
    }
    if (!swapped) break;
  }
  return 1;
}

void CNodeDefList::GetNamesAndIds(int32_t objectId, std::vector<std::string>& names,
                                  std::vector<uint32_t>& ids) const {
  names.clear();
  ids.clear();
  for (const sNodeDef* n : *this) {
    if (n->objectId != objectId) continue;
    names.push_back(zor::platform::FieldText(n->name));
    ids.push_back(static_cast<uint32_t>(n->id));
  }
}
