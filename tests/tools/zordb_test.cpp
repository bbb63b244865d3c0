#include <sys/wait.h>
#include <unistd.h>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "database/blockfile/block_file.h"
#include "database/blockfile/sample_database.h"
#include "database/header/hdr_list.h"
#include "database/history/his_list.h"
#include "tests/support/temp_folder.h"

namespace {

namespace fs = std::filesystem;
using testing::ElementsAre;
using zor::platform::File;

std::string ReadFile(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

const fs::path kExample = fs::path(ZOR_SOURCE_DIR) / "examples/sample.zdb";

const std::vector<std::string> kSampleDump = {
    "---------- Zor File contains 4 blocks ----------",
    " Block Id 33 'Header Definitions' Offset 12 Size 95",
    " Block Id 35 'History Information' Offset 115 Size 11280",
    " Block Id 27 'System Definitions' Offset 11403 Size 1024",
    " Block Id 7 'Observation Events' Offset 12435 Size 168",
    "---------- History list -------------------------",
    "[2]: version 1, action 1, reserved 0, start time 09:15:30.250",
    "       end time 09:16:02.500, user surveyor, comment Sample project database",
    "---------- Zor File end -------------------------",
};

TEST(SampleDatabase, TheGeneratorWritesExactlyTheExampleFile) {
  TempFolder tmp;
  const std::string path = tmp.Path("sample.zdb");
  ASSERT_TRUE(WriteSampleDatabase(path));
  const std::string example = ReadFile(kExample);
  ASSERT_FALSE(example.empty()) << kExample;
  EXPECT_TRUE(ReadFile(path) == example)
      << "examples/sample.zdb is out of date: zordb --mode=\"make-sample\" --database=\"...\"";
}

TEST(SampleDatabase, HoldsLinkedBlocksThatTheReadersFind) {
  CBlockFile db;
  ASSERT_TRUE(db.Open(kExample.string(), File::modeRead));
  std::vector<std::string> lines;
  db.DumpBlockFile(lines);
  EXPECT_EQ(lines, kSampleDump);

  // The "Fix" header record's link word heads the chain in block 7, whose
  // records link forward and end with -1.
  CHdrList header;
  ASSERT_TRUE(header.Load(db, false, 0));
  EXPECT_EQ(header.GetCount(), 3u);
  EXPECT_EQ(header.GetGpsUtcOffset(), 18.0);
  int32_t link = -2;
  ASSERT_NE(header.GetPayloadAndLink(215, 1, link), nullptr);
  EXPECT_EQ(link, 0);
  ASSERT_TRUE(db.FindBlock(7));
  BlockHeader events{};
  db.Read(&events, sizeof events);
  const uint64_t base = db.GetPosition();
  std::vector<int32_t> fixes;
  while (link != -1 && fixes.size() < 10) {
    db.Seek(base + static_cast<uint32_t>(link), File::begin);
    int32_t record[2] = {};
    ASSERT_EQ(db.Read(record, sizeof record), sizeof record);
    fixes.push_back(record[1]);
    link = record[0];
  }
  EXPECT_THAT(fixes, ElementsAre(101, 102, 103));
  CHisList history;
  EXPECT_EQ(history.Load(db), kBlockHistory);
  EXPECT_EQ(history.GetUsedCount(), 1u);
  header.RemoveAll();
}

// ---- The zordb program -------------------------------------------------------

struct ToolRun {
  int status = -1;
  std::string out;
  std::string err;
};

// The tool beside this test binary: <build>/tools/zordb.
fs::path ToolPath() {
  std::error_code ec;
  const fs::path self = fs::read_symlink("/proc/self/exe", ec);
  return self.parent_path().parent_path() / "tools" / "zordb";
}

ToolRun RunTool(const std::vector<std::string>& args, const TempFolder& tmp) {
  ToolRun run;
  const std::string out = tmp.Path("stdout"), err = tmp.Path("stderr");
  const pid_t pid = ::fork();
  if (pid == 0) {
    std::vector<char*> argv;
    const std::string tool = ToolPath().string();
    argv.push_back(const_cast<char*>(tool.c_str()));
    for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    if (!std::freopen(out.c_str(), "w", stdout) || !std::freopen(err.c_str(), "w", stderr)) _exit(126);
    ::execv(tool.c_str(), argv.data());
    _exit(127);
  }
  int status = 0;
  ::waitpid(pid, &status, 0);
  run.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  run.out = ReadFile(out);
  run.err = ReadFile(err);
  return run;
}

std::string Lines(const std::vector<std::string>& lines) {
  std::string text;
  for (const std::string& line : lines) text += line + "\n";
  return text;
}

class ZordbTool : public testing::Test {
 protected:
  void SetUp() override {
    if (!fs::exists(ToolPath())) GTEST_SKIP() << "zordb is not built beside the tests";
  }
  TempFolder tmp_;
};

TEST_F(ZordbTool, DumpsADatabaseAndTheSample) {
  ToolRun named = RunTool({"--database=" + kExample.string()}, tmp_);
  EXPECT_EQ(named.status, 0);
  EXPECT_EQ(named.out, Lines(kSampleDump));
  EXPECT_EQ(named.err, "");

  ToolRun sample = RunTool({}, tmp_);
  EXPECT_EQ(sample.status, 0);
  EXPECT_EQ(sample.out, Lines(kSampleDump));
}

TEST_F(ZordbTool, MakesTheSampleFile) {
  const std::string out = tmp_.Path("made with blanks.zdb");
  ToolRun made = RunTool({"--mode=make-sample", "--database=" + out}, tmp_);
  EXPECT_EQ(made.status, 0) << made.err;
  EXPECT_TRUE(ReadFile(out) == ReadFile(kExample));
}

TEST_F(ZordbTool, FailsWithOneLineForMissingOrUnreadableFiles) {
  for (const std::string& path : {tmp_.Path("missing.zdb"), tmp_.path()}) {
    ToolRun run = RunTool({"--database=\"" + path + "\""}, tmp_);
    EXPECT_EQ(run.status, 1) << path;
    EXPECT_EQ(run.out, "");
    EXPECT_THAT(run.err, testing::StartsWith("zordb: Cannot access the file " + path + ": "));
    EXPECT_EQ(std::count(run.err.begin(), run.err.end(), '\n'), 1) << run.err;
  }
  ToolRun bad = RunTool({"--colour=red"}, tmp_);
  EXPECT_EQ(bad.status, 2);
  EXPECT_EQ(bad.out, "");
}

}  // namespace
