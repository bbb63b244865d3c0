// The ES-DTM definition record (`sEsDtmDef`), 568 bytes, as the project file
// (block 23) and the settings buffer carry it.
//
//   sEsDtmDef r{};
//   r.size = kEsDtmDefSize;
//   r.id = 3;
//   r.cellSize = 1.0;                          // above 0, at most 10000
//   for (int32_t& link : r.links) link = -1;   // no links
//
// Little-endian, copied whole as bytes; fields that no code of the library
// interprets are carried unchanged under neutral names, every gap an
// explicit zero field.
#pragma once

#include <cstddef>
#include <cstdint>
#include <type_traits>

inline constexpr uint32_t kEsDtmDefSize = 568;

struct sEsDtmDef {
  uint32_t size;  // 568, set on save
  int32_t id;
  int32_t enabled;  // 0 or 1
  int32_t word12;   // at most 1,000,000
  uint8_t bytes16[8];
  double cellSize;  // above 0, at most 10000; default 1.0
  double value32;   // above 0, at most 1000; default 0.5
  uint8_t bytes40[20];
  int32_t word60;  // reset on load
  uint8_t bytes64[362];
  uint8_t byte426;  // reset on load
  uint8_t bytes427[29];
  uint32_t flags;   // bits 0 and 1
  int32_t word460;  // needs a "Sound Velocity" header record
  uint8_t bytes464[24];
  uint32_t colour[3];  // components 0..255
  int32_t word500;
  uint8_t bytes504[8];
  int32_t word512;
  int32_t links[4];  // -1: none
  uint8_t bytes532[36];
};

inline int32_t DefinitionId(const sEsDtmDef& r) { return r.id; }

static_assert(std::is_standard_layout_v<sEsDtmDef> && std::is_trivially_copyable_v<sEsDtmDef>);
static_assert(sizeof(sEsDtmDef) == kEsDtmDefSize);
static_assert(offsetof(sEsDtmDef, size) == 0);
static_assert(offsetof(sEsDtmDef, id) == 4);
static_assert(offsetof(sEsDtmDef, enabled) == 8);
static_assert(offsetof(sEsDtmDef, word12) == 12);
static_assert(offsetof(sEsDtmDef, cellSize) == 24);
static_assert(offsetof(sEsDtmDef, value32) == 32);
static_assert(offsetof(sEsDtmDef, word60) == 60);
static_assert(offsetof(sEsDtmDef, byte426) == 426);
static_assert(offsetof(sEsDtmDef, flags) == 456);
static_assert(offsetof(sEsDtmDef, word460) == 460);
static_assert(offsetof(sEsDtmDef, colour) == 488);
static_assert(offsetof(sEsDtmDef, word500) == 500);
static_assert(offsetof(sEsDtmDef, word512) == 512);
static_assert(offsetof(sEsDtmDef, links) == 516);
static_assert(offsetof(sEsDtmDef, bytes532) == 532);
