// The node look-ups that follow objects, the header list's node links and
// its dredging records.
#include <memory>
#include <unordered_set>
#include <vector>

#include "database/definitions/hdr_accessors.h"
#include "database/definitions/hdr_list.h"
#include "database/definitions/node_def_list.h"
#include "database/definitions/obj_def_list.h"

namespace {

// RecId 207 "Dredging": words 2 and 3 name two nodes, word 11 tells whether
// the dredging tool records (RecId 217, word 3 a node) add theirs.
constexpr int32_t kRecIdDredgingTool = 217;
constexpr std::size_t kDredgingNodeWords[] = {2, 3};
constexpr std::size_t kDredgingToolsWord = 11;
constexpr std::size_t kDredgingToolNodeWord = 3;

// Node keys of this size and more are ids, smaller ones numbers.
constexpr int32_t kFirstNodeKeyId = 10000;

// Node types carried over by ReorderNodes when no listed object holds them,
// in the order they follow the objects' nodes.
constexpr int32_t kUnattachedNodeTypes[] = {2, 1, 5, 0};

int32_t WordOr(const sHdrEntry& e, std::size_t n, int32_t fallback) {
  int32_t w = fallback;
  e.GetWord(n, w);
  return w;
}

bool IsNodeLink(const sHdrEntry& e) { return e.recId == static_cast<uint32_t>(kRecIdNodeLink); }

// The two nodes of a link, both null unless both are in the list.
struct LinkEnds {
  sNodeDef* a = nullptr;
  sNodeDef* b = nullptr;
};

LinkEnds EndsOf(const sHdrEntry& link, const CNodeDefList& nodes) {
  int32_t na = 0, nb = 0;
  if (!link.GetWord(0, na) || !link.GetWord(1, nb)) return {};
  sNodeDef* a = nodes.FindByNumber(na);
  sNodeDef* b = nodes.FindByNumber(nb);
  if (a == nullptr || b == nullptr) return {};
  return {a, b};
}

// Calls visit(node on the object) for every link that counts for the
// object; stops when visit returns false.
template <typename Visit>
void ForEachCountingLink(int32_t objectId, const CNodeDefList& nodes, const CHdrList& header,
                         Visit visit) {
  for (const sHdrEntry& e : header) {
    if (!IsNodeLink(e)) continue;
    const LinkEnds ends = EndsOf(e, nodes);
    if (ends.a == nullptr || ends.a->objectId == ends.b->objectId) continue;
    sNodeDef* mine = ends.a->objectId == objectId   ? ends.a
                           : ends.b->objectId == objectId ? ends.b
                                                          : nullptr;
    if (mine != nullptr && !visit(*mine)) return;
  }
}

}  // namespace

sNodeDef* CNodeDefList::GetOriginNode(int32_t nodeId, const CObjDefList& objects) const {
  if (objects.IsEmpty()) return nullptr;
  sNodeDef* node = FindById(nodeId);
  if (node == nullptr) return nullptr;
  if (IsOriginNode(node->id)) return node;
  return objects.GetReferenceNode(node->objectId, *this);
}

int CNodeDefList::ReorderNodes(const CObjDefList& objects, int32_t axis, bool ascending) {
  if (objects.GetCount() < 2 || GetCount() < 2) return 0;
  CNodeDefList sorted(this);
  sorted.SortByAxis(axis, ascending);
  RemoveAll();
  for (const sObjDef* o : objects) AppendOfObject(o->id, sorted, true);
  for (int32_t type : kUnattachedNodeTypes) AppendOfType(type, sorted, true);
  sorted.RemoveAll();
  return 1;
}

int32_t CNodeDefList::GetLinkedNodeId(int32_t objectId, const CHdrList& header) const {
  if (header.CountEntries(kRecIdNodeLink) == 0) return -1;
  const sNodeDef* node = GetLinkedNode(objectId, header);
  return node != nullptr ? node->id : 0;
}

sNodeDef* CNodeDefList::GetLinkedNode(int32_t objectId, const CHdrList& header) const {
  sNodeDef* found = nullptr;
  ForEachCountingLink(objectId, *this, header, [&](sNodeDef& n) {
    found = &n;
    return false;
  });
  return found;
}

int32_t CNodeDefList::CountLinks(int32_t objectId, const CHdrList& header) const {
  int32_t count = 0;
  ForEachCountingLink(objectId, *this, header, [&](sNodeDef&) {
    ++count;
    return true;
  });
  return count;
}

int CNodeDefList::CollectLinkedNodes(int32_t nodeKey, const CNodeDefList& from,
                                     const CHdrList& header, bool append) {
  if (&from == this) return 0;
  // Chosen and copied before this list is emptied, as from may borrow its
  // records.
  const sNodeDef* node = nodeKey >= kFirstNodeKeyId ? from.FindById(nodeKey)
                                                    : from.FindByNumber(nodeKey);
  std::unordered_set<int32_t> present;
  if (append)
    for (const sNodeDef* n : *this) present.insert(n->id);
  std::vector<std::unique_ptr<sNodeDef>> copies;
  if (node != nullptr) {
    for (const sHdrEntry& e : header) {
      if (!IsNodeLink(e)) continue;
      const int32_t w0 = WordOr(e, 0, 0);
      const int32_t w1 = WordOr(e, 1, 0);
      int32_t other = 0;
      if (w0 == node->number)
        other = w1;
      else if (w1 == node->number)
        other = w0;
      else
        continue;
      const sNodeDef* end = from.FindByNumber(other);
      if (end != nullptr && present.insert(end->id).second)
        copies.push_back(std::make_unique<sNodeDef>(*end));
    }
  }
  if (!append) RemoveAll();
  const bool appended = !copies.empty();
  AdoptAll(copies);
  return appended ? 1 : 0;
}

int32_t CNodeDefList::CollectDredgingNodes(CNodeDefList& out, int32_t dredgeId,
                                           const CHdrList& header) const {
  if (&out == this) return out.GetCount();
  out.RemoveAll();
  const sHdrEntry* dredging = header.FindDredging(dredgeId);
  if (dredging == nullptr) return 0;
  auto add = [&](const sHdrEntry& e, std::size_t word) {
    int32_t number = 0;
    if (!e.GetWord(word, number)) return;
    if (const sNodeDef* n = FindByNumber(number)) out.AddCopy(*n);
  };
  for (std::size_t word : kDredgingNodeWords) add(*dredging, word);
  if (WordOr(*dredging, kDredgingToolsWord, 0) >= 1) {
    for (const sHdrEntry& e : header)
      if (e.recId == static_cast<uint32_t>(kRecIdDredgingTool)) add(e, kDredgingToolNodeWord);
  }
  return out.GetCount();
}
