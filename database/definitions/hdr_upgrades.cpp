#include "database/definitions/hdr_upgrades.h"

#include <algorithm>
#include <cstring>
#include <memory>
#include <span>
#include <string>
#include <unordered_set>
#include <vector>

#include "core/text/string_helpers.h"
#include "database/catalogue/chart_datum_part.h"
#include "database/catalogue/record_type_size.h"
#include "database/definitions/hdr_accessors.h"
#include "database/definitions/hdr_list.h"
#include "database/definitions/hdr_payload.h"
#include "database/definitions/shape_points.h"
#include "database/types/obs_defaults.h"
#include "geodesy/quantity_units.h"
#include "platform/unit_library.h"

namespace {

using Bytes = std::vector<uint8_t>;
using Old = std::span<const uint8_t>;
using hdr_payload::Get;
using hdr_payload::IsWhole;

int32_t W(Old p, std::size_t n) { return hdr_payload::Word(p, n); }

// A new record, zero-filled; every write is bounded by the record and every
// read by the old payload.
class Rec {
 public:
  explicit Rec(std::size_t size) : bytes_(size, 0) {}

  Rec& Word(std::size_t at, int32_t value) { return Put(at, value); }
  template <typename T>
  Rec& Put(std::size_t at, T value) {
    hdr_payload::Put(std::span<uint8_t>(bytes_), at, value);
    return *this;
  }
  // n bytes of the old payload from `from` to `to`.
  Rec& Copy(std::size_t to, Old old, std::size_t from, std::size_t n) {
    if (from >= old.size() || to >= bytes_.size()) return *this;
    n = std::min({n, old.size() - from, bytes_.size() - to});
    std::memcpy(bytes_.data() + to, old.data() + from, n);
    return *this;
  }
  // Up to `chars` characters of old text into a field of chars + 1 bytes.
  Rec& Text(std::size_t to, Old old, std::size_t from, std::size_t chars) {
    return SetText(to, chars + 1, zor::platform::GetText(old, from, chars));
  }
  Rec& SetText(std::size_t to, std::size_t width, std::string_view text) {
    zor::platform::SetText(std::span<uint8_t>(bytes_), to, width, text);
    return *this;
  }
  // A 576-byte height reference part (the reduction record) at `at`.
  Rec& Part(std::size_t at, int32_t kind, int32_t code, double value1, double value2) {
    if (at + kChartDatumPartSize <= bytes_.size()) {
      InitChartDatumPart(std::span<uint8_t>(bytes_).subspan(at, kChartDatumPartSize), kind, code,
                         value1, value2);
    }
    return *this;
  }

  std::span<uint8_t> span() { return bytes_; }
  Bytes& bytes() { return bytes_; }

 private:
  Bytes bytes_;
};

struct Added {
  int32_t recId;
  Bytes payload;
  int32_t link;
};

void AppendAll(CHdrList& list, std::vector<Added>& added) {
  for (Added& a : added) {
    list.AddEntry(a.recId, static_cast<uint32_t>(a.payload.size()), a.payload.data(), a.link);
  }
  added.clear();
}

// The entries of recId whose payload holds the old layout, in list order.
std::vector<const sHdrEntry*> Olds(const CHdrList& list, int32_t recId, std::size_t size) {
  std::vector<const sHdrEntry*> out;
  for (const sHdrEntry& e : list) {
    if (hdr_payload::Is(e, recId) && e.payload.size() >= size) out.push_back(&e);
  }
  return out;
}

// Removes the entries of recId that Olds gives; shorter ones stay in place.
void RemoveOlds(CHdrList& list, int32_t recId, std::size_t size) {
  std::vector<int32_t> positions;
  int32_t n = 0;
  for (const sHdrEntry& e : list) {
    if (!hdr_payload::Is(e, recId)) continue;
    ++n;
    if (e.payload.size() >= size) positions.push_back(n);
  }
  if (static_cast<int32_t>(positions.size()) == n) {
    list.RemoveEntries(recId, 0);
    return;
  }
  for (auto it = positions.rbegin(); it != positions.rend(); ++it) list.RemoveEntry(recId, *it);
}

// Converts every old entry of recId with `build`, removes them and appends
// the new records. Returns whether some converted entry carried a word.
template <typename Build>
bool ConvertAll(CHdrList& list, int32_t recId, std::size_t oldSize, Build build) {
  std::vector<Added> added;
  bool anyWord = false;
  for (const sHdrEntry* e : Olds(list, recId, oldSize)) {
    anyWord = anyWord || e->link != -1;
    added.push_back(build(*e, Old(e->payload)));
  }
  RemoveOlds(list, recId, oldSize);
  AppendAll(list, added);
  return anyWord;
}

// When no converted entry carried a word, the records of the new RecId
// whose entry has none are marked as logged in the current form.
void FixUpWords(CHdrList& list, int32_t newRecId, bool anyWord) {
  if (anyWord) return;
  for (sHdrEntry& e : list) {
    if (IsWhole(e, newRecId) && e.link == -1) e.SetWord(0, 1);
  }
}

float Precision(int type, int quantity) {
  return GetDefaultObsPrecisionInUnits(type, quantity, 0.0);
}

// old - 4 when that is 1 or more, else 0, without overflow.
int32_t GnssKind(int32_t w0) { return w0 >= 5 ? w0 - 4 : 0; }

// The id (word 0) of the object's variable node at the position, or of the
// object's first variable node without one; 0 when there is none.
int32_t NodeId(const CHdrList& list, int32_t objectId, const float* xyz) {
  for (const sHdrEntry& e : list) {
    if (!IsWhole(e, 201) || !e.WordIs(7, objectId)) continue;
    const Old p(e.payload);
    if (xyz == nullptr ||
        (Get<float>(p, 32) == xyz[0] && Get<float>(p, 36) == xyz[1] && Get<float>(p, 40) == xyz[2]))
      return W(p, 0);
  }
  return 0;
}

// The whole variable node (RecId 201) numbered `number` (taken modulo
// 10000 from 10000 on), or null.
sHdrEntry* VariableNodeByNumber(CHdrList& list, int32_t number) {
  const int32_t wanted = ReduceNodeNumber(number);
  for (sHdrEntry& e : list) {
    if (IsWhole(e, 201) && e.WordIs(1, wanted)) return &e;
  }
  return nullptr;
}

void Floats(Old p, std::size_t at, float out[3]) {
  for (int i = 0; i < 3; ++i) out[i] = Get<float>(p, at + 4 * static_cast<std::size_t>(i));
}

// ---- Objects (steps 2, 4, 5, 6) ------------------------------------------------

struct ObjectLayout {
  int32_t oldRecId;
  std::size_t oldSize;
  int32_t newRecId;
  std::size_t newSize;
  std::size_t countAt;  // the last of the words from 40; points follow it
};

void UpgradeObjectRecords(CHdrList& list, const ObjectLayout& l) {
  ConvertAll(list, l.oldRecId, l.oldSize, [&](const sHdrEntry&, Old old) {
    Rec r(l.newSize);
    r.Copy(0, old, 0, 4).Text(4, old, 4, 35).Copy(40, old, 40, l.countAt + 4 - 40);
    const std::size_t pointsAt = l.countAt + 4;
    const int32_t stored = W(old, l.countAt / 4);
    const std::size_t room = std::min((l.oldSize - pointsAt) / sizeof(sShapePoint),
                                      (l.newSize - pointsAt) / sizeof(sShapePoint));
    const std::size_t count =
        std::min(stored < 0 ? std::size_t{0} : static_cast<std::size_t>(stored), room);
    r.Word(l.countAt, static_cast<int32_t>(count));
    r.Copy(pointsAt, old, pointsAt, count * sizeof(sShapePoint));
    return Added{l.newRecId, std::move(r.bytes()), -1};
  });
}

// ---- GNSS positions ------------------------------------------------------------

// A RecId 205 record from the first 16 bytes of an old GNSS position and
// its name; the caller fills positions, precisions and the reduction part.
Rec NewGnss205(Old old, std::size_t nameAt) {
  Rec r(664);
  r.Copy(0, old, 0, 16).Text(616, old, nameAt, 36);
  return r;
}

void DefaultGnssPrecisions(Rec& r, std::size_t at, int quantity) {
  for (int i = 0; i < 3; ++i) {
    r.Put(at + 4 * static_cast<std::size_t>(i), Precision(30 + i, quantity));
  }
}

// ---- Records keyed by a system id (steps 25, 26, 27) ---------------------------

std::unordered_set<int32_t> KnownIds(const CHdrList& list, int32_t recId) {
  std::unordered_set<int32_t> ids;
  for (const sHdrEntry& e : list) {
    int32_t id = 0;
    if (IsWhole(e, recId) && e.GetWord(1, id)) ids.insert(id);
  }
  return ids;
}

void UpgradeLoggedIds(CHdrList& list, int32_t oldRecId, int32_t newRecId) {
  for (sHdrEntry& e : list) {
    if (IsWhole(e, newRecId) && e.WordIs(0, 0) && e.link == -1) e.SetWord(0, 1);
  }
  // The ids known before the step: every old entry of another id becomes a
  // record, a second one of the same id too, so that its word is not lost.
  const std::unordered_set<int32_t> known = KnownIds(list, newRecId);
  std::vector<Added> added;
  for (const sHdrEntry* e : Olds(list, oldRecId, 4)) {
    const int32_t id = W(e->payload, 0);
    if (known.count(id) != 0) continue;
    Rec r(88);
    r.Word(0, e->link == -1 ? 1 : 0).Word(4, id);
    added.push_back({newRecId, std::move(r.bytes()), e->link});
  }
  RemoveOlds(list, oldRecId, 4);
  AppendAll(list, added);
}

// ---- Dredging (step 28) --------------------------------------------------------

// RecId 208: the system's name after its two key words.
constexpr std::size_t kDredgingNameAt = 8;
constexpr std::size_t kDredgingNameWidth = 32;

// The reference point of the variable node numbered `number`: its id, or
// false when the node is not there. The reference point, when there is one,
// is marked as a dredging system (type 12).
bool DredgingSystem(CHdrList& list, int32_t number, int32_t& id) {
  const sHdrEntry* node = VariableNodeByNumber(list, number);
  if (node == nullptr) return false;
  id = hdr_payload::Word(*node, 0);
  for (sHdrEntry& point : list) {
    if (!IsWhole(point, 197) || !point.WordIs(0, id)) continue;
    if (!point.WordIs(1, 12)) point.SetWord(1, 12);
    break;
  }
  return true;
}

}  // namespace

void UpgradeHdrLineNames(CHdrList& list) {
  ConvertAll(list, 1, 56, [](const sHdrEntry&, Old old) {
    Rec r(120);
    r.Text(0, old, 0, 16).Copy(84, old, 20, 4).Text(88, old, 24, 31);
    return Added{kRecIdLineName, std::move(r.bytes()), -1};
  });
}

void UpgradeHdrObjects(CHdrList& list) { UpgradeObjectRecords(list, {25, 2880, 166, 28080, 76}); }
void UpgradeHdrStreamers(CHdrList& list) { UpgradeObjectRecords(list, {26, 2872, 167, 28072, 68}); }
void UpgradeHdrGunArrays(CHdrList& list) { UpgradeObjectRecords(list, {27, 2868, 168, 28068, 64}); }
void UpgradeHdrTowedBuoys(CHdrList& list) {
  UpgradeObjectRecords(list, {28, 2864, 169, 28064, 60});
}

void UpgradeHdrObjectOutlines(CHdrList& list) {
  constexpr std::size_t kOldSize = 28080;
  struct Converted {
    sHdrEntry old;
    Bytes record;
    std::vector<sShapePoint> outline;
  };
  std::vector<Converted> converted;
  for (const sHdrEntry* e : Olds(list, 166, kOldSize)) {
    const Old old(e->payload);
    Rec r(76);
    r.Copy(0, old, 0, 4).Text(4, old, 4, 35).Copy(40, old, 40, 36);
    const int32_t stored = W(old, 19);
    const std::size_t count = std::min<std::size_t>(
        stored < 0 ? 0 : static_cast<std::size_t>(stored), (kOldSize - 80) / sizeof(sShapePoint));
    std::vector<sShapePoint> outline(count);
    if (count > 0) std::memcpy(outline.data(), old.data() + 80, count * sizeof(sShapePoint));
    converted.push_back({*e, std::move(r.bytes()), std::move(outline)});
  }
  RemoveOlds(list, 166, kOldSize);
  for (Converted& c : converted) {
    list.AddEntry(267, static_cast<uint32_t>(c.record.size()), c.record.data(), -1);
    // Straight to the binary object: a RecId 166 record still in the list is
    // one too short to convert, and not this object's to hold the outline.
    if (list.SetObjectShapeBinary(W(c.record, 10), c.outline)) continue;
    // Without its outline the object stays in its old form.
    list.RemoveEntry(267, list.CountEntries(267));
    list.AddEntryCached(std::move(c.old));
  }
}

void UpgradeHdrDatumShifts(CHdrList& list) {
  ConvertAll(list, 14, 72, [](const sHdrEntry&, Old old) {
    const auto packed = static_cast<uint32_t>(W(old, 2));
    Rec r(88);
    r.Copy(0, old, 0, 8)
        .Word(8, static_cast<int32_t>(packed & 1u))
        .Word(16, static_cast<int32_t>((packed >> 1) & 0x7Fu))
        .Word(20, static_cast<int32_t>((packed >> 8) & 0xFFu))
        .Copy(32, old, 16, 56);
    return Added{206, std::move(r.bytes()), -1};
  });
}

void UpgradeHdrChartDatums(CHdrList& list) {
  const auto datum = [](int32_t key0, int32_t key1, int32_t tail) {
    Rec r(1192);
    r.Word(4, key0).Word(8, key1).Word(1168, tail);
    return r;
  };
  const auto added = [](Rec& r) { return Added{228, std::move(r.bytes()), -1}; };
  ConvertAll(list, 160, 16, [&](const sHdrEntry&, Old old) {
    const int32_t code = W(old, 0);
    const double value = Get<double>(old, 8);
    Rec r = datum(code, -999, 0);
    r.Part(16, 0, code, value, 0.0).Part(592, 0, code, value, 0.0);
    return added(r);
  });
  ConvertAll(list, 179, 32, [&](const sHdrEntry&, Old old) {
    const double value = Get<double>(old, 16);
    Rec r = datum(W(old, 0), W(old, 1), W(old, 7));
    r.Part(16, 0, W(old, 2), value, 0.0).Part(592, 0, W(old, 6), value, 0.0);
    return added(r);
  });
  ConvertAll(list, 184, 56, [&](const sHdrEntry&, Old old) {
    Rec r = datum(W(old, 0), W(old, 1), W(old, 10));
    r.Part(16, 0, W(old, 2), Get<double>(old, 16), 0.0)
        .Part(592, 0, W(old, 6), Get<double>(old, 32), 0.0);
    return added(r);
  });
  ConvertAll(list, 198, 72, [&](const sHdrEntry&, Old old) {
    Rec r = datum(W(old, 0), W(old, 1), W(old, 12));
    r.Part(16, 0, W(old, 2), Get<double>(old, 16), 0.0)
        .Part(592, 0, W(old, 7), Get<double>(old, 32), Get<double>(old, 40));
    return added(r);
  });
  ConvertAll(list, 203, 1184, [&](const sHdrEntry&, Old old) {
    Rec r = datum(W(old, 0), W(old, 1), W(old, 290));
    r.Copy(16, old, 8, 576).Copy(592, old, 584, 576);
    return added(r);
  });
}

void UpgradeHdrFixes(CHdrList& list) {
  const std::vector<const sHdrEntry*> fixes = Olds(list, 125, RecordTypeSize(125));
  if (fixes.empty() || fixes.front()->link != -1) return;
  const int32_t zero = 0;
  RemoveOlds(list, 125, RecordTypeSize(125));
  list.AddEntry(215, sizeof zero, &zero, -1);
}

void UpgradeHdrReferencePoints(CHdrList& list) {
  ConvertAll(list, 29, 80, [](const sHdrEntry&, Old old) {
    Rec r(104);
    r.Copy(0, old, 0, 4).Copy(12, old, 4, 4).Text(32, old, 8, 69);
    return Added{197, std::move(r.bytes()), -1};
  });
  ConvertAll(list, 182, 88, [](const sHdrEntry&, Old old) {
    Rec r(104);
    r.Copy(0, old, 0, 8).Copy(12, old, 12, 4).Text(32, old, 16, 69);
    return Added{197, std::move(r.bytes()), -1};
  });
}

void UpgradeHdrSquatModels(CHdrList& list) {
  ConvertAll(list, 162, 32, [](const sHdrEntry&, Old old) {
    static constexpr int32_t kKinds[] = {1, 101, 2, 102, 3};
    const int32_t kind = W(old, 7);
    Rec r(32);
    r.Copy(0, old, 0, 28).Word(28, kind >= 0 && kind <= 4 ? kKinds[kind] : 0);
    return Added{213, std::move(r.bytes()), -1};
  });
  ConvertAll(list, 163, 24, [](const sHdrEntry&, Old old) {
    Rec r(48);
    r.Copy(0, old, 0, 4).Copy(8, old, 8, 8).Copy(16, old, 16, 8).Word(40, 1);
    return Added{214, std::move(r.bytes()), -1};
  });
}

void UpgradeHdrSoundVelocities(CHdrList& list) {
  ConvertAll(list, 35, 112, [](const sHdrEntry&, Old old) {
    const int32_t mode = W(old, 19);
    Rec r(136);
    r.Copy(0, old, 0, 76)
        .Word(76, mode < 1 ? mode : -1)
        .Word(80, mode < 1 ? -1 : mode)
        .Word(84, -1)
        .Word(88, -1)
        .Text(100, old, 80, 28);
    return Added{193, std::move(r.bytes()), -1};
  });
  ConvertAll(list, 36, 20, [](const sHdrEntry&, Old old) {
    Rec r(32);
    r.Copy(0, old, 0, 20).Word(20, W(old, 4));
    return Added{194, std::move(r.bytes()), -1};
  });
}

void UpgradeHdrFixedNodes(CHdrList& list) {
  // The level offsets of RecId 142, by node id.
  std::vector<std::pair<int32_t, float>> levels;
  for (const sHdrEntry* e : Olds(list, 142, 12)) {
    levels.emplace_back(W(e->payload, 0), Get<float>(e->payload, 4));
  }
  const auto levelOf = [&](int32_t id, float& level) {
    for (const auto& [key, value] : levels) {
      if (key != id) continue;
      level = value;
      return true;
    }
    return false;
  };
  ConvertAll(list, 63, 96, [&](const sHdrEntry&, Old old) {
    Rec r(688);
    r.Copy(0, old, 0, 4).Text(4, old, 4, 16).Copy(24, old, 24, 4).Part(32, 0, 0, 0.0, 0.0);
    r.Copy(608, old, 28, 32).Copy(640, old, 64, 32);
    float level = 0.0f;
    if (levelOf(W(old, 0), level)) {
      r.Put(672, static_cast<double>(level));
      r.Put(664, Get<double>(old, 88) - level);
    }
    return Added{204, std::move(r.bytes()), -1};
  });
  RemoveOlds(list, 142, 12);
  ConvertAll(list, 180, 128, [&](const sHdrEntry&, Old old) {
    Rec r(688);
    r.Copy(0, old, 0, 4).Text(4, old, 4, 16).Copy(24, old, 24, 4).Copy(608, old, 32, 32);
    r.Part(32, 0, W(old, 7), Get<double>(old, 96), Get<double>(old, 104));
    r.Copy(640, old, 64, 32).Copy(672, old, 112, 16);
    return Added{204, std::move(r.bytes()), -1};
  });
}

void UpgradeHdrVariableNodes(CHdrList& list) {
  ConvertAll(list, 64, 44, [](const sHdrEntry&, Old old) {
    Rec r(56);
    r.Copy(0, old, 0, 8).Text(8, old, 8, 16).Copy(28, old, 24, 16);
    // The 56-byte record holds three precisions, the last four bytes of the
    // record: there is no field for a fourth (type 8, quantity 3).
    r.Put(44, Precision(37, 25)).Put(48, Precision(38, 25)).Put(52, Precision(39, 25));
    return Added{201, std::move(r.bytes()), -1};
  });
}

void UpgradeHdrGnssData(CHdrList& list) {
  ConvertAll(list, 76, 104, [](const sHdrEntry& e, Old old) {
    Rec r(112);
    r.Copy(0, old, 0, 8).Copy(20, old, 20, 36).Copy(56, old, 56, 8);
    r.Put(84, Precision(33, 0));
    r.Text(88, old, 82, 10).Text(99, old, 93, 10).Text(8, old, 8, 8).Text(64, old, 64, 17);
    return Added{200, std::move(r.bytes()), e.link};
  });
}

void UpgradeHdrUsblSystems(CHdrList& list) {
  ConvertAll(list, 37, 40, [&](const sHdrEntry& e, Old old) {
    Rec r(52);
    r.Copy(0, old, 0, 16).Word(16, 1).Copy(28, old, 16, 16).Copy(44, old, 32, 4);
    if (W(old, 9) == 1) r.Word(48, NodeId(list, W(old, 0), nullptr));
    return Added{202, std::move(r.bytes()), e.link};
  });
  ConvertAll(list, 38, 56, [&](const sHdrEntry& e, Old old) {
    float xyz[3];
    Floats(old, 12, xyz);
    Rec r(72);
    r.Copy(0, old, 0, 4).Copy(4, old, 4, 4).Word(8, NodeId(list, W(old, 0), xyz));
    r.Copy(28, old, 24, 12).Copy(64, old, 48, 4);
    float a = Get<float>(old, 36);
    float b = Get<float>(old, 40);
    if (const int32_t quantity = W(old, 11); quantity != 0) {
      const double ratio =
          GetQuantityFactor(static_cast<uint32_t>(quantity)) / GetQuantityFactor(0);
      if (ratio != 0.0) {
        a = hdr_payload::ToFloat(a * ratio);
        b = hdr_payload::ToFloat(b * ratio);
      }
    }
    r.Put(52, a).Put(56, b);
    return Added{195, std::move(r.bytes()), e.link};
  });
}

void UpgradeHdrUsbl(CHdrList& list) {
  ConvertAll(list, 128, 36, [](const sHdrEntry& e, Old old) {
    Rec r(72);
    r.Copy(4, old, 0, 12).Text(16, old, 12, 10).Text(27, old, 23, 10);
    return Added{260, std::move(r.bytes()), e.link};
  });
}

void UpgradeHdrGnssPositions73(CHdrList& list) {
  for (const sHdrEntry& e : list) {
    // Logged positions keep their records for the conversion to RecId 258.
    if (hdr_payload::Is(e, 73) && !e.payload.empty() && e.link != -1) return;
  }
  ConvertAll(list, 73, 72, [](const sHdrEntry& e, Old old) {
    Rec r = NewGnss205(old, 28);
    r.Part(16, GnssKind(W(old, 0)), 0, 0.0, 0.0).Copy(592, old, 16, 12);
    DefaultGnssPrecisions(r, 604, 25);
    return Added{205, std::move(r.bytes()), e.link};
  });
}

void UpgradeHdrOldGnssPositions(CHdrList& list) {
  // Only the two later layouts carry their entry's word into the new
  // record; one made from RecId 164 has none.
  ConvertAll(list, 164, 72, [](const sHdrEntry&, Old old) {
    Rec r = NewGnss205(old, 28);
    r.Part(16, GnssKind(W(old, 0)), 0, 0.0, 0.0).Copy(592, old, 16, 12);
    DefaultGnssPrecisions(r, 604, 25);
    return Added{205, std::move(r.bytes()), -1};
  });
  ConvertAll(list, 181, 88, [](const sHdrEntry& e, Old old) {
    Rec r = NewGnss205(old, 44);
    r.Part(16, W(old, 4), W(old, 5), Get<double>(old, 24), 0.0).Copy(592, old, 32, 12);
    DefaultGnssPrecisions(r, 604, 25);
    return Added{205, std::move(r.bytes()), e.link};
  });
  ConvertAll(list, 199, 104, [](const sHdrEntry& e, Old old) {
    Rec r = NewGnss205(old, 56);
    r.Part(16, W(old, 4), W(old, 5), Get<double>(old, 24), 0.0).Copy(592, old, 32, 24);
    return Added{205, std::move(r.bytes()), e.link};
  });
}

void UpgradeHdrGnssPositions258(CHdrList& list) {
  const std::size_t before = static_cast<std::size_t>(list.CountEntries(258));
  bool anyWord = ConvertAll(list, 73, 72, [](const sHdrEntry& e, Old old) {
    Rec r(712);
    r.Word(0, -1).Copy(8, old, 0, 16).Part(32, GnssKind(W(old, 0)), 0, 0.0, 0.0);
    r.Copy(608, old, 16, 12).Text(632, old, 28, 36);
    DefaultGnssPrecisions(r, 620, 0);
    return Added{258, std::move(r.bytes()), e.link};
  });
  anyWord = ConvertAll(list, 205, 664,
                       [](const sHdrEntry& e, Old old) {
                         Rec r(712);
                         r.Copy(8, old, 0, 16)
                             .Copy(32, old, 16, 576)
                             .Copy(608, old, 592, 12)
                             .Text(632, old, 616, 36);
                         // The old precisions were in survey units.
                         for (std::size_t i = 0; i < 3; ++i) {
                           r.Put(620 + 4 * i,
                                 hdr_payload::ToFloat(UnitsToMeters(Get<float>(old, 604 + 4 * i))));
                         }
                         return Added{258, std::move(r.bytes()), e.link};
                       }) ||
            anyWord;
  if (anyWord) return;
  const std::size_t converted = static_cast<std::size_t>(list.CountEntries(258)) - before;
  std::size_t left = converted == 0 ? SIZE_MAX : converted;
  for (sHdrEntry& e : list) {
    if (left == 0) break;
    if (!IsWhole(e, 258) || e.link != -1) continue;
    e.SetWord(0, 1);
    --left;
  }
}

void UpgradeHdrSinglebeams(CHdrList& list) {
  const auto node = [&](Old old) {
    float xyz[3];
    Floats(old, 8, xyz);
    return NodeId(list, W(old, 0), xyz);
  };
  // What RecIds 34 and 183 share.
  const auto common = [&](Old old) {
    Rec r(352);
    r.Copy(4, old, 0, 8).Word(12, node(old)).Copy(16, old, 20, 16).Copy(92, old, 36, 4);
    r.Text(32, old, 40, 31);
    return r;
  };
  bool anyWord = ConvertAll(list, 34, 72, [&](const sHdrEntry& e, Old old) {
    return Added{219, std::move(common(old).bytes()), e.link};
  });
  anyWord = ConvertAll(list, 183, 108,
                       [&](const sHdrEntry& e, Old old) {
                         Rec r = common(old);
                         r.Copy(76, old, 88, 16)
                             .Copy(96, old, 84, 4)
                             .Copy(100, old, 104, 4)
                             .Text(64, old, 72, 10);
                         return Added{219, std::move(r.bytes()), e.link};
                       }) ||
            anyWord;
  anyWord = ConvertAll(list, 190, 184,
                       [&](const sHdrEntry& e, Old old) {
                         Rec r(352);
                         r.Copy(4, old, 0, 28)
                             .Text(32, old, 28, 31)
                             .Text(64, old, 60, 10)
                             .Copy(76, old, 72, 112);
                         // The newer layout keeps its node in word 2 when no node is found.
                         if (const int32_t id = node(old); id != 0) r.Word(12, id);
                         return Added{219, std::move(r.bytes()), e.link};
                       }) ||
            anyWord;
  FixUpWords(list, 219, anyWord);
}

void UpgradeHdrPrhSensors(CHdrList& list) {
  // The texts of RecId 41 and the third words of RecId 154, by key.
  const auto keyed = [&](int32_t recId, std::size_t size, Old old) -> const sHdrEntry* {
    for (const sHdrEntry* e : Olds(list, recId, size)) {
      if (e->WordIs(0, W(old, 0)) && e->WordIs(1, W(old, 1))) return e;
    }
    return nullptr;
  };
  const auto common = [&](Old old, std::size_t nameAt) {
    Rec r(312);
    r.Copy(4, old, 0, 8).Put(56, 20.0f).Text(72, old, nameAt, 21);
    if (const sHdrEntry* text = keyed(41, 84, old)) r.Text(105, text->payload, 8, 72);
    return r;
  };
  const auto finish = [&](Rec& r, Old old) {
    if (const sHdrEntry* extra = keyed(154, 12, old)) r.Copy(12, extra->payload, 8, 4);
  };
  // RecIds 196 and 218 share their first 120 bytes.
  const auto newer = [&](const sHdrEntry& e, Old old) {
    Rec r = common(old, 96);
    r.Copy(12, old, 8, 12).Copy(32, old, 24, 8).Copy(40, old, 32, 16).Copy(64, old, 48, 8);
    r.Copy(180, old, 56, 40);
    finish(r, old);
    return Added{226, std::move(r.bytes()), e.link};
  };
  bool anyWord = ConvertAll(list, 40, 96, [&](const sHdrEntry& e, Old old) {
    Rec r = common(old, 68);
    r.Copy(16, old, 8, 8).Copy(32, old, 20, 8).Copy(40, old, 32, 16).Copy(64, old, 48, 8);
    r.Copy(196, old, 56, 12);
    finish(r, old);
    return Added{226, std::move(r.bytes()), e.link};
  });
  anyWord = ConvertAll(list, 196, 120, newer) || anyWord;
  anyWord = ConvertAll(list, 218, 248, newer) || anyWord;
  RemoveOlds(list, 41, 84);
  RemoveOlds(list, 154, 12);
  FixUpWords(list, 226, anyWord);
}

void UpgradeHdrMultibeams(CHdrList& list) {
  bool anyWord = ConvertAll(list, 144, 96, [](const sHdrEntry& e, Old old) {
    Rec r(360);
    r.Copy(4, old, 0, 8).Copy(28, old, 8, 36).Copy(64, old, 44, 16).Copy(80, old, 60, 4);
    r.Put(92, 180.0f).Copy(100, old, 80, 16);
    return Added{220, std::move(r.bytes()), e.link};
  });
  anyWord =
      ConvertAll(
          list, 191, 180,
          [](const sHdrEntry& e, Old old) {
            Rec r(360);
            r.Copy(4, old, 0, 8).Copy(28, old, 8, 36).Copy(64, old, 44, 16).Copy(80, old, 60, 16);
            r.Copy(96, old, 76, 24).Copy(120, old, 100, 64).Copy(184, old, 164, 16);
            return Added{220, std::move(r.bytes()), e.link};
          }) ||
      anyWord;
  FixUpWords(list, 220, anyWord);
}

void UpgradeHdrMultitransducers(CHdrList& list) {
  const auto common = [](Old old) {
    Rec r(336);
    r.Copy(4, old, 0, 12).Copy(32, old, 16, 24).Copy(56, old, 40, 16).Copy(72, old, 56, 8);
    r.Copy(80, old, 64, 8);
    return r;
  };
  bool anyWord = ConvertAll(list, 170, 104, [&](const sHdrEntry& e, Old old) {
    return Added{221, std::move(common(old).bytes()), e.link};
  });
  anyWord = ConvertAll(list, 192, 160,
                       [&](const sHdrEntry& e, Old old) {
                         Rec r = common(old);
                         r.Copy(88, old, 72, 88);
                         return Added{221, std::move(r.bytes()), e.link};
                       }) ||
            anyWord;
  FixUpWords(list, 221, anyWord);
}

void UpgradeHdrRawData(CHdrList& list) { UpgradeLoggedIds(list, 157, 238); }
void UpgradeHdrEventing(CHdrList& list) { UpgradeLoggedIds(list, 177, 254); }

void UpgradeHdrSubBottomProfiling(CHdrList& list) {
  // As for the logged ids: only the ids known before the step are skipped.
  const std::unordered_set<int32_t> known = KnownIds(list, 265);
  std::vector<Added> added;
  for (const sHdrEntry* e : Olds(list, 257, 96)) {
    const Old old(e->payload);
    if (known.count(W(old, 1)) != 0) continue;
    Rec system(96);
    system.Word(0, 1).Word(4, W(old, 1)).Word(8, W(old, 2)).Word(12, 1);
    added.push_back({265, std::move(system.bytes()), e->link});
    Rec data(24);
    data.Word(0, W(old, 3)).Word(4, W(old, 1));
    added.push_back({266, std::move(data.bytes()), -1});
  }
  RemoveOlds(list, 257, 96);
  AppendAll(list, added);
}

void UpgradeHdrDredging(CHdrList& list) {
  std::vector<sHdrEntry*> dredgings;
  for (sHdrEntry& e : list) {
    if (IsWhole(e, 207) && e.WordIs(1, 0)) dredgings.push_back(&e);
  }
  for (sHdrEntry* dredging : dredgings) {
    dredging->SetWord(1, 1);
    const int32_t key = hdr_payload::Word(*dredging, 0);
    int32_t first = 0, second = 0;
    if (!DredgingSystem(list, hdr_payload::Word(*dredging, 2), first)) continue;
    const bool two = DredgingSystem(list, hdr_payload::Word(*dredging, 3), second);
    const std::string name = FormatString("Upgraded System %d", key);

    std::vector<Added> copies;
    for (sHdrEntry& e : list) {
      const bool system = hdr_payload::Is(e, 208);
      if ((!system && !hdr_payload::Is(e, 210)) || !IsWhole(e) || !e.WordIs(1, key)) continue;
      const std::span<uint8_t> p(e.payload);
      hdr_payload::SetWord(p, 1, first);
      if (system) zor::platform::SetText(p, kDredgingNameAt, kDredgingNameWidth, name);
      if (!two) continue;
      Bytes copy = e.payload;
      hdr_payload::SetWord(copy, 1, second);
      if (system) zor::platform::SetText(copy, kDredgingNameAt, kDredgingNameWidth, name + "(2)");
      copies.push_back({static_cast<int32_t>(e.recId), std::move(copy), -1});
    }
    AppendAll(list, copies);
  }
}

void UpgradeHdrGnssHeights(CHdrList& list) {
  constexpr int32_t kManualLayback = 60;
  constexpr int32_t kRetired = 97;
  for (const sHdrEntry& e : list) {
    if (IsWhole(e, 65) && e.WordIs(0, kManualLayback) && e.link != -1) return;
  }
  std::vector<Added> added;
  for (sHdrEntry& obs : list) {
    if (!IsWhole(obs, 65) || !obs.WordIs(0, kManualLayback)) continue;
    const Old o(obs.payload);
    if (const sHdrEntry* node = VariableNodeByNumber(list, W(o, 8))) {
      const Old n(node->payload);
      Rec r(104);
      r.Word(4, W(n, 0)).Word(8, W(n, 1)).Word(12, W(o, 11));
      r.SetText(24, 58, zor::platform::GetText(n, 8, 16));
      added.push_back({78, std::move(r.bytes()), -1});
    }
    obs.SetWord(0, kRetired);
    int32_t number = 0;
    if (!obs.GetWord(1, number)) continue;
    for (sHdrEntry& second : list) {
      if (!IsWhole(second, 68) || !second.WordIs(1, number)) continue;
      second.SetWord(0, kRetired);
      break;
    }
  }
  AppendAll(list, added);
}

void UpgradeHdrDatumShiftCompanions(CHdrList& list) {
  using Key = std::pair<int32_t, int32_t>;
  const auto keysOf = [&](int32_t recId) {
    std::vector<Key> keys;
    for (const sHdrEntry* e : Olds(list, recId, RecordTypeSize(recId)))
      keys.emplace_back(W(e->payload, 0), W(e->payload, 1));
    return keys;
  };
  const std::vector<Key> shifts = keysOf(206);
  if (shifts.empty()) {
    for (int32_t r : {188, 246, 247}) RemoveOlds(list, r, RecordTypeSize(r));
    return;
  }
  // Each companion list: the keys it holds, in either order, and the
  // records it lacks, appended after every existing one in the order 188,
  // 246, 247.
  for (int32_t recId : {188, 246, 247}) {
    std::vector<Key> held = keysOf(recId);
    const auto has = [&](const Key& k) {
      return std::any_of(held.begin(), held.end(), [&](const Key& h) {
        return h == k || (h.first == k.second && h.second == k.first);
      });
    };
    std::vector<Added> added;
    for (const Key& k : shifts) {
      if (has(k)) continue;
      held.push_back(k);
      Rec r(RecordTypeSize(recId));
      r.Word(0, k.first).Word(4, k.second);
      added.push_back({recId, std::move(r.bytes()), -1});
    }
    AppendAll(list, added);
  }
}

void UpgradeHdrQuality(CHdrList& list) {
  // Every record of the older code moves, not only the first: a second load
  // would otherwise move the next one. The whole records are rewritten where
  // they stand, in order; moving k records to the end keeps their number.
  std::vector<sHdrEntry*> entries;
  for (sHdrEntry& e : list) {
    if (IsWhole(e, 129)) entries.push_back(&e);
  }
  std::vector<Bytes> kept;
  std::vector<int32_t> moved;
  for (const sHdrEntry* e : entries) {
    if (e->WordIs(1, 33))
      moved.push_back(W(e->payload, 0));
    else
      kept.emplace_back(e->payload.begin(), e->payload.begin() + 8);
  }
  if (moved.empty()) return;
  for (int32_t first : moved) kept.push_back(Rec(8).Word(0, first).Word(4, 1).bytes());
  for (std::size_t i = 0; i < entries.size(); ++i) {
    auto& payload = entries[i]->payload;
    std::copy(kept[i].begin(), kept[i].end(), payload.begin());
  }
}
