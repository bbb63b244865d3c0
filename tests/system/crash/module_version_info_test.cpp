#include "system/crash/module_version_info.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "platform/version_resource.h"

namespace {

std::string ProgramValue(const char* name) {
  std::string text;
  zor::platform::ProgramVersionBlock().Query(std::string("\\StringFileInfo\\040904B0\\") + name,
                                              text);
  return text;
}

TEST(ModuleVersionInfo, ReadsTheProgramsOwnRecord) {
  ModuleVersionInfo info;
  const std::string self = zor::platform::GetProgramFilePath();
  ASSERT_TRUE(info.Load(self.c_str()));
  EXPECT_TRUE(info.HasVersionData());
  EXPECT_STREQ(info.GetModulePath(), self.c_str());

  char text[600];
  EXPECT_EQ(info.GetCompanyName(text, sizeof text), 1);
  EXPECT_EQ(text, ProgramValue("CompanyName"));
  info.GetProductName(text, sizeof text);
  EXPECT_EQ(text, ProgramValue("ProductName"));
  info.GetFileDescription(text, sizeof text);
  EXPECT_EQ(text, ProgramValue("FileDescription"));

  uint16_t v[4] = {9, 9, 9, 9};
  EXPECT_EQ(info.GetFileVersion(v), 1);
  char joined[64];
  std::snprintf(joined, sizeof joined, "%u.%u.%u.%u", v[0], v[1], v[2], v[3]);
  EXPECT_EQ(joined, ProgramValue("FileVersion"));
  info.GetProductVersion(v);
  std::snprintf(joined, sizeof joined, "%u.%u.%u.%u", v[0], v[1], v[2], v[3]);
  EXPECT_EQ(joined, ProgramValue("ProductVersion"));

  VS_FIXEDFILEINFO fixed{};
  EXPECT_EQ(info.GetFixedFileInfo(fixed), 1);
  EXPECT_EQ(fixed.dwSignature, 0xFEEF04BDu);
  uint32_t value = 99;
  info.GetFileType(value);
  EXPECT_EQ(value, 1u);
  EXPECT_EQ(fixed.dwFileType, 1u);
  info.GetFileOS(value);
  EXPECT_EQ(value, 0u);

  // Releasing frees the record; what was read stays.
  info.Release();
  EXPECT_FALSE(info.HasVersionData());
  info.GetCompanyName(text, sizeof text);
  EXPECT_EQ(text, ProgramValue("CompanyName"));
}

TEST(ModuleVersionInfo, FixedRecordPacksTheVersionNumbers) {
  ModuleVersionInfo info(zor::platform::GetProgramFilePath().c_str());
  uint16_t file[4], product[4];
  info.GetFileVersion(file);
  info.GetProductVersion(product);
  VS_FIXEDFILEINFO fixed{};
  info.GetFixedFileInfo(fixed);
  EXPECT_EQ(fixed.dwFileVersionMS, uint32_t{file[0]} << 16 | file[1]);
  EXPECT_EQ(fixed.dwFileVersionLS, uint32_t{file[2]} << 16 | file[3]);
  EXPECT_EQ(fixed.dwProductVersionMS, uint32_t{product[0]} << 16 | product[1]);
  EXPECT_EQ(fixed.dwProductVersionLS, uint32_t{product[2]} << 16 | product[3]);
}

TEST(ModuleVersionInfo, OtherModulesHaveNoRecord) {
  ModuleVersionInfo info;
  EXPECT_FALSE(info.Load("/bin/sh"));
  EXPECT_FALSE(info.HasVersionData());
  EXPECT_STREQ(info.GetModulePath(), "/bin/sh");
  char text[16] = "stale";
  info.GetCompanyName(text, sizeof text);
  EXPECT_STREQ(text, "");
  uint16_t v[4] = {1, 1, 1, 1};
  info.GetProductVersion(v);
  EXPECT_EQ(v[0] + v[1] + v[2] + v[3], 0);
  VS_FIXEDFILEINFO fixed{};
  fixed.dwSignature = 5;
  info.GetFixedFileInfo(fixed);
  EXPECT_EQ(fixed.dwSignature, 0u);

  // A loaded object that loads a file without a record forgets the old one.
  ModuleVersionInfo reused(zor::platform::GetProgramFilePath().c_str());
  EXPECT_FALSE(reused.Load("/bin/sh"));
  reused.GetCompanyName(text, sizeof text);
  EXPECT_STREQ(text, "");

  EXPECT_FALSE(info.Load(nullptr));
  EXPECT_STREQ(info.GetModulePath(), "");
}

TEST(ModuleVersionInfo, TextGettersLeaveRoomAndCutLongPaths) {
  ModuleVersionInfo info(zor::platform::GetProgramFilePath().c_str());
  const std::string company = ProgramValue("CompanyName");
  ASSERT_GE(company.size(), 3u);
  char small[5];
  std::memset(small, 'x', sizeof small);
  EXPECT_EQ(info.GetCompanyName(small, 4), 1);
  EXPECT_EQ(std::string(small), company.substr(0, 2));  // size 4: at most 2 characters
  EXPECT_EQ(small[3], '\0');                             // the buffer was zeroed
  EXPECT_EQ(small[4], 'x');                              // and nothing past it touched
  char one[1] = {'x'};
  EXPECT_EQ(info.GetProductName(one, 1), 1);
  EXPECT_EQ(one[0], '\0');
  EXPECT_EQ(info.GetFileDescription(nullptr, 10), 0);

  const std::string longPath = "/" + std::string(700, 'p');
  ModuleVersionInfo cut(longPath.c_str());
  EXPECT_EQ(std::strlen(cut.GetModulePath()), ModuleVersionInfo::kMaxPathLength);
}

}  // namespace
