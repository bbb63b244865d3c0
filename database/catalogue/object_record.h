// The object definition record (`sObjDef`): a vessel, remotely operated
// vehicle, towed body or other carrier of nodes, 1424 bytes.
//
//   sObjDef obj{};                               // value-initialised: all zero
//   obj.size = kObjDefSize;
//   obj.version = kObjDefVersion;
//   obj.id = 1;
//   zor::platform::SetFieldText(obj.name, "Survey Vessel");
//   std::string name = zor::platform::FieldText(obj.name);   // bounded read
//
// The record is a file and settings-buffer format, copied whole as bytes:
// little-endian, doubles on 8-byte boundaries, every gap an explicit zero
// field. Fields that no code of the library interprets are carried unchanged
// under neutral names. Text fields may arrive without their terminating zero;
// read them with FieldText, never as C strings.
#pragma once

#include <cstddef>
#include <cstdint>
#include <type_traits>

inline constexpr uint32_t kObjDefSize = 1424;
inline constexpr uint16_t kObjDefVersion = 4;

// Special object ids: the earth (kind 101) and space (kind 102).
inline constexpr int32_t kObjectIdEarth = -2;
inline constexpr int32_t kObjectIdSpace = -1;

struct sObjDef {
  uint32_t size;                  // 1424
  uint16_t version;               // 4
  uint8_t align6[2];
  int32_t id;                     // -2, -1 special; 200..499 give default kinds 1..3
  char name[36];                  // at most 35 characters
  int32_t referenceNodeId;        // an sNodeDef id
  uint8_t settings52[40];
  int32_t sensorWords[10];
  int32_t derivedSensorWords[10];
  int32_t sharedMode;             // -1: not set
  int32_t sharedWord176;
  float sharedValue180;
  int32_t sharedWord184;
  uint32_t sharedFileFlags[4];
  char sharedFilePaths[4][261];   // each at most 260 characters
  int32_t squatModel;             // -1: none
  int32_t settingWords[3];
  double referencePointValue;
  double value1272;
  int32_t displayOrder;           // -1: none
  int32_t word1284;
  int32_t referencePointState;    // -1: none
  int32_t word1292;
  int32_t word1296;
  uint8_t settings1300[40];
  int32_t kind;                   // object type code
  int32_t link1344;               // above 0: the object has a link
  int32_t word1348;
  float value1352;
  uint8_t byte1356;
  uint8_t align1357[3];
  float value1360;
  uint8_t block1364[20];
  float sharedValue1384;
  int32_t sharedWord1388;
  int32_t vesselObjectRef;        // 0 or own id: itself; >= 1 another; < 0 a choice
  uint8_t bytes1396[3];
  uint8_t align1399;
  uint8_t block1400[24];
};

inline int32_t DefinitionId(const sObjDef& r) { return r.id; }

// ---- Layout ---------------------------------------------------------------

static_assert(std::is_standard_layout_v<sObjDef> && std::is_trivially_copyable_v<sObjDef>);
static_assert(sizeof(sObjDef) == kObjDefSize);
static_assert(offsetof(sObjDef, size) == 0);
static_assert(offsetof(sObjDef, version) == 4);
static_assert(offsetof(sObjDef, align6) == 6);
static_assert(offsetof(sObjDef, id) == 8);
static_assert(offsetof(sObjDef, name) == 12);
static_assert(offsetof(sObjDef, referenceNodeId) == 48);
static_assert(offsetof(sObjDef, settings52) == 52);
static_assert(offsetof(sObjDef, sensorWords) == 92);
static_assert(offsetof(sObjDef, derivedSensorWords) == 132);
static_assert(offsetof(sObjDef, sharedMode) == 172);
static_assert(offsetof(sObjDef, sharedWord176) == 176);
static_assert(offsetof(sObjDef, sharedValue180) == 180);
static_assert(offsetof(sObjDef, sharedWord184) == 184);
static_assert(offsetof(sObjDef, sharedFileFlags) == 188);
static_assert(offsetof(sObjDef, sharedFilePaths) == 204);
static_assert(offsetof(sObjDef, squatModel) == 1248);
static_assert(offsetof(sObjDef, settingWords) == 1252);
static_assert(offsetof(sObjDef, referencePointValue) == 1264);
static_assert(offsetof(sObjDef, value1272) == 1272);
static_assert(offsetof(sObjDef, displayOrder) == 1280);
static_assert(offsetof(sObjDef, word1284) == 1284);
static_assert(offsetof(sObjDef, referencePointState) == 1288);
static_assert(offsetof(sObjDef, word1292) == 1292);
static_assert(offsetof(sObjDef, word1296) == 1296);
static_assert(offsetof(sObjDef, settings1300) == 1300);
static_assert(offsetof(sObjDef, kind) == 1340);
static_assert(offsetof(sObjDef, link1344) == 1344);
static_assert(offsetof(sObjDef, word1348) == 1348);
static_assert(offsetof(sObjDef, value1352) == 1352);
static_assert(offsetof(sObjDef, byte1356) == 1356);
static_assert(offsetof(sObjDef, align1357) == 1357);
static_assert(offsetof(sObjDef, value1360) == 1360);
static_assert(offsetof(sObjDef, block1364) == 1364);
static_assert(offsetof(sObjDef, sharedValue1384) == 1384);
static_assert(offsetof(sObjDef, sharedWord1388) == 1388);
static_assert(offsetof(sObjDef, vesselObjectRef) == 1392);
static_assert(offsetof(sObjDef, bytes1396) == 1396);
static_assert(offsetof(sObjDef, align1399) == 1399);
static_assert(offsetof(sObjDef, block1400) == 1400);
