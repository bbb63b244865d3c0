#include "system/registry/install_dir.h"

#include <gtest/gtest.h>

#include <stdexcept>

#include "platform/registry_store.h"
#include "tests/support/registry_folder.h"

namespace reg = zor::platform;

namespace {

void Install(const std::string& version, const std::string& dir) {
  reg::HKEY h = nullptr;
  ASSERT_EQ(reg::RegCreateKeyEx(reg::HKEY_LOCAL_MACHINE, "SOFTWARE\\Zor\\Wj\\" + version,
                                reg::KEY_ALL_ACCESS, &h), 0u);
  if (!dir.empty()) {
    ASSERT_EQ(reg::RegSetValueEx(h, "InstallDir", reg::REG_SZ, dir.c_str(),
                                 static_cast<uint32_t>(dir.size() + 1)), 0u);
  }
  reg::RegCloseKey(h);
}

TEST(InstallDir, HighestVersionWinsByNumberNotText) {
  ScopedRegistryFolder folder;
  EXPECT_EQ(GetInstallDir(10, ""), "");  // no product key
  Install("8.1.0.5", "/opt/wj-8.1");
  Install("8.10.0.1", "/opt/wj-8.10");
  Install("8.9", "/opt/wj-8.9");
  EXPECT_EQ(GetInstallDir(10, ""), "/opt/wj-8.10");
  EXPECT_EQ(GetInstallDir(10, "8.2"), "/opt/wj-8.10");
  // A minimum above every installed version names a key that is not there.
  EXPECT_EQ(GetInstallDir(10, "9.0"), "");
}

TEST(InstallDir, MissingOrOversizedValueGivesEmptyText) {
  ScopedRegistryFolder folder;
  Install("1.0", "");
  EXPECT_EQ(GetInstallDir(10, ""), "");
  Install("2.0", std::string(300, 'd'));  // longer than the 256-byte buffer
  EXPECT_EQ(GetInstallDir(10, ""), "");
  Install("3.0", std::string(255, 'e'));
  EXPECT_EQ(GetInstallDir(10, ""), std::string(255, 'e'));
}

TEST(InstallDir, OtherProductsThrow) {
  ScopedRegistryFolder folder;
  try {
    GetInstallDir(3, "");
    FAIL() << "no exception";
  } catch (const std::exception& e) {
    EXPECT_STREQ(e.what(), "This function is not yet implemented for the passed product");
  }
}

TEST(VersionNumbers, ParseAndCompare) {
  EXPECT_EQ(ParseVersionNumbers("8.10.0.1"), (std::array<int32_t, 4>{8, 10, 0, 1}));
  EXPECT_EQ(ParseVersionNumbers("8.1"), (std::array<int32_t, 4>{8, 1, 0, 0}));
  EXPECT_EQ(ParseVersionNumbers("7-2-3-4-5"), (std::array<int32_t, 4>{7, 2, 3, 4}));
  EXPECT_EQ(ParseVersionNumbers("beta"), (std::array<int32_t, 4>{0, 0, 0, 0}));
  EXPECT_EQ(ParseVersionNumbers("99999999999.1")[0], INT32_MAX);  // no overflow
  EXPECT_TRUE(IsVersionLessOrSame("8.1.0.5", "8.10.0.1"));
  EXPECT_FALSE(IsVersionLessOrSame("8.10.0.1", "8.1.0.5"));
  EXPECT_TRUE(IsVersionLessOrSame("V8", "v8"));
  EXPECT_FALSE(IsVersionLessOrSame("8.0", "8.0.0.0"));  // same numbers, different text
  EXPECT_FALSE(IsVersionLessOrSame("8.0.0.0", "8.0"));
}

}  // namespace
