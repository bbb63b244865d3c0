// Bringing system definitions of older project databases up to date: the
// 148-byte records of block 2, the 4-digit driver codes, the type-10 codes
// that moved to types 30 and 31, and codes superseded by others. Also adds
// the built-in "ASCII Logger" system to a set-up that lacks it.
//
//   // What the system block reader does with every record it reads:
//   sSysDef* sys = systems.AddCopy(UpgradeOldSysDef(old));   // block 2 only
//   MapOldSystemType(sys);                 // both blocks; current records untouched
//   ...
//   RemapSystemCodes(systems);             // once the whole list is read
//
//   int32_t loggerId = 0;
//   AddAsciiLoggerSystem(systems, loggerId);   // loggerId set only when added
//
// A driver code names the device of a system: type x 10000 + number in the
// current form (150133 is number 133 of type 15), type x 100 + number in the
// old 4-digit form.
#pragma once

#include <cstdint>

#include "database/catalogue/definition_records.h"
#include "database/catalogue/sysdef_old_layouts.h"
#include "database/definitions/sys_def_list.h"

// The built-in logger system.
inline constexpr int32_t kAsciiLoggerSystemType = 15;
inline constexpr int32_t kAsciiLoggerDriverCode = 150133;
inline constexpr char kAsciiLoggerName[] = "ASCII Logger";

// A block 2 record in today's layout: the shared 72 bytes as they stand, the
// name cut to 75 characters, no driver-definition file and layout mark 0, so
// that MapOldSystemType still converts its codes.
sSysDef UpgradeOldSysDef(const sSysDefOld& old) noexcept;

// Converts the driver code and type of a record not yet in the current
// layout (mark 0): a code of the moved type-10 range takes its current code
// and type, then a code below 10000 is widened to type x 10000 + number.
// Returns true, changing nothing, for a record whose mark is 1 or more;
// false for a null record and after converting.
bool MapOldSystemType(sSysDef* record) noexcept;

// The current code of a superseded driver code, or the code itself.
int32_t CurrentSystemCode(int32_t code) noexcept;

// Replaces every superseded driver code in the list; true when a record
// changed.
bool RemapSystemCodes(CSysDefList& list) noexcept;

// MapOldSystemType over every record, then RemapSystemCodes: the steps a
// reader of a system block takes once the list is read. True when
// RemapSystemCodes changed a record.
bool UpgradeLoadedSysDefs(CSysDefList& list) noexcept;

// Appends the "ASCII Logger" system (type 15, code 150133) with the highest
// system id of the list plus one, written to `id`, unless some record
// already has code 150133; then `id` is left alone. When the highest id is
// the largest 32-bit id, the smallest free id is taken instead; when there
// is none, nothing is added.
void AddAsciiLoggerSystem(CSysDefList& list, int32_t& id);
