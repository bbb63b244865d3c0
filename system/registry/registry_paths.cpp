#include "system/registry/registry_paths.h"

#include <charconv>

namespace {

struct Product {
  const char* part;
  double version;
};

Product ProductOf(int32_t product) {
  switch (product) {
    case kRegistryProductTridu7: return {"\\Tridu", 7.0};
    case kRegistryProductTridu8: return {"\\Tridu", 8.0};
    case kRegistryProductPelmar: return {"\\Pelmar", 2.0};
    // Held in single precision where it came from; it still prints as 1.1.
    case kRegistryProductHollimar: return {"\\Hollimar", static_cast<double>(1.1f)};
    case kRegistryProductTrelvian: return {"\\Trelvian", 1.0};
    case kRegistryProductBelmi: return {"\\Belmi", 1.0};
    case kRegistryProductUtilities: return {"\\Utilities", 1.0};
    case kRegistryProductSarnu: return {"\\Sarnu", 2.0};
    case kRegistryProductDovrin: return {"\\Dovrin", 2.0};
    default: return {"", 0.0};
  }
}

// The product, version and category parts shared by both path forms.
std::string ProductParts(int32_t product, int32_t category) {
  std::string parts = GetRegistryProductName(product);
  const std::string version = FormatRegistryProductVersion(product);
  if (!version.empty()) parts += "\\" + version;
  parts += GetRegistryCategoryName(category);
  return parts;
}

}  // namespace

std::string GetRegistryProductName(int32_t product) { return ProductOf(product).part; }

double GetRegistryProductVersion(int32_t product) { return ProductOf(product).version; }

std::string FormatRegistryProductVersion(int32_t product) {
  const double version = GetRegistryProductVersion(product);
  if (version == 0.0) return {};
  // "%.1lf", independent of the C locale's decimal point.
  char buf[64];
  const auto result = std::to_chars(buf, buf + sizeof buf, version, std::chars_format::fixed, 1);
  return std::string(buf, result.ptr);
}

std::string GetRegistryCategoryName(int32_t category) {
  switch (category) {
    case kRegistryCategoryCore: return "\\Core";
    case kRegistryCategoryDisplays: return "\\Displays";
    case kRegistryCategoryDrivers: return "\\Drivers";
    case kRegistryCategoryProcessing: return "\\Processing";
    case kRegistryCategoryUtilities: return "\\Utilities";
    case kRegistryCategoryCalibration: return "\\Calibration";
    case kRegistryCategoryImport: return "\\Import";
    case kRegistryCategoryExport: return "\\Export";
    default: return "";
  }
}

std::string MakeRegistryKeyPath(const char* sub_key, const char* sub_key2, int32_t product,
                                int32_t category) {
  std::string path = "Software\\Zor" + ProductParts(product, category);
  if (sub_key != nullptr && sub_key[0] != '\0') {
    path += '\\';
    path += sub_key;
    if (sub_key2 != nullptr && sub_key2[0] != '\0') {
      path += '\\';
      path += sub_key2;
    }
  }
  return path;
}

std::string MakeAppRegistryKey(int32_t product, int32_t category) {
  return "Zor" + ProductParts(product, category);
}
