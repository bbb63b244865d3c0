// Registry key paths of the suite's programs: one key per product, product
// version, category and program.
//
//   MakeRegistryKeyPath("Drv", nullptr, kRegistryProductTridu8, kRegistryCategoryDrivers)
//       // "Software\Zor\Tridu\8.0\Drivers\Drv"
//   MakeRegistryKeyPath(nullptr, nullptr, 0, 0)             // "Software\Zor"
//   MakeAppRegistryKey(kRegistryProductPelmar, 0)            // "Zor\Pelmar\2.0"
//
// Unknown product and category codes (0 included) add nothing to a path.
#pragma once

#include <cstdint>
#include <string>

// Product codes (RegistryProduct) and the key part and version each adds.
inline constexpr int32_t kRegistryProductTridu7 = 1;     // "\Tridu", 7.0
inline constexpr int32_t kRegistryProductTridu8 = 2;     // "\Tridu", 8.0
inline constexpr int32_t kRegistryProductPelmar = 3;     // "\Pelmar", 2.0
inline constexpr int32_t kRegistryProductHollimar = 4;   // "\Hollimar", 1.1
inline constexpr int32_t kRegistryProductTrelvian = 5;   // "\Trelvian", 1.0
inline constexpr int32_t kRegistryProductBelmi = 6;      // "\Belmi", 1.0
inline constexpr int32_t kRegistryProductUtilities = 7;  // "\Utilities", 1.0
inline constexpr int32_t kRegistryProductSarnu = 8;      // "\Sarnu", 2.0
inline constexpr int32_t kRegistryProductDovrin = 9;     // "\Dovrin", 2.0

// Category codes (RegistryCategory).
inline constexpr int32_t kRegistryCategoryCore = 1;
inline constexpr int32_t kRegistryCategoryDisplays = 2;
inline constexpr int32_t kRegistryCategoryDrivers = 3;
inline constexpr int32_t kRegistryCategoryProcessing = 4;
inline constexpr int32_t kRegistryCategoryUtilities = 5;
inline constexpr int32_t kRegistryCategoryCalibration = 6;
inline constexpr int32_t kRegistryCategoryImport = 7;
inline constexpr int32_t kRegistryCategoryExport = 8;

// The product's key part with its leading backslash ("\Tridu"), or "".
std::string GetRegistryProductName(int32_t product);
// The product's version (7.0, 8.0, ...; 1.1 is held in single precision), or
// 0.0 for a product without one.
double GetRegistryProductVersion(int32_t product);
// The product's version as a key name with one decimal ("8.0", "1.1"), or ""
// for a product without one.
std::string FormatRegistryProductVersion(int32_t product);
// The category's key part with its leading backslash ("\Drivers"), or "".
std::string GetRegistryCategoryName(int32_t category);

// "Software\Zor", the product part, the version part (a backslash and the
// version with one decimal), the category part, then "\<first>" when a first
// sub-key is given and not empty, and only then "\<second>" likewise. A null
// pointer means no sub-key.
std::string MakeRegistryKeyPath(const char* sub_key, const char* sub_key2, int32_t product,
                                int32_t category);
// The same key relative to the Software key and without sub-keys:
// "Zor\Tridu\8.0\Core".
std::string MakeAppRegistryKey(int32_t product, int32_t category);
