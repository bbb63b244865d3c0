#include "system/folders/suite_folders.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <stdexcept>

#include "core/text/file_search.h"
#include "system/files/file_helpers.h"
#include "tests/support/temp_folder.h"

namespace fs = std::filesystem;

namespace {

// Points the shell folders and the current folder into a fresh tree.
class SuiteFolders : public ::testing::Test {
 protected:
  void SetUp() override {
    ::setenv("ZOR_COMMON_DOCUMENTS_DIR", tmp.Path("public").c_str(), 1);
    ::setenv("ZOR_COMMON_PROGRAM_FILES_DIR", tmp.Path("common").c_str(), 1);
    fs::create_directories(tmp.Path("cwd"));
    previous = GetCurrentFolder(false);
    SetCurrentFolder(tmp.Path("cwd").c_str());
  }
  void TearDown() override {
    SetCurrentFolder(previous.c_str());
    ::unsetenv("ZOR_COMMON_DOCUMENTS_DIR");
    ::unsetenv("ZOR_COMMON_PROGRAM_FILES_DIR");
  }
  TempFolder tmp;
  std::string previous;
};

TEST_F(SuiteFolders, IdsMapToTheirRootsAndCreateOnRequest) {
  std::string out;
  EXPECT_TRUE(GetSuiteFolder(4, out, true, true));
  EXPECT_EQ(out, tmp.Path("public/Zor/Tridu/Drivers/Definitions/Input/"));
  EXPECT_TRUE(fs::is_directory(out));

  EXPECT_TRUE(GetSuiteFolder(1, out, false, false));
  EXPECT_EQ(out, tmp.Path("cwd"));
  EXPECT_TRUE(GetSuiteFolder(21, out, false, true));
  EXPECT_EQ(out, tmp.Path("cwd/"));

  EXPECT_FALSE(GetSuiteFolder(22, out, false, false));  // missing: path still given
  EXPECT_EQ(out, tmp.Path("common/Zor/Geo"));
  EXPECT_TRUE(GetSuiteFolderPath(24, "Egm/2008", out, true, true));
  EXPECT_EQ(out, tmp.Path("public/Zor/Shared/Geo/Geoid/Egm/2008/"));

  out = "unchanged";
  EXPECT_FALSE(GetSuiteFolder(28, out, true, true));
  EXPECT_FALSE(GetSuiteFolder(-1, out, true, true));
  EXPECT_EQ(out, "unchanged");

  EXPECT_TRUE(GetSuiteBaseFolder(7, out));
  EXPECT_EQ(out, "");
  EXPECT_EQ(GetSuiteFolderIdList(), (std::vector<SuiteFolderId>{4, 7, 13, 16, 17, 18, 19, 24, 27}));
}

TEST_F(SuiteFolders, BackslashesSeparateWhereFoldersAreMadeTestedAndSearched) {
  std::string out;
  ASSERT_TRUE(GetSuiteFolderPath(24, "Egm\\2008", out, true, true));
  EXPECT_EQ(out, tmp.Path("public/Zor/Shared/Geo/Geoid/Egm/2008/"));
  EXPECT_TRUE(IsExistingFolder(out));
  EXPECT_FALSE(fs::exists(tmp.Path("public/Zor/Shared/Geo/Geoid/Egm\\2008")));
  tmp.Write("public/Zor/Shared/Geo/Geoid/Egm/2008/model.grd", "x");
  std::vector<std::string> found;
  FindFilesInFolders(found, {out}, "*.grd", false, true, true);
  EXPECT_EQ(found.size(), 1u);
  EXPECT_TRUE(GetSuiteFolderPath(24, "Egm\\2008\\", out, false, false));
}

TEST_F(SuiteFolders, ACurrentFolderWhoseNameEndsInABackslashHoldsItsSubFolders) {
  // Linux allows '\' in a name; the folder the system names is taken as it is.
  const std::string odd = tmp.Path("run\\");
  fs::create_directories(odd);
  SetCurrentFolder(odd.c_str());
  EXPECT_EQ(GetCurrentFolder(true), odd + "/");
  std::string out;
  ASSERT_TRUE(GetSuiteFolderPath(2, "Extra\\Deep", out, true, true));
  EXPECT_TRUE(fs::is_directory(odd + "/Drivers/Settings/Extra/Deep"));
  EXPECT_FALSE(fs::exists(tmp.Path("run")));  // nothing beside it
  EXPECT_TRUE(IsExistingFolder(out));
  tmp.Write("run\\/Drivers/Settings/Extra/Deep/a.ini", "x");
  std::vector<std::string> found;
  FindFilesInFolders(found, {out}, "*.ini", false, true, true);
  EXPECT_EQ(found.size(), 1u);
  ASSERT_TRUE(GetSuiteFolder(15, out, true, false));
  EXPECT_TRUE(fs::is_directory(odd + "/Settings"));
  EXPECT_TRUE(IsExistingFolder(out));
}

TEST_F(SuiteFolders, DefinitionFilesLastFolderWinsPerName) {
  tmp.Write("cwd/Ini Files/A.ini", "local");
  tmp.Write("public/Zor/Tridu/Drivers/Definitions/Input/A.ini", "shared");
  tmp.Write("public/Zor/Tridu/Drivers/Definitions/Input/B.ini", "shared");
  tmp.Write("public/Zor/Tridu/Drivers/Definitions/Input/notes.txt", "");

  std::vector<std::string> out;
  FindDefinitionFiles(1, out, true);
  EXPECT_EQ(out, (std::vector<std::string>{
                     tmp.Path("public/Zor/Tridu/Drivers/Definitions/Input/A.ini"),
                     tmp.Path("public/Zor/Tridu/Drivers/Definitions/Input/B.ini")}));
  FindDefinitionFiles(1, out, false);
  EXPECT_EQ(out.size(), 3u);
  EXPECT_EQ(out.front(), tmp.Path("cwd/Ini Files/A.ini"));

  std::vector<std::string> folders = {"kept"};
  EXPECT_EQ(GetDefinitionFolders(4, folders).size(), 1u);
  EXPECT_THROW(FindDefinitionFiles(4, out, true), std::invalid_argument);
  EXPECT_THROW(GetDefinitionSearchInfo(-1), std::invalid_argument);
}

TEST_F(SuiteFolders, DriverListAndSettingsSearch) {
  tmp.Write("cwd/Drivers/Gyro/DRIVERS.IO", "");
  tmp.Write("public/Zor/Tridu/Drivers/Other/drivers.io", "");
  tmp.Write("cwd/Drivers/DRIVERS.IO", "");
  std::vector<std::string> out;
  FindDefinitionFiles(0, out, false);
  // Only direct files of each folder are searched, without regard to case.
  EXPECT_EQ(out, (std::vector<std::string>{tmp.Path("cwd/Drivers/DRIVERS.IO")}));

  tmp.Write("cwd/Drivers/Settings/gyro.ini", "2");
  tmp.Write("public/Zor/Tridu/Drivers/Settings/gyro.ini", "0");
  std::string found;
  EXPECT_TRUE(FindDriverSettingsFile(found, "gyro.ini"));
  EXPECT_EQ(found, tmp.Path("public/Zor/Tridu/Drivers/Settings/gyro.ini"));
  EXPECT_FALSE(FindSettingsFile(found, "gyro.ini"));
  tmp.Write("cwd/Settings/project.set", "");
  EXPECT_TRUE(FindSettingsFile(found, "project.set"));
  EXPECT_EQ(found, tmp.Path("cwd/Settings/project.set"));
}

}  // namespace
