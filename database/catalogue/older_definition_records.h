// The observation and node records as the older blocks of the project
// database store them: block 37 and the oldest block 4 for observations,
// block 6 for nodes. Loading converts them (def_lists_file.cpp); their names
// stand at byte 12 as in today's records.
//
//   sNodeDefOld6 old;
//   if (file.Read(&old, sizeof old) != sizeof old) return false;
//   std::string name = NodeBlock6DisplayText(&old);   // types/enum_texts.h
//
// Records are copied whole from the file: read their texts through
// FieldText, never as terminated strings.
#pragma once

#include <cstddef>
#include <cstdint>
#include <type_traits>

// Observation records of block 37.
struct sObsDefOld37 {
  int32_t id;
  int32_t number;
  int32_t systemId;
  char name[61];
  uint8_t transient;
  uint8_t setting74;
  uint8_t setting75;
  int32_t words76[6];  // from-node .. word96, as today
  uint8_t align100[4];
  double doubles104[6];  // value104 .. scale, as today
  float value152;        // today's value160
  float value156;        // today's value164
  char tag1[11];
  char tag2[11];
  char shortName[14];
  float timeOut;
};
static_assert(std::is_standard_layout_v<sObsDefOld37> && sizeof(sObsDefOld37) == 200);
static_assert(offsetof(sObsDefOld37, name) == 12);
static_assert(offsetof(sObsDefOld37, setting74) == 74);
static_assert(offsetof(sObsDefOld37, words76) == 76);
static_assert(offsetof(sObsDefOld37, doubles104) == 104);
static_assert(offsetof(sObsDefOld37, value152) == 152);
static_assert(offsetof(sObsDefOld37, value156) == 156);
static_assert(offsetof(sObsDefOld37, tag1) == 160);
static_assert(offsetof(sObsDefOld37, tag2) == 171);
static_assert(offsetof(sObsDefOld37, shortName) == 182);
static_assert(offsetof(sObsDefOld37, timeOut) == 196);

// Observation records of block 4, the oldest: no second float, no time-out.
struct sObsDefOld4 {
  int32_t id;
  int32_t number;
  int32_t systemId;
  char name[61];
  uint8_t bytes73[3];
  int32_t words76[4];  // from-node, to-node, type, word88
  uint8_t unused92[12];
  double doubles104[6];
  float value152;  // today's value160
  char tag1[11];
  char tag2[11];
  char shortName[14];
};
static_assert(std::is_standard_layout_v<sObsDefOld4> && sizeof(sObsDefOld4) == 192);
static_assert(offsetof(sObsDefOld4, words76) == 76);
static_assert(offsetof(sObsDefOld4, doubles104) == 104);
static_assert(offsetof(sObsDefOld4, value152) == 152);
static_assert(offsetof(sObsDefOld4, tag1) == 156);
static_assert(offsetof(sObsDefOld4, tag2) == 167);
static_assert(offsetof(sObsDefOld4, shortName) == 178);

// Node records of block 6.
struct sNodeDefOld6 {
  int32_t id;
  int32_t number;
  int32_t systemId;
  char name[61];
  uint8_t bytes73[3];
  int32_t type;
  int32_t objectId;
  int32_t unused84;
  double offset[3];
};
static_assert(std::is_standard_layout_v<sNodeDefOld6> && sizeof(sNodeDefOld6) == 112);
static_assert(offsetof(sNodeDefOld6, type) == 76);
static_assert(offsetof(sNodeDefOld6, objectId) == 80);
static_assert(offsetof(sNodeDefOld6, offset) == 88);
