#include "database/definitions/sysdef_upgrades.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <limits>
#include <type_traits>

#include "platform/bytes.h"

namespace {

// A code of the type-10 range that later moved, in both of its stored
// forms. A 4-digit form of 0 means only the 6-digit form was ever written.
struct MovedCode {
  int32_t fourDigit;
  int32_t sixDigit;
  int32_t current;
  int32_t type;  // kKeepType: the record keeps its type
};

constexpr int32_t kKeepType = 0;

constexpr std::array<MovedCode, 29> kMovedCodes = {{
    {1010, 100010, 310001, 31},
    {1054, 100054, 310002, 31},
    {1055, 100055, 300001, 30},
    {1056, 100056, 300002, 30},
    {1057, 100057, 300003, 30},
    {1058, 100058, 300004, 30},
    {1064, 100064, 310003, 31},
    {1066, 100066, 310004, 31},
    {1069, 100069, 310005, 31},
    {1070, 100070, 310006, 31},
    {1071, 100071, 310007, 31},
    {0, 100072, 312001, kKeepType},
    {1073, 100073, 310008, 31},
    {1081, 100081, 310009, 31},
    {1082, 100082, 310010, 31},
    {0, 100083, 310006, 31},
    {1084, 100084, 310011, 31},
    {1085, 100085, 310012, 31},
    {1086, 100086, 310013, 31},
    {1087, 100087, 310014, 31},
    {1088, 100088, 310015, 31},
    {1089, 100089, 300005, 30},
    {1090, 100090, 310016, 31},
    {1091, 100091, 310017, 31},
    {1092, 100092, 310018, 31},
    {1093, 100093, 310019, 31},
    {1094, 100094, 310020, 31},
    {1096, 100096, 300007, 30},
    {1097, 100097, 310022, 31},
}};

// Superseded code -> current code, sorted by the old code.
struct Superseded {
  int32_t old;
  int32_t current;
};
constexpr std::array<Superseded, 5> kSuperseded = {{
    {30181, 30169},
    {50203, 50185},
    {120245, 120231},
    {180083, 180076},
    {200188, 200057},
}};
static_assert(std::is_sorted(kSuperseded.begin(), kSuperseded.end(),
                             [](const Superseded& a, const Superseded& b) { return a.old < b.old; }));

const MovedCode* FindMoved(int32_t code) noexcept {
  for (const MovedCode& m : kMovedCodes)
    if (code == m.sixDigit || (m.fourDigit != 0 && code == m.fourDigit)) return &m;
  return nullptr;
}

// code + (code / 100) * 9900 as the suite's 32-bit Windows programs compute it: the
// division truncates toward zero and a result outside 32 bits wraps instead
// of being undefined (only absurd negative codes get there).
int32_t WidenFourDigitCode(int32_t code) noexcept {
  const int64_t wide = int64_t{code} + int64_t{code / 100} * 9900;
  return static_cast<int32_t>(static_cast<uint32_t>(wide));
}

}  // namespace

sSysDef UpgradeOldSysDef(const sSysDefOld& old) noexcept {
  sSysDef record{};
  std::memcpy(&record, &old, kSysDefOldSharedWords);
  // The old field may fill all 76 bytes; the current one keeps 75 and a zero.
  std::size_t n = 0;
  while (n < sizeof record.name - 1 && old.name[n] != '\0') ++n;
  std::memcpy(record.name, old.name, n);
  record.currentLayout = 0;
  return record;
}

bool MapOldSystemType(sSysDef* record) noexcept {
  if (record == nullptr) return false;
  if (record->currentLayout >= 1) return true;
  if (const MovedCode* moved = FindMoved(record->driverCode)) {
    record->driverCode = moved->current;
    if (moved->type != kKeepType) record->type = moved->type;
  }
  if (record->driverCode < 10000) record->driverCode = WidenFourDigitCode(record->driverCode);
  return false;
}

int32_t CurrentSystemCode(int32_t code) noexcept {
  const auto it = std::lower_bound(kSuperseded.begin(), kSuperseded.end(), code,
                                   [](const Superseded& s, int32_t c) { return s.old < c; });
  return it != kSuperseded.end() && it->old == code ? it->current : code;
}

bool RemapSystemCodes(CSysDefList& list) noexcept {
  bool changed = false;
  for (sSysDef* sys : list) {
    const int32_t current = CurrentSystemCode(sys->driverCode);
    if (current == sys->driverCode) continue;
    sys->driverCode = current;
    changed = true;
  }
  return changed;
}

bool UpgradeLoadedSysDefs(CSysDefList& list) noexcept {
  for (sSysDef* sys : list) MapOldSystemType(sys);
  return RemapSystemCodes(list);
}

void AddAsciiLoggerSystem(CSysDefList& list, int32_t& id) {
  int32_t highest = 0;
  for (const sSysDef* sys : list) {
    if (sys->driverCode == kAsciiLoggerDriverCode) return;
    highest = std::max(highest, sys->id);
  }
  // highest + 1 would overflow; any unused id serves the logger as well.
  const int32_t newId =
      highest < std::numeric_limits<int32_t>::max() ? highest + 1 : list.GetFreeId();
  if (newId < 1) return;

  sSysDef* logger = list.AddNew();
  logger->type = kAsciiLoggerSystemType;
  logger->driverCode = kAsciiLoggerDriverCode;
  logger->value32 = 1.0f;
  logger->id = newId;
  zor::platform::SetFieldText(logger->name, kAsciiLoggerName);
  logger->currentLayout = 1;
  logger->wordC = 1;
  id = newId;
}
