// The definitions of user events a survey can log: event classes and events,
// and the lists that keep their ids, sequence numbers and links consistent.
//
//   CGenericEventClassList classes;
//   auto* cls = classes.AddClass(std::make_unique<CGenericEventClass>());
//   cls->m_id = 1;
//   cls->m_sequential = true;
//
//   CGenericEventList events;
//   CGenericEvent* e = events.AddEvent(std::make_unique<CGenericEvent>());
//   e->m_class = 1;
//   e->m_type = kEventTypeStart;
//   e->AddLinkedId(2);
//   events.RenumberEvents();               // ids 1..n, links follow
//   events.RenumberSequences(classes);     // 1, 2, 3 ... per sequential class
//   events.LinkBothWays(*e);
//
// Driver-definition files carry them in sections "Class %d" and "Event %d"
// (kGenericEventSectionFormat) with the keys below; the driver-definition
// reader reads and writes those sections and uses these classes to hold them.
//
// A list owns its elements and counts every element added to it; RemoveAll
// frees the elements and keeps the count. Look-ups by id return the first
// match in list order. One thread uses a list at a time.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include <boost/iterator/indirect_iterator.hpp>

// ---- Driver-definition sections --------------------------------------------------

inline constexpr char kGenericEventSectionFormat[] = "%s %d";
inline constexpr char kGenericEventClassSection[] = "Class";
inline constexpr char kGenericEventSection[] = "Event";
// Keys of a class section.
inline constexpr char kGenericEventClassKeyId[] = "Id";
inline constexpr char kGenericEventClassKeySequential[] = "Sequential";
inline constexpr char kGenericEventClassKeyCode[] = "Code";
inline constexpr char kGenericEventClassKeyName[] = "Name";
inline constexpr char kGenericEventClassKeyIcon[] = "Icon";
// Keys of an event section; linked ids are numbered from 1.
inline constexpr char kGenericEventKeyId[] = "Id";
inline constexpr char kGenericEventKeyClass[] = "Class";
inline constexpr char kGenericEventKeyEventCode[] = "EventCode";
inline constexpr char kGenericEventKeyAbbreviation[] = "Abbreviation";
inline constexpr char kGenericEventKeyDescription[] = "Description";
inline constexpr char kGenericEventKeyIcon[] = "Icon";
inline constexpr char kGenericEventKeyType[] = "Type";
inline constexpr char kGenericEventKeyAction[] = "Action";
inline constexpr char kGenericEventKeySequenceNr[] = "SequenceNr";
inline constexpr char kGenericEventKeyLinkedCount[] = "NumberOfLinkedEvents";
inline constexpr char kGenericEventKeyLinkedIdFormat[] = "LinkedId %d";

// ---- Event type flags ----------------------------------------------------------------

inline constexpr uint32_t kEventTypeC = 1u << 0;
inline constexpr uint32_t kEventTypeStart = 1u << 1;  // "S"
inline constexpr uint32_t kEventTypeEnd = 1u << 2;    // "E"
inline constexpr uint32_t kEventTypeLN = 1u << 3;
inline constexpr uint32_t kEventTypeW = 1u << 4;
inline constexpr uint32_t kEventTypeH = 1u << 5;
inline constexpr uint32_t kEventTypeLC = 1u << 6;

// ---- Records ----------------------------------------------------------------------------

class CGenericEventClass {
 public:
  CGenericEventClass() = default;
  CGenericEventClass(const CGenericEventClass& other) { CopyFrom(other); }
  CGenericEventClass& operator=(const CGenericEventClass& other) { return CopyFrom(other); }

  CGenericEventClass& CopyFrom(const CGenericEventClass& other);
  // Back to the defaults.
  void Reset() { *this = CGenericEventClass(); }

  int32_t m_id = -1;
  bool m_sequential = false;  // the class's events are numbered in sequence
  std::string m_code;
  std::string m_name;
  std::string m_icon;
};

class CGenericEvent {
 public:
  CGenericEvent() = default;
  CGenericEvent(const CGenericEvent& other) { CopyFrom(other); }
  CGenericEvent& operator=(const CGenericEvent& other) { return CopyFrom(other); }

  // Every field; copying onto itself changes nothing.
  CGenericEvent& CopyFrom(const CGenericEvent& other);
  // Back to the defaults, the linked ids freed.
  void Reset();

  bool HasLinkedId(uint32_t id) const;
  // Appends the id unless it is linked already.
  void AddLinkedId(uint32_t id);
  // Removes the first occurrence; the later ids move up.
  void RemoveLinkedId(uint32_t id);

  // True for any of "C", "W", "H", "LC", or "LN" without "E".
  bool IsTypeInFixedSet() const;
  // The names of the set type bits in bit order, separated by commas
  // ("S,LN"); "None" for no bit.
  std::string GetTypeText() const;

  int32_t m_id = -1;     // 1..n once the list is renumbered
  int32_t m_class = -1;  // id of its CGenericEventClass
  std::string m_eventCode;
  std::string m_abbreviation;
  std::string m_description;
  std::string m_icon;
  uint32_t m_type = 0;   // kEventType* flags
  int32_t m_action = 0;
  int32_t m_sequenceNr = 0;  // within a sequential class; else 0
  std::vector<uint32_t> m_linkedIds;  // no duplicates
};

// ---- Lists --------------------------------------------------------------------------------

// What both lists share: owned elements in order and the count of additions.
template <typename Element>
class GenericEventListBase {
  using Storage = std::vector<std::unique_ptr<Element>>;

 public:
  using const_iterator = boost::indirect_iterator<typename Storage::const_iterator, Element>;

  GenericEventListBase() = default;
  GenericEventListBase(const GenericEventListBase&) = delete;
  GenericEventListBase& operator=(const GenericEventListBase&) = delete;

  std::size_t GetCount() const noexcept { return elements_.size(); }
  bool IsEmpty() const noexcept { return elements_.empty(); }
  // The element at a 0-based position, or null.
  Element* GetAt(std::size_t index) const noexcept {
    return index < elements_.size() ? elements_[index].get() : nullptr;
  }
  // Elements added since construction (CopyFrom takes the source's count).
  uint32_t GetAddedCount() const noexcept { return added_; }

  // Frees every element; the count of additions stays.
  void RemoveAll() noexcept { elements_.clear(); }

  const_iterator begin() const noexcept { return const_iterator(elements_.begin()); }
  const_iterator end() const noexcept { return const_iterator(elements_.end()); }

 protected:
  ~GenericEventListBase() = default;

  // Appends and counts; null is ignored.
  Element* Add(std::unique_ptr<Element> element) {
    if (!element) return nullptr;
    elements_.push_back(std::move(element));
    ++added_;
    return elements_.back().get();
  }
  // Takes the source's count and appends a copy of each of its elements;
  // nothing when the source is this list.
  void AppendCopies(const GenericEventListBase& source) {
    if (&source == this) return;
    added_ = source.added_;
    elements_.reserve(elements_.size() + source.elements_.size());
    for (const auto& e : source.elements_) elements_.push_back(std::make_unique<Element>(*e));
  }
  // 0-based position of the first element with the id.
  std::optional<std::size_t> IndexOf(int32_t id) const noexcept {
    for (std::size_t i = 0; i < elements_.size(); ++i)
      if (elements_[i]->m_id == id) return i;
    return std::nullopt;
  }

  Storage elements_;
  uint32_t added_ = 0;
};

class CGenericEventClassList : public GenericEventListBase<CGenericEventClass> {
 public:
  // Appends and counts the class; returns it (null for null).
  CGenericEventClass* AddClass(std::unique_ptr<CGenericEventClass> cls) {
    return Add(std::move(cls));
  }
  // Takes the other's count and appends copies of its classes; the list is
  // not emptied first.
  void CopyFrom(const CGenericEventClassList& other) { AppendCopies(other); }

  bool HasClass(int32_t id) const noexcept { return IndexOf(id).has_value(); }
  CGenericEventClass* FindClass(int32_t id) const noexcept;
  // Frees and removes the first class with the id.
  bool RemoveClass(int32_t id);
};

class CGenericEventList : public GenericEventListBase<CGenericEvent> {
 public:
  // Appends and counts the event; returns it (null for null).
  CGenericEvent* AddEvent(std::unique_ptr<CGenericEvent> event) { return Add(std::move(event)); }
  // Takes the other's count and appends copies of its events; the list is
  // not emptied first.
  void CopyFrom(const CGenericEventList& other) { AppendCopies(other); }

  bool HasEvent(int32_t id) const noexcept { return IndexOf(id).has_value(); }
  CGenericEvent* FindEvent(int32_t id) const noexcept;
  // 0-based position of the first event with the id.
  std::optional<std::size_t> FindEventPosition(int32_t id) const noexcept { return IndexOf(id); }

  // Frees and removes the first event with the id, drops the links to it
  // that no other event answers, then renumbers (also when the id is not
  // found, which gives false).
  bool RemoveEvent(int32_t id);

  // Ids 1, 2, 3 ... in list order; every link follows the event it named (a
  // duplicated id names its first event). A link that names no event is
  // dropped when its id is one of the new ids 1..n (it would otherwise name
  // another event), and stays as it is otherwise; an event never links an id
  // twice.
  void RenumberEvents();
  // For each class of the list: its events in list order get 1, 2, 3 ...
  // when the class is sequential, else 0. Events of unlisted classes keep
  // their numbers.
  void RenumberSequences(const CGenericEventClassList& classes);

  // Exchanges the first event with the id with its neighbour, and their
  // ids, so ids stay in list order; links naming one of the two ids follow.
  // False when the id is missing or the event is already first / last.
  bool MoveEventUp(int32_t id);
  bool MoveEventDown(int32_t id);

  // Makes every other event of the list link `event` exactly when `event`
  // links it. `event` may be an edited copy of a list element: that element
  // is another event like any, and links the copy's id exactly when the copy
  // links its own.
  void LinkBothWays(const CGenericEvent& event);
  // Removes every linked id that names no event of the list.
  void RemoveDanglingLinks();
  // The first event of type "S" or "E" without links: false with badId set
  // to its id; true with badId 0 when there is none.
  bool CheckStartEndLinks(int32_t& badId) const;
  // The first event of the class whose sequence number follows `current`,
  // else the class's first number 1 (the sequence wraps); null for a current
  // number of 0 or when neither exists.
  CGenericEvent* FindNextInSequence(int32_t classId, int32_t current) const noexcept;
  // True when some event has an action.
  bool HasAnyAction() const noexcept;

 private:
  bool SwapWithNext(std::size_t index);
};
