// Free functions over whole keys and single values of the suite's settings.
//
//   if (RegistrySettingsKeyExists("Drv", kRegistryProductTridu8, kRegistryCategoryDrivers))
//     DeleteRegistrySettingsKey("Drv", kRegistryProductTridu8, kRegistryCategoryDrivers);
//   uint32_t code = DeleteRegistryKeyTree(HKEY_CURRENT_USER, "Software\\Zor\\Old");
//   std::string dir;
//   ReadRegistryString(HKEY_LOCAL_MACHINE, "Software\\Zor\\Dovrin\\2.0", "ZOR_DOVRIN2_DATA", dir);
//
// The settings-key functions work below the current user's hive root, on the
// key path of MakeRegistryKeyPath (without "\Settings").
#pragma once

#include <cstdint>
#include <string>

#include "platform/registry_store.h"

using zor::platform::HKEY;

// True when the key path of the first sub-key (null: none), product and
// category exists for the current user.
bool RegistrySettingsKeyExists(const char* sub_key, int32_t product, int32_t category);
// Delete that key path with everything below it.
void DeleteRegistrySettingsKey(const char* sub_key, int32_t product, int32_t category);
void DeleteRegistrySettingsKey(const char* sub_key, const char* sub_key2, int32_t product,
                               int32_t category);
// Deletes one value of that key path; true when it was deleted.
bool DeleteRegistrySettingsValue(const char* sub_key, const char* sub_key2,
                                 const char* value_name, int32_t product, int32_t category);

// Deletes `key_name` below `parent` with all its sub-keys, deepest first.
// Returns the platform error code: 0 success, 1010 for a null or empty name
// (nothing is deleted), else the code of the call that failed.
uint32_t DeleteRegistryKeyTree(HKEY parent, const char* key_name);

// Reads a text of up to 259 characters; true when read. `value` is left as
// it was when the read fails.
bool ReadRegistryString(HKEY hive, const char* key_name, const char* value_name,
                        std::string& value);
// Reads a 4-byte value; true when read (a value of another width fails).
bool ReadRegistryDword(HKEY hive, const char* key_name, const char* value_name,
                       uint32_t& value);
