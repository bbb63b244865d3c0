#include "system/registry/install_dir.h"

#include <span>
#include <sstream>
#include <stdexcept>

#include "platform/bytes.h"
#include "platform/registry_store.h"
#include "system/registry/registry_diagnostics.h"

namespace reg = zor::platform;

std::array<int32_t, 4> ParseVersionNumbers(const std::string& text) {
  std::array<int32_t, 4> numbers{};
  std::istringstream in(text);
  in >> numbers[0];
  for (std::size_t i = 1; i < numbers.size(); ++i) {
    char separator = 0;
    in >> separator >> numbers[i];
  }
  // A failed extraction leaves 0, an overflowing one the type's limit.
  return numbers;
}

bool IsVersionLessOrSame(const std::string& a, const std::string& b) {
  if (reg::RegistryNamesEqual(a, b)) return true;
  return ParseVersionNumbers(a) < ParseVersionNumbers(b);
}

std::string GetInstallDir(int32_t product_id, const std::string& min_version) {
  if (product_id != 10) {
    throw std::runtime_error("This function is not yet implemented for the passed product");
  }
  EnsureRegistryDiagnostics();
  reg::HKEY product = nullptr;
  if (reg::RegOpenKeyEx(reg::HKEY_LOCAL_MACHINE, "SOFTWARE\\Zor\\Wj",
                        reg::KEY_QUERY_VALUE | reg::KEY_ENUMERATE_SUB_KEYS, &product) != 0)
    return {};

  std::string best = min_version;
  std::string name;
  for (uint32_t index = 0; reg::RegEnumKeyEx(product, index, &name) == 0; ++index) {
    if (best.empty() || IsVersionLessOrSame(best, name)) best = name;
  }

  std::string dir;
  reg::HKEY version = nullptr;
  if (!best.empty() && reg::RegOpenKeyEx(product, best, reg::KEY_QUERY_VALUE, &version) == 0) {
    uint8_t buf[256];
    uint32_t size = sizeof buf;
    if (reg::RegQueryValueEx(version, "InstallDir", nullptr, buf, &size) == 0)
      dir = reg::GetText(std::span<const uint8_t>(buf, size), 0, size);
    reg::RegCloseKey(version);
  }
  reg::RegCloseKey(product);
  return dir;
}
