#include "system/registry/dovrin_paths.h"

#include <gtest/gtest.h>

#include "system/registry/zor_registry.h"
#include "tests/support/registry_folder.h"

namespace {

TEST(DovrinPaths, UserBeforeMachine) {
  ScopedRegistryFolder folder;
  std::string path = "keep";
  EXPECT_FALSE(GetDovrinDataPath(path));
  EXPECT_FALSE(GetDovrinPath(path));
  EXPECT_EQ(path, "keep");

  EXPECT_TRUE(SetDovrinDataPath("/srv/dovrin"));
  EXPECT_TRUE(GetDovrinDataPathMachine(path));
  EXPECT_EQ(path, "/srv/dovrin");
  {
    CZORRegistry user(9, 0, HKEY_CURRENT_USER);
    EXPECT_EQ(user.GetKeyPath(), "Software\\Zor\\Dovrin\\2.0");
    ASSERT_TRUE(user.ReadString("ZOR_DOVRIN2_DATA", path));
    EXPECT_EQ(path, "/srv/dovrin");
    ASSERT_TRUE(user.WriteString("ZOR_DOVRIN2_DATA", "/home/u/dovrin"));
    ASSERT_TRUE(user.WriteString("ZOR_DOVRIN2_PATH", "/home/u/bin"));
  }
  EXPECT_TRUE(GetDovrinDataPath(path));
  EXPECT_EQ(path, "/home/u/dovrin");
  EXPECT_TRUE(GetDovrinPath(path));
  EXPECT_EQ(path, "/home/u/bin");
  {
    CZORRegistry user(9, 0, HKEY_CURRENT_USER);
    ASSERT_TRUE(user.DeleteValue("ZOR_DOVRIN2_DATA"));
    ASSERT_TRUE(user.DeleteValue("ZOR_DOVRIN2_PATH"));
    CZORRegistry machine(9, 0, HKEY_LOCAL_MACHINE);
    ASSERT_TRUE(machine.WriteString("ZOR_DOVRIN2_PATH", "/opt/dovrin"));
  }
  EXPECT_TRUE(GetDovrinDataPath(path));
  EXPECT_EQ(path, "/srv/dovrin");
  EXPECT_TRUE(GetDovrinPath(path));
  EXPECT_EQ(path, "/opt/dovrin");
}

}  // namespace
