#include "database/definitions/hdr_list.h"

#include <algorithm>
#include <cstring>
#include <limits>
#include <new>
#include <span>

#include "database/definitions/hdr_sub_list.h"

namespace {

constexpr std::size_t kNotFound = std::numeric_limits<std::size_t>::max();

bool IsRecId(const sHdrEntry& e, int32_t r) {
  return r >= 1 && e.recId == static_cast<uint32_t>(r);
}

// Word n of the entry becomes `to` when it holds `from`.
void ReplaceWord(sHdrEntry& e, std::size_t n, int32_t from, int32_t to) {
  if (e.WordIs(n, from)) e.SetWord(n, to);
}

int32_t FirstWordOf(const CHdrList& list, int32_t r) {
  const sHdrEntry* e = list.GetEntry(r, 1);
  int32_t word = -1;
  if (e != nullptr) e->GetWord(0, word);
  return word;
}

}  // namespace

CHdrList::CHdrList(const CHdrList& other) { CopyFrom(other); }

CHdrList& CHdrList::operator=(const CHdrList& other) {
  CopyFrom(other);
  return *this;
}

void CHdrList::CopyFrom(const CHdrList& source) {
  if (&source == this) return;
  RemoveAll();
  std::size_t bytes = 0;
  for (const sHdrEntry& e : source) bytes += HdrEntryStore::Aligned(e.payload.size());
  ReserveMore(source.entries_.size());
  uint8_t* block = store_.NewBlock(bytes);
  for (const sHdrEntry& from : source) {
    sHdrEntry* e = store_.New();
    e->recId = from.recId;
    e->link = from.link;
    e->reserved = from.reserved;
    e->flag = from.flag;
    e->filePos = from.filePos;
    const uint32_t size = from.Size();
    if (size > 0) {
      std::memcpy(block, from.payload.data(), size);
      e->payload.Borrow(block, size);
      block += HdrEntryStore::Aligned(size);
    }
    Append(e);
  }
}

// ---- Queries ----------------------------------------------------------------

int32_t CHdrList::CountEntries(int32_t r) const {
  if (r < 1) return 0;
  return static_cast<int32_t>(
      std::count_if(begin(), end(), [r](const sHdrEntry& e) { return IsRecId(e, r); }));
}

int32_t CHdrList::CountEntries2(int32_t a, int32_t b, int32_t& na, int32_t& nb) const {
  na = nb = 0;
  for (const sHdrEntry& e : *this) {
    if (IsRecId(e, a)) {
      ++na;
    } else if (IsRecId(e, b)) {
      ++nb;
    }
  }
  return na + nb;
}

int32_t CHdrList::CountEntries3(int32_t a, int32_t b, int32_t c, int32_t& na, int32_t& nb,
                                int32_t& nc) const {
  na = nb = nc = 0;
  for (const sHdrEntry& e : *this) {
    if (IsRecId(e, a)) {
      ++na;
    } else if (IsRecId(e, b)) {
      ++nb;
    } else if (IsRecId(e, c)) {
      ++nc;
    }
  }
  return na + nb + nc;
}

std::size_t CHdrList::Find(int32_t r, int32_t n) const {
  if (r < 1 || n < 1) return kNotFound;
  for (std::size_t i = 0; i < entries_.size(); ++i) {
    if (IsRecId(*entries_[i], r) && --n == 0) return i;
  }
  return kNotFound;
}

sHdrEntry* CHdrList::GetEntry(int32_t r, int32_t n) {
  std::size_t i = Find(r, n);
  return i == kNotFound ? nullptr : entries_[i];
}

const sHdrEntry* CHdrList::GetEntry(int32_t r, int32_t n) const {
  std::size_t i = Find(r, n);
  return i == kNotFound ? nullptr : entries_[i];
}

uint8_t* CHdrList::GetPayload(int32_t r, int32_t n) {
  sHdrEntry* e = GetEntry(r, n);
  return e == nullptr ? nullptr : e->Data();
}

const uint8_t* CHdrList::GetPayload(int32_t r, int32_t n) const {
  const sHdrEntry* e = GetEntry(r, n);
  return e == nullptr ? nullptr : e->Data();
}

uint8_t* CHdrList::GetPayloadAndLink(int32_t r, int32_t n, int32_t& link) {
  sHdrEntry* e = GetEntry(r, n);
  if (e == nullptr) return nullptr;
  link = e->link;
  return e->Data();
}

int32_t CHdrList::GetLocalGridWord() const { return FirstWordOf(*this, 236); }

int32_t CHdrList::GetProjectionType() const { return FirstWordOf(*this, 16); }

int32_t CHdrList::GetDefaultDatumIndex() const {
  for (const sHdrEntry& e : *this) {
    if (IsRecId(e, 13) && e.WordIs(0, 1)) return 0;
  }
  return -1;
}

// ---- Changes ----------------------------------------------------------------

void CHdrList::SetCache(const sHdrEntry& e) noexcept {
  std::span<const uint8_t> payload(e.payload);
  if (e.recId == static_cast<uint32_t>(kRecIdGpsUtcOffset)) {
    float offset = 0.0f;
    if (zor::platform::GetLE(payload, 0, offset)) gpsUtcOffset_ = offset;
  } else if (e.recId == static_cast<uint32_t>(kRecIdSurveyUnit)) {
    double factor = 0.0;
    if (zor::platform::GetLE(payload, 40, factor)) surveyUnitFactor_ = factor;
  }
}

void CHdrList::TruncateTo(std::size_t n) noexcept {
  for (std::size_t i = n; i < entries_.size(); ++i) store_.Release(entries_[i]);
  if (n < entries_.size()) entries_.resize(n);
}

uint8_t* CHdrList::AddEntry(int32_t r, uint32_t size, const void* data, int32_t link) {
  HdrPayload payload;
  if (data == nullptr) {
    payload.assign(size, 0);
  } else {
    const auto* bytes = static_cast<const uint8_t*>(data);
    payload.assign(bytes, bytes + size);
  }
  sHdrEntry* entry = NewEntry();
  entry->recId = static_cast<uint32_t>(r);
  entry->link = link;
  entry->payload = std::move(payload);
  if (data == nullptr) {
    // A zeroed payload would otherwise reset a cached offset to 0.0.
    entries_.push_back(entry);
    return entry->Data();
  }
  return Append(entry).Data();
}

bool CHdrList::RemoveEntry(int32_t r, int32_t n) {
  std::size_t i = Find(r, n);
  if (i == kNotFound) return false;
  store_.Release(entries_[i]);
  entries_.erase(entries_.begin() + static_cast<std::ptrdiff_t>(i));
  return true;
}

void CHdrList::RemoveEntries(int32_t r, int32_t key) {
  if (r < 1) return;
  std::erase_if(entries_, [this, r, key](sHdrEntry* p) {
    const sHdrEntry& e = *p;
    if (!IsRecId(e, r)) return false;
    bool remove = true;
    switch (r) {
      case 210:
        remove = e.WordIs(1, key);
        break;
      case 269:
      case 270:
        remove = e.WordIs(0, key);
        break;
      default:
        break;
    }
    if (remove) store_.Release(p);
    return remove;
  });
}

bool CHdrList::SyncFromSubList(const CHdrSubList& sub, int32_t r, uint32_t size) {
  if (r < 1) return false;
  std::size_t have = static_cast<std::size_t>(CountEntries(r));
  const std::size_t want = sub.GetCount();
  for (; have > want; --have) RemoveEntry(r, 1);
  try {
    for (; have < want; ++have) {
      HdrPayload payload;
      payload.assign(size, 0);
      sHdrEntry* entry = NewEntry();
      entry->recId = static_cast<uint32_t>(r);
      entry->payload = std::move(payload);
      entries_.push_back(entry);
    }
  } catch (const std::bad_alloc&) {
    return false;
  }

  std::size_t i = 0;
  for (sHdrEntry& e : *this) {
    if (!IsRecId(e, r)) continue;
    const CHdrSubList::Element& src = sub[i++];
    const std::size_t n = std::min<std::size_t>(size, e.payload.size());
    const std::size_t copied = std::min(n, src.size());
    if (copied > 0) std::memcpy(e.payload.data(), src.data(), copied);
    if (n > copied) std::memset(e.payload.data() + copied, 0, n - copied);
    ApplyCacheRule(e);
  }
  return true;
}

bool CHdrList::SyncFromSubListEither(const CHdrSubList& sub, int32_t oldR, int32_t newR,
                                     uint32_t size) {
  return SyncFromSubList(sub, CountEntries(newR) > 0 ? newR : oldR, size);
}

void CHdrList::RenumberDatumId(int32_t oldId, int32_t newId) {
  // Index forms wrap as the stored 32-bit words would.
  const auto oldIndex = static_cast<int32_t>(static_cast<uint32_t>(oldId) - 1u);
  const auto newIndex = static_cast<int32_t>(static_cast<uint32_t>(newId) - 1u);
  for (sHdrEntry& e : *this) {
    switch (e.recId) {
      case 13:
        ReplaceWord(e, 0, oldId, newId);
        break;
      case 71:
        ReplaceWord(e, 4, oldId, newId);
        break;
      case 188:
      case 206:
      case 246:
      case 247:
        ReplaceWord(e, 0, oldId, newId);
        ReplaceWord(e, 1, oldId, newId);
        break;
      case 200:
        ReplaceWord(e, 5, oldId, newId);
        break;
      case 204:
      case 258:
        for (std::size_t w : {8, 9, 77}) ReplaceWord(e, w, oldIndex, newIndex);
        break;
      case 205:
        for (std::size_t w : {4, 5, 73}) ReplaceWord(e, w, oldIndex, newIndex);
        break;
      default:
        break;
    }
  }
}

void CHdrList::RenumberSystemId(int32_t oldId, int32_t newId) {
  for (sHdrEntry& e : *this) {
    switch (e.recId) {
      case 71:
      case 72:
      case 73:
      case 130:
      case 205:
        ReplaceWord(e, 0, oldId, newId);
        break;
      case 258:
        ReplaceWord(e, 2, oldId, newId);
        break;
      default:
        break;
    }
  }
}
