// The three survey definition records: observations (`sObsDef`), nodes
// (`sNodeDef`) and systems (`sSysDef`).
//
//   sObsDef obs{};                       // value-initialised: all zero
//   obs.id = 3;
//   zor::platform::SetFieldText(obs.name, "Gyro");
//   std::string name = zor::platform::FieldText(obs.name);   // bounded read
//
// The records travel between processes through the settings buffer and are
// stored in the project file, always copied whole as bytes. Their layout is
// therefore fixed: little-endian, doubles on 8-byte boundaries, every gap an
// explicit zero field. Text fields may arrive without their terminating zero;
// read them with FieldText, never as C strings.
#pragma once

#include <cstddef>
#include <cstdint>
#include <type_traits>

// One observation a system produces, between two nodes.
struct sObsDef {
  int32_t id;          // 1 and up
  int32_t number;      // paired with the observation of the negated number
  int32_t systemId;    // the sSysDef producing it
  char name[61];       // at most 60 characters
  uint8_t transient;   // zeroed before the record leaves the process
  uint8_t setting74;   // kept from older layouts
  uint8_t setting75;
  int32_t fromNodeId;
  int32_t toNodeId;
  int32_t type;        // observation type 0..113
  int32_t word88;
  int32_t word92;      // read by the driver's ring buffers
  int32_t word96;
  uint8_t align100[4];
  double value104;     // read by the driver's ring buffers
  double ratioA;       // ratio denominator
  double ratioB;       // ratio numerator
  double c1;           // calibration constants, summed
  double c2;
  double scale;        // 0: no scale
  double quadratic;    // 0: no quadratic term
  float value160;
  float value164;
  char tag1[11];       // at most 10 characters; for some systems a slot number
  char tag2[11];
  char shortName[14];  // at most 13 characters
  float timeOut;       // seconds
  uint8_t reserved[32];
};

// A point of an object (vessel, station, satellite) with its offsets.
struct sNodeDef {
  int32_t id;          // 1 and up; ids of 10000 and more exist
  int32_t number;      // what node links and dredging records refer to
  int32_t systemId;    // type 5: the satellite navigation system
  char name[61];       // at most 60 characters
  uint8_t displayFlag; // 0: the display bytes are not set
  uint8_t display74;   // 25 by default
  uint8_t display75;   // 2 by default
  int32_t type;        // 0..5
  int32_t objectId;    // the object carrying the node
  int32_t word84;      // -1 in records converted from the older layout
  double offset[3];    // X, Y, Z in the survey unit, indexed by axis
  uint8_t reserved[16];
};

// One system (sensor or computation) of the survey set-up.
struct sSysDef {
  int32_t ident[5];       // identification words 0..4; word 3 may be -1
  int32_t type;           // system type 1..46
  int32_t driverCode;
  int32_t word28;
  float value32;
  float value36;
  int32_t words40[4];
  int32_t id;             // 1 and up
  int32_t link1;          // the system this one derives from, or key word 1
  int32_t link2;
  int32_t link3;
  char name[76];          // at most 75 characters
  char driverFile[261];   // driver-definition file, at most 260 characters
  uint8_t align409[3];
  uint32_t currentLayout; // 1: written in the current layout
  int32_t word416;
  int32_t wordA;
  int32_t wordB;
  int32_t wordC;
  uint8_t byteD;
  uint8_t align433[3];
  uint8_t reserved[76];
};

// Identification word 3 holds this when it is not set.
inline constexpr int32_t kSysIdentNotSet = -1;

// The id each list keys its records by.
inline int32_t DefinitionId(const sObsDef& r) { return r.id; }
inline int32_t DefinitionId(const sNodeDef& r) { return r.id; }
inline int32_t DefinitionId(const sSysDef& r) { return r.id; }

// ---- Layout ---------------------------------------------------------------

static_assert(std::is_standard_layout_v<sObsDef> && std::is_trivially_copyable_v<sObsDef>);
static_assert(sizeof(sObsDef) == 240);
static_assert(offsetof(sObsDef, id) == 0);
static_assert(offsetof(sObsDef, number) == 4);
static_assert(offsetof(sObsDef, systemId) == 8);
static_assert(offsetof(sObsDef, name) == 12);
static_assert(offsetof(sObsDef, transient) == 73);
static_assert(offsetof(sObsDef, setting74) == 74);
static_assert(offsetof(sObsDef, setting75) == 75);
static_assert(offsetof(sObsDef, fromNodeId) == 76);
static_assert(offsetof(sObsDef, toNodeId) == 80);
static_assert(offsetof(sObsDef, type) == 84);
static_assert(offsetof(sObsDef, word88) == 88);
static_assert(offsetof(sObsDef, word92) == 92);
static_assert(offsetof(sObsDef, word96) == 96);
static_assert(offsetof(sObsDef, align100) == 100);
static_assert(offsetof(sObsDef, value104) == 104);
static_assert(offsetof(sObsDef, ratioA) == 112);
static_assert(offsetof(sObsDef, ratioB) == 120);
static_assert(offsetof(sObsDef, c1) == 128);
static_assert(offsetof(sObsDef, c2) == 136);
static_assert(offsetof(sObsDef, scale) == 144);
static_assert(offsetof(sObsDef, quadratic) == 152);
static_assert(offsetof(sObsDef, value160) == 160);
static_assert(offsetof(sObsDef, value164) == 164);
static_assert(offsetof(sObsDef, tag1) == 168);
static_assert(offsetof(sObsDef, tag2) == 179);
static_assert(offsetof(sObsDef, shortName) == 190);
static_assert(offsetof(sObsDef, timeOut) == 204);
static_assert(offsetof(sObsDef, reserved) == 208);

static_assert(std::is_standard_layout_v<sNodeDef> && std::is_trivially_copyable_v<sNodeDef>);
static_assert(sizeof(sNodeDef) == 128);
static_assert(offsetof(sNodeDef, id) == 0);
static_assert(offsetof(sNodeDef, number) == 4);
static_assert(offsetof(sNodeDef, systemId) == 8);
static_assert(offsetof(sNodeDef, name) == 12);
static_assert(offsetof(sNodeDef, displayFlag) == 73);
static_assert(offsetof(sNodeDef, display74) == 74);
static_assert(offsetof(sNodeDef, display75) == 75);
static_assert(offsetof(sNodeDef, type) == 76);
static_assert(offsetof(sNodeDef, objectId) == 80);
static_assert(offsetof(sNodeDef, word84) == 84);
static_assert(offsetof(sNodeDef, offset) == 88);
static_assert(offsetof(sNodeDef, reserved) == 112);

static_assert(std::is_standard_layout_v<sSysDef> && std::is_trivially_copyable_v<sSysDef>);
static_assert(sizeof(sSysDef) == 512);
static_assert(offsetof(sSysDef, ident) == 0);
static_assert(offsetof(sSysDef, type) == 20);
static_assert(offsetof(sSysDef, driverCode) == 24);
static_assert(offsetof(sSysDef, word28) == 28);
static_assert(offsetof(sSysDef, value32) == 32);
static_assert(offsetof(sSysDef, value36) == 36);
static_assert(offsetof(sSysDef, words40) == 40);
static_assert(offsetof(sSysDef, id) == 56);
static_assert(offsetof(sSysDef, link1) == 60);
static_assert(offsetof(sSysDef, link2) == 64);
static_assert(offsetof(sSysDef, link3) == 68);
static_assert(offsetof(sSysDef, name) == 72);
static_assert(offsetof(sSysDef, driverFile) == 148);
static_assert(offsetof(sSysDef, align409) == 409);
static_assert(offsetof(sSysDef, currentLayout) == 412);
static_assert(offsetof(sSysDef, word416) == 416);
static_assert(offsetof(sSysDef, wordA) == 420);
static_assert(offsetof(sSysDef, wordB) == 424);
static_assert(offsetof(sSysDef, wordC) == 428);
static_assert(offsetof(sSysDef, byteD) == 432);
static_assert(offsetof(sSysDef, align433) == 433);
static_assert(offsetof(sSysDef, reserved) == 436);
