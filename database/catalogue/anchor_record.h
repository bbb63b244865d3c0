// The anchor definition record (`sAnchorDef`, 284 bytes) and the older
// record of block 29 (`sAnchorDefOld`, 168 bytes).
//
//   sAnchorDef a{};
//   zor::platform::SetFieldText(a.name, "Anchor 1");   // at most 49 characters
//   a.id = 1;
//   a.assignWords[0] = 4;                              // above 0: assigned
//
// Both are file and settings-buffer formats, little-endian and copied whole.
// The current record packs its doubles on 4-byte boundaries (they start at
// byte 116), so it is declared with 4-byte packing; the older record keeps
// natural alignment. Text fields may arrive without their terminating zero:
// read them with FieldText.
#pragma once

#include <cstddef>
#include <cstdint>
#include <type_traits>

inline constexpr uint32_t kAnchorDefSize = 284;
inline constexpr uint32_t kAnchorDefOldSize = 168;

#pragma pack(push, 4)
struct sAnchorDef {
  char name[50];  // at most 49 characters
  uint8_t bytes50[26];
  int32_t id;      // 1 and up
  int32_t word80;  // 0 in records converted from the older layout
  int32_t settingWords[8];
  double settingValues[6];
  int32_t assignWords[5];  // assignment words 0..4: above 0 means assigned
  uint8_t bytes184[32];
  int32_t assignWords5[7];  // assignment words 5..11
  uint8_t bytes244[40];
};
#pragma pack(pop)

struct sAnchorDefOld {
  char name[76];
  int32_t id;
  int32_t word80;
  int32_t settingWords[8];
  uint8_t align116[4];
  double settingValues[6];
};

inline int32_t DefinitionId(const sAnchorDef& r) { return r.id; }

static_assert(std::is_standard_layout_v<sAnchorDef> && std::is_trivially_copyable_v<sAnchorDef>);
static_assert(sizeof(sAnchorDef) == kAnchorDefSize);
static_assert(offsetof(sAnchorDef, name) == 0);
static_assert(offsetof(sAnchorDef, bytes50) == 50);
static_assert(offsetof(sAnchorDef, id) == 76);
static_assert(offsetof(sAnchorDef, word80) == 80);
static_assert(offsetof(sAnchorDef, settingWords) == 84);
static_assert(offsetof(sAnchorDef, settingValues) == 116);
static_assert(offsetof(sAnchorDef, assignWords) == 164);
static_assert(offsetof(sAnchorDef, bytes184) == 184);
static_assert(offsetof(sAnchorDef, assignWords5) == 216);
static_assert(offsetof(sAnchorDef, bytes244) == 244);

static_assert(std::is_standard_layout_v<sAnchorDefOld> &&
              std::is_trivially_copyable_v<sAnchorDefOld>);
static_assert(sizeof(sAnchorDefOld) == kAnchorDefOldSize);
static_assert(offsetof(sAnchorDefOld, id) == 76);
static_assert(offsetof(sAnchorDefOld, word80) == 80);
static_assert(offsetof(sAnchorDefOld, settingWords) == 84);
static_assert(offsetof(sAnchorDefOld, align116) == 116);
static_assert(offsetof(sAnchorDefOld, settingValues) == 120);
