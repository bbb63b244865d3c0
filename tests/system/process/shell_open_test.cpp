#include "system/process/shell_open.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>

#include "platform/error_text.h"
#include "tests/system/process/process_test_support.h"

namespace {

using Lines = std::vector<std::string>;

TEST(ShellOpen, DocumentsFoldersAndAddressesGoToTheOpener) {
  FakeOpener opener;
  const std::string document = opener.tmp().Write("notes.txt", "x");
  for (const std::string& target :
       {document, opener.tmp().path(), std::string("https://www.zor.example/a b")}) {
    ASSERT_TRUE(ShellOpen(target, "ignored parameters").Wait(5000));
    EXPECT_EQ(ReadLines(opener.Record()), (Lines{"1", target}));
  }
  // A leading '-' would read as one of the opener's options.
  opener.tmp().Write("-v", "x");
  const auto old = std::filesystem::current_path();
  std::filesystem::current_path(opener.tmp().path());
  ProcessHandle dashed = ShellOpen("-v", "");
  std::filesystem::current_path(old);
  ASSERT_TRUE(dashed.Wait(5000));
  EXPECT_EQ(ReadLines(opener.Record()), (Lines{"1", "./-v"}));
}

TEST(ShellOpen, DocumentsWithTheExecuteBitAreStillDocuments) {
  // As on FAT, NTFS and SMB mounts, where every file has the execute bit.
  FakeOpener opener;
  for (const std::string& content : {std::string("report text"), std::string("#"),
                                     std::string(), std::string("\x7F" "EL")}) {
    const std::string document = opener.tmp().Write("report.txt", content);
    ::chmod(document.c_str(), 0755);
    ::unlink(opener.Record().c_str());
    ASSERT_TRUE(ShellOpen(document, "").Wait(5000)) << content;
    EXPECT_EQ(ReadLines(opener.Record()), (Lines{"1", document})) << content;
  }
  // A "#!" script with the bit is a program.
  WriteRecorder(opener.tmp().Path("tool"), opener.tmp().Path("tool.txt"));
  ::unlink(opener.Record().c_str());
  ASSERT_TRUE(ShellOpen(opener.tmp().Path("tool"), "a").Wait(5000));
  EXPECT_EQ(ReadLines(opener.tmp().Path("tool.txt")), (Lines{"1", "a"}));
  EXPECT_FALSE(std::filesystem::exists(opener.Record()));
}

TEST(ShellOpen, MissingFileOrOpenerStartsNothing) {
  FakeOpener opener;
  EXPECT_FALSE(ShellOpen(opener.tmp().Path("missing.txt"), ""));
  EXPECT_EQ(zor::platform::GetLastError(), zor::platform::kErrorFileNotFound);
  EXPECT_FALSE(ShellOpen("", ""));
  EXPECT_FALSE(std::filesystem::exists(opener.Record()));
  ScopedEnv path("PATH", opener.tmp().Path("nowhere").c_str());
  EXPECT_FALSE(ShellOpen(opener.tmp().Write("doc.txt", "x"), ""));
}

TEST(ShellOpen, ProgramsGetTheParametersSplitAndExpanded) {
  FakeOpener opener;
  WriteRecorder(opener.Bin() + "/zorcollect", opener.tmp().Path("tool.txt"));
  ASSERT_TRUE(ShellOpen("zorcollect", "/t \"my report.txt\"").Wait(5000));
  EXPECT_EQ(ReadLines(opener.tmp().Path("tool.txt")), (Lines{"2", "/t", "my report.txt"}));

  ScopedEnv tools("ZOR_TEST_TOOLS", opener.Bin().c_str());
  ScopedEnv name("ZOR_TEST_NAME", "r 1.txt");
  ASSERT_TRUE(ShellOpenHidden("%ZOR_TEST_TOOLS%/zorcollect", "/t \"%ZOR_TEST_NAME%\"").Wait(5000));
  EXPECT_EQ(ReadLines(opener.tmp().Path("tool.txt")), (Lines{"2", "/t", "r 1.txt"}));
  EXPECT_FALSE(std::filesystem::exists(opener.Record()));
}

TEST(OpenMakerWebSite, AddressesComeFromTheDeployment) {
  {
    ScopedEnv site("ZOR_MAKER_WEB_SITE", nullptr);
    ScopedEnv tracker("ZOR_ISSUE_TRACKER", "");
    EXPECT_EQ(MakerWebSiteAddress().rfind("https://", 0), 0u);
    EXPECT_EQ(IssueTrackerAddress().rfind("https://", 0), 0u);
  }
  FakeOpener opener;
  ScopedEnv site("ZOR_MAKER_WEB_SITE", "https://site.test/");
  ScopedEnv tracker("ZOR_ISSUE_TRACKER", "https://tracker.test/new");
  OpenMakerWebSite();
  ASSERT_TRUE(WaitForFile(opener.Record()));
  EXPECT_EQ(ReadLines(opener.Record()), (Lines{"1", "https://site.test/"}));
  ::unlink(opener.Record().c_str());
  OpenIssueTracker();
  ASSERT_TRUE(WaitForFile(opener.Record()));
  EXPECT_EQ(ReadLines(opener.Record()), (Lines{"1", "https://tracker.test/new"}));
}

}  // namespace
