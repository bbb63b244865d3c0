// The CBlockFile operations that read the definitions of a stored database.
#include <gtest/gtest.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <functional>
#include <cstdint>
#include <string>
#include <vector>

#include "core/log/logger.h"
#include "database/blockfile/block_file.h"
#include "database/blockfile/his_list.h"
#include "database/definitions/hdr_list.h"
#include "database/definitions/sys_def_list.h"
#include "platform/bytes.h"
#include "platform/message_sink.h"
#include "platform/unit_library.h"
#include "tests/database/blockfile/db_bytes.h"
#include "tests/support/temp_folder.h"

namespace {

using zor::platform::File;
using zor::platform::FileException;
using zor::platform::MessageBoxCall;
using Bytes = std::vector<uint8_t>;

// Block 33 entry: Size, flag, RecId, payload, link.
Bytes Entry33(uint32_t recId, const Bytes& payload) {
  return DbBytes()
      .Put(static_cast<uint32_t>(payload.size()))
      .Put(uint8_t{0})
      .Put(recId)
      .Raw(payload)
      .Put(int32_t{-1})
      .bytes();
}

Bytes Version(int32_t version, int32_t build) {
  return Entry33(151, DbBytes().Put(version).Put(build).bytes());
}

Bytes SurveyUnit(const std::string& name, double metresPerUnit) {
  Bytes p(48, 0);
  zor::platform::SetText(p, 0, 40, name);
  zor::platform::SetLE(std::span<uint8_t>(p), 40, metresPerUnit);
  return Entry33(153, p);
}

Bytes Cat(std::initializer_list<Bytes> parts) {
  Bytes out;
  for (const Bytes& p : parts) out.insert(out.end(), p.begin(), p.end());
  return out;
}

// A block 2 system record: id, driver code and name.
Bytes OldSystem(int32_t id, int32_t code, const std::string& name) {
  Bytes r(148, 0);
  std::memcpy(r.data() + 24, &code, 4);
  std::memcpy(r.data() + 56, &id, 4);
  zor::platform::SetText(r, 72, 76, name);
  return r;
}

// Runs `body` in a child process and gives its exit status, or -1 when a
// signal ended it. The alarm is no timing: it only ends a child that waits
// for ever (on a FIFO's writer), so that the test fails instead of hanging.
int ExitOfChild(const std::function<int()>& body) {
  const pid_t pid = ::fork();
  if (pid == 0) {
    ::alarm(30);
    ::_exit(body());
  }
  int status = 0;
  if (pid < 0 || ::waitpid(pid, &status, 0) != pid) return -2;
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

class BlockFileDefinitionsTest : public testing::Test {
 protected:
  void SetUp() override {
    oldLevel_ = SetLogLevel(2);
    oldFlags_ = SetLogFlags(kLogMessageBoxes);
  }
  void TearDown() override {
    SetLogLevel(oldLevel_);
    SetLogFlags(oldFlags_);
    // Loading at upgrade level 1 sets the survey unit of the process.
    SetUnitName(unitName_.c_str());
    SetConvToMeters(unitFactor_);
  }
  std::string Write(const std::string& name, const DbBytes& bytes) {
    return tmp_.Write(name, bytes.str());
  }

  TempFolder tmp_;
  std::vector<MessageBoxCall> boxes_;
  zor::platform::ScopedMessageSink sink_{[this](const MessageBoxCall& box) {
    boxes_.push_back(box);
    return zor::platform::IDOK;
  }};
  int32_t oldLevel_ = 0;
  uint32_t oldFlags_ = 0;
  std::string unitName_ = GetUnitName(1);
  double unitFactor_ = GetConvToMeters(1);
};

// ---- CopyDefinitionsTo --------------------------------------------------------------

TEST_F(BlockFileDefinitionsTest, CopyWritesHeaderSystemsAndAFreshHistory) {
  CHisList oldHistory;
  oldHistory.SetEntry(5, 77, nullptr, false);
  CBlockFile scratch;
  const std::string historyPath = tmp_.Path("history.zdb");
  ASSERT_TRUE(scratch.Open(historyPath, File::modeCreate | File::modeReadWrite));
  scratch.SetBlockCount(1);
  oldHistory.Save(scratch);
  scratch.Close();
  const std::string history = ReadAll(historyPath).substr(4);

  const std::string source = Write(
      "source.zdb", DbBytes()
                       .Count(4)
                       .Block(5, 16, 0xEE)  // objects are not copied
                       .Block(33, Cat({Version(820, 3), SurveyUnit("Metre", 1.0)}))
                       .Block(2, Cat({OldSystem(4, 1054, "Old GNSS"), OldSystem(5, 150133, "Log")}))
                       .Raw(Bytes(history.begin(), history.end())));
  CBlockFile from, to;
  ASSERT_TRUE(from.Open(source, File::modeRead));
  EXPECT_EQ(from.CopyDefinitionsTo(nullptr, false, 0, 0), 0);

  const std::string target = tmp_.Path("copy.zdb");
  ASSERT_TRUE(to.Open(target, File::modeCreate | File::modeReadWrite));
  to.SetBlockCount(0);
  ASSERT_EQ(from.CopyDefinitionsTo(&to, false, 0, 0), 3);
  to.SetBlockCount(3);

  CHdrList header;
  ASSERT_TRUE(header.Load(to, false, 0));
  EXPECT_EQ(header.GetCount(), 2u);
  EXPECT_EQ(header.GetVersionNumber(), 820);
  CSysDefList systems;
  EXPECT_EQ(systems.Load(to), 1);
  ASSERT_EQ(systems.GetCount(), 2);
  EXPECT_EQ(systems.GetAt(0)->driverCode, 310002);  // converted on the way
  EXPECT_EQ(systems.GetAt(0)->currentLayout, 1u);
  EXPECT_EQ(zor::platform::FieldText(systems.GetAt(1)->name), "Log");
  systems.RemoveAll();
  CHisList copied;
  EXPECT_EQ(copied.Load(to), kBlockHistory);
  EXPECT_EQ(copied.GetUsedCount(), 1u);
  EXPECT_EQ(copied[2].version, 1u);
  EXPECT_EQ(copied[2].reserved, 0u);
  EXPECT_EQ(copied[5].version, 0u);  // the source's history stays behind

  // Blocks 33, 27 and 35 follow one another from the count on.
  EXPECT_TRUE(to.FindBlock(kBlockHeaderDefinitions));
  EXPECT_EQ(to.GetPosition(), 4u);
  EXPECT_FALSE(to.FindBlock(5));
  EXPECT_FALSE(to.FindBlock(2));
}

TEST_F(BlockFileDefinitionsTest, CopyRefusesADamagedSource) {
  // The third counted block runs past the end of the file.
  const std::string source = Write(
      "source.zdb",
      DbBytes().Count(3).Block(33, Version(820, 3)).Block(27, {}).Block(35, Bytes(10), 11280));
  CBlockFile from, to;
  ASSERT_TRUE(from.Open(source, File::modeRead));
  const std::string target = tmp_.Path("copy.zdb");
  ASSERT_TRUE(to.Open(target, File::modeCreate | File::modeReadWrite));
  to.SetBlockCount(0);
  EXPECT_EQ(from.CopyDefinitionsTo(&to, false, 0, 0), 0);
  EXPECT_EQ(to.GetLength(), 4u);

  const std::string negative = Write("negative.zdb", DbBytes().Count(-1));
  CBlockFile bad;
  ASSERT_TRUE(bad.Open(negative, File::modeRead));
  EXPECT_EQ(bad.CopyDefinitionsTo(&to, false, 0, 0), 0);
  EXPECT_EQ(to.GetLength(), 4u);
}

// ---- Version ------------------------------------------------------------------------

TEST_F(BlockFileDefinitionsTest, VersionOfTheStoredHeader) {
  struct Case {
    DbBytes file;
    std::string text;
    int32_t number;
  };
  const std::vector<Case> cases = {
      {DbBytes().Count(1).Block(33, Version(820, 3)), "8.20.0003", 820},
      {DbBytes().Count(1).Block(33, SurveyUnit("Metre", 1.0)), "< 6.20.0000", 0},
      {DbBytes().Count(1).Block(27, {}), "7.00.0014", 700},  // no header list at all
  };
  for (const Case& c : cases) {
    CBlockFile db;
    ASSERT_TRUE(db.Open(Write("v.zdb", c.file), File::modeRead));
    std::string text = "old";
    EXPECT_EQ(&db.GetDatabaseVersionText(text), &text);
    EXPECT_EQ(text, c.text);
    EXPECT_EQ(db.GetDatabaseVersionNumber(), c.number);
  }
  EXPECT_TRUE(boxes_.empty());  // quiet, also without a header block
}

// ---- Survey unit ----------------------------------------------------------------------

TEST_F(BlockFileDefinitionsTest, SurveyUnitNameOfADatabaseFile) {
  const std::string feet =
      Write("feet.zdb", DbBytes().Count(1).Block(
                            33, Cat({SurveyUnit("US Survey Foot", 1200.0 / 3937.0),
                                     SurveyUnit("Metre", 1.0)})));
  const std::string none = Write("none.zdb", DbBytes().Count(1).Block(33, Version(820, 3)));
  CBlockFile db;
  EXPECT_EQ(db.GetSurveyUnitName(feet), "US Survey Foot");
  EXPECT_FALSE(db.IsOpen());
  EXPECT_EQ(db.GetSurveyUnitName(none), GetUnitName(1));

  // A read-only file is read and left read-only and unchanged.
  const std::string before = ReadAll(feet);
  ASSERT_TRUE(File::SetReadOnly(feet, true));
  EXPECT_EQ(db.GetSurveyUnitName(feet), "US Survey Foot");
  bool readOnly = false;
  ASSERT_TRUE(File::GetReadOnly(feet, readOnly));
  EXPECT_TRUE(readOnly);
  EXPECT_EQ(ReadAll(feet), before);
  EXPECT_TRUE(boxes_.empty());

  // An open object, or a file that cannot be opened: empty, the latter reported.
  ASSERT_TRUE(db.Open(none, File::modeRead));
  EXPECT_EQ(db.GetSurveyUnitName(feet), "");
  db.Close();
  EXPECT_TRUE(boxes_.empty());
  EXPECT_EQ(db.GetSurveyUnitName(tmp_.Path("missing.zdb")), "");
  EXPECT_EQ(boxes_.size(), 1u);
  EXPECT_FALSE(db.IsOpen());
}

// The query only reads: a process killed in the middle of it leaves a
// read-only file read-only, and a FIFO is refused at once instead of
// holding the open until a writer comes.
TEST_F(BlockFileDefinitionsTest, TheSurveyUnitQueryNeverChangesTheFilesAttributeThreaded) {
  const std::string feet =
      Write("feet.zdb", DbBytes().Count(1).Block(33, Cat({SurveyUnit("Metre", 1.0)})));
  ASSERT_TRUE(File::SetReadOnly(feet, true));
  // Killed at its first read.
  class KilledAtRead : public CBlockFile {
   public:
    uint32_t Read(void*, uint32_t) override { _exit(0); }
  };
  const pid_t pid = ::fork();
  if (pid == 0) {
    KilledAtRead db;
    db.GetSurveyUnitName(feet);
    _exit(1);
  }
  int status = 0;
  ASSERT_EQ(::waitpid(pid, &status, 0), pid);
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 0);
  bool readOnly = false;
  ASSERT_TRUE(File::GetReadOnly(feet, readOnly));
  EXPECT_TRUE(readOnly);

  // A FIFO under the name, and no writer ever comes.
  const std::string fifo = tmp_.Path("fifo.zdb");
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  EXPECT_EQ(ExitOfChild([&] {
              CBlockFile db;
              return db.GetSurveyUnitName(fifo).empty() && boxes_.size() == 1 ? 0 : 1;
            }),
            0);
}

// A FIFO that takes the name between the query's look at the file and its
// open: the query reads the file it looked at and never waits for a writer.
TEST_F(BlockFileDefinitionsTest, AFifoSwappedInBeforeTheOpenNeverHoldsTheQuery) {
  const std::string metre =
      Write("metre.zdb", DbBytes().Count(1).Block(33, Cat({SurveyUnit("Metre", 1.0)})));
  const std::string fifo = tmp_.Path("fifo");
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  class SwappedAtOpen : public CBlockFile {
   public:
    SwappedAtOpen(std::string fifo, std::string name)
        : fifo_(std::move(fifo)), name_(std::move(name)) {}
    bool Open(const std::string& fileName, unsigned flags, FileException* error) override {
      if (!swapped_ && ::rename(fifo_.c_str(), name_.c_str()) != 0) _exit(3);
      swapped_ = true;
      return CBlockFile::Open(fileName, flags, error);
    }

   private:
    std::string fifo_, name_;
    bool swapped_ = false;
  };
  EXPECT_EQ(ExitOfChild([&] {
              SwappedAtOpen db(fifo, metre);
              return db.GetSurveyUnitName(metre) == "Metre" ? 0 : 1;
            }),
            0);
  struct stat st;
  ASSERT_EQ(::lstat(metre.c_str(), &st), 0);
  EXPECT_TRUE(S_ISFIFO(st.st_mode));  // the swap did take place
}

}  // namespace
