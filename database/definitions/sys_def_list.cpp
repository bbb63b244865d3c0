#include "database/definitions/sys_def_list.h"

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "platform/bytes.h"

using zor::platform::FieldText;

namespace {

constexpr int32_t kSysSatelliteNavigation = 11;
constexpr int32_t kSysPositionNavigation = 12;
constexpr int32_t kSysOffset = 16;
constexpr int32_t kSysComputedAttitude = 41;
constexpr int32_t kSysComputedHeight = 46;

constexpr int32_t kMaxSystemId = 999999;

// The name as the record holds it: at most 75 characters, whether or not
// byte 75 is the terminator. Comparing and copying both go through it, so a
// record that took every change compares equal to its source.
std::string SystemName(const sSysDef& s) {
  return FieldText(s.name).substr(0, sizeof s.name - 1);
}

}  // namespace

sSysDef* CSysDefList::FindById(int32_t id) const {
  if (id < 1) return nullptr;
  return FindFirst([id](const sSysDef& s) { return s.id == id; });
}

int32_t CSysDefList::GetSystemType(int32_t id) const {
  const sSysDef* s = FindById(id);
  return s != nullptr ? s->type : 0;
}

sSysDef* CSysDefList::FindByType(int32_t type) const {
  return FindFirst([type](const sSysDef& s) { return s.type == type; });
}

int32_t CSysDefList::GetIdOfType(int32_t type) const {
  const sSysDef* s = FindByType(type);
  return s != nullptr ? s->id : -1;
}

bool CSysDefList::HasSatelliteNavigation() const { return HasType(kSysSatelliteNavigation); }

sSysDef* CSysDefList::FindLinked(int32_t type, int32_t linkedId) const {
  if (linkedId < 1) return nullptr;
  return FindFirst([&](const sSysDef& s) { return s.type == type && s.link1 == linkedId; });
}

sSysDef* CSysDefList::FindOffsetSystem(int32_t linkedId) const {
  return FindLinked(kSysOffset, linkedId);
}

sSysDef* CSysDefList::FindComputedAttitude(int32_t linkedId) const {
  return FindLinked(kSysComputedAttitude, linkedId);
}

sSysDef* CSysDefList::FindComputedHeight(int32_t linkedId) const {
  return FindLinked(kSysComputedHeight, linkedId);
}

void CSysDefList::RelinkPositionSystems(int32_t oldId, int32_t newId) {
  for (sSysDef* s : *this)
    if (s->type == kSysPositionNavigation && s->link1 == oldId) s->link1 = newId;
}

int32_t CSysDefList::FindIdByName(const char* name) const {
  if (name == nullptr) return -1;
  const sSysDef* s = FindFirst([name](const sSysDef& r) { return FieldText(r.name) == name; });
  return s != nullptr ? s->id : -1;
}

int32_t CSysDefList::GetFreeId() const {
  std::vector<int32_t> used;
  used.reserve(static_cast<std::size_t>(GetCount()));
  for (const sSysDef* s : *this)
    if (s->id >= 1 && s->id <= kMaxSystemId) used.push_back(s->id);
  std::sort(used.begin(), used.end());
  int32_t candidate = 1;
  for (int32_t id : used) {
    if (id > candidate) break;
    if (id == candidate) ++candidate;
  }
  return candidate <= kMaxSystemId ? candidate : 0;
}

void CSysDefList::Assign(const CSysDefList& other) {
  if (&other == this) return;
  const int32_t surplus = GetCount() - other.GetCount();
  if (surplus > 0) RemoveHead(surplus);
  while (GetCount() < other.GetCount()) AddNew();
  for (int32_t i = 0; i < GetCount(); ++i) {
    sSysDef* dst = GetAt(i);
    const sSysDef* src = other.GetAt(i);
    if (dst != src) std::memcpy(dst, src, sizeof(sSysDef));
  }
}

uint32_t CSysDefList::CompareSysDefs(const sSysDef& a, const sSysDef& b) {
  uint32_t mask = 0;
  if (a.type != b.type || a.id != b.id || a.link1 != b.link1 || a.link2 != b.link2 ||
      a.link3 != b.link3)
    mask |= kSysChangeTypeAndLinks;
  if (a.driverCode != b.driverCode) mask |= kSysChangeDriverCode;
  if (a.ident[4] != b.ident[4]) mask |= kSysChangeIdentWord4;
  if (a.byteD != b.byteD) mask |= kSysChangeByteD;
  const bool word3Differs = a.ident[3] != b.ident[3] && a.ident[3] != kSysIdentNotSet &&
                            b.ident[3] != kSysIdentNotSet;
  if (a.ident[4] != b.ident[4] || a.ident[0] != b.ident[0] || a.ident[1] != b.ident[1] ||
      a.ident[2] != b.ident[2] || word3Differs)
    mask |= kSysChangeIdentWords;
  // Written as "not equal" so that a NaN on either side counts as a change.
  if (!(a.value32 == b.value32)) mask |= kSysChangeValue32;
  if (!(a.value36 == b.value36)) mask |= kSysChangeValue36;
  if (SystemName(a) != SystemName(b)) mask |= kSysChangeName;
  if (a.wordA != b.wordA || a.wordB != b.wordB) mask |= kSysChangeWordsAB;
  if (a.wordC != b.wordC) mask |= kSysChangeWordC;
  return mask;
}

void CSysDefList::ApplySysDefChanges(sSysDef& dst, const sSysDef& src, uint32_t mask) {
  if (mask & kSysChangeTypeAndLinks) {
    dst.id = src.id;
    dst.link1 = src.link1;
    dst.link2 = src.link2;
    dst.link3 = src.link3;
    dst.type = src.type;
  }
  if (mask & kSysChangeDriverCode) dst.driverCode = src.driverCode;
  if (mask & kSysChangeIdentWord4) dst.ident[4] = src.ident[4];
  if (mask & kSysChangeIdentWords) std::copy(std::begin(src.ident), std::end(src.ident), dst.ident);
  if (mask & kSysChangeValue36) dst.value36 = src.value36;
  if (mask & kSysChangeValue32) dst.value32 = src.value32;
  if (mask & kSysChangeName) zor::platform::SetFieldText(dst.name, SystemName(src));
  if (mask & kSysChangeWordsAB) {
    dst.wordA = src.wordA;
    dst.wordB = src.wordB;
  }
  if (mask & kSysChangeWordC) dst.wordC = src.wordC;
  if (mask & kSysChangeByteD) dst.byteD = src.byteD;
}
