// Object definitions built from the header's object records, object
// outlines, and the counters the header keeps up to date.
#include <algorithm>
#include <cstring>
#include <string>

#include "core/text/data_format_names.h"
#include "database/catalogue/chart_datum_part.h"
#include "database/definitions/hdr_accessors.h"
#include "database/definitions/hdr_blobs.h"
#include "database/definitions/hdr_list.h"
#include "database/definitions/hdr_payload.h"
#include "database/definitions/obj_def_list.h"
#include "database/definitions/object_defaults.h"
#include "database/definitions/shape_points.h"
#include "platform/unit_library.h"

namespace {

using hdr_payload::Is;
using hdr_payload::Word;

// Object records (RecIds 166..169, 267): name at 4 (36 bytes), id in word
// 10; pipe bundles (229) keep the id in word 0.
constexpr std::size_t kNameAt = 4;
constexpr std::size_t kNameChars = 35;
constexpr std::size_t kObjectIdWord = 10;

// The outline inside a RecId 166 record: point count in word 19, points
// from byte 80.
constexpr std::size_t kOutlineCountWord = 19;
constexpr std::size_t kOutlineAt = 80;
constexpr std::size_t kMaxOutlinePoints = 1000;

// RecId 268 "Shape": object id, key, binary-object id.
constexpr int32_t kRecIdShape = 268;
constexpr uint32_t kShapeSize = 400;
constexpr int32_t kShapeKey = 1;

constexpr int32_t kObsTypeGnssPosition = 20;

template <typename Pred>
int32_t Count(const CHdrList& list, int32_t recId, Pred pred) {
  return static_cast<int32_t>(std::count_if(
      list.begin(), list.end(), [&](const sHdrEntry& e) { return Is(e, recId) && pred(e); }));
}

int32_t CountByWord(const CHdrList& list, int32_t recId, std::size_t n, int32_t value) {
  return Count(list, recId, [&](const sHdrEntry& e) { return e.WordIs(n, value); });
}

// The variable node (by number) belongs to the object.
bool NodeOfObject(const CHdrList& list, int32_t nodeNumber, int32_t objectId) {
  const sHdrEntry* node = list.FindVariableNodeByNumber(nodeNumber);
  return node != nullptr && node->WordIs(7, objectId);
}

// GNSS positions of an object: the position records and the GNSS position
// observations whose node (word 8) the object carries.
int32_t CountGnssPositions(const CHdrList& list, int32_t id) {
  return CountByWord(list, 73, 3, id) + CountByWord(list, 205, 3, id) +
         CountByWord(list, 258, 5, id) + Count(list, 65, [&](const sHdrEntry& e) {
           return e.WordIs(0, kObsTypeGnssPosition) && NodeOfObject(list, Word(e, 8), id);
         });
}

// The number of outline points a payload holds at `at`, bounded by its room
// and the largest outline.
std::size_t OutlineCapacity(const sHdrEntry& e) {
  if (e.payload.size() < kOutlineAt) return 0;
  return std::min(kMaxOutlinePoints, (e.payload.size() - kOutlineAt) / sizeof(sShapePoint));
}

}  // namespace

void CHdrList::BuildObjectList(CObjDefList& list) const {
  list.RemoveAll();
  for (int32_t recId : {166, 267, 167, 168, 169, 229}) {
    const std::size_t idWord = recId == 229 ? 0 : kObjectIdWord;
    for (const sHdrEntry& e : *this) {
      if (!Is(e, recId)) continue;
      sObjDef record{};
      record.id = Word(e, idWord);
      zor::platform::SetFieldText(record.name,
                                  zor::platform::GetText(e.payload, kNameAt, kNameChars));
      FillObjectRecord(record);
      list.AddCopy(record);
    }
  }
}

void CHdrList::FillObjectRecord(sObjDef& record) const {
  const int32_t id = record.id;
  char name[sizeof record.name];
  std::memcpy(name, record.name, sizeof name);
  record = MakeDefaultObject(id);
  std::memcpy(record.name, name, sizeof name);

  if (const sHdrEntry* datum = GetEntry(228, 1)) {
    const std::span<const uint8_t> part =
        std::span<const uint8_t>(datum->payload)
            .subspan(std::min(datum->payload.size(), kChartDatumPartAt[1]));
    const int32_t code = hdr_payload::Word(part, 2);
    int32_t level = code;
    if (code > 0) {
      int32_t high = hdr_payload::Word(part, 70);
      if (high <= 1000) high = 1000;
      level = static_cast<int32_t>((static_cast<uint32_t>(code) & 0xFFFFu) |
                                   (static_cast<uint32_t>(high) << 16));
    }
    record.settingWords[2] = level;
  }
  if (const sHdrEntry* point = FindReferencePoint(record)) {
    record.referencePointState = 0;
    record.referencePointValue = hdr_payload::Get<float>(point->payload, 12);
    record.value1272 = 0.0;
    record.kind = Word(*point, 1);
  }
}

bool CHdrList::GetObjectShape(int32_t id, std::vector<sShapePoint>& points) const {
  points.clear();
  if (const sHdrEntry* object = FindObject(id)) {
    const int32_t stored = Word(*object, kOutlineCountWord);
    const std::size_t count = std::min<std::size_t>(
        stored < 0 ? 0 : static_cast<std::size_t>(stored), OutlineCapacity(*object));
    points.resize(count);
    if (count > 0) {
      std::memcpy(points.data(), object->payload.data() + kOutlineAt, count * sizeof(sShapePoint));
    }
    return true;
  }
  const sHdrEntry* shape = FindShape(id, kShapeKey);
  int32_t blobId = 0;
  if (shape == nullptr || !shape->GetWord(2, blobId)) return false;
  std::string mediaType;
  std::vector<uint8_t> data;
  if (!GetBlob(static_cast<uint32_t>(blobId), mediaType, data)) return false;
  if (mediaType != VesselShapeMimeType) return false;
  ReadShapePoints(data, points);
  return true;
}

bool CHdrList::SetObjectShape(int32_t id, const std::vector<sShapePoint>& points) {
  if (auto* object = const_cast<sHdrEntry*>(FindObject(id))) {
    const std::size_t count = std::min(points.size(), OutlineCapacity(*object));
    if (!object->SetWord(kOutlineCountWord, static_cast<int32_t>(count))) return false;
    if (count > 0) {
      std::memcpy(object->payload.data() + kOutlineAt, points.data(), count * sizeof(sShapePoint));
    }
    return true;
  }
  return SetObjectShapeBinary(id, points);
}

bool CHdrList::SetObjectShapeBinary(int32_t id, const std::vector<sShapePoint>& points) {
  if (FindShapeObject(id) == nullptr) return false;

  std::vector<uint8_t> bytes;
  WriteShapePoints(points, bytes);
  if (const sHdrEntry* shape = FindShape(id, kShapeKey)) {
    int32_t word = 0;
    if (!shape->GetWord(2, word)) return false;
    const auto blobId = static_cast<uint32_t>(word);
    // The id may name a binary object of another kind; it is not ours to
    // overwrite.
    std::string mediaType;
    std::vector<uint8_t> old;
    if (GetBlob(blobId, mediaType, old) && mediaType != VesselShapeMimeType) return false;
    RemoveBlob(blobId);
    return AddBlob(blobId, VesselShapeMimeType, bytes);
  }
  const uint32_t blobId = GetNextBlobId();
  if (!AddBlob(blobId, VesselShapeMimeType, bytes)) return false;
  std::vector<uint8_t> record(kShapeSize, 0);
  const std::span<uint8_t> p(record);
  hdr_payload::SetWord(p, 0, id);
  hdr_payload::SetWord(p, 1, kShapeKey);
  hdr_payload::SetWord(p, 2, static_cast<int32_t>(blobId));
  hdr_payload::SetWord(p, 72, 63);
  for (std::size_t at : {344u, 352u, 360u}) hdr_payload::Put(p, at, 1.0);
  AddEntry(kRecIdShape, kShapeSize, record.data(), -1);
  return true;
}

void CHdrList::UpdateSummary() {
  sHdrEntry* summary = GetEntry(24, 1);
  if (summary == nullptr) {
    int32_t fresh[7] = {0, 0, 0, 0, 1, 0, 0};
    AddEntry(24, sizeof fresh, fresh, -1);
    summary = GetEntry(24, 1);
  }
  const auto smallObject = [](const sHdrEntry& e) {
    int32_t id = 0;
    return e.GetWord(kObjectIdWord, id) && id < 10;
  };
  const auto largeObject = [](const sHdrEntry& e) {
    int32_t id = 0;
    return e.GetWord(kObjectIdWord, id) && id >= 10;
  };
  const int32_t small = Count(*this, 166, smallObject) + Count(*this, 267, smallObject);
  const int32_t large = Count(*this, 166, largeObject) + Count(*this, 267, largeObject);
  const int32_t nodes = Count(*this, 201,
                              [](const sHdrEntry& e) {
                                int32_t object = 0;
                                return e.GetWord(7, object) && object >= 10 && object <= 99;
                              }) +
                        CountEntries(204);
  int32_t unit = 0;
  const sHdrEntry* survey = GetEntry(kRecIdSurveyUnit, 1);
  double factor = 0.0;
  if (survey != nullptr &&
      zor::platform::GetLE(std::span<const uint8_t>(survey->payload), 40, factor)) {
    if (factor == GetConvToMeters(1)) {
      unit = 0;
    } else if (factor == GetConvToMeters(2)) {
      unit = 1;
    } else {
      unit = 25;
    }
  }
  summary->SetWord(0, small);
  summary->SetWord(1, large);
  summary->SetWord(2, nodes);
  summary->SetWord(3, CountEntries(13));
  summary->SetWord(5, unit);
}

void CHdrList::UpdateObjectCounts() {
  for (sHdrEntry& object : *this) {
    if (!Is(object, 166) && !Is(object, 267)) continue;
    int32_t id = 0;
    if (!object.GetWord(kObjectIdWord, id)) continue;
    const int32_t sounders =
        CountByWord(*this, 219, 1, id) +
        Count(*this, 220, [&](const sHdrEntry& e) { return NodeOfObject(*this, Word(e, 8), id); }) +
        CountByWord(*this, 221, 2, id);
    const int32_t counts[8] = {CountByWord(*this, 167, 11, id), CountByWord(*this, 168, 11, id),
                               CountByWord(*this, 169, 11, id), sounders,
                               CountByWord(*this, 226, 1, id),  CountByWord(*this, 202, 0, id),
                               CountGnssPositions(*this, id),   CountByWord(*this, 201, 7, id)};
    for (std::size_t i = 0; i < 8; ++i) object.SetWord(11 + i, counts[i]);
  }
}

void CHdrList::UpdateGunArrayCounts() {
  for (sHdrEntry& gunArray : *this) {
    if (!Is(gunArray, 168)) continue;
    int32_t id = 0;
    if (!gunArray.GetWord(kObjectIdWord, id)) continue;
    const int32_t counts[4] = {CountByWord(*this, 169, 11, id), CountGnssPositions(*this, id),
                               CountByWord(*this, 201, 7, id), CountByWord(*this, 57, 1, id)};
    for (std::size_t i = 0; i < 4; ++i) gunArray.SetWord(12 + i, counts[i]);
  }
}

void CHdrList::UpdateCorrections() {
  for (sHdrEntry& correction : *this) {
    if (!Is(correction, 140)) continue;
    const std::span<uint8_t> p(correction.payload);
    for (std::size_t at : {16u, 32u, 36u}) hdr_payload::Put(p, at, 0.0f);
    int32_t key = 0;
    if (!correction.GetWord(0, key)) continue;
    const sHdrEntry* obs = nullptr;
    for (const sHdrEntry& e : *this) {
      if (Is(e, 65) && e.WordIs(11, key) && e.WordIs(0, 1)) {
        obs = &e;
        break;
      }
    }
    if (obs == nullptr) continue;
    int32_t fixedId = 0;
    if (obs->GetWord(7, fixedId)) {
      for (const sHdrEntry& e : *this) {
        if (!Is(e, 204) || !e.WordIs(0, fixedId)) continue;
        hdr_payload::Put(p, 16, hdr_payload::ToFloat(hdr_payload::Get<double>(e.payload, 672)));
        break;
      }
    }
    int32_t number = 0;
    if (obs->GetWord(8, number)) {
      for (const sHdrEntry& e : *this) {
        if (!Is(e, 141) || !e.WordIs(1, number) || Word(e, 0) <= 0) continue;
        hdr_payload::Put(p, 32, hdr_payload::Get<float>(e.payload, 8));
        hdr_payload::Put(p, 36, hdr_payload::Get<float>(e.payload, 12));
        break;
      }
    }
  }
}
