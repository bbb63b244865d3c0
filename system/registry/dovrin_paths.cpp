#include "system/registry/dovrin_paths.h"

#include "system/registry/zor_registry.h"

namespace {

constexpr char kDataValue[] = "ZOR_DOVRIN2_DATA";
constexpr char kPathValue[] = "ZOR_DOVRIN2_PATH";

bool ReadDovrinValue(HKEY hive, const char* value, std::string& text) {
  CZORRegistry reg(kRegistryProductDovrin, 0, hive);
  return reg.ReadString(value, text) != 0;
}

bool WriteDovrinValue(HKEY hive, const char* value, const char* text) {
  try {
    CZORRegistry reg(kRegistryProductDovrin, 0, hive);
    return reg.WriteText(value, text) != 0;
  } catch (...) {
    return false;  // a failed write of one hive must not stop the other
  }
}

}  // namespace

bool GetDovrinDataPathMachine(std::string& path) {
  return ReadDovrinValue(HKEY_LOCAL_MACHINE, kDataValue, path);
}

bool GetDovrinDataPath(std::string& path) {
  if (ReadDovrinValue(HKEY_CURRENT_USER, kDataValue, path)) return true;
  return GetDovrinDataPathMachine(path);
}

bool GetDovrinPath(std::string& path) {
  if (ReadDovrinValue(HKEY_CURRENT_USER, kPathValue, path)) return true;
  return ReadDovrinValue(HKEY_LOCAL_MACHINE, kPathValue, path);
}

bool SetDovrinDataPath(const char* path) {
  const bool machine = WriteDovrinValue(HKEY_LOCAL_MACHINE, kDataValue, path);
  const bool user = WriteDovrinValue(HKEY_CURRENT_USER, kDataValue, path);
  return machine || user;
}
