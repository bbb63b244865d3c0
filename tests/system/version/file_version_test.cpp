#include "system/version/file_version.h"

#include <gtest/gtest.h>

#include "tests/support/temp_folder.h"

namespace {

TEST(FileVersion, TheProgramHasItsCompiledInRecord) {
  CFileVersion own;
  EXPECT_FALSE(own.GetCompanyName().empty());
  EXPECT_FALSE(own.GetProductVersion().empty());
  EXPECT_EQ(own.GetOriginalFilename(), "zor_system_tests");
  EXPECT_EQ(own.GetSpecialBuild(), "");
  EXPECT_EQ(own.TranslationCount(), 2);  // the first translation answered
}

TEST(FileVersion, OtherFilesHaveNoRecord) {
  TempFolder tmp;
  const std::string file = tmp.Write("tool", "not a program");
  CFileVersion other(file.c_str(), "040904B0");
  EXPECT_FALSE(other.Load(file.c_str()));
  EXPECT_EQ(other.GetCompanyName(), "");
  EXPECT_EQ(other.GetProductVersion(), "");
  CFileVersion none(nullptr, "040904B0", "040904E4");
  EXPECT_EQ(none.GetFileVersion(), "");
}

TEST(FileVersion, ASecondTranslationThatAnswersBecomesTheOnlyOne) {
  zor::platform::VersionBlock block;
  block.Set("\\StringFileInfo\\040904E4\\CompanyName", "Maker");
  block.Set("\\StringFileInfo\\040904E4\\ProductName", "Suite");
  CFileVersion v(nullptr, "040904B0", "040904E4");
  v.SetBlock(block);
  EXPECT_EQ(v.TranslationCount(), 2);
  EXPECT_EQ(v.GetCompanyName(), "Maker");
  EXPECT_EQ(v.TranslationCount(), 1);
  EXPECT_EQ(v.Translation(0), "040904E4");
  EXPECT_EQ(v.GetProductName(), "Suite");
  EXPECT_EQ(v.GetComments(), "");
}

TEST(VersionInfo, MissingFileFallsBackToTheProgram) {
  CVersionInfo info;
  std::string out = "stale";
  EXPECT_FALSE(info.GetValue("CompanyName", out));
  EXPECT_EQ(out, "");
  EXPECT_TRUE(info.Open("/no/such/file"));
  EXPECT_EQ(info.Path(), zor::platform::GetProgramFilePath());
  EXPECT_TRUE(info.GetValue("ProductName", out));
  EXPECT_FALSE(out.empty());
  EXPECT_FALSE(info.GetValue("NoSuchEntry", out));
  EXPECT_EQ(out, "");

  TempFolder tmp;
  EXPECT_FALSE(info.Open(tmp.Write("plain.txt", "x")));
  EXPECT_FALSE(info.GetValue("ProductName", out));
  info.Close();
}

}  // namespace
