#include "database/events/generic_events.h"

#include <algorithm>
#include <array>
#include <unordered_map>
#include <unordered_set>
#include <utility>

namespace {

constexpr std::array<const char*, 7> kTypeNames = {"C", "S", "E", "LN", "W", "H", "LC"};

uint32_t AsLink(int32_t id) { return static_cast<uint32_t>(id); }

void RemoveEveryLink(CGenericEvent& event, uint32_t id) {
  std::erase(event.m_linkedIds, id);
}

}  // namespace

// ---- CGenericEventClass --------------------------------------------------------------

CGenericEventClass& CGenericEventClass::CopyFrom(const CGenericEventClass& other) {
  if (&other == this) return *this;
  m_id = other.m_id;
  m_code = other.m_code;
  m_name = other.m_name;
  m_icon = other.m_icon;
  m_sequential = other.m_sequential;
  return *this;
}

// ---- CGenericEvent -----------------------------------------------------------------------

CGenericEvent& CGenericEvent::CopyFrom(const CGenericEvent& other) {
  if (&other == this) return *this;
  m_id = other.m_id;
  m_class = other.m_class;
  m_eventCode = other.m_eventCode;
  m_abbreviation = other.m_abbreviation;
  m_description = other.m_description;
  m_icon = other.m_icon;
  m_type = other.m_type;
  m_action = other.m_action;
  m_sequenceNr = other.m_sequenceNr;
  m_linkedIds = other.m_linkedIds;
  return *this;
}

void CGenericEvent::Reset() {
  m_id = -1;
  m_class = -1;
  m_eventCode.clear();
  m_abbreviation.clear();
  m_description.clear();
  m_icon.clear();
  m_type = 0;
  m_action = 0;
  m_sequenceNr = 0;
  std::vector<uint32_t>().swap(m_linkedIds);
}

bool CGenericEvent::HasLinkedId(uint32_t id) const {
  return std::find(m_linkedIds.begin(), m_linkedIds.end(), id) != m_linkedIds.end();
}

void CGenericEvent::AddLinkedId(uint32_t id) {
  if (!HasLinkedId(id)) m_linkedIds.push_back(id);
}

void CGenericEvent::RemoveLinkedId(uint32_t id) {
  const auto it = std::find(m_linkedIds.begin(), m_linkedIds.end(), id);
  if (it != m_linkedIds.end()) m_linkedIds.erase(it);
}

bool CGenericEvent::IsTypeInFixedSet() const {
  if ((m_type & (kEventTypeC | kEventTypeW | kEventTypeH | kEventTypeLC)) != 0) return true;
  return (m_type & kEventTypeLN) != 0 && (m_type & kEventTypeEnd) == 0;
}

std::string CGenericEvent::GetTypeText() const {
  if (m_type == 0) return "None";
  std::string text;
  for (std::size_t bit = 0; bit < kTypeNames.size(); ++bit) {
    if ((m_type & (1u << bit)) == 0) continue;
    text += kTypeNames[bit];
    text += ',';
  }
  if (!text.empty()) text.pop_back();
  return text;
}

// ---- CGenericEventClassList ------------------------------------------------------------

CGenericEventClass* CGenericEventClassList::FindClass(int32_t id) const noexcept {
  const auto index = IndexOf(id);
  return index ? elements_[*index].get() : nullptr;
}

bool CGenericEventClassList::RemoveClass(int32_t id) {
  const auto index = IndexOf(id);
  if (!index) return false;
  elements_.erase(elements_.begin() + static_cast<std::ptrdiff_t>(*index));
  return true;
}

// ---- CGenericEventList -------------------------------------------------------------------

CGenericEvent* CGenericEventList::FindEvent(int32_t id) const noexcept {
  const auto index = IndexOf(id);
  return index ? elements_[*index].get() : nullptr;
}

bool CGenericEventList::RemoveEvent(int32_t id) {
  const auto index = IndexOf(id);
  if (index) {
    elements_.erase(elements_.begin() + static_cast<std::ptrdiff_t>(*index));
    // Left in place, the link would name whichever event renumbering gives
    // this id next.
    if (!HasEvent(id))
      for (const auto& e : elements_) RemoveEveryLink(*e, AsLink(id));
  }
  RenumberEvents();
  return index.has_value();
}

void CGenericEventList::RenumberEvents() {
  // Old id -> new id of the first event that had it.
  std::unordered_map<uint32_t, uint32_t> renamed;
  renamed.reserve(elements_.size());
  for (std::size_t i = 0; i < elements_.size(); ++i)
    renamed.emplace(AsLink(elements_[i]->m_id), static_cast<uint32_t>(i + 1));
  for (std::size_t i = 0; i < elements_.size(); ++i)
    elements_[i]->m_id = static_cast<int32_t>(i + 1);

  std::vector<uint32_t> links;
  for (const auto& e : elements_) {
    if (e->m_linkedIds.empty()) continue;
    links.clear();
    for (uint32_t link : e->m_linkedIds) {
      const auto it = renamed.find(link);
      // A link that names no event and whose id renumbering hands to one of
      // the events would silently come to name that event: it goes, as the
      // links to a removed event go. Other links to no event stay.
      if (it == renamed.end() && link >= 1 && link <= elements_.size()) continue;
      const uint32_t now = it != renamed.end() ? it->second : link;
      if (std::find(links.begin(), links.end(), now) == links.end()) links.push_back(now);
    }
    e->m_linkedIds.assign(links.begin(), links.end());
  }
}

void CGenericEventList::RenumberSequences(const CGenericEventClassList& classes) {
  for (const CGenericEventClass& cls : classes) {
    int32_t next = 0;
    for (const auto& e : elements_) {
      if (e->m_class != cls.m_id) continue;
      e->m_sequenceNr = cls.m_sequential ? ++next : 0;
    }
  }
}

bool CGenericEventList::SwapWithNext(std::size_t index) {
  CGenericEvent& a = *elements_[index];
  CGenericEvent& b = *elements_[index + 1];
  const uint32_t idA = AsLink(a.m_id);
  const uint32_t idB = AsLink(b.m_id);
  std::swap(elements_[index], elements_[index + 1]);
  std::swap(a.m_id, b.m_id);
  for (const auto& e : elements_) {
    auto& ids = e->m_linkedIds;
    const bool linksA = std::find(ids.begin(), ids.end(), idA) != ids.end();
    const bool linksB = std::find(ids.begin(), ids.end(), idB) != ids.end();
    // Every occurrence: links read from a file may repeat an id.
    if (linksA && !linksB)
      std::replace(ids.begin(), ids.end(), idA, idB);
    else if (linksB && !linksA)
      std::replace(ids.begin(), ids.end(), idB, idA);
  }
  return true;
}

bool CGenericEventList::MoveEventUp(int32_t id) {
  const auto index = IndexOf(id);
  if (!index || *index == 0) return false;
  return SwapWithNext(*index - 1);
}

bool CGenericEventList::MoveEventDown(int32_t id) {
  const auto index = IndexOf(id);
  if (!index || *index + 1 >= elements_.size()) return false;
  return SwapWithNext(*index);
}

void CGenericEventList::LinkBothWays(const CGenericEvent& event) {
  const uint32_t self = AsLink(event.m_id);
  for (const auto& x : elements_) {
    // Every other event, also one of the same id (the stored event when
    // `event` is an edited copy of it).
    if (x.get() == &event) continue;
    const bool linksX = event.HasLinkedId(AsLink(x->m_id));
    if (linksX) {
      x->AddLinkedId(self);
    } else if (!x->m_linkedIds.empty() && event.m_id != 0) {
      RemoveEveryLink(*x, self);
    }
  }
}

void CGenericEventList::RemoveDanglingLinks() {
  std::unordered_set<uint32_t> ids;
  ids.reserve(elements_.size());
  for (const auto& e : elements_) ids.insert(AsLink(e->m_id));
  for (const auto& e : elements_)
    std::erase_if(e->m_linkedIds, [&](uint32_t link) { return !ids.contains(link); });
}

bool CGenericEventList::CheckStartEndLinks(int32_t& badId) const {
  badId = 0;
  for (const auto& e : elements_) {
    if ((e->m_type & (kEventTypeStart | kEventTypeEnd)) != 0 && e->m_linkedIds.empty()) {
      badId = e->m_id;
      return false;
    }
  }
  return true;
}

CGenericEvent* CGenericEventList::FindNextInSequence(int32_t classId,
                                                     int32_t current) const noexcept {
  if (current == 0) return nullptr;
  const int64_t wanted = int64_t{current} + 1;
  CGenericEvent* wrap = nullptr;
  for (const auto& e : elements_) {
    if (e->m_class != classId) continue;
    if (e->m_sequenceNr == wanted) return e.get();
    if (wrap == nullptr && e->m_sequenceNr == 1) wrap = e.get();
  }
  return wrap;
}

bool CGenericEventList::HasAnyAction() const noexcept {
  return std::any_of(elements_.begin(), elements_.end(),
                     [](const auto& e) { return e->m_action != 0; });
}
