#include "system/registry/registry_keys.h"

#include <span>

#include "platform/bytes.h"
#include "system/registry/registry_diagnostics.h"
#include "system/registry/registry_paths.h"

namespace reg = zor::platform;

bool RegistrySettingsKeyExists(const char* sub_key, int32_t product, int32_t category) {
  EnsureRegistryDiagnostics();
  HKEY key = nullptr;
  if (reg::RegOpenKeyEx(reg::HKEY_CURRENT_USER,
                        MakeRegistryKeyPath(sub_key, nullptr, product, category),
                        reg::KEY_QUERY_VALUE, &key) != 0)
    return false;
  reg::RegCloseKey(key);
  return true;
}

void DeleteRegistrySettingsKey(const char* sub_key, int32_t product, int32_t category) {
  DeleteRegistrySettingsKey(sub_key, nullptr, product, category);
}

void DeleteRegistrySettingsKey(const char* sub_key, const char* sub_key2, int32_t product,
                               int32_t category) {
  const std::string path = MakeRegistryKeyPath(sub_key, sub_key2, product, category);
  DeleteRegistryKeyTree(reg::HKEY_CURRENT_USER, path.c_str());
}

bool DeleteRegistrySettingsValue(const char* sub_key, const char* sub_key2,
                                 const char* value_name, int32_t product, int32_t category) {
  EnsureRegistryDiagnostics();
  HKEY key = nullptr;
  if (reg::RegOpenKeyEx(reg::HKEY_CURRENT_USER,
                        MakeRegistryKeyPath(sub_key, sub_key2, product, category),
                        reg::KEY_DELETE | reg::KEY_SET_VALUE, &key) != 0)
    return false;
  const bool deleted =
      reg::RegDeleteValue(key, value_name != nullptr ? value_name : "") == reg::kErrorSuccess;
  reg::RegCloseKey(key);
  return deleted;
}

uint32_t DeleteRegistryKeyTree(HKEY parent, const char* key_name) {
  if (key_name == nullptr || key_name[0] == '\0') return reg::kErrorBadKey;
  EnsureRegistryDiagnostics();
  HKEY key = nullptr;
  uint32_t code =
      reg::RegOpenKeyEx(parent, key_name, reg::KEY_DELETE | reg::KEY_ENUMERATE_SUB_KEYS, &key);
  if (code != 0) return code;
  while (true) {
    std::string sub_key;
    code = reg::RegEnumKeyEx(key, 0, &sub_key);
    if (code == reg::kErrorNoMoreItems) {
      code = reg::RegDeleteKey(parent, key_name);
      break;
    }
    if (code != 0) break;
    code = DeleteRegistryKeyTree(key, sub_key.c_str());
    if (code != 0) break;
  }
  reg::RegCloseKey(key);
  return code;
}

bool ReadRegistryString(HKEY hive, const char* key_name, const char* value_name,
                        std::string& value) {
  EnsureRegistryDiagnostics();
  HKEY key = nullptr;
  if (reg::RegOpenKeyEx(hive, key_name != nullptr ? key_name : "", reg::KEY_QUERY_VALUE, &key) !=
      0)
    return false;
  uint8_t buf[260];
  uint32_t size = sizeof buf;
  const bool read = reg::RegQueryValueEx(key, value_name != nullptr ? value_name : "", nullptr,
                                         buf, &size) == reg::kErrorSuccess;
  reg::RegCloseKey(key);
  if (read) value = reg::GetText(std::span<const uint8_t>(buf, size), 0, size);
  return read;
}

bool ReadRegistryDword(HKEY hive, const char* key_name, const char* value_name,
                       uint32_t& value) {
  EnsureRegistryDiagnostics();
  HKEY key = nullptr;
  if (reg::RegOpenKeyEx(hive, key_name != nullptr ? key_name : "", reg::KEY_QUERY_VALUE, &key) !=
      0)
    return false;
  uint32_t data = 0;
  uint32_t size = sizeof data;
  const bool read = reg::RegQueryValueEx(key, value_name != nullptr ? value_name : "", nullptr,
                                         &data, &size) == reg::kErrorSuccess &&
                    size == sizeof data;
  reg::RegCloseKey(key);
  if (read) value = data;
  return read;
}
