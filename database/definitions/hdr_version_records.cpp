// The header list's version and survey-unit records, and the integrity
// listing.
#include <cstdio>
#include <cstring>
#include <memory>

#include "core/text/string_helpers.h"
#include "database/definitions/hdr_accessors.h"
#include "database/definitions/hdr_list.h"
#include "database/definitions/hdr_payload.h"
#include "database/types/enum_texts.h"
#include "geodesy/quantity_units.h"
#include "platform/unit_library.h"

namespace {

// RecId 153 "Survey Unit": the unit name in a 40-byte field, then metres
// per unit.
constexpr std::size_t kUnitNameWidth = 40;
constexpr std::size_t kUnitFactorAt = 40;
constexpr std::size_t kSurveyUnitSize = 48;

// Versions below 100 were stored as major and minor part.
constexpr int32_t kSplitVersionLimit = 100;
constexpr int32_t kSplitVersionBuild = 2;

// w0 * 100 + w1 with the 32-bit wrap of the stored words.
int32_t JoinVersion(int32_t major, int32_t minor) {
  return static_cast<int32_t>(static_cast<uint32_t>(major) * 100u + static_cast<uint32_t>(minor));
}

std::string VersionText(double version, int32_t build) {
  return FormatString("%.2f.%04d", version, build);
}

void ResetAngularUnit() {
  SetAngUnitName(GetAngUnitName(1));
  SetConvToDegrees(GetConvToDegrees(1));
}

}  // namespace

int32_t CHdrList::GetVersionNumber() const {
  const sHdrEntry* e = GetEntry(kRecIdVersion, 1);
  if (e == nullptr) return IsEmpty() ? kDefaultVersion : 0;
  const int32_t w0 = hdr_payload::Word(*e, 0);
  return w0 >= kSplitVersionLimit ? w0 : JoinVersion(w0, hdr_payload::Word(*e, 1));
}

int32_t CHdrList::GetBuildNumber() const {
  const sHdrEntry* e = GetEntry(kRecIdVersion, 1);
  if (e == nullptr) return IsEmpty() ? kDefaultBuild : 0;
  return hdr_payload::Word(*e, 0) < kSplitVersionLimit ? kSplitVersionBuild
                                                       : hdr_payload::Word(*e, 1);
}

std::string CHdrList::GetVersionText() const {
  if (GetEntry(kRecIdVersion, 1) != nullptr) {
    // The version is divided as a float, as it always was printed.
    const float version = static_cast<float>(GetVersionNumber()) / 100.0f;
    return VersionText(version, GetBuildNumber());
  }
  if (!IsEmpty()) return "< 6.20.0000";
  return VersionText(7.0, kDefaultBuild);
}

bool CHdrList::SetDefaultVersion(bool force) {
  sHdrEntry* e = GetEntry(kRecIdVersion, 1);
  if (e == nullptr) return SetVersion(kDefaultVersion, kDefaultBuild);
  if (!force) return false;
  return SetVersion(kDefaultVersion, kDefaultBuild);
}

bool CHdrList::SetVersion(int32_t version, int32_t build) {
  sHdrEntry* e = GetEntry(kRecIdVersion, 1);
  if (e == nullptr) {
    const int32_t record[2] = {version, build};
    AddEntry(kRecIdVersion, sizeof record, record, -1);
    return true;
  }
  if (e->WordIs(0, version) && e->WordIs(1, build)) return false;
  // A short record takes what fits; it cannot grow in place.
  const bool set0 = e->SetWord(0, version);
  const bool set1 = e->SetWord(1, build);
  return set0 || set1;
}

bool CHdrList::ApplySurveyUnits() const {
  const sHdrEntry* e = GetEntry(kRecIdSurveyUnit, 1);
  ResetAngularUnit();
  if (e == nullptr) {
    SetUnitName(GetUnitName(1));
    SetConvToMeters(GetConvToMeters(1));
    return false;
  }
  const std::span<const uint8_t> p(e->payload);
  SetUnitName(zor::platform::GetText(p, 0, kUnitNameWidth).c_str());
  // A missing or unusable factor is refused by the library; the unit stays.
  SetConvToMeters(hdr_payload::Get<double>(p, kUnitFactorAt));
  return true;
}

bool CHdrList::GetSurveyUnitRecord(std::array<uint8_t, 48>& out) const {
  static_assert(sizeof out == kSurveyUnitSize);
  out.fill(0);
  const sHdrEntry* e = GetEntry(kRecIdSurveyUnit, 1);
  if (e == nullptr) return false;
  std::memcpy(out.data(), e->payload.data(), std::min(out.size(), e->payload.size()));
  return true;
}

std::string CHdrList::GetSurveyUnitName() const {
  const sHdrEntry* e = GetEntry(kRecIdSurveyUnit, 1);
  if (e == nullptr) return GetUnitName(1);
  return zor::platform::GetText(e->payload, 0, kUnitNameWidth);
}

bool CHdrList::CheckIntegrity(const std::string& path) const {
  std::unique_ptr<std::FILE, int (*)(std::FILE*)> file(std::fopen(path.c_str(), "w"), &std::fclose);
  if (!file) return false;
  bool clean = true;
  int32_t position = 0;
  for (const sHdrEntry& e : *this) {
    ++position;
    if (static_cast<int32_t>(e.recId) > 0 && e.Size() != 0) continue;
    // The entry's position in the list stands for its address, which means
    // nothing outside this process.
    std::fprintf(file.get(), "pHdrEntry %d Size %d RecId %d \n", position,
                 static_cast<int32_t>(e.Size()), static_cast<int32_t>(e.recId));
    clean = false;
  }
  return clean;
}

std::string GetQuantityUnitText(int quantity, bool longName) {
  const auto code = static_cast<uint32_t>(quantity);
  const int unit = GetQuantityUnit(code);
  switch (GetQuantityKind(code)) {
    case QuantityKind::kLength:
      // Unit 0: the current survey unit is one of the user's own.
      if (unit == 0) return GetCurrentUnitName();
      return longName ? GetUnitName(unit) : GetUnitShort(unit);
    case QuantityKind::kAngle:
      return GetAngUnitName(unit);
    default:
      return "";
  }
}

std::string GetCoordinateKindText(int kind, bool withSuffix) {
  std::string text = CoordinateKindText(kind, false);
  if (withSuffix) text += " Coordinates";
  return text;
}
