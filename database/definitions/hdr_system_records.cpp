// The header records that belong to a system definition.
#include <algorithm>
#include <cstring>
#include <initializer_list>

#include "database/catalogue/chart_datum_part.h"
#include "database/catalogue/definition_records.h"
#include "database/definitions/hdr_accessors.h"
#include "database/definitions/hdr_list.h"
#include "database/definitions/hdr_payload.h"

namespace {

using hdr_payload::Word;

// System types whose records live in the header list.
constexpr int32_t kSysSinglebeam = 1;
constexpr int32_t kSysUsbl = 2;
constexpr int32_t kSysPrh = 3;
constexpr int32_t kSysPositionNavigation = 12;
constexpr int32_t kSysMultibeam = 20;
constexpr int32_t kSysMultitransducer = 26;
constexpr int32_t kSysSidescan = 27;
constexpr int32_t kSysSinglebeamDual = 35;

// Where the 576-byte height reference part starts in the GNSS positions.
constexpr std::size_t kHeightPartAt205 = 16;
constexpr std::size_t kHeightPartAt258 = 32;

template <typename Pred>
const sHdrEntry* First(const CHdrList& list, int32_t recId, Pred pred) {
  for (const sHdrEntry& e : list) {
    if (hdr_payload::Is(e, recId) && pred(e)) return &e;
  }
  return nullptr;
}

// Words first.. of the entry equal the values.
bool WordsAre(const sHdrEntry& e, std::size_t first, std::initializer_list<int32_t> values) {
  for (int32_t v : values) {
    if (!e.WordIs(first++, v)) return false;
  }
  return true;
}

const sHdrEntry* Gnss258(const CHdrList& list, const sSysDef& sys) {
  return First(list, 258, [&](const sHdrEntry& e) {
    return WordsAre(e, 2, {sys.link1, sys.link2, sys.link3});
  });
}

const sHdrEntry* Gnss205(const CHdrList& list, const sSysDef& sys) {
  return First(list, 205, [&](const sHdrEntry& e) {
    return WordsAre(e, 0, {sys.link1, sys.link2, sys.link3});
  });
}

int32_t DataRecIdOf258(const sHdrEntry& e) {
  const int32_t w0 = Word(e, 0);
  return w0 >= 1 ? 259 : (w0 == 0 ? 165 : 98);
}

void SetOut(int32_t* out, int32_t value) {
  if (out != nullptr) *out = value;
}

// Data RecId `low` when word 0 is below 1, else `high`.
int32_t ByWord0(const sHdrEntry& e, int32_t low, int32_t high) {
  return Word(e, 0) < 1 ? low : high;
}

// The RecId 260 record that carries the data of a RecId 202 USBL system.
const sHdrEntry* Usbl260Of(const CHdrList& list, const sHdrEntry& system202) {
  int32_t a = 0, b = 0;
  if (!system202.GetWord(0, a) || !system202.GetWord(1, b)) return nullptr;
  return First(list, 260, [&](const sHdrEntry& e) { return WordsAre(e, 1, {a, b}); });
}

int32_t UsblSystemDataRecId(const CHdrList& list, const sHdrEntry& system202) {
  const sHdrEntry* usbl = Usbl260Of(list, system202);
  return usbl != nullptr ? ByWord0(*usbl, 86, 261) : 86;
}

const sHdrEntry* KeyedByLinks12(const CHdrList& list, int32_t recId, std::size_t first,
                                const sSysDef& sys) {
  return First(list, recId, [&](const sHdrEntry& e) {
    return WordsAre(e, first, {sys.link1, sys.link2});
  });
}

bool CopyPart(std::array<uint8_t, 576>& out, const sHdrEntry& e, std::size_t at) {
  out.fill(0);
  if (e.payload.size() <= at) return true;
  std::memcpy(out.data(), e.payload.data() + at, std::min(out.size(), e.payload.size() - at));
  return true;
}

}  // namespace

sHdrEntry* CHdrList::FindSystemGnssPosition(const sSysDef& sys, int32_t* dataRecId) {
  SetOut(dataRecId, 0);
  if (sys.type != kSysPositionNavigation) return nullptr;
  if (sHdrEntry* e = GetSystemGnssPosition(sys, dataRecId)) return e;
  const sHdrEntry* e = Gnss205(*this, sys);
  if (e == nullptr) return nullptr;
  SetOut(dataRecId, 165);
  return const_cast<sHdrEntry*>(e);
}

sHdrEntry* CHdrList::GetSystemGnssPosition(const sSysDef& sys, int32_t* dataRecId) {
  SetOut(dataRecId, 0);
  if (sys.type != kSysPositionNavigation) return nullptr;
  auto* e = const_cast<sHdrEntry*>(Gnss258(*this, sys));
  if (e == nullptr) return nullptr;
  e->SetWord(1, sys.id);
  SetOut(dataRecId, DataRecIdOf258(*e));
  return e;
}

const sHdrEntry* CHdrList::FindSystemUsbl(const sSysDef& sys, int32_t* dataRecId) const {
  SetOut(dataRecId, 0);
  if (sys.type != kSysUsbl) return nullptr;
  if (const sHdrEntry* e = KeyedByLinks12(*this, 260, 1, sys)) {
    SetOut(dataRecId, ByWord0(*e, 86, 261));
    return e;
  }
  const sHdrEntry* e = KeyedByLinks12(*this, 128, 0, sys);
  if (e != nullptr) SetOut(dataRecId, 86);
  return e;
}

int32_t CHdrList::FindSystemUsblSystem(const sSysDef& sys, const sHdrEntry** system202,
                                       const sHdrEntry** system195, int32_t* dataRecId) const {
  if (system202 != nullptr) *system202 = nullptr;
  if (system195 != nullptr) *system195 = nullptr;
  SetOut(dataRecId, 0);
  if (sys.type != kSysUsbl) return 0;
  const sHdrEntry* a = KeyedByLinks12(*this, 202, 0, sys);
  const sHdrEntry* b = KeyedByLinks12(*this, 195, 0, sys);
  if (a == nullptr || b == nullptr) return 0;
  if (system202 != nullptr) *system202 = a;
  if (system195 != nullptr) *system195 = b;
  const sHdrEntry* usbl = Usbl260Of(*this, *a);
  SetOut(dataRecId, usbl != nullptr ? ByWord0(*usbl, 86, 261) : 86);
  return usbl != nullptr ? 260 : 128;
}

const sHdrEntry* CHdrList::GetSystemUsblSystem(const sSysDef& sys, int32_t* dataRecId) const {
  SetOut(dataRecId, 0);
  if (sys.type != kSysUsbl) return nullptr;
  const sHdrEntry* e = KeyedByLinks12(*this, 202, 0, sys);
  if (e != nullptr) SetOut(dataRecId, UsblSystemDataRecId(*this, *e));
  return e;
}

const sHdrEntry* CHdrList::GetSystemOldUsblSystem(const sSysDef& sys, int32_t* dataRecId) const {
  SetOut(dataRecId, 0);
  if (sys.type != kSysUsbl) return nullptr;
  const sHdrEntry* e = KeyedByLinks12(*this, 195, 0, sys);
  if (e != nullptr) SetOut(dataRecId, UsblSystemDataRecId(*this, *e));
  return e;
}

const sHdrEntry* CHdrList::GetSystemPrh(const sSysDef& sys, int32_t* dataRecId) const {
  SetOut(dataRecId, 0);
  if (sys.type != kSysPrh) return nullptr;
  const sHdrEntry* e = KeyedByLinks12(*this, 226, 1, sys);
  if (e != nullptr) SetOut(dataRecId, ByWord0(*e, 87, 227));
  return e;
}

const sHdrEntry* CHdrList::GetSystemSinglebeam(const sSysDef& sys, int32_t* dataRecId) const {
  SetOut(dataRecId, 0);
  if (sys.type != kSysSinglebeam && sys.type != kSysSinglebeamDual) return nullptr;
  const sHdrEntry* e = KeyedByLinks12(*this, 219, 1, sys);
  if (e != nullptr) SetOut(dataRecId, ByWord0(*e, 85, 222));
  return e;
}

const sHdrEntry* CHdrList::GetSystemMultibeam(const sSysDef& sys, int32_t* dataRecId) const {
  SetOut(dataRecId, 0);
  if (sys.type != kSysMultibeam) return nullptr;
  const sHdrEntry* e = First(*this, 220, [&](const sHdrEntry& r) { return r.WordIs(1, sys.id); });
  if (e != nullptr) SetOut(dataRecId, Word(*e, 0) != 0 ? 223 : 145);
  return e;
}

const sHdrEntry* CHdrList::GetSystemMultitransducer(const sSysDef& sys, int32_t* dataRecId) const {
  SetOut(dataRecId, 0);
  if (sys.type != kSysMultitransducer) return nullptr;
  const sHdrEntry* e = First(*this, 221, [&](const sHdrEntry& r) { return r.WordIs(1, sys.id); });
  if (e != nullptr) SetOut(dataRecId, Word(*e, 0) != 0 ? 224 : 172);
  return e;
}

const sHdrEntry* CHdrList::GetSystemSidescan(const sSysDef& sys, int32_t* dataRecId) const {
  SetOut(dataRecId, 0);
  if (sys.type != kSysSidescan) return nullptr;
  const sHdrEntry* e = First(*this, 173, [&](const sHdrEntry& r) { return r.WordIs(0, sys.id); });
  if (e != nullptr) SetOut(dataRecId, 175);
  return e;
}

bool CHdrList::GetSystemHeightReference(std::array<uint8_t, 576>& out, const sSysDef& sys) const {
  static_assert(sizeof out == kChartDatumPartSize);
  out.fill(0);
  if (sys.type != kSysPositionNavigation) return false;
  if (const sHdrEntry* e = Gnss258(*this, sys)) return CopyPart(out, *e, kHeightPartAt258);
  if (const sHdrEntry* e = Gnss205(*this, sys)) return CopyPart(out, *e, kHeightPartAt205);
  return false;
}

const sHdrEntry* CHdrList::GetRawDataRecord(const sSysDef& sys) const {
  return KeyedByLinks12(*this, 234, 1, sys);
}

const sHdrEntry* CHdrList::GetRawDataRecordByKey(std::span<const uint8_t> record) const {
  int32_t a = 0, b = 0;
  if (!zor::platform::GetLE(record, 4, a) || !zor::platform::GetLE(record, 8, b)) return nullptr;
  return First(*this, 234, [&](const sHdrEntry& e) { return WordsAre(e, 1, {a, b}); });
}

const sHdrEntry* CHdrList::GetSinglebeamByKey(std::span<const uint8_t> record) const {
  int32_t a = 0, b = 0;
  if (!zor::platform::GetLE(record, 4, a) || !zor::platform::GetLE(record, 8, b)) return nullptr;
  return First(*this, 219, [&](const sHdrEntry& e) { return WordsAre(e, 1, {a, b}); });
}

bool CHdrList::GetHeightReference(std::array<uint8_t, 576>& out, int32_t id, int32_t key) const {
  out.fill(0);
  id = ReduceNodeNumber(id);
  if (CountEntries(258) == 0) {
    const sHdrEntry* e = First(*this, 205, [&](const sHdrEntry& r) {
      return r.WordIs(1, id) && (key == -1 || r.WordIs(2, key));
    });
    return e != nullptr && CopyPart(out, *e, kHeightPartAt205);
  }
  const sHdrEntry* e =
      First(*this, 258, [&](const sHdrEntry& r) { return r.WordIs(3, id) && r.WordIs(4, key); });
  return e != nullptr && CopyPart(out, *e, kHeightPartAt258);
}

bool CHdrList::GetChartDatumPart(std::array<uint8_t, 576>& out, bool second) const {
  out.fill(0);
  const sHdrEntry* e = GetEntry(228, 1);
  return e != nullptr && CopyPart(out, *e, kChartDatumPartAt[second ? 1 : 0]);
}

double CHdrList::GetSwathSystemSetting(int32_t systemId, double fallback) const {
  using hdr_payload::Get;
  if (const sHdrEntry* e =
          First(*this, 220, [&](const sHdrEntry& r) { return r.WordIs(1, systemId); }))
    return Word(*e, 19) != 0 ? Get<float>(e->payload, 80) : fallback;
  if (const sHdrEntry* e =
          First(*this, 221, [&](const sHdrEntry& r) { return r.WordIs(1, systemId); }))
    return Word(*e, 17) != 0 ? Get<double>(e->payload, 72) : fallback;
  if (const sHdrEntry* e =
          First(*this, 173, [&](const sHdrEntry& r) { return r.WordIs(0, systemId); }))
    return Word(*e, 2) != 0 ? Get<float>(e->payload, 12) : fallback;
  return fallback;
}
