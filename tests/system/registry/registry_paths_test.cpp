#include "system/registry/registry_paths.h"

#include <gtest/gtest.h>

#include <string>

namespace {

TEST(RegistryPaths, EveryProductCategoryAndSubKeyCombination) {
  // The product table: key part and version part of each code.
  const char* const products[] = {"",          "\\Tridu\\7.0",    "\\Tridu\\8.0",
                                  "\\Pelmar\\2.0", "\\Hollimar\\1.1", "\\Trelvian\\1.0",
                                  "\\Belmi\\1.0",  "\\Utilities\\1.0", "\\Sarnu\\2.0",
                                  "\\Dovrin\\2.0", ""};
  const char* const categories[] = {"",         "\\Core",        "\\Displays", "\\Drivers",
                                    "\\Processing", "\\Utilities", "\\Calibration",
                                    "\\Import", "\\Export",      ""};
  const char* const firsts[] = {nullptr, "", "Drv"};
  const char* const seconds[] = {nullptr, "", "Port"};
  for (int32_t p = 0; p <= 10; ++p) {
    for (int32_t c = 0; c <= 9; ++c) {
      const std::string base = std::string("Software\\Zor") + products[p] + categories[c];
      EXPECT_EQ(MakeAppRegistryKey(p, c), base.substr(9));
      for (const char* first : firsts) {
        for (const char* second : seconds) {
          std::string expect = base;
          if (first != nullptr && *first != '\0') {
            expect += std::string("\\") + first;
            if (second != nullptr && *second != '\0') expect += std::string("\\") + second;
          }
          EXPECT_EQ(MakeRegistryKeyPath(first, second, p, c), expect)
              << p << " " << c << " " << (first ? first : "null") << " "
              << (second ? second : "null");
        }
      }
    }
  }
}

TEST(RegistryPaths, PartsAndUnknownCodes) {
  EXPECT_EQ(MakeRegistryKeyPath(nullptr, nullptr, 0, 0), "Software\\Zor");
  EXPECT_EQ(MakeRegistryKeyPath("X", nullptr, 2, 3), "Software\\Zor\\Tridu\\8.0\\Drivers\\X");
  EXPECT_EQ(MakeRegistryKeyPath(nullptr, "Y", 2, 3), "Software\\Zor\\Tridu\\8.0\\Drivers");
  EXPECT_EQ(MakeRegistryKeyPath("X", "Y", -1, 100), "Software\\Zor\\X\\Y");
  EXPECT_EQ(GetRegistryProductName(9), "\\Dovrin");
  EXPECT_EQ(GetRegistryProductName(11), "");
  EXPECT_EQ(GetRegistryProductVersion(4), static_cast<double>(1.1f));  // single precision
  EXPECT_EQ(GetRegistryProductVersion(0), 0.0);
  EXPECT_EQ(FormatRegistryProductVersion(4), "1.1");
  EXPECT_EQ(FormatRegistryProductVersion(2), "8.0");
  EXPECT_EQ(FormatRegistryProductVersion(12), "");
  EXPECT_EQ(GetRegistryCategoryName(8), "\\Export");
  EXPECT_EQ(GetRegistryCategoryName(-3), "");
}

}  // namespace
