// The height definition record (`sHeightDef`), 16 bytes, as the project
// file (block 31) and the settings buffer carry it.
//
//   sHeightDef h{};
//   InitHeightDef(h);          // size 16, version 1, id 0, value 0
//   h.id = systemId;
//
// Little-endian, copied whole as bytes; the value is carried unchanged.
#pragma once

#include <cstddef>
#include <cstdint>
#include <type_traits>

inline constexpr uint32_t kHeightDefSize = 16;
inline constexpr uint8_t kHeightDefVersion = 1;

struct sHeightDef {
  uint32_t size;    // 16
  uint8_t version;  // 1
  uint8_t align5[3];
  int32_t id;
  uint32_t value;
};

inline int32_t DefinitionId(const sHeightDef& r) { return r.id; }

// Size 16, version 1, everything else zero.
inline void InitHeightDef(sHeightDef& r) noexcept {
  r = sHeightDef{};
  r.size = kHeightDefSize;
  r.version = kHeightDefVersion;
}

static_assert(std::is_standard_layout_v<sHeightDef> && std::is_trivially_copyable_v<sHeightDef>);
static_assert(sizeof(sHeightDef) == kHeightDefSize);
static_assert(offsetof(sHeightDef, size) == 0);
static_assert(offsetof(sHeightDef, version) == 4);
static_assert(offsetof(sHeightDef, align5) == 5);
static_assert(offsetof(sHeightDef, id) == 8);
static_assert(offsetof(sHeightDef, value) == 12);
