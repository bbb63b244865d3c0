#include "database/definitions/object_record_upgrade.h"

#include <cmath>
#include <cstring>
#include <limits>

#include "database/definitions/object_defaults.h"
#include "platform/bytes.h"

namespace {

// The section that older records hold between the reference node id and
// the rest of the fields.
constexpr uint32_t kDroppedSection = 28004;
// Behind the fields up to 1263 older records have four more bytes of
// alignment in front of the doubles.
constexpr uint32_t kLaterShift = kDroppedSection + 4;

constexpr uint32_t kFirstShifted = offsetof(sObjDef, settings52);          // 52
constexpr uint32_t kFirstLater = offsetof(sObjDef, referencePointValue);   // 1264
constexpr uint32_t kEndVersion3 = offsetof(sObjDef, sharedValue1384);      // 1384
constexpr uint32_t kEndVersion2 = offsetof(sObjDef, referencePointState);  // 1288

// Copies the current fields [from, to) from the old record's offset + shift.
void CopyShifted(std::span<const uint8_t> old, sObjDef& obj, uint32_t from, uint32_t to,
                 uint32_t shift) noexcept {
  std::memcpy(reinterpret_cast<uint8_t*>(&obj) + from, old.data() + from + shift, to - from);
}

template <typename T>
T At(std::span<const uint8_t> old, uint32_t offset) noexcept {
  return zor::platform::GetLEOr(old, offset, T{});
}

}  // namespace

float NarrowToFloat(double value) noexcept {
  constexpr double kMax = std::numeric_limits<float>::max();
  if (value > kMax) return std::numeric_limits<float>::infinity();
  if (value < -kMax) return -std::numeric_limits<float>::infinity();
  return static_cast<float>(value);  // NaN stays NaN
}

ObjectRecordLayout ObjectLayoutOfHead(uint32_t size, uint16_t version) noexcept {
  const uint8_t v = static_cast<uint8_t>(version & 0xFF);
  if (v == kObjDefVersion && size == kObjDefSize) return ObjectRecordLayout::kCurrent;
  if (v == 3 && size == kObjDefVersion3Size) return ObjectRecordLayout::kVersion3;
  return ObjectRecordLayout::kVersion2;
}

ObjectRecordLayout ObjectLayoutOfHead(std::span<const uint8_t, kObjDefHeadSize> head) noexcept {
  return ObjectLayoutOfHead(At<uint32_t>(head, 0), At<uint16_t>(head, 4));
}

uint32_t ObjectRecordSize(ObjectRecordLayout layout) noexcept {
  switch (layout) {
    case ObjectRecordLayout::kCurrent:
      return kObjDefSize;
    case ObjectRecordLayout::kVersion3:
      return kObjDefVersion3Size;
    case ObjectRecordLayout::kVersion2:
      break;
  }
  return kObjDefVersion2Size;
}

bool ConvertObjectRecord(std::span<const uint8_t> record, ObjectRecordLayout layout,
                         sObjDef& obj) noexcept {
  if (record.size() < ObjectRecordSize(layout)) return false;
  if (layout == ObjectRecordLayout::kCurrent) {
    std::memcpy(&obj, record.data(), sizeof obj);
    return true;
  }
  // Head, id, name and reference node stand where they always stood; the
  // two bytes behind the version belong to the older head, and the current
  // head has zero there.
  std::memcpy(&obj, record.data(), kFirstShifted);
  obj.align6[0] = obj.align6[1] = 0;
  const int32_t word176 = obj.sharedWord176;
  CopyShifted(record, obj, kFirstShifted, kFirstLater, kDroppedSection);
  // The word at 176 is newer than both layouts (version 3 keeps the value
  // obj held, its default; version 2 gets -1): what they hold there is the
  // word now at 184.
  obj.sharedWord176 = layout == ObjectRecordLayout::kVersion3 ? word176 : -1;
  obj.sharedWord184 = At<int32_t>(record, offsetof(sObjDef, sharedWord176) + kDroppedSection);
  if (layout == ObjectRecordLayout::kVersion3) {
    CopyShifted(record, obj, kFirstLater, kEndVersion3, kLaterShift);
  } else {
    obj.sharedValue180 =
        NarrowToFloat(At<double>(record, offsetof(sObjDef, sharedValue180) + kDroppedSection));
    CopyShifted(record, obj, kFirstLater, kEndVersion2, kLaterShift);
  }
  return true;
}

void FinishLoadedObject(sObjDef& obj) noexcept {
  obj.size = kObjDefSize;
  obj.version = kObjDefVersion;
  if (obj.kind == kObjectKindNone) obj.kind = DefaultObjectKind(obj.id);
  NormaliseSharedSettings(obj);
}
