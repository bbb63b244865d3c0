#include "database/catalogue/record_time_tags.h"

#include <array>
#include <cstddef>
#include <cstring>
#include <initializer_list>

#include "core/time/system_time.h"
#include "database/catalogue/record_type_size.h"
#include "platform/bytes.h"
#include "platform/system_time.h"

namespace {

using zor::platform::GetLE;
using zor::platform::InBounds;
using zor::platform::SetLE;
using zor::platform::SYSTEMTIME;

constexpr int16_t kNone = -1;
constexpr std::size_t kTimeFieldSize = 16;
static_assert(sizeof(sTimeRecord) == kTimeFieldSize && sizeof(SYSTEMTIME) == kTimeFieldSize);

// The RecId whose tag is a SYSTEMTIME when its word 1 is 0 (an older form).
constexpr int32_t kRecIdPps = 242;

struct TimeTag {
  int16_t at = kNone;           // the plain time record
  int16_t systemTimeAt = kNone; // the same time as a SYSTEMTIME, written only
};

struct TagGroup {
  TimeTag tag;
  std::initializer_list<int32_t> ids;
};

using TagTable = std::array<TimeTag, kLastRecId + 1>;

// An id that two groups claim stops the compilation.
constexpr TagTable BuildTags(std::initializer_list<TagGroup> groups) {
  TagTable table{};
  for (const TagGroup& group : groups) {
    for (int32_t id : group.ids) {
      if (id < 1 || id > kLastRecId || table[id].at != kNone) throw "RecId claimed twice";
      table[id] = group.tag;
    }
  }
  return table;
}

constexpr TagTable kTags = BuildTags({
    {{8, kNone}, {83, 85, 104, 150, 156, 158, 175, 186, 232, 239, 255}},
    {{8, 24}, {148}},
    {{8, 34}, {211, 222, 223, 224, 263}},
    {{8, 32}, {227, 259, 261}},
    {{8, 42}, {235}},
    {{48, kNone}, {86, 87, 96, 242}},
    {{24, kNone}, {94, 117, 145, 172, 252}},
    {{72, kNone}, {98}},
    {{56, kNone}, {102}},
    {{240, kNone}, {115}},
    {{104, kNone}, {116}},
    {{200, kNone}, {146}},
    {{32, kNone}, {152, 216}},
    {{128, kNone}, {165}},
    {{296, kNone}, {178}},
    {{40, kNone}, {250}},
});

TimeTag TagOf(int32_t recId) {
  if (recId < 1 || recId > kLastRecId) return {};
  return kTags[static_cast<std::size_t>(recId)];
}

int16_t SecondTimeFieldAt(int32_t recId) {
  switch (recId) {
    case 98: return 88;
    case 148: return 120;
    case 165: return 144;
    case 227: return 136;
    case 259: return 48;
    case 261: return 112;
    default: return kNone;
  }
}

}  // namespace

int32_t GetRecordTimeTagOffset(int32_t dataRecId) noexcept { return TagOf(dataRecId).at; }

CZORTime GetRecordTimeTag(int32_t dataRecId, std::span<const uint8_t> record) {
  const TimeTag tag = TagOf(dataRecId);
  if (tag.at == kNone) return CZORTime();
  int32_t word1 = -1;
  if (dataRecId == kRecIdPps && GetLE(record, 4, word1) && word1 == 0) {
    SYSTEMTIME st{};
    if (!GetLE(record, static_cast<uint64_t>(tag.at), st)) return CZORTime();
    return CZORTime(SystemTimeToTime(st));
  }
  sTimeRecord plain;
  if (!GetLE(record, static_cast<uint64_t>(tag.at), plain)) return CZORTime();
  return CZORTime(plain);
}

bool SetRecordTimeTag(int32_t dataRecId, std::span<uint8_t> record, const CZORTime& time) {
  const TimeTag tag = TagOf(dataRecId);
  if (tag.at == kNone) return false;
  if (!InBounds(record.size(), static_cast<uint64_t>(tag.at), kTimeFieldSize)) return false;
  if (tag.systemTimeAt != kNone &&
      !InBounds(record.size(), static_cast<uint64_t>(tag.systemTimeAt), kTimeFieldSize)) {
    return false;
  }
  SetLE(record, static_cast<uint64_t>(tag.at), time.GetTimeRecord());
  if (tag.systemTimeAt != kNone)
    SetLE(record, static_cast<uint64_t>(tag.systemTimeAt), TimeToSystemTime(time));
  return true;
}

bool ClearRecordTimeTags(int32_t dataRecId, std::span<uint8_t> record) noexcept {
  const int16_t at = SecondTimeFieldAt(dataRecId);
  if (at == kNone || !InBounds(record.size(), static_cast<uint64_t>(at), kTimeFieldSize))
    return false;
  std::memset(record.data() + at, 0, kTimeFieldSize);
  return true;
}
