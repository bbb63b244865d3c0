#include "system/os/os_info.h"

#include <gtest/gtest.h>

#include <cstdlib>

#include "platform/error_text.h"

namespace {

OSVERSIONINFOEX Record(uint32_t platform, uint32_t major, uint32_t minor, uint8_t productType) {
  OSVERSIONINFOEX info{};
  info.dwOSVersionInfoSize = sizeof info;
  info.dwPlatformId = platform;
  info.dwMajorVersion = major;
  info.dwMinorVersion = minor;
  info.wProductType = productType;
  return info;
}

TEST(OsInfo, VersionCodesAndNamesFollowTheTable) {
  struct Case {
    OSVERSIONINFOEX info;
    int32_t code;
    const char* name;
  } cases[] = {
      {Record(2, 10, 0, 1), 1000, "Windows 10"},
      {Record(2, 10, 0, 3), 1001, "Windows Server 2016"},
      {Record(2, 6, 4, 1), 640, "Unknown"},
      {Record(2, 5, 2, 1), 521, "Windows Server 2003"},
      {Record(2, 5, 2, 3), 521, "Windows Server 2003"},
      {Record(2, 5, 3, 1), 0, "Unknown"},
      {Record(2, 4, 0, 1), 499, "Windows NT"},
      {Record(2, 6, 1, 2), 611, "Windows Server 2008 R2"},
      {Record(1, 4, 90, 0), 490, "Windows Me"},
      {Record(1, 4, 11, 0), 0, "Unknown"},
      {Record(1, 5, 0, 0), 0, "Unknown"},
      {Record(0, 9, 9, 0), 310, "Windows 3.1"},
      {Record(3, 10, 0, 1), 0, "Unknown"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(GetWindowsVersionCode(c.info), c.code) << c.name;
    EXPECT_EQ(GetWindowsName(c.info), c.name);
  }
  EXPECT_EQ(GetWindowsNameFromVersion(5, 2), "Windows XP 64-Bit");
  EXPECT_EQ(GetWindowsNameFromVersion(6, 4), "Windows");
  EXPECT_EQ(GetWindowsNameFromVersion(10, 0), "Windows 10");
  EXPECT_EQ(GetWindowsNameFromVersion(0xFFFFFFFFu, 9), "Windows 10");  // no wrap below 100
  EXPECT_EQ(GetNtMajorVersion(Record(2, 6, 1, 1)), 6u);
  EXPECT_EQ(GetNtMajorVersion(Record(1, 4, 0, 1)), 0u);
  OSVERSIONINFOEX build = Record(2, 10, 0, 1);
  build.dwBuildNumber = 19045;
  EXPECT_EQ(FormatWindowsVersion(build), "10.0.19045");
}

TEST(OsInfo, LinuxAnswersTheUnknownValues) {
  OSVERSIONINFOEX info = Record(2, 10, 0, 1);
  GetOsVersionInfo(info);
  EXPECT_EQ(info.dwOSVersionInfoSize, 0u);
  EXPECT_EQ(info.dwMajorVersion, 0u);
  EXPECT_EQ(GetCurrentWindowsVersionCode(), 0);
  EXPECT_EQ(GetWindowsName(info), "Unknown");
  EXPECT_EQ(GetInternetExplorerVersion(), 0);
  EXPECT_EQ(GetUserUILanguage(), 9);
}

TEST(OsInfo, BrowserVersionTextRules) {
  EXPECT_EQ(InternetExplorerVersionFromText("4.72.3110.0"), 471);
  EXPECT_EQ(InternetExplorerVersionFromText("4.70"), 0);
  EXPECT_EQ(InternetExplorerVersionFromText("5.55.4807"), 550);
  EXPECT_EQ(InternetExplorerVersionFromText("5.50"), 500);
  EXPECT_EQ(InternetExplorerVersionFromText("8.0.7601"), 600);
  EXPECT_EQ(InternetExplorerVersionFromText("9.11"), 0);
  EXPECT_EQ(InternetExplorerVersionFromText("garbage"), 0);
  EXPECT_EQ(InternetExplorerVersionFromText("5"), 500);  // minor stays zero
}

TEST(OsInfo, EnvironmentVariables) {
  ::setenv("ZOR_OS_INFO_TEST", "abc", 1);
  EXPECT_EQ(GetEnvVariable("ZOR_OS_INFO_TEST"), "abc");
  ::setenv("ZOR_OS_INFO_TEST", "", 1);
  EXPECT_EQ(GetEnvVariable("ZOR_OS_INFO_TEST"), "");
  ::unsetenv("ZOR_OS_INFO_TEST");
  EXPECT_EQ(GetEnvVariable("ZOR_OS_INFO_TEST"), "");
  EXPECT_EQ(GetEnvVariable(""), "");
}

TEST(OsInfo, ModulePathAndNameSplitAtEitherSeparator) {
  EXPECT_EQ(ModuleNamePart("C:\\Suite\\Drv.exe", false), "Drv");
  EXPECT_EQ(ModuleNamePart("C:\\Suite\\Drv.exe", true), "Drv.exe");
  EXPECT_EQ(ModulePathPart("C:\\Suite\\Drv.exe", true), "C:\\Suite\\");
  EXPECT_EQ(ModulePathPart("C:Drv.exe", true), "C:");
  EXPECT_EQ(ModulePathPart("Drv.exe", true), "Drv.exe");
  EXPECT_EQ(ModulePathPart("/opt/zor/bin/zordb", true), "/opt/zor/bin/");
  EXPECT_EQ(ModuleNamePart("/opt/zor.d/bin/zordb", false), "zordb");

  const std::string self = GetModulePath(false);
  ASSERT_FALSE(self.empty());
  EXPECT_EQ(self.front(), '/');
  EXPECT_EQ(GetModuleName(true), "zor_system_tests");
  EXPECT_EQ(GetModulePath(true) + GetModuleName(true), self);
}

TEST(OsInfo, CommandLineOfThisProcess) {
  std::vector<std::string> args;
  EXPECT_TRUE(GetCommandLineArgs(args));
  ASSERT_FALSE(args.empty());
  EXPECT_NE(args[0].find("zor_system_tests"), std::string::npos);
  EXPECT_NE(GetCommandLineText().find("zor_system_tests"), std::string::npos);
}

TEST(OsInfo, CommandLineTailRules) {
  EXPECT_EQ(CommandLineTail("\"C:\\a\\drv.exe\" --mode=x"), "--mode=x");  // skips the quote after ".exe"
  EXPECT_EQ(CommandLineTail("C:\\a\\drv.exe   -v"), "-v");
  EXPECT_EQ(CommandLineTail("drv.exe"), "");  // never past the end
  EXPECT_EQ(CommandLineTail("drv.exe "), "");
  EXPECT_EQ(CommandLineTail("no program here"), "");
  EXPECT_EQ(CommandLineTail("\"p.exe\" \"a\" \"b\" \"c\""), "b");

  // A Linux program has no ".exe": its own argument ends the program part.
  EXPECT_EQ(CommandLineTailOfArgs({"/opt/zor/bin/drv", "--mode=x", "-v"}), "--mode=x -v");
  EXPECT_EQ(CommandLineTailOfArgs({"/opt/my tools/drv", "--mode=x"}), "--mode=x");
  EXPECT_EQ(CommandLineTailOfArgs({"/opt/zor/bin/drv"}), "");
  EXPECT_EQ(CommandLineTailOfArgs({}), "");
  EXPECT_EQ(CommandLineTailOfArgs({"drv", "a b", "c d", "e f"}), "c d");  // the quote rule first
}

TEST(OsInfo, CommandLineTailOfThisProcess) {
  std::vector<std::string> args;
  ASSERT_TRUE(GetCommandLineArgs(args));
  const std::string line = GetCommandLineText();
  const std::string tail = GetCommandLineTail();
  if (args.size() < 2) {
    EXPECT_EQ(tail, "");
    return;
  }
  // Run with arguments (CTest passes some): the tail is what follows the
  // program, never empty and never the program itself.
  ASSERT_FALSE(tail.empty());
  EXPECT_EQ(line.substr(line.size() - tail.size()), tail);
  EXPECT_EQ(tail.find("zor_system_tests"), std::string::npos);
}

TEST(OsInfo, ErrorTexts) {
  EXPECT_EQ(GetErrorText(2, true), "The system cannot find the file specified.");
  EXPECT_EQ(GetErrorText(2, false), "The system cannot find the file specified.\r\n");
  EXPECT_EQ(GetErrorText(0xDEAD, true), "Unknown error");
  zor::platform::SetLastError(5);
  EXPECT_EQ(GetErrorText(0, true), "Access is denied.");
  zor::platform::SetLastError(0);
}

}  // namespace
