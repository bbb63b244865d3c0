#include "system/registry/registry_keys.h"

#include <gtest/gtest.h>

#include "system/registry/zor_registry.h"
#include "tests/support/registry_folder.h"

namespace reg = zor::platform;

namespace {

bool KeyExists(const std::string& key, HKEY hive = HKEY_CURRENT_USER) {
  HKEY h = nullptr;
  if (reg::RegOpenKeyEx(hive, key, reg::KEY_READ, &h) != 0) return false;
  reg::RegCloseKey(h);
  return true;
}

void Make(const std::string& key, HKEY hive = HKEY_CURRENT_USER) {
  HKEY h = nullptr;
  ASSERT_EQ(reg::RegCreateKeyEx(hive, key, reg::KEY_ALL_ACCESS, &h), 0u);
  const uint32_t one = 1;
  ASSERT_EQ(reg::RegSetValueEx(h, "v", reg::REG_DWORD, &one, 4), 0u);
  reg::RegCloseKey(h);
}

TEST(RegistryKeyTree, DeletesDeepestFirst) {
  ScopedRegistryFolder folder;
  for (const char* key : {"Software\\T\\a\\x\\y", "Software\\T\\a\\z", "Software\\T\\b",
                          "Software\\Tb\\keep"})
    Make(key);
  EXPECT_EQ(DeleteRegistryKeyTree(HKEY_CURRENT_USER, ""), reg::kErrorBadKey);
  EXPECT_EQ(DeleteRegistryKeyTree(HKEY_CURRENT_USER, nullptr), reg::kErrorBadKey);
  EXPECT_TRUE(KeyExists("Software\\T\\a\\x\\y"));
  EXPECT_EQ(DeleteRegistryKeyTree(HKEY_CURRENT_USER, "Software\\Missing"),
            reg::kErrorFileNotFound);
  EXPECT_EQ(DeleteRegistryKeyTree(HKEY_CURRENT_USER, "software\\t"), 0u);
  EXPECT_FALSE(KeyExists("Software\\T"));
  EXPECT_TRUE(KeyExists("Software\\Tb\\keep"));
  EXPECT_EQ(DeleteRegistryKeyTree(nullptr, "Software"), reg::kErrorInvalidHandle);
}

TEST(RegistrySettingsKeys, ExistDeleteAndDeleteValue) {
  ScopedRegistryFolder folder;
  EXPECT_FALSE(RegistrySettingsKeyExists("Drv", 2, 3));
  Make("Software\\Zor\\Tridu\\8.0\\Drivers\\Drv\\Settings");
  Make("Software\\Zor\\Tridu\\8.0\\Drivers\\Drv\\Port");
  Make("Software\\Zor\\Tridu\\8.0\\Drivers\\Other");
  EXPECT_TRUE(RegistrySettingsKeyExists("Drv", 2, 3));
  EXPECT_TRUE(RegistrySettingsKeyExists(nullptr, 2, 0));
  EXPECT_FALSE(RegistrySettingsKeyExists("Drv", 1, 3));

  EXPECT_TRUE(DeleteRegistrySettingsValue("Drv", "Port", "V", 2, 3));
  EXPECT_FALSE(DeleteRegistrySettingsValue("Drv", "Port", "v", 2, 3));
  EXPECT_FALSE(DeleteRegistrySettingsValue("Drv", "Absent", "v", 2, 3));

  DeleteRegistrySettingsKey("Drv", "Port", 2, 3);
  EXPECT_FALSE(KeyExists("Software\\Zor\\Tridu\\8.0\\Drivers\\Drv\\Port"));
  EXPECT_TRUE(KeyExists("Software\\Zor\\Tridu\\8.0\\Drivers\\Drv\\Settings"));
  DeleteRegistrySettingsKey("Drv", 2, 3);
  EXPECT_FALSE(RegistrySettingsKeyExists("Drv", 2, 3));
  EXPECT_TRUE(KeyExists("Software\\Zor\\Tridu\\8.0\\Drivers\\Other"));
}

TEST(RegistryReads, StringAndDwordAreBounded) {
  ScopedRegistryFolder folder;
  HKEY h = nullptr;
  ASSERT_EQ(reg::RegCreateKeyEx(HKEY_LOCAL_MACHINE, "Software\\Zor\\Dovrin\\2.0",
                                reg::KEY_ALL_ACCESS, &h), 0u);
  ASSERT_EQ(reg::RegSetValueEx(h, "text", reg::REG_SZ, "abc", 3), 0u);  // no terminator
  ASSERT_EQ(reg::RegSetValueEx(h, "long", reg::REG_SZ, std::string(300, 'x').c_str(), 301), 0u);
  const uint32_t n = 42;
  ASSERT_EQ(reg::RegSetValueEx(h, "n", reg::REG_DWORD, &n, 4), 0u);
  ASSERT_EQ(reg::RegSetValueEx(h, "short", reg::REG_BINARY, &n, 2), 0u);
  reg::RegCloseKey(h);

  std::string s = "keep";
  EXPECT_TRUE(ReadRegistryString(HKEY_LOCAL_MACHINE, "Software\\Zor\\Dovrin\\2.0", "text", s));
  EXPECT_EQ(s, "abc");
  s = "keep";
  EXPECT_FALSE(ReadRegistryString(HKEY_LOCAL_MACHINE, "Software\\Zor\\Dovrin\\2.0", "long", s));
  EXPECT_EQ(s, "keep");
  EXPECT_FALSE(ReadRegistryString(HKEY_CURRENT_USER, "Software\\Zor\\Dovrin\\2.0", "text", s));
  uint32_t d = 7;
  EXPECT_TRUE(ReadRegistryDword(HKEY_LOCAL_MACHINE, "Software\\Zor\\Dovrin\\2.0", "n", d));
  EXPECT_EQ(d, 42u);
  d = 7;
  EXPECT_FALSE(ReadRegistryDword(HKEY_LOCAL_MACHINE, "Software\\Zor\\Dovrin\\2.0", "short", d));
  EXPECT_EQ(d, 7u);
}

}  // namespace
