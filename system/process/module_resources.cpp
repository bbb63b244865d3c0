#include "system/process/module_resources.h"

BOOL LoadResourceBytes(std::vector<uint8_t>&, const std::string&, uint16_t, const std::string&) {
  return 0;
}

BOOL LoadResourceText(std::string& out, const std::string& typeName, uint16_t id,
                      const std::string& moduleName) {
  std::vector<uint8_t> bytes;
  if (!LoadResourceBytes(bytes, typeName, id, moduleName)) return 0;
  out.assign(bytes.begin(), bytes.end());
  return 1;
}
