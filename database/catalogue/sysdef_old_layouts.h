// The system definition record as the older block 2 "System Definitions
// (old)" stores it: the first 72 bytes of today's sSysDef and the name, 148
// bytes in all, with no driver-definition file and no layout mark.
//
//   sSysDefOld old;
//   if (file.Read(&old, sizeof old) != sizeof old) return false;   // a block 2 record
//   sSysDef current = UpgradeOldSysDef(old);   // database/definitions/sysdef_upgrades.h
//
// Records are copied whole from the file, so the name may arrive without its
// terminating zero; read it through FieldText.
#pragma once

#include <cstddef>
#include <cstdint>
#include <type_traits>

struct sSysDefOld {
  int32_t ident[5];    // identification words 0..4
  int32_t type;        // system type
  int32_t driverCode;  // a 4-digit code in the oldest files
  int32_t word28;
  float value32;
  float value36;
  int32_t words40[4];
  int32_t id;
  int32_t link1;
  int32_t link2;
  int32_t link3;
  char name[76];       // at most 75 characters are taken over
};

static_assert(std::is_standard_layout_v<sSysDefOld> && std::is_trivially_copyable_v<sSysDefOld>);
static_assert(sizeof(sSysDefOld) == 148);
static_assert(offsetof(sSysDefOld, ident) == 0);
static_assert(offsetof(sSysDefOld, type) == 20);
static_assert(offsetof(sSysDefOld, driverCode) == 24);
static_assert(offsetof(sSysDefOld, word28) == 28);
static_assert(offsetof(sSysDefOld, value32) == 32);
static_assert(offsetof(sSysDefOld, value36) == 36);
static_assert(offsetof(sSysDefOld, words40) == 40);
static_assert(offsetof(sSysDefOld, id) == 56);
static_assert(offsetof(sSysDefOld, link1) == 60);
static_assert(offsetof(sSysDefOld, link2) == 64);
static_assert(offsetof(sSysDefOld, link3) == 68);
static_assert(offsetof(sSysDefOld, name) == 72);

// The words both layouts share, byte for byte.
inline constexpr std::size_t kSysDefOldSharedWords = 72;
