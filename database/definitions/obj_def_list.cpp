#include "database/definitions/obj_def_list.h"

#include <algorithm>
#include <cstring>
#include <limits>
#include <memory>
#include <unordered_set>

#include "database/definitions/hdr_list.h"
#include "database/definitions/node_def_list.h"
#include "database/definitions/object_defaults.h"
#include "database/definitions/obs_def_list.h"
#include "database/types/type_predicates.h"
#include "platform/bytes.h"

namespace {

constexpr uint32_t kRecIdReferencePoint = 197;
constexpr uint32_t kRecIdSquatModel = 213;
constexpr uint32_t kRecIdNodeLink = 230;

// Sensor words from this value on name a sensor whose derived word is the
// value plus 2.
constexpr int32_t kFirstDerivedSensor = 1000001;

// Word n of a header payload; a payload too short to hold it reads as 0.
int32_t Word(const sHdrEntry& e, std::size_t n) {
  int32_t w = 0;
  e.GetWord(n, w);
  return w;
}

float FloatWord(const sHdrEntry& e, std::size_t n) {
  return zor::platform::GetLEOr(std::span<const uint8_t>(e.payload), 4 * uint64_t{n}, 0.0f);
}

// The first header record of the type whose word 0 is the object id.
const sHdrEntry* FindObjectRecord(const CHdrList& header, uint32_t recId, int32_t objectId) {
  for (const sHdrEntry& e : header)
    if (e.recId == recId && e.WordIs(0, objectId)) return &e;
  return nullptr;
}

// Calls visit(otherObjectId) for each node link joining a node of the object
// with a node of another object. Link words 0 and 1 are node numbers.
template <typename Visit>
void ForEachLinkedObject(int32_t objectId, const CNodeDefList& nodes, const CHdrList& header,
                         Visit visit) {
  for (const sHdrEntry& e : header) {
    if (e.recId != kRecIdNodeLink) continue;
    const sNodeDef* a = nodes.FindByNumber(Word(e, 0));
    const sNodeDef* b = nodes.FindByNumber(Word(e, 1));
    if (a == nullptr || b == nullptr || a->objectId == b->objectId) continue;
    if (a->objectId == objectId)
      visit(b->objectId);
    else if (b->objectId == objectId)
      visit(a->objectId);
  }
}

bool HasNodeLink(const CHdrList& header) {
  return std::any_of(header.begin(), header.end(),
                     [](const sHdrEntry& e) { return e.recId == kRecIdNodeLink; });
}

// Calls visit(fromNode) for each observation, both of whose nodes are known,
// that runs from a moving node of another object to a node of the object.
template <typename Visit>
void ForEachTowObservation(int32_t objectId, const CNodeDefList& nodes, const CObsDefList& obs,
                           Visit visit) {
  for (const sObsDef* o : obs) {
    if (o->fromNodeId < 1 || o->toNodeId < 1) continue;
    const sNodeDef* from = nodes.FindById(o->fromNodeId);
    const sNodeDef* to = nodes.FindById(o->toNodeId);
    if (from == nullptr || to == nullptr) continue;
    if (to->objectId != objectId || from->objectId == objectId || !IsMovingNode(from)) continue;
    if (!visit(*from)) return;
  }
}

// Copies gathered for one of the Collect* operations: the ids this list
// holds (when appending) or will hold.
struct Gathered {
  std::unordered_set<int32_t> held;
  std::vector<std::unique_ptr<sObjDef>> copies;

  void Take(const sObjDef* obj) {
    if (obj != nullptr && held.insert(obj->id).second)
      copies.push_back(std::make_unique<sObjDef>(*obj));
  }
};

}  // namespace

// ---- Look-ups -----------------------------------------------------------------

sObjDef* CObjDefList::FindById(int32_t id) const {
  if (id < 1) return nullptr;
  return FindObject(id);
}

sObjDef* CObjDefList::FindObject(int32_t id) const {
  return FindFirst([id](const sObjDef& o) { return o.id == id; });
}

sObjDef* CObjDefList::FindObjectOfNode(int32_t nodeId, const CNodeDefList& nodes) const {
  const sNodeDef* node = nodes.FindById(nodeId);
  return node != nullptr ? FindObject(node->objectId) : nullptr;
}

sObjDef* CObjDefList::FindObjectOfSystem(int32_t systemId, const CObsDefList& obs,
                                         const CNodeDefList& nodes) const {
  for (const sObsDef* o : obs) {
    if (o->systemId != systemId) continue;
    const sNodeDef* node = nodes.FindById(o->fromNodeId);
    if (node != nullptr && !IsKnownPositionNode(node)) return FindObject(node->objectId);
  }
  return nullptr;
}

sObjDef* CObjDefList::FindObjectOfSysDef(const sSysDef* sys, const CObsDefList& obs,
                                         const CNodeDefList& nodes) const {
  return sys != nullptr ? FindObjectOfSystem(sys->id, obs, nodes) : nullptr;
}

sObjDef* CObjDefList::GetMainObject() const {
  if (sObjDef* o =
          FindFirst([](const sObjDef& r) { return IsVesselObject(&r) && r.id == 1; }))
    return o;
  if (sObjDef* o = FindFirst([](const sObjDef& r) { return IsVesselObject(&r); })) return o;
  return GetHead();
}

sObjDef* CObjDefList::FindFirstRealObject() const {
  return FindFirst([](const sObjDef& o) { return IsPhysicalObject(&o); });
}

sObjDef* CObjDefList::FindByOrder(int32_t index) const {
  if (index < 0) return nullptr;
  return FindFirst([index](const sObjDef& o) { return o.displayOrder == index; });
}

int32_t CObjDefList::GetMaxOrder() const {
  int32_t most = std::numeric_limits<int32_t>::min();
  for (const sObjDef* o : *this) most = std::max(most, o->displayOrder);
  return most;
}

int32_t CObjDefList::GetMinOrder() const {
  bool any = false;
  int32_t least = 0;
  for (const sObjDef* o : *this) {
    if (o->displayOrder == -1) continue;
    least = any ? std::min(least, o->displayOrder) : o->displayOrder;
    any = true;
  }
  return any ? least : -1;
}

int32_t CObjDefList::CountOfKind(int32_t kind) const {
  return CountIf([kind](const sObjDef& o) { return o.kind == kind; });
}

bool CObjDefList::IsReferenceNode(int32_t nodeId) const {
  if (nodeId < 0) return false;
  return FindFirst([nodeId](const sObjDef& o) { return o.referenceNodeId == nodeId; }) != nullptr;
}

sNodeDef* CObjDefList::GetReferenceNode(int32_t objectId, const CNodeDefList& nodes) const {
  const sObjDef* obj = FindObject(objectId);
  return obj != nullptr ? nodes.FindById(obj->referenceNodeId) : nullptr;
}

int32_t CObjDefList::GetReferenceNodeId(int32_t objectId) const {
  const sObjDef* obj = FindObject(objectId);
  return obj != nullptr ? obj->referenceNodeId : -1;
}

int32_t CObjDefList::GetKind(int32_t objectId) const {
  const sObjDef* obj = FindObject(objectId);
  return obj != nullptr ? obj->kind : -1;
}

int32_t CObjDefList::FindTowNode(int32_t objectId, int32_t fromObjectId, const CNodeDefList& nodes,
                                 const CObsDefList& obs) const {
  if (objectId >= 1 && FindById(objectId) != nullptr) return 0;
  if (fromObjectId >= 1 && FindById(fromObjectId) == nullptr) return 0;
  int32_t found = -1;
  ForEachTowObservation(objectId, nodes, obs, [&](const sNodeDef& from) {
    if (fromObjectId >= 1 && from.objectId != fromObjectId) return true;
    found = from.id;
    return false;
  });
  return found;
}

int32_t CObjDefList::CountLinkedObjects(int32_t objectId, const CNodeDefList& nodes,
                                        const CHdrList& header) const {
  if (GetCount() < 2 || !HasNodeLink(header)) return 0;
  std::unordered_set<int32_t> linked;
  // Counted by id: a linked object need not be in this list.
  ForEachLinkedObject(objectId, nodes, header, [&](int32_t other) { linked.insert(other); });
  return static_cast<int32_t>(linked.size());
}

void CObjDefList::GetNamesAndIds(std::vector<std::string>& names,
                                 std::vector<uint32_t>& ids) const {
  names.clear();
  ids.clear();
  for (const sObjDef* o : *this) {
    if (o->id < 1) continue;
    names.push_back(zor::platform::FieldText(o->name));
    ids.push_back(static_cast<uint32_t>(o->id));
  }
}

// ---- Changes ------------------------------------------------------------------

void CObjDefList::RefreshFromHeader(const CHdrList& header) {
  for (sObjDef* o : *this) {
    const sHdrEntry* ref = FindObjectRecord(header, kRecIdReferencePoint, o->id);
    const sHdrEntry* squat = FindObjectRecord(header, kRecIdSquatModel, o->id);

    if (ref != nullptr && Word(*ref, 1) != 0)
      o->kind = Word(*ref, 1);
    else if (o->kind == kObjectKindNone)
      o->kind = DefaultObjectKind(o->id);
    const bool vessel = IsVesselObject(o);

    if (vessel && ref != nullptr) {
      if (o->referencePointState == -1) o->referencePointState = 0;
      o->referencePointValue = FloatWord(*ref, 3);
    } else {
      o->referencePointState = -1;
    }
    if (vessel && squat != nullptr) {
      if (o->squatModel != -1) o->squatModel = Word(*squat, 7);
    } else {
      o->squatModel = -1;
    }

    if (o->derivedSensorWords[0] == 0) {
      int k = 0;
      for (int32_t word : o->sensorWords) {
        // Wraps as the 32-bit arithmetic of stored files always did.
        if (word >= kFirstDerivedSensor)
          o->derivedSensorWords[k++] = static_cast<int32_t>(static_cast<uint32_t>(word) + 2u);
      }
    }
    if (o->value1360 == 0.0f) o->value1360 = 1000.0f;
  }
}

int CObjDefList::ShareSettings(const sObjDef* source) {
  if (IsEmpty()) return 0;
  if (source == nullptr) source = FindFirst([](const sObjDef& o) { return o.sharedMode != -1; });
  if (source == nullptr) return 0;
  // Taken first: the source may be one of the records written below.
  const sObjDef from = *source;
  for (sObjDef* o : *this) {
    if (o == source) continue;
    o->sharedMode = from.sharedMode;
    o->sharedWord176 = from.sharedWord176;
    o->sharedValue180 = from.sharedValue180;
    o->sharedWord184 = from.sharedWord184;
    std::memcpy(o->sharedFileFlags, from.sharedFileFlags, sizeof o->sharedFileFlags);
    for (int i = 0; i < 4; ++i)
      zor::platform::SetFieldText(o->sharedFilePaths[i],
                                  zor::platform::FieldText(from.sharedFilePaths[i]));
    o->sharedValue1384 = from.sharedValue1384;
    o->sharedWord1388 = from.sharedWord1388;
    o->vesselObjectRef = from.vesselObjectRef;
  }
  return 1;
}

void CObjDefList::AssignOrder() {
  const int32_t count = GetCount();
  if (count == 0) return;
  if (count == 1) {
    GetHead()->displayOrder = 0;
    return;
  }
  std::vector<bool> used(static_cast<std::size_t>(count), false);
  bool any = false;
  for (sObjDef* o : *this) {
    const int32_t index = o->displayOrder;
    if (index < 0 || index >= count || used[static_cast<std::size_t>(index)]) {
      o->displayOrder = -1;
      continue;
    }
    used[static_cast<std::size_t>(index)] = true;
    any = true;
  }
  if (any) return;
  sObjDef* main = GetMainObject();
  main->displayOrder = 0;
  int32_t next = 1;
  for (sObjDef* o : *this)
    if (o != main) o->displayOrder = next++;
}

// ---- Copies from another list ---------------------------------------------------

bool CObjDefList::CollectLinkedObjects(int32_t objectId, const CObjDefList& from,
                                       const CNodeDefList& nodes, const CHdrList& header,
                                       bool append) {
  if (&from == this) return false;
  Gathered g;
  if (append)
    for (const sObjDef* o : *this) g.held.insert(o->id);
  ForEachLinkedObject(objectId, nodes, header,
                      [&](int32_t other) { g.Take(from.FindObject(other)); });
  const bool appended = !g.copies.empty();
  if (!append) RemoveAll();
  AdoptAll(g.copies);
  return appended;
}

bool CObjDefList::CollectChain(const CObjDefList& from, const CNodeDefList& nodes,
                               const CHdrList& header, bool append) {
  if (&from == this) return false;
  Gathered g;
  if (append)
    for (const sObjDef* o : *this) g.held.insert(o->id);
  for (const sObjDef* o : from) {
    if (!IsPhysicalObject(o) || g.held.count(o->id) != 0) continue;
    g.Take(o);
    ForEachLinkedObject(o->id, nodes, header,
                        [&](int32_t other) { g.Take(from.FindObject(other)); });
  }
  const bool appended = !g.copies.empty();
  if (!append) RemoveAll();
  AdoptAll(g.copies);
  return appended;
}

bool CObjDefList::CollectTowedBy(int32_t objectId, const CObjDefList& from,
                                 const CNodeDefList& nodes, const CObsDefList& obs, bool append) {
  if (&from == this) return false;
  Gathered g;
  if (append)
    for (const sObjDef* o : *this) g.held.insert(o->id);
  if (from.GetCount() >= 2 && from.FindObject(objectId) != nullptr) {
    ForEachTowObservation(objectId, nodes, obs, [&](const sNodeDef& node) {
      g.Take(from.FindObject(node.objectId));
      return true;
    });
  }
  const bool appended = !g.copies.empty();
  if (!append) RemoveAll();
  AdoptAll(g.copies);
  return appended;
}

bool CObjDefList::AppendOfKind(int32_t kind, const CObjDefList& from, bool append) {
  if (&from == this) return false;
  Gathered g;
  if (append)
    for (const sObjDef* o : *this) g.held.insert(o->id);
  for (const sObjDef* o : from)
    if (o->kind == kind) g.Take(o);
  const bool appended = !g.copies.empty();
  if (!append) RemoveAll();
  AdoptAll(g.copies);
  return appended;
}
