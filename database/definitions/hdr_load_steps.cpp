// Steps the header list's loader runs over freshly read entries.
#include <cstring>
#include <vector>

#include "database/catalogue/chart_datum_part.h"
#include "database/definitions/hdr_list.h"
#include "database/definitions/hdr_payload.h"

namespace {

using hdr_payload::Get;

constexpr int32_t kRecIdLambert = 19;
constexpr int32_t kRecIdObliqueMercator = 20;
constexpr int32_t kRecIdTangentPlane = 21;
constexpr int32_t kRecIdChartDatum = 228;

constexpr int32_t kProjectionObliqueMercator = 13;
constexpr int32_t kProjectionTangentPlane = 12;

constexpr uint32_t kObliqueMercatorSize = 104;
constexpr uint32_t kTangentPlaneSize = 72;

// RecId 19: latitude as degrees, minutes, float seconds and a hemisphere
// byte from byte 0, longitude the same from byte 16; the 64 bytes of words
// stay; three doubles follow at 64.
constexpr std::size_t kLatitudeAt = 0;
constexpr std::size_t kLongitudeAt = 16;
constexpr std::size_t kWordsBytes = 64;

double DecimalDegrees(std::span<const uint8_t> p, std::size_t at) {
  const double degrees = Get<int32_t>(p, at);
  const double minutes = Get<int32_t>(p, at + 4);
  const double seconds = Get<float>(p, at + 8);
  const char hemisphere = static_cast<char>(Get<uint8_t>(p, at + 12));
  const double value = degrees + minutes / 60.0 + seconds / 3600.0;
  // Southern and western hemispheres are the negative angles.
  const bool negative =
      hemisphere == 's' || hemisphere == 'S' || hemisphere == 'w' || hemisphere == 'W';
  return negative ? -value : value;
}

// Replaces a RecId 19 record that holds the whole older layout by its
// RecId 20 or 21 form, in place.
void ReplaceLambert(sHdrEntry& lambert, int32_t projection) {
  const std::span<const uint8_t> old(lambert.payload);
  // Both forms are written in the oblique Mercator layout; the tangent plane
  // record keeps what fits of it, as its 72 bytes always held.
  std::vector<uint8_t> layout(kObliqueMercatorSize, 0);
  const std::span<uint8_t> out(layout);
  std::memcpy(layout.data(), old.data(), std::min(kWordsBytes, old.size()));
  double latitude = DecimalDegrees(old, kLatitudeAt);
  if (projection == kProjectionTangentPlane) latitude *= 1000.0;
  hdr_payload::Put(out, 64, latitude);
  hdr_payload::Put(out, 72, DecimalDegrees(old, kLongitudeAt));
  for (std::size_t i = 0; i < 3; ++i) {
    hdr_payload::Put(out, 80 + 8 * i, Get<double>(old, 64 + 8 * i));
  }

  if (projection == kProjectionObliqueMercator) {
    lambert.recId = kRecIdObliqueMercator;
  } else {
    lambert.recId = kRecIdTangentPlane;
    layout.resize(kTangentPlaneSize);
  }
  lambert.payload = std::move(layout);
}

}  // namespace

void CHdrList::ClearLinks() noexcept {
  for (sHdrEntry& e : *this) e.link = -1;
}

void CHdrList::UpgradeLambertRecord() {
  const int32_t projection = GetProjectionType();
  if (projection != kProjectionObliqueMercator && projection != kProjectionTangentPlane) return;
  // Every record in the older layout is replaced where it stands, so that a
  // second pass finds none; a record too short for that layout cannot be
  // read and stays as it is.
  for (sHdrEntry& lambert : *this) {
    if (hdr_payload::IsWhole(lambert, kRecIdLambert)) ReplaceLambert(lambert, projection);
  }
}

void CHdrList::UpgradeChartDatumCodes() {
  sHdrEntry* datum = GetEntry(kRecIdChartDatum, 1);
  // A record cut short is not read as a chart datum: it stays as loaded.
  if (datum == nullptr || !hdr_payload::IsWhole(*datum)) return;
  for (std::size_t at : kChartDatumPartAt) {
    const std::size_t base = at / 4;
    if (datum->WordIs(base + 2, 200)) datum->SetWord(base + 2, 900);
    if (datum->WordIs(base + 70, 1200)) datum->SetWord(base + 70, 1900);
  }
}
