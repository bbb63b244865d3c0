#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
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
#include "database/blockfile/his_list.h"
#include "database/definitions/hdr_list.h"
#include "database/project/sample_database.h"
#include "tests/database/blockfile/db_bytes.h"
#include "tests/support/temp_folder.h"
#include "tools/zordb_main.h"

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

// Standard output goes to a file read back into `out`, or to `stdoutTo`
// when given: a path, or "" for none at all (closed).
ToolRun RunTool(const std::vector<std::string>& args, const TempFolder& tmp,
                const char* stdoutTo = nullptr) {
  ToolRun run;
  const std::string out = stdoutTo && *stdoutTo ? stdoutTo : tmp.Path("stdout");
  const std::string err = tmp.Path("stderr");
  const pid_t pid = ::fork();
  if (pid == 0) {
    std::vector<char*> argv;
    const std::string tool = ToolPath().string();
    argv.push_back(const_cast<char*>(tool.c_str()));
    for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    if (!std::freopen(out.c_str(), "w", stdout) || !std::freopen(err.c_str(), "w", stderr))
      _exit(126);
    if (stdoutTo && !*stdoutTo) ::close(STDOUT_FILENO);
    ::alarm(10);  // a run that waits (on a FIFO's writer) is killed
    ::execv(tool.c_str(), argv.data());
    _exit(127);
  }
  int status = 0;
  ::waitpid(pid, &status, 0);
  run.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  if (!stdoutTo) run.out = ReadFile(out);
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

  // An existing file, a project perhaps, is replaced only when asked.
  const std::string project = tmp_.Write("project.zdb", "a project");
  ToolRun refused = RunTool({"--mode=make-sample", "--database=" + project}, tmp_);
  EXPECT_EQ(refused.status, kZordbFileError);
  EXPECT_EQ(refused.err, "zordb: " + project + " exists; --overwrite replaces it with the sample\n");
  EXPECT_TRUE(ReadFile(project) == "a project");
  ToolRun replaced = RunTool({"--mode=make-sample", "--overwrite", "--database=" + project}, tmp_);
  EXPECT_EQ(replaced.status, 0) << replaced.err;
  EXPECT_TRUE(ReadFile(project) == ReadFile(kExample));
  EXPECT_EQ(RunTool({"--overwrite", "--database=" + project}, tmp_).status, kZordbUsage);
}

// A folder, a device or a link in the sample's place is named as what it
// is, with or without --overwrite, and left as it was with what it names.
TEST_F(ZordbTool, MakeSampleNamesWhatIsNoRegularFileAndLeavesIt) {
  const std::string folder = tmp_.Path("folder.zdb");
  ASSERT_TRUE(fs::create_directory(folder));
  const std::string victim = tmp_.Write("victim.zdb", "a project");
  const std::string link = tmp_.Path("link.zdb");
  fs::create_symlink(victim, link);
  for (const bool overwrite : {false, true}) {
    const auto run = [&](const std::string& path) {
      std::vector<std::string> args{"--mode=make-sample", "--database=" + path};
      if (overwrite) args.push_back("--overwrite");
      return RunTool(args, tmp_);
    };
    ToolRun onFolder = run(folder);
    EXPECT_EQ(onFolder.status, kZordbFileError);
    EXPECT_EQ(onFolder.err, "zordb: " + folder + " is a folder\n");
    ToolRun onDevice = run("/dev/null");
    EXPECT_EQ(onDevice.status, kZordbFileError);
    EXPECT_EQ(onDevice.err, "zordb: /dev/null is not a regular file\n");
    ToolRun onLink = run(link);
    EXPECT_EQ(onLink.status, kZordbFileError);
    EXPECT_EQ(onLink.err, overwrite ? "zordb: " + link + " is not a regular file\n"
                                    : "zordb: " + link +
                                          " exists; --overwrite replaces it with the sample\n");
  }
  EXPECT_TRUE(fs::is_empty(folder));
  EXPECT_TRUE(fs::is_character_file("/dev/null"));
  EXPECT_TRUE(fs::is_symlink(link));
  EXPECT_TRUE(ReadFile(victim) == "a project");
}

// A disk that fills up while the sample is written (a file size limit
// here): the run fails and leaves neither a partial sample nor a temporary
// file, so that the next run does not say the file exists; an old file to
// be replaced stays as it was.
TEST(ZordbMakeSample, AFullDiskLeavesNoPartialSample) {
  TempFolder tmp;
  const std::string fresh = tmp.Path("out/fresh.zdb");
  const std::string old = tmp.Write("out/old.zdb", "an old project");
  const auto makeSample = [](const std::string& path, bool overwrite) {
    std::vector<std::string> args{"zordb", "--mode=make-sample", "--database=" + path};
    if (overwrite) args.push_back("--overwrite");
    std::vector<char*> argv;
    for (std::string& a : args) argv.push_back(a.data());
    std::FILE* sink = std::fopen("/dev/null", "w");
    const int status = RunZordb(static_cast<int>(argv.size()), argv.data(), sink, sink);
    std::fclose(sink);
    return status;
  };
  for (const bool overwrite : {false, true}) {
    const pid_t pid = ::fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
      ::signal(SIGXFSZ, SIG_IGN);
      const rlimit limit{4096, 4096};  // the sample is three times as long
      ::setrlimit(RLIMIT_FSIZE, &limit);
      ::_exit(makeSample(overwrite ? old : fresh, overwrite));
    }
    int status = 0;
    ASSERT_EQ(::waitpid(pid, &status, 0), pid);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), kZordbFileError) << overwrite;
  }
  std::vector<std::string> names;
  for (const auto& entry : fs::directory_iterator(tmp.Path("out")))
    names.push_back(entry.path().filename().string());
  EXPECT_EQ(names, std::vector<std::string>{"old.zdb"});
  EXPECT_TRUE(ReadFile(old) == "an old project");
  EXPECT_EQ(makeSample(fresh, false), kZordbOk);
  EXPECT_TRUE(ReadFile(fresh) == ReadFile(kExample));
}

TEST_F(ZordbTool, AFileThatIsNoDatabaseIsNamedSoInOneLine) {
  const std::string text = tmp_.Write("notes.zdb", "hello, these are notes, not blocks\n");
  ToolRun run = RunTool({"--database=" + text}, tmp_);
  EXPECT_EQ(run.status, kZordbDamaged);
  EXPECT_EQ(run.err, "zordb: " + text + " does not look like a project database\n");
  // A database with a damaged count is still named as damaged.
  std::string sample = ReadFile(kExample);
  sample[3] = '\x40';
  const std::string damaged = tmp_.Write("damaged.zdb", sample);
  ToolRun named = RunTool({"--database=" + damaged}, tmp_);
  EXPECT_EQ(named.status, kZordbDamaged);
  EXPECT_THAT(named.err, testing::Not(testing::HasSubstr("does not look like")));
}

TEST_F(ZordbTool, FailsWithOneLineForMissingUnreadableOrIrregularFiles) {
  const std::string missing = tmp_.Path("missing.zdb");
  ToolRun run = RunTool({"--database=\"" + missing + "\""}, tmp_);
  EXPECT_EQ(run.status, kZordbFileError);
  EXPECT_EQ(run.out, "");
  EXPECT_THAT(run.err, testing::StartsWith("zordb: Cannot access the file " + missing + ": "));
  EXPECT_EQ(std::count(run.err.begin(), run.err.end(), '\n'), 1) << run.err;

  // A FIFO would block the open until a writer came; a folder or a device
  // is no database either. The child is killed if it waits.
  const std::string fifo = tmp_.Path("fifo.zdb");
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  for (const std::string& path : {fifo, tmp_.path(), std::string("/dev/null")}) {
    ToolRun irregular = RunTool({"--database=" + path}, tmp_);
    EXPECT_EQ(irregular.status, kZordbFileError) << path;
    EXPECT_EQ(irregular.out, "");
    EXPECT_EQ(irregular.err, "zordb: " + path + " is not a regular file\n");
  }

  ToolRun bad = RunTool({"--colour=red"}, tmp_);
  EXPECT_EQ(bad.status, kZordbUsage);
  EXPECT_EQ(bad.out, "");
  EXPECT_THAT(bad.err, testing::HasSubstr("usage: zordb"));
}

// Names with '\' separators are those of files written by the suite's
// Windows programs: the dump opens the file that make-sample writes.
TEST_F(ZordbTool, ANameWithBackslashSeparatorsIsDumpedAsMadeFromIt) {
  const std::string folder = tmp_.Path("project");
  ASSERT_TRUE(fs::create_directory(folder));
  const std::string windowsName = tmp_.path() + "\\project\\sample.zdb";
  ToolRun made = RunTool({"--mode=make-sample", "--database=" + windowsName}, tmp_);
  ASSERT_EQ(made.status, 0) << made.err;
  ASSERT_TRUE(ReadFile(folder + "/sample.zdb") == ReadFile(kExample));
  ToolRun run = RunTool({"--database=" + windowsName}, tmp_);
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(run.out, Lines(kSampleDump));
  EXPECT_EQ(run.err, "");
}

// Each argument is one name and value: quotes inside a file's name neither
// end its value nor start arguments of their own.
TEST_F(ZordbTool, AQuoteInAFileNameIsPartOfTheName) {
  const std::string victim = tmp_.Write("victim.zdb", "not a sample");
  const std::string crafted = victim + "\" --mode=\"make-sample";
  ASSERT_TRUE(WriteSampleDatabase(crafted));
  ToolRun run = RunTool({"--database=" + crafted}, tmp_);
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(run.out, Lines(kSampleDump));
  EXPECT_TRUE(ReadFile(victim) == "not a sample");  // not overwritten by a sample

  const std::string quoted = tmp_.Path("we\"ird.zdb");
  ASSERT_TRUE(WriteSampleDatabase(quoted));
  for (const std::string& arg : {"--database=" + quoted, "--database=\"" + quoted + "\""}) {
    ToolRun named = RunTool({arg}, tmp_);
    EXPECT_EQ(named.status, 0) << arg << named.err;
    EXPECT_EQ(named.out, Lines(kSampleDump)) << arg;
  }
}

TEST_F(ZordbTool, HelpGoesToStandardOutput) {
  for (const char* help : {"--help", "-h"}) {
    ToolRun run = RunTool({help}, tmp_);
    EXPECT_EQ(run.status, 0);
    EXPECT_THAT(run.out, testing::StartsWith("usage: zordb"));
    EXPECT_THAT(run.out, testing::HasSubstr("3 the database is damaged"));
    EXPECT_EQ(run.err, "");
  }
}

// Standard output full or closed: the help and the dump say why they
// failed, on one line, with the status of a file that cannot be written.
TEST_F(ZordbTool, AStandardOutputThatCannotBeWrittenIsNamed) {
  for (const char* help : {"--help", "-h"}) {
    ToolRun full = RunTool({help}, tmp_, "/dev/full");
    EXPECT_EQ(full.status, kZordbFileError);
    EXPECT_EQ(full.err, "zordb: cannot write the help: No space left on device\n");
    ToolRun closed = RunTool({help}, tmp_, "");
    EXPECT_EQ(closed.status, kZordbFileError);
    EXPECT_EQ(closed.err, "zordb: cannot write the help: Bad file descriptor\n");
  }
  ToolRun dump = RunTool({"--database=" + kExample.string()}, tmp_, "/dev/full");
  EXPECT_EQ(dump.status, kZordbFileError);
  EXPECT_EQ(dump.err, "zordb: cannot write the dump of " + kExample.string() +
                          ": No space left on device\n");
}

TEST_F(ZordbTool, ADamagedFileIsDumpedAsFarAsItGoesAndNamedOnStandardError) {
  const std::string sample = ReadFile(kExample);
  const std::string path = tmp_.Write("cut.zdb", sample.substr(0, 11395 + 20));
  ToolRun run = RunTool({"--database=" + path}, tmp_);
  EXPECT_EQ(run.status, kZordbDamaged);
  EXPECT_EQ(run.out, Lines({kSampleDump[0], kSampleDump[1], kSampleDump[2], kSampleDump[5],
                            kSampleDump[6], kSampleDump[7], kSampleDump[8]}));
  EXPECT_EQ(run.err, "zordb: " + path +
                         ": block 3 'System Definitions' at offset 11395 runs past the end of "
                         "the file: size 1024, 12 bytes there\n");
}

// ---- The dump in-process -----------------------------------------------------

struct Dumped {
  int status = -1;
  std::string out;
  std::string err;
};

Dumped DumpInProcess(const std::string& path) {
  Dumped d;
  char* out = nullptr;
  char* err = nullptr;
  std::size_t outSize = 0;
  std::size_t errSize = 0;
  std::FILE* outStream = ::open_memstream(&out, &outSize);
  std::FILE* errStream = ::open_memstream(&err, &errSize);
  d.status = DumpDatabaseFile(path, outStream, errStream);
  std::fclose(outStream);
  std::fclose(errStream);
  d.out.assign(out, outSize);
  d.err.assign(err, errSize);
  std::free(out);
  std::free(err);
  return d;
}

// Cut anywhere, the sample dumps the blocks it still holds whole and names
// the first one it does not, with its offset, on one line.
TEST(ZordbDump, TheSampleCutAtEveryOffsetShowsItsWholeBlocksAndNamesTheCut) {
  TempFolder tmp;
  const std::string sample = ReadFile(kExample);
  ASSERT_EQ(sample.size(), 12603u);
  const std::string path = tmp.Write("cut.zdb", sample);
  const uint64_t headers[] = {4, 107, 11395, 12427, 12603};
  const Dumped whole = DumpInProcess(path);
  EXPECT_EQ(whole.status, kZordbOk);
  EXPECT_EQ(whole.out, Lines(kSampleDump));
  EXPECT_EQ(whole.err, "");
  const std::string history = Lines({kSampleDump[5], kSampleDump[6], kSampleDump[7]});
  const std::string end = Lines({kSampleDump[8]});
  for (uint64_t cut = sample.size(); cut-- > 0;) {
    ASSERT_EQ(::truncate(path.c_str(), static_cast<off_t>(cut)), 0);
    const Dumped d = DumpInProcess(path);
    ASSERT_EQ(d.status, kZordbDamaged) << cut;
    ASSERT_EQ(std::count(d.err.begin(), d.err.end(), '\n'), 1) << cut << d.err;
    const std::string prefix = "zordb: " + path + ": ";
    ASSERT_EQ(d.err.substr(0, prefix.size()), prefix) << cut;
    if (cut < 4) {
      ASSERT_EQ(d.err, prefix + "the file is " + std::to_string(cut) +
                           " bytes long, too short for its 4-byte block count\n");
      ASSERT_EQ(d.out, Lines({"---------- Zor File contains 0 blocks ----------",
                              kSampleDump[5], kSampleDump[8]}));
      continue;
    }
    int wholeBlocks = 0;
    while (headers[wholeBlocks + 1] <= cut) ++wholeBlocks;
    const uint64_t at = headers[wholeBlocks];
    const std::string named = "block " + std::to_string(wholeBlocks + 1);
    if (cut == at) {
      ASSERT_EQ(d.err, prefix + named + " of the 4 counted is missing: the file ends at offset " +
                           std::to_string(at) + "\n");
    } else if (cut - at < 8) {
      ASSERT_EQ(d.err, prefix + named + " at offset " + std::to_string(at) + ": the file ends " +
                           std::to_string(cut - at) + " bytes into its 8-byte header\n");
    } else {
      ASSERT_THAT(d.err, testing::StartsWith(prefix + named + " '"));
      ASSERT_THAT(d.err, testing::HasSubstr("' at offset " + std::to_string(at) +
                                            " runs past the end of the file: size "));
    }
    std::string expected = Lines({kSampleDump[0]});
    for (int b = 0; b < wholeBlocks; ++b) expected += Lines({kSampleDump[1 + b]});
    // The history block is the second.
    expected += wholeBlocks >= 2 ? history : Lines({kSampleDump[5]});
    ASSERT_EQ(d.out, expected + end) << cut;
  }
}

TEST(ZordbDump, EachKindOfDamageIsOneLineAndSoundFilesNone) {
  TempFolder tmp;
  sHisEntry entry{};
  entry.version = 1;
  entry.action = 3;
  const auto* e = reinterpret_cast<const uint8_t*>(&entry);
  std::vector<uint8_t> oddHistory(e, e + sizeof entry);
  oddHistory.resize(sizeof entry + 10);
  DbBytes many;
  many.Count(kMaxFindBlockCount + 1).Block(35, std::vector<uint8_t>(e, e + sizeof entry));
  for (int i = 0; i < kMaxFindBlockCount; ++i) many.Block(27, 0, 0);
  // Readers find no block at all there, history or not.
  DbBytes versions;
  DbBytes empties;
  versions.Count(kMaxFindBlockCount + 1);
  empties.Count(kMaxFindBlockCount + 1);
  for (int i = 0; i <= kMaxFindBlockCount; ++i) {
    versions.Block(26, 4, 1);
    empties.Block(0, 0, 0);
  }
  const std::string aboveReaders =
      "the block count 10001 is above the 10000 blocks readers walk: they find none of them";

  const struct {
    DbBytes bytes;
    std::string damage;  // empty for a sound file
  } cases[] = {
      {DbBytes().Put(uint16_t{7}).Put(uint8_t{1}),
       "the file is 3 bytes long, too short for its 4-byte block count"},
      {DbBytes().Count(4), "block 1 of the 4 counted is missing: the file ends at offset 4"},
      {DbBytes().Count(-3).Block(33, 2, 1), "the block count -3 is negative"},
      {DbBytes().Count(2).Block(33, 2, 1).Put(uint32_t{27}),
       "block 2 at offset 14: the file ends 4 bytes into its 8-byte header"},
      {DbBytes().Count(1).Put(uint32_t{99}).Put(uint32_t{0xFFFFFFF0}),
       "block 1 'Unknown block type' at offset 4 runs past the end of the file: size "
       "4294967280, 0 bytes there"},
      {DbBytes().Count(1).Block(35, oddHistory),
       "block 1 'History Information' at offset 4: its size 574 is not a whole number of "
       "564-byte entries"},
      {DbBytes().Count(1).Block(8, 100, 0),
       "block 1 'History Information (old)' at offset 4: its size 100 is not a whole number of "
       "104-byte entries"},
      {many, "block 1 'History Information' at offset 4 is not read: the count 10001 is above "
             "the 10000 blocks readers walk"},
      {versions, aboveReaders},
      {empties, aboveReaders},
      // Bytes behind the counted blocks, whole blocks or not.
      {DbBytes().Count(1).Block(33, 2, 1).Block(35, 3, 0).Put(uint32_t{5}),
       "block 2 at offset 14 and the 15 bytes from there lie behind the 1 counted blocks: "
       "readers do not see them"},
      {DbBytes().Count(0).Put(uint8_t{0}),
       "block 1 at offset 4 and the 1 bytes from there lie behind the 0 counted blocks: "
       "readers do not see them"},
      // An empty discarded block and, behind the counted blocks, the start
      // of a history block a stamp was killed in: no placeholder.
      {DbBytes().Count(2).Block(33, 2, 1).Block(0, 0, 0).Put(uint32_t{35})
           .Put(uint32_t{kHisBlockSize}).Put(uint8_t{0}),
       "block 3 at offset 22 and the 9 bytes from there lie behind the 2 counted blocks: "
       "readers do not see them"},
      // A history block whose header a write cut short left as {0, 0}: the
      // walk reads its data as headers and goes wrong behind it.
      {DbBytes().Count(3).Block(33, 2, 1).Block(0, std::vector<uint8_t>(e, e + sizeof entry), 0)
           .Block(27, 4, 2),
       "block 2 at offset 14 has the empty header {0, 0} of a block write cut short: the blocks "
       "behind it are its data read as headers"},
      // Sound: no blocks, or every block counted.
      {DbBytes().Count(0), ""},
      {DbBytes().Count(2).Block(33, 2, 1).Block(0, 0, 0), ""},
  };
  for (const auto& c : cases) {
    const std::string path = tmp.Write("db.zdb", c.bytes.str());
    const Dumped d = DumpInProcess(path);
    EXPECT_EQ(d.status, c.damage.empty() ? kZordbOk : kZordbDamaged) << c.damage;
    EXPECT_EQ(d.err, c.damage.empty() ? "" : "zordb: " + path + ": " + c.damage + "\n");
    EXPECT_THAT(d.out, testing::EndsWith("---------- Zor File end -------------------------\n"));
  }
}

// What stamps leave behind, history blocks discarded for reuse and, after
// a stamp killed before its discards, two live ones, is a sound file: the
// dump shows the history readers take, the first block 35.
// The dump reads as the suite's programs read a database: a writer at work
// on it refuses it with the sharing violation; a reader beside it does not.
TEST(ZordbDump, AWriterAtWorkOnTheFileRefusesTheDump) {
  TempFolder tmp;
  const std::string path = tmp.Write("held.zdb", ReadFile(kExample));
  File writer;
  ASSERT_TRUE(writer.Open(path, File::modeReadWrite | File::shareDenyWrite));
  const Dumped held = DumpInProcess(path);
  EXPECT_EQ(held.status, kZordbFileError);
  EXPECT_EQ(held.out, "");
  EXPECT_EQ(held.err,
            "zordb: Cannot access the file " + path + ": A sharing violation occurred.\n");
  writer.Close();
  File reader;
  ASSERT_TRUE(reader.Open(path, File::modeRead | File::shareDenyWrite));
  EXPECT_EQ(DumpInProcess(path).status, kZordbOk);
}

TEST(ZordbDump, DiscardedAndSecondLiveHistoriesAreSoundAndTheFirstIsShown) {
  TempFolder tmp;
  const std::string path = tmp.Write("db.zdb", ReadFile(kExample));
  for (int32_t action = 3; action <= 5; ++action) {
    ASSERT_TRUE(CBlockFile().AddHistoryEntry(path, action, 40 + action));
  }
  // The live block and the one discarded for the next stamp.
  std::string bytes = ReadFile(path);
  std::vector<std::size_t> histories;
  for (std::size_t at = 4; at + 8 <= bytes.size();) {
    const uint32_t type = ValueAt<uint32_t>(bytes, at);
    if (ValueAt<uint32_t>(bytes, at + 4) == kHisBlockSize && (type == 0 || type == 35)) {
      histories.push_back(at);
    }
    at += 8 + ValueAt<uint32_t>(bytes, at + 4);
  }
  ASSERT_EQ(histories.size(), 2u);
  Dumped d = DumpInProcess(path);
  EXPECT_EQ(d.status, kZordbOk) << d.err;
  EXPECT_THAT(d.out, testing::HasSubstr(" Block Id 0 'Unused block type' Offset "));
  EXPECT_THAT(d.out, testing::HasSubstr("[6]: version 1, action 5, reserved 45"));
  // Both live: the first is shown, whichever holds the later stamp.
  for (const std::size_t at : histories) bytes[at] = 35;
  tmp.Write("db.zdb", bytes);
  CBlockFile db;
  ASSERT_TRUE(db.Open(path, zor::platform::File::modeRead));
  CHisList first;
  first.LoadFrom(db, histories[0]);
  db.Close();
  d = DumpInProcess(path);
  EXPECT_EQ(d.status, kZordbOk) << d.err;
  EXPECT_EQ(d.out.find("action 5,") != std::string::npos, first[5].action == 5);
  EXPECT_THAT(d.out, testing::HasSubstr("[5]: version 1, action 4, reserved 44"));
}

}  // namespace
