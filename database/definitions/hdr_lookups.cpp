// Look-ups of header records by their key words, the driver settings and
// the free look-ups over payload copies.
#include <algorithm>
#include <cstring>

#include "database/catalogue/object_record.h"
#include "database/definitions/hdr_accessors.h"
#include "database/definitions/hdr_blobs.h"
#include "database/definitions/hdr_list.h"
#include "database/definitions/hdr_payload.h"
#include "database/definitions/hdr_sub_list.h"

namespace {

using hdr_payload::Word;

// RecId 176 "Line Name": the name in an 81-byte field, the line number in
// word 21.
constexpr std::size_t kLineNameWidth = 81;
constexpr std::size_t kLineNumberWord = 21;

// RecId 256 "Driver Setting": key text at 8..67, value text at 68..151.
constexpr std::size_t kSettingKeyAt = 8;
constexpr std::size_t kSettingKeyWidth = 60;
constexpr std::size_t kSettingValueAt = 68;
constexpr std::size_t kSettingValueWidth = 84;

// Object records keep their id in word 10, pipe bundles in word 0.
constexpr std::size_t kObjectIdWord = 10;

template <typename Pred>
const sHdrEntry* First(const CHdrList& list, int32_t recId, Pred pred) {
  for (const sHdrEntry& e : list) {
    if (hdr_payload::Is(e, recId) && pred(e)) return &e;
  }
  return nullptr;
}

const sHdrEntry* ByWord(const CHdrList& list, int32_t recId, std::size_t n, int32_t value) {
  return First(list, recId, [&](const sHdrEntry& e) { return e.WordIs(n, value); });
}

// Word n is value, or value is -1.
bool WordMatches(const sHdrEntry& e, std::size_t n, int32_t value) {
  return value == -1 || e.WordIs(n, value);
}

const sHdrEntry* ObjectById(const CHdrList& list, int32_t recId, std::size_t word, int32_t id) {
  if (id < 0) return list.GetEntry(recId, 1);
  return ByWord(list, recId, word, id);
}

// Copies the first payload of `recId` whose word 1 is key into `out`.
template <std::size_t N>
bool CopyKeyed(const CHdrList& list, int32_t recId, int32_t key, std::array<uint8_t, N>& out) {
  const sHdrEntry* e = ByWord(list, recId, 1, key);
  if (e == nullptr) return false;
  std::memcpy(out.data(), e->payload.data(), std::min(N, e->payload.size()));
  return true;
}

// Copies the record over the first RecId r payload whose words first..last
// equal the record's.
bool SetKeyedRecord(CHdrList& list, int32_t recId, std::size_t first, std::size_t last,
                    std::span<const uint8_t> record) {
  for (sHdrEntry& e : list) {
    if (!hdr_payload::Is(e, recId)) continue;
    bool same = true;
    for (std::size_t n = first; n <= last && same; ++n) {
      int32_t w = 0;
      same = zor::platform::GetLE(record, 4 * n, w) && e.WordIs(n, w);
    }
    if (!same) continue;
    return list.CopyPayloadCached(e, record);
  }
  return false;
}

}  // namespace

int32_t CHdrList::GetLineNumber() const {
  const sHdrEntry* e = GetEntry(kRecIdLineName, 1);
  return e == nullptr ? -1 : Word(*e, kLineNumberWord, -1);
}

std::string CHdrList::GetLineName() const {
  const sHdrEntry* e = GetEntry(kRecIdLineName, 1);
  return e == nullptr ? std::string() : zor::platform::GetText(e->payload, 0, kLineNameWidth);
}

const sHdrEntry* CHdrList::FindPps(int32_t key) const { return ByWord(*this, 241, 1, key); }

sPpsRecords CHdrList::GetPpsRecords(int32_t key) const {
  sPpsRecords out;
  out.hasPps = CopyKeyed(*this, 241, key, out.pps);
  out.hasTimetag = CopyKeyed(*this, 249, key, out.timetag);
  out.hasPulse = CopyKeyed(*this, 251, key, out.pulse);
  return out;
}

const sHdrEntry* CHdrList::FindSquatModel(const sObjDef& object) const {
  return ByWord(*this, 213, 0, object.id);
}

const sHdrEntry* CHdrList::FindReferencePoint(const sObjDef& object) const {
  return ByWord(*this, 197, 0, object.id);
}

const sHdrEntry* CHdrList::FindReferencePointById(int32_t id) const {
  return ByWord(*this, 197, 0, id);
}

const sHdrEntry* CHdrList::FindObservationRecord(int32_t n) const {
  return ByWord(*this, 65, 1, n);
}

const sHdrEntry* CHdrList::FindObservation2Record(int32_t n) const {
  return ByWord(*this, 68, 1, n);
}

const sHdrEntry* CHdrList::FindAttRecord(int32_t id, int32_t key) const {
  return First(*this, 244,
               [&](const sHdrEntry& e) { return e.WordIs(3, id) && WordMatches(e, 2, key); });
}

const sHdrEntry* CHdrList::FindHarmonicsAttRecord(int32_t id, int32_t key) const {
  return First(*this, 245,
               [&](const sHdrEntry& e) { return e.WordIs(3, id) && WordMatches(e, 2, key); });
}

const sHdrEntry* CHdrList::FindGnssPosition73(int32_t node, int32_t key) const {
  node = ReduceNodeNumber(node);
  return First(*this, 73,
               [&](const sHdrEntry& e) { return e.WordIs(1, node) && WordMatches(e, 2, key); });
}

const sHdrEntry* CHdrList::FindGnssPosition205(int32_t node, int32_t key) const {
  node = ReduceNodeNumber(node);
  return First(*this, 205,
               [&](const sHdrEntry& e) { return e.WordIs(1, node) && WordMatches(e, 2, key); });
}

const sHdrEntry* CHdrList::FindGnssPosition258(int32_t node, int32_t key) const {
  node = ReduceNodeNumber(node);
  return First(*this, 258,
               [&](const sHdrEntry& e) { return e.WordIs(3, node) && e.WordIs(4, key); });
}

const sHdrEntry* CHdrList::FindNodeLink(int32_t node, int32_t n) const {
  if (n == -1) n = 1;
  if (n < 1) return nullptr;
  node = ReduceNodeNumber(node);
  return First(*this, kRecIdNodeLink, [&](const sHdrEntry& e) {
    return (e.WordIs(0, node) || e.WordIs(1, node)) && --n == 0;
  });
}

int32_t CHdrList::GetLinkedNode(int32_t node, int32_t n) const {
  const sHdrEntry* e = FindNodeLink(node, n);
  if (e == nullptr) return -1;
  return e->WordIs(0, ReduceNodeNumber(node)) ? Word(*e, 1, -1) : Word(*e, 0, -1);
}

bool CHdrList::IsNodeLinked(int32_t node, int32_t which, const CHdrSubList* links) const {
  node = ReduceNodeNumber(node);
  const auto linked = [&](std::span<const uint8_t> p) {
    return ((which & 1) != 0 && hdr_payload::WordIs(p, 0, node)) ||
           ((which & 2) != 0 && hdr_payload::WordIs(p, 1, node));
  };
  if (links != nullptr) {
    return std::any_of(links->begin(), links->end(),
                       [&](const CHdrSubList::Element& p) { return linked(p); });
  }
  return First(*this, kRecIdNodeLink, [&](const sHdrEntry& e) { return linked(e.payload); }) !=
         nullptr;
}

const sHdrEntry* CHdrList::FindDredging(int32_t key) const {
  return First(*this, 207, [&](const sHdrEntry& e) { return WordMatches(e, 0, key); });
}

int32_t CHdrList::GetDredgingKey() const {
  const sHdrEntry* e = GetFirstDredging();
  return e == nullptr ? -1 : Word(*e, 0, -1);
}

const sHdrEntry* CHdrList::GetFirstDredging() const { return GetEntry(207, 1); }

const sHdrEntry* CHdrList::FindDredgingRecord(int32_t recId, int32_t key) const {
  switch (recId) {
    case 208:
    case 209:
    case 225:
    case 231:
    case 264:
      return ByWord(*this, recId, 1, key);
    default:
      return nullptr;
  }
}

const sHdrEntry* CHdrList::FindWaterColumn(int32_t key) const { return ByWord(*this, 240, 1, key); }
const sHdrEntry* CHdrList::FindSnippets(int32_t key) const { return ByWord(*this, 243, 1, key); }
const sHdrEntry* CHdrList::FindMultibeam(int32_t key) const { return ByWord(*this, 220, 1, key); }
const sHdrEntry* CHdrList::FindAdcp(int32_t key) const { return ByWord(*this, 262, 1, key); }

void CHdrList::GetDredgingComponents(int32_t key, CHdrSubList& out) const {
  out.Fill(210, *this, 64);
  for (std::size_t i = out.GetCount(); i-- > 0;) {
    if (!hdr_payload::WordIs(out[i], 1, key)) out.RemoveAt(i);
  }
}

const sHdrEntry* CHdrList::FindDredgingTool(int32_t a, int32_t b) const {
  return First(*this, 217, [&](const sHdrEntry& e) { return e.WordIs(2, a) && e.WordIs(1, b); });
}

const sHdrEntry* CHdrList::FindBlobHeader(int32_t id) const {
  return ByWord(*this, kRecIdBlobHeader, 0, id);
}

bool CHdrList::SetUsblRecord(std::span<const uint8_t> record) {
  return SetKeyedRecord(*this, 128, 0, 2, record);
}

bool CHdrList::SetUsbl260Record(std::span<const uint8_t> record) {
  return SetKeyedRecord(*this, 260, 1, 3, record);
}

sHdrEntry& CHdrList::AddEntryCached(sHdrEntry entry) {
  // Taking the payload may copy it; do that before a slot is taken.
  HdrPayload payload = std::move(entry.payload);
  sHdrEntry* e = NewEntry();
  *e = std::move(entry);
  e->payload = std::move(payload);
  return Append(e);
}

bool CHdrList::CopyPayloadCached(sHdrEntry& entry, std::span<const uint8_t> source) {
  const std::size_t n = std::min(source.size(), entry.payload.size());
  if (n > 0) std::memmove(entry.payload.data(), source.data(), n);
  ApplyCacheRule(entry);
  return n == source.size();
}

std::map<std::string, std::string> CHdrList::GetDriverSettings(int32_t systemId) const {
  std::map<std::string, std::string> settings;
  for (const sHdrEntry& e : *this) {
    if (!hdr_payload::Is(e, kRecIdDriverSetting) || !e.WordIs(0, systemId)) continue;
    settings[zor::platform::GetText(e.payload, kSettingKeyAt, kSettingKeyWidth)] =
        zor::platform::GetText(e.payload, kSettingValueAt, kSettingValueWidth);
  }
  return settings;
}

std::string CHdrList::GetDriverSetting(int32_t systemId, std::string_view key) const {
  const sHdrEntry* e = First(*this, kRecIdDriverSetting, [&](const sHdrEntry& r) {
    return r.WordIs(0, systemId) &&
           zor::platform::GetText(r.payload, kSettingKeyAt, kSettingKeyWidth) == key;
  });
  return e == nullptr ? std::string()
                      : zor::platform::GetText(e->payload, kSettingValueAt, kSettingValueWidth);
}

const sHdrEntry* CHdrList::FindObject(int32_t id) const {
  return ObjectById(*this, 166, kObjectIdWord, id);
}
const sHdrEntry* CHdrList::FindStreamer(int32_t id) const {
  return ObjectById(*this, 167, kObjectIdWord, id);
}
const sHdrEntry* CHdrList::FindGunArray(int32_t id) const {
  return ObjectById(*this, 168, kObjectIdWord, id);
}
const sHdrEntry* CHdrList::FindTowedBuoy(int32_t id) const {
  return ObjectById(*this, 169, kObjectIdWord, id);
}
const sHdrEntry* CHdrList::FindPipeBundle(int32_t id) const {
  return ObjectById(*this, 229, 0, id);
}
const sHdrEntry* CHdrList::FindShapeObject(int32_t id) const {
  return ObjectById(*this, 267, kObjectIdWord, id);
}

const sHdrEntry* CHdrList::FindShape(int32_t id, int32_t key) const {
  return First(*this, 268, [&](const sHdrEntry& e) { return e.WordIs(0, id) && e.WordIs(1, key); });
}

const sHdrEntry* CHdrList::FindVariableNode(int32_t objectId, float x, float y, float z) const {
  return First(*this, 201, [&](const sHdrEntry& e) {
    const std::span<const uint8_t> p(e.payload);
    float px = 0, py = 0, pz = 0;
    return e.WordIs(7, objectId) && zor::platform::GetLE(p, 32, px) &&
           zor::platform::GetLE(p, 36, py) && zor::platform::GetLE(p, 40, pz) && px == x &&
           py == y && pz == z;
  });
}

const sHdrEntry* CHdrList::FindVariableNodeByNumber(int32_t n) const {
  return ByWord(*this, 201, 1, ReduceNodeNumber(n));
}

// ---- Look-ups over payload copies ---------------------------------------------

namespace {

template <typename List, typename Pred>
auto FirstElement(List& list, Pred pred) -> decltype(&list[0]) {
  for (auto& e : list) {
    if (pred(std::span<const uint8_t>(e))) return &e;
  }
  return nullptr;
}

bool W(std::span<const uint8_t> p, std::size_t n, int32_t v) {
  return hdr_payload::WordIs(p, n, v);
}

// Word n is the node number c (taken modulo 10000), or c is -1.
bool NodeMatches(std::span<const uint8_t> p, std::size_t n, int32_t c) {
  return c == -1 || W(p, n, ReduceNodeNumber(c));
}

template <typename List>
auto Word0(List& l, int32_t a) {
  return FirstElement(l, [&](auto p) { return W(p, 0, a); });
}
template <typename List>
auto Words01(List& l, int32_t a, int32_t b) {
  return FirstElement(l, [&](auto p) { return W(p, 0, a) && W(p, 1, b); });
}
template <typename List>
auto Words012(List& l, int32_t a, int32_t b, int32_t c) {
  return FirstElement(l, [&](auto p) { return W(p, 0, a) && W(p, 1, b) && NodeMatches(p, 2, c); });
}
template <typename List>
auto Words123(List& l, int32_t a, int32_t b, int32_t c) {
  return FirstElement(l, [&](auto p) { return W(p, 1, a) && W(p, 2, b) && NodeMatches(p, 3, c); });
}
template <typename List>
auto Word1(List& l, int32_t a) {
  return FirstElement(l, [&](auto p) { return a >= 1 && W(p, 1, a); });
}
template <typename List>
auto Words12(List& l, int32_t a, int32_t b) {
  return FirstElement(l, [&](auto p) { return a >= 1 && W(p, 1, a) && W(p, 2, b); });
}
template <typename List>
auto Words32(List& l, int32_t a, int32_t b) {
  return FirstElement(l, [&](auto p) { return a >= 1 && W(p, 3, a) && (b == -1 || W(p, 2, b)); });
}
template <typename List>
auto Word0Bounded(List& l, int32_t a) {
  return FirstElement(l, [&](auto p) { return a >= 1 && a <= 9999 && W(p, 0, a); });
}
template <typename List>
auto Word2(List& l, int32_t a) {
  return FirstElement(l, [&](auto p) { return a != 0 && W(p, 2, a); });
}
template <typename List>
auto Words21(List& l, int32_t a, int32_t b) {
  return FirstElement(l, [&](auto p) { return W(p, 2, a) && W(p, 1, b); });
}

}  // namespace

using Element = CHdrSubList::Element;

Element* FindByWord0(CHdrSubList& l, int32_t a) { return Word0(l, a); }
Element* FindByWords01(CHdrSubList& l, int32_t a, int32_t b) { return Words01(l, a, b); }
Element* FindByWords012(CHdrSubList& l, int32_t a, int32_t b, int32_t c) {
  return Words012(l, a, b, c);
}
Element* FindByWords123(CHdrSubList& l, int32_t a, int32_t b, int32_t c) {
  return Words123(l, a, b, c);
}
Element* FindByWord1(CHdrSubList& l, int32_t a) { return Word1(l, a); }
Element* FindByWords12(CHdrSubList& l, int32_t a, int32_t b) { return Words12(l, a, b); }
Element* FindByWords32(CHdrSubList& l, int32_t a, int32_t b) { return Words32(l, a, b); }
Element* FindByWord0Bounded(CHdrSubList& l, int32_t a) { return Word0Bounded(l, a); }
Element* FindByWord2(CHdrSubList& l, int32_t a) { return Word2(l, a); }
Element* FindByWords21(CHdrSubList& l, int32_t a, int32_t b) { return Words21(l, a, b); }

const Element* FindByWord0(const CHdrSubList& l, int32_t a) { return Word0(l, a); }
const Element* FindByWords01(const CHdrSubList& l, int32_t a, int32_t b) {
  return Words01(l, a, b);
}
const Element* FindByWords012(const CHdrSubList& l, int32_t a, int32_t b, int32_t c) {
  return Words012(l, a, b, c);
}
const Element* FindByWords123(const CHdrSubList& l, int32_t a, int32_t b, int32_t c) {
  return Words123(l, a, b, c);
}
const Element* FindByWord1(const CHdrSubList& l, int32_t a) { return Word1(l, a); }
const Element* FindByWords12(const CHdrSubList& l, int32_t a, int32_t b) {
  return Words12(l, a, b);
}
const Element* FindByWords32(const CHdrSubList& l, int32_t a, int32_t b) {
  return Words32(l, a, b);
}
const Element* FindByWord0Bounded(const CHdrSubList& l, int32_t a) { return Word0Bounded(l, a); }
const Element* FindByWord2(const CHdrSubList& l, int32_t a) { return Word2(l, a); }
const Element* FindByWords21(const CHdrSubList& l, int32_t a, int32_t b) {
  return Words21(l, a, b);
}
