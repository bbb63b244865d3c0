#include "database/definitions/datum_records.h"

#include <cmath>
#include <cstddef>
#include <cstring>
#include <limits>
#include <string>
#include <string_view>
#include <utility>

#include "core/time/system_time.h"
#include "database/catalogue/definition_records.h"
#include "database/definitions/hdr_list.h"
#include "platform/bytes.h"

namespace {

using zor::platform::GetLE;
using zor::platform::GetText;
using zor::platform::SetLE;

constexpr uint64_t kDatumNameAt = offsetof(sDatumEllipsoidRecord, datumName);
constexpr std::size_t kDatumNameWidth = sizeof(sDatumEllipsoidRecord::datumName);
constexpr uint64_t kEllipsoidNameAt = offsetof(sDatumEllipsoidRecord, ellipsoidName);
constexpr std::size_t kEllipsoidNameWidth = sizeof(sDatumEllipsoidRecord::ellipsoidName);

constexpr double kWgs84Axis = 6378137.0;
constexpr double kWgs84InverseFlattening = 298.257223563;
constexpr double kGrs80InverseFlattening = 298.257222101;
constexpr double kEllipsoidTolerance = 1e-6;

constexpr int32_t kSystemTypePositionNavigation = 12;
constexpr std::size_t kGnssSystemDatumWord = 4;

bool IsRecId(const sHdrEntry& e, int32_t r) { return e.recId == static_cast<uint32_t>(r); }

// Words 0 and 1 are the pair (a, b) in either order.
bool RelatesDatums(const sHdrEntry& e, int32_t a, int32_t b) {
  int32_t w0 = 0, w1 = 0;
  if (!e.GetWord(0, w0) || !e.GetWord(1, w1)) return false;
  return (w0 == a && w1 == b) || (w0 == b && w1 == a);
}

const sHdrEntry* FindPair(const CHdrList& list, int32_t r, int32_t a, int32_t b) {
  if (a < 1 || b < 1) return nullptr;
  for (const sHdrEntry& e : list)
    if (IsRecId(e, r) && RelatesDatums(e, a, b)) return &e;
  return nullptr;
}

const sHdrEntry* FindByWord(const CHdrList& list, int32_t r, std::size_t word, int32_t value) {
  for (const sHdrEntry& e : list)
    if (IsRecId(e, r) && e.WordIs(word, value)) return &e;
  return nullptr;
}

bool WithinRelative(double value, double reference) {
  return std::fabs(value - reference) / reference < kEllipsoidTolerance;
}

// A datum record read whole; false for a payload shorter than its layout.
struct Datum {
  int32_t id = 0;
  std::string name;
  std::string ellipsoid;
  double axisMetres = 0.0;
  double inverseFlattening = 0.0;
};

bool ReadDatum(const sHdrEntry& e, Datum& d) {
  const std::span<const uint8_t> p(e.payload);
  if (p.size() < sizeof(sDatumEllipsoidRecord)) return false;
  double axis = 0.0, metresPerUnit = 0.0;
  GetLE(p, 0, d.id);
  GetLE(p, offsetof(sDatumEllipsoidRecord, semiMajorAxis), axis);
  GetLE(p, offsetof(sDatumEllipsoidRecord, metresPerUnit), metresPerUnit);
  GetLE(p, offsetof(sDatumEllipsoidRecord, inverseFlattening), d.inverseFlattening);
  d.axisMetres = axis * metresPerUnit;
  d.name = GetText(p, kDatumNameAt, kDatumNameWidth);
  d.ellipsoid = GetText(p, kEllipsoidNameAt, kEllipsoidNameWidth);
  return true;
}

bool HasEllipsoid(const Datum& d, double inverseFlattening) {
  return WithinRelative(d.axisMetres, kWgs84Axis) &&
         WithinRelative(d.inverseFlattening, inverseFlattening);
}

bool StartsWith(std::string_view s, std::string_view prefix) { return s.starts_with(prefix); }
bool Contains(std::string_view s, std::string_view part) {
  return s.find(part) != std::string_view::npos;
}

// Walks the datums in list order: every one `take` accepts sets id; the walk
// ends at the first one `stop` also accepts.
template <typename Take, typename Stop>
bool WalkDatums(const CHdrList& list, int32_t& id, Take take, Stop stop) {
  id = -1;
  Datum d;
  for (const sHdrEntry& e : list) {
    if (!IsRecId(e, kRecIdDatumEllipsoid) || !ReadDatum(e, d) || !take(d)) continue;
    id = d.id;
    if (stop(d)) break;
  }
  return id > 0;
}

// ---- Datum shift reversal ---------------------------------------------------

constexpr double kDegreesToRadians = 0.017453292519943295;
constexpr double kMicro = 1e-6;
constexpr double kTranslationFloor = 1e-6;
constexpr double kAngleAndScaleFloor = 1e-9;

constexpr int32_t kRotationsNegated = 1;
constexpr int32_t kMicroRadians = 1;
constexpr int32_t kMethodSmallAngles = -1;

// A shift's parameters as it stood on entry: rotations in radians with the
// sign convention applied, and the scale factor m = 1 / (1 + s * 1e-6).
struct ShiftTerms {
  double t[3] = {0.0, 0.0, 0.0};
  double r[3] = {0.0, 0.0, 0.0};
  double s = 0.0;
  double m = 1.0;
};

ShiftTerms TermsOf(const sDatumShiftRecord& rec) {
  ShiftTerms k;
  for (int i = 0; i < 3; ++i) {
    k.t[i] = rec.translation[i];
    const double value = rec.rotation[i];
    double radians =
        rec.rotationUnit == kMicroRadians ? value * 1e-6 : value / 3600.0 * kDegreesToRadians;
    if (rec.rotationSign == kRotationsNegated) radians = -radians;
    k.r[i] = radians;
  }
  k.s = rec.scale;
  k.m = 1.0 / (1.0 + rec.scale * kMicro);
  return k;
}

// Writes the inverse translations and scale into the record.
void Invert(sDatumShiftRecord& rec, const ShiftTerms& k) {
  const double tx = k.t[0], ty = k.t[1], tz = k.t[2];
  const double rx = k.r[0], ry = k.r[1], rz = k.r[2];
  const double m = k.m;
  if (rec.method == 1 || rec.method == 2) {
    for (double& t : rec.translation) t = -t;
    rec.scale = -rec.scale;
    return;
  }
  if (rec.method == kMethodSmallAngles) {
    rec.translation[0] = tz * ry - ty * rz - tx * m;
    rec.translation[1] = tx * rz - ty * m - tz * rx;
    rec.translation[2] = ty * rx - tx * ry - tz * m;
    rec.scale = -k.s + k.s * k.s * 1e-6;
    return;
  }
  // R = R1(rx) R2(ry) R3(rz); t' = -m R t.
  const double cx = std::cos(rx), sx = std::sin(rx);
  const double cy = std::cos(ry), sy = std::sin(ry);
  const double cz = std::cos(rz), sz = std::sin(rz);
  const double R[3][3] = {
      {cy * cz, cy * sz, -sy},
      {sx * sy * cz - cx * sz, sx * sy * sz + cx * cz, sx * cy},
      {cx * sy * cz + sx * sz, cx * sy * sz - sx * cz, cx * cy},
  };
  for (int i = 0; i < 3; ++i)
    rec.translation[i] = -m * (R[i][0] * tx + R[i][1] * ty + R[i][2] * tz);
  rec.scale = (m - 1.0) * 1e6;
}

void ZeroBelow(double& value, double floor) {
  if (std::fabs(value) < floor) value = 0.0;
}

template <typename Record>
bool Load(std::span<const uint8_t> bytes, Record& rec) {
  if (bytes.size() < sizeof(Record)) return false;
  std::memcpy(&rec, bytes.data(), sizeof(Record));
  return true;
}

template <typename Record>
void Store(std::span<uint8_t> bytes, const Record& rec) {
  std::memcpy(bytes.data(), &rec, sizeof(Record));
}

}  // namespace

// ---- Datums -------------------------------------------------------------------

const sHdrEntry* CHdrList::FindDatum(int32_t id) const {
  if (id < 1) return nullptr;
  return FindByWord(*this, kRecIdDatumEllipsoid, 0, id);
}

sHdrEntry* CHdrList::FindDatum(int32_t id) {
  return const_cast<sHdrEntry*>(std::as_const(*this).FindDatum(id));
}

bool CHdrList::HasDatumOne() const { return FindDatum(1) != nullptr; }

bool CHdrList::FindWgs84Datum(int32_t& id) const {
  return WalkDatums(
      *this, id, [](const Datum& d) { return HasEllipsoid(d, kWgs84InverseFlattening); },
      [](const Datum& d) { return StartsWith(d.ellipsoid, "WGS") && Contains(d.ellipsoid, "84"); });
}

bool CHdrList::FindGrs80Datum(int32_t& id) const {
  return WalkDatums(
      *this, id, [](const Datum& d) { return HasEllipsoid(d, kGrs80InverseFlattening); },
      [](const Datum& d) {
        return StartsWith(d.ellipsoid, "GRS") && Contains(d.ellipsoid, "80") &&
               !StartsWith(d.name, "ITRF");
      });
}

bool CHdrList::FindItrfDatum(int32_t& id, std::string_view name) const {
  // "ITRF2014" looks for "14  " in the datum names.
  std::string wanted;
  if (name.size() >= 2) wanted = std::string(name.substr(name.size() - 2)) + "  ";
  return WalkDatums(
      *this, id,
      [](const Datum& d) {
        return HasEllipsoid(d, kGrs80InverseFlattening) && StartsWith(d.name, "ITRF");
      },
      [&wanted](const Datum& d) { return !wanted.empty() && Contains(d.name, wanted); });
}

int32_t CHdrList::GetWgs84DatumIndex(bool allowItrf) const {
  int32_t id = -1;
  if (FindWgs84Datum(id)) return id - 1;
  if (allowItrf && FindItrfDatum(id)) return id - 1;
  return -1;
}

// ---- Shifts and epochs --------------------------------------------------------

bool CHdrList::IsDatumShiftDefined(int32_t a, int32_t b) const {
  return FindDatumShift(a, b) != nullptr;
}

bool CHdrList::IsOldDatumShiftDefined(int32_t a, int32_t b) const {
  return FindOldDatumShift(a, b) != nullptr;
}

const sHdrEntry* CHdrList::FindDatumShift(int32_t a, int32_t b) const {
  return FindPair(*this, kRecIdDatumShift, a, b);
}
sHdrEntry* CHdrList::FindDatumShift(int32_t a, int32_t b) {
  return const_cast<sHdrEntry*>(std::as_const(*this).FindDatumShift(a, b));
}

const sHdrEntry* CHdrList::FindOldDatumShift(int32_t a, int32_t b) const {
  return FindPair(*this, kRecIdOldDatumShift, a, b);
}
sHdrEntry* CHdrList::FindOldDatumShift(int32_t a, int32_t b) {
  return const_cast<sHdrEntry*>(std::as_const(*this).FindOldDatumShift(a, b));
}

const sHdrEntry* CHdrList::FindDatumEpoch(int32_t a, int32_t b) const {
  return FindPair(*this, kRecIdDatumEpoch, a, b);
}
sHdrEntry* CHdrList::FindDatumEpoch(int32_t a, int32_t b) {
  return const_cast<sHdrEntry*>(std::as_const(*this).FindDatumEpoch(a, b));
}

const sHdrEntry* CHdrList::FindOldDatumEpoch(int32_t a, int32_t b) const {
  return FindPair(*this, kRecIdOldDatumEpoch, a, b);
}
sHdrEntry* CHdrList::FindOldDatumEpoch(int32_t a, int32_t b) {
  return const_cast<sHdrEntry*>(std::as_const(*this).FindOldDatumEpoch(a, b));
}

// ---- Systems and their datums ---------------------------------------------------

int32_t CHdrList::GetSystemGnssId(const sSysDef& sys) const {
  if (sys.type != kSystemTypePositionNavigation) return -1;
  const int32_t links[3] = {sys.link1, sys.link2, sys.link3};
  auto wordsAre = [&links](const sHdrEntry& e, std::size_t first) {
    for (std::size_t i = 0; i < 3; ++i)
      if (!e.WordIs(first + i, links[i])) return false;
    return true;
  };
  int32_t word = -1;
  for (const sHdrEntry& e : *this) {
    if (IsRecId(e, 258) && wordsAre(e, 2)) {
      e.GetWord(2, word);
      return word;
    }
    if ((IsRecId(e, 205) || IsRecId(e, 73)) && wordsAre(e, 0)) {
      e.GetWord(0, word);
      return word;
    }
  }
  return -1;
}

int32_t CHdrList::GetSystemDatumId(const sSysDef& sys) const {
  const int32_t gnssId = GetSystemGnssId(sys);
  if (gnssId < 0) return -1;
  const sHdrEntry* e = FindByWord(*this, kRecIdGnssSystem, 0, gnssId);
  int32_t datumId = -1;
  if (e == nullptr || !e->GetWord(kGnssSystemDatumWord, datumId)) return -1;
  return datumId;
}

const sHdrEntry* CHdrList::GetSystemDatum(const sSysDef& sys) const {
  return FindDatum(GetSystemDatumId(sys));
}

int32_t CHdrList::GetSystemDatumIndex(const sSysDef& sys) const {
  const int32_t id = GetSystemDatumId(sys);
  return id < 1 ? 0 : id - 1;
}

std::string CHdrList::GetDatumName(int32_t id) const {
  const sHdrEntry* e = FindDatum(id);
  if (e == nullptr) return "Survey Datum";
  std::string name = GetText(e->payload, kDatumNameAt, kDatumNameWidth);
  const std::size_t end = name.find_last_not_of(" \t\r\n\v\f");
  name.erase(end == std::string::npos ? 0 : end + 1);
  return name;
}

std::string CHdrList::GetDatumNameByIndex(int32_t index) const {
  // No datum has an id beyond the 32-bit range.
  if (index < 0 || index == std::numeric_limits<int32_t>::max()) return GetDatumName(-1);
  return GetDatumName(index + 1);
}

const sHdrEntry* CHdrList::FindGnssSystemByDatum(int32_t datumId) const {
  if (datumId < 1) return nullptr;
  return FindByWord(*this, kRecIdGnssSystem, kGnssSystemDatumWord, datumId);
}

bool CHdrList::SetDatumEpochs(double year, bool force) {
  if (!(year >= kFirstEpochYear)) return false;
  bool changed = false;
  for (sHdrEntry& e : *this) {
    if (!IsRecId(e, kRecIdOldDatumEpoch)) continue;
    const std::span<uint8_t> p(e.payload);
    int32_t kind = 0;
    double epoch = 0.0;
    if (!GetLE<int32_t>(p, offsetof(sOldDatumEpochRecord, kind), kind) ||
        !GetLE<double>(p, offsetof(sOldDatumEpochRecord, epoch), epoch)) {
      continue;
    }
    if (kind != kDatumEpochApplies || !(force || epoch < kFirstEpochYear)) continue;
    SetLE(p, offsetof(sOldDatumEpochRecord, epoch), year);
    changed = true;
  }
  return changed;
}

bool CHdrList::SetDatumEpochsToday(bool force) { return SetDatumEpochs(GetDecimalYearToday(), force); }

// ---- Reversal -------------------------------------------------------------------

bool ReverseDatumShift(std::span<uint8_t> shift, std::span<uint8_t> oldShift,
                       std::span<uint8_t> shift2, std::span<uint8_t> other) {
  sDatumShiftRecord recs[2]{};
  sOldDatumShiftRecord old{};
  const bool present[2] = {!shift.empty(), !shift2.empty()};
  const bool hasOld = !oldShift.empty();
  constexpr std::size_t kIdsSize = 2 * sizeof(int32_t);
  if ((present[0] && !Load(shift, recs[0])) || (present[1] && !Load(shift2, recs[1])) ||
      (hasOld && !Load(oldShift, old)) || (!other.empty() && other.size() < kIdsSize)) {
    return false;
  }
  const std::span<uint8_t> bytes[2] = {shift, shift2};

  ShiftTerms terms[2];
  for (int i = 0; i < 2; ++i)
    if (present[i]) terms[i] = TermsOf(recs[i]);

  if (!hasOld || old.mode == 0) {
    for (int i = 0; i < 2; ++i)
      if (present[i]) Invert(recs[i], terms[i]);
    if (hasOld) {
      for (double& t : old.translation) t = 0.0;
    }
  } else if (old.mode == 1) {
    for (int k = 0; k < 3; ++k) old.translation[k] += terms[0].t[k];
    for (int i = 0; i < 2; ++i) {
      if (!present[i]) continue;
      for (double& t : recs[i].translation) t = -t;
      recs[i].scale = -recs[i].scale;
    }
  }

  const int32_t from = present[0] ? recs[0].toDatum : 0;
  const int32_t to = present[0] ? recs[0].fromDatum : 0;
  for (int i = 0; i < 2; ++i) {
    if (!present[i]) continue;
    sDatumShiftRecord& rec = recs[i];
    for (double& r : rec.rotation) r = -r;
    rec.fromDatum = from;
    rec.toDatum = to;
    for (double& t : rec.translation) ZeroBelow(t, kTranslationFloor);
    for (double& r : rec.rotation) ZeroBelow(r, kAngleAndScaleFloor);
    ZeroBelow(rec.scale, kAngleAndScaleFloor);
    Store(bytes[i], rec);
  }
  if (hasOld) {
    old.fromDatum = from;
    old.toDatum = to;
    for (double& t : old.translation) ZeroBelow(t, kTranslationFloor);
    Store(oldShift, old);
  }
  if (!other.empty()) {
    SetLE(other, 0, from);
    SetLE(other, 4, to);
  }
  return true;
}
