#include "platform/path_text.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "tests/support/temp_folder.h"

namespace {

namespace fs = std::filesystem;
using zor::platform::ToNativePath;
using zor::platform::ToNativeSubPath;

TEST(PathText, BackslashesReadAsSlashesUnlessANameHoldsThem) {
  EXPECT_EQ(ToNativePath(""), "");
  EXPECT_EQ(ToNativePath("/a/b.txt"), "/a/b.txt");
  EXPECT_EQ(ToNativePath("Geo\\Geoid\\Egm\\2008\\"), "Geo/Geoid/Egm/2008/");
  EXPECT_EQ(ToNativeSubPath("\\\\server\\share"), "//server/share");

  TempFolder tmp;
  const std::string root = tmp.path();
  fs::create_directories(root + "/run\\");       // a folder whose name ends in '\'
  fs::create_directories(root + "/a\\b/c");      // a name with '\' inside
  fs::create_directories(root + "/plain/x");
  // Nothing of the path exists as written: every '\' separates.
  EXPECT_EQ(ToNativePath(root + "\\plain\\x\\new"), root + "/plain/x/new");
  // The longest part that exists as written is kept.
  EXPECT_EQ(ToNativePath(root + "/run\\"), root + "/run\\");
  EXPECT_EQ(ToNativePath(root + "/run\\/Settings"), root + "/run\\/Settings");
  EXPECT_EQ(ToNativePath(root + "/a\\b\\c\\d"), root + "/a\\b/c/d");
  // A folder's trailing '\' also separates it from what follows.
  EXPECT_EQ(ToNativePath(root + "/run\\Settings\\x"), root + "/run\\/Settings/x");
  // Applying the rule twice changes nothing.
  for (const std::string& p : {root + "/run\\Settings\\x", root + "\\plain\\x", root + "/a\\b\\c"})
    EXPECT_EQ(ToNativePath(ToNativePath(p)), ToNativePath(p)) << p;
}

}  // namespace
