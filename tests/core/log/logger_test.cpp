#include "core/log/logger.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <fcntl.h>
#include <grp.h>
#include <sys/stat.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iostream>
#include <regex>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include <boost/filesystem.hpp>

#include "core/time/system_time.h"
#include "core/time/zor_time.h"
#include "platform/message_sink.h"

namespace {

namespace fs = boost::filesystem;
using testing::ElementsAre;

const std::string kRule(80, '=');

std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream ss;
  ss << in.rdbuf();
  return ss.str();
}

// The lines of a file between its start banner and its end (or stop banner).
std::vector<std::string> BodyLines(const std::string& content) {
  std::vector<std::string> lines;
  std::istringstream in(content);
  std::string line;
  bool body = false;
  while (std::getline(in, line)) {
    if (line.rfind("===================== Logging Started", 0) == 0) {
      body = true;
      std::getline(in, line);  // the empty line after the banner
      continue;
    }
    if (line.rfind("===================== Logging Stopped", 0) == 0) break;
    if (body) lines.push_back(line);
  }
  if (!lines.empty() && lines.back().empty()) lines.pop_back();  // before the stop banner
  return lines;
}

// Waits for a forked child that logs while it exits; it must end by exit(0).
void WaitForCleanExit(pid_t pid) {
  int status = 0;
  ASSERT_EQ(waitpid(pid, &status, 0), pid);
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 0);
}

// Each test starts from a stopped log with no title and its own folder.
class LoggerTest : public testing::Test {
 protected:
  void SetUp() override {
    Reset();
    const char* base = std::getenv("ZOR_TEST_TMP");
    fs::path root = base && *base ? fs::path(base) : fs::temp_directory_path();
    fs::create_directories(root);
    dir_ = (root / fs::unique_path("logger-%%%%-%%%%")).string();
    fs::create_directory(dir_);
    path_ = dir_ + "/driver.log";
  }
  void TearDown() override {
    Reset();
    fs::remove_all(dir_);
  }
  static void Reset() {
    StopLogging();
    SetLogTitle("");
    SetLogTimeDecimals(0);
  }
  // Level, file output on, default mask 0, truncating, UTC.
  void Start(int32_t level, int32_t decimals) {
    SetLogTimeDecimals(decimals);
    InitLogging(level, kLogFile, 0, path_.c_str(), false, 0, false);
  }
  std::vector<std::string> Lines() { return BodyLines(ReadFile(path_)); }

  std::string dir_;
  std::string path_;
};

TEST_F(LoggerTest, LevelGate) {
  struct Case {
    int32_t setting;
    LogLevel level;
    bool passes;
  };
  const Case cases[] = {
      {0, LogLevel::Fatal, false},      {0, LogLevel::Error, false},
      {1, LogLevel::Error, true},       {1, LogLevel::Fatal, true},
      {1, LogLevel::Warning, false},    {1, LogLevel::Info, false},
      {2, LogLevel::Info, true},        {2, LogLevel::Warning, true},
      {2, LogLevel::Debug, false},      {3, LogLevel::Debug, true},
      {3, static_cast<LogLevel>(9), true}, {2, static_cast<LogLevel>(-1), false},
  };
  for (const Case& c : cases) {
    SetLogLevel(c.setting);
    EXPECT_EQ(IsLogLevelEnabled(c.level), c.passes)
        << "setting " << c.setting << " level " << static_cast<int>(c.level);
  }

  Start(1, -1);
  Log(LogLevel::Info, "dropped");
  Log(LogLevel::Error, "kept %d", 1);
  LogTo(0, LogLevel::Warning, "dropped too");
  StopLogging();
  EXPECT_THAT(Lines(), ElementsAre(" ERROR  : kept 1"));
}

TEST_F(LoggerTest, LinePrefixHasDateTimeAndIndentedContinuations) {
  Start(2, 3);
  CZORTime before;
  before.SetNowUtc();
  Log(LogLevel::Info, "first|second");
  CZORTime after;
  after.SetNowUtc();
  StopLogging();

  const std::vector<std::string> lines = Lines();
  ASSERT_EQ(lines.size(), 2u);
  std::smatch m;
  ASSERT_TRUE(std::regex_match(lines[0], m,
                               std::regex(R"((\d\d/\d\d/\d{4}) (\d\d):(\d\d):(\d\d\.\d{3}) ->  )"
                                          R"(INFO   : first)")))
      << lines[0];
  EXPECT_EQ(lines[1], std::string(28, ' ') + "INFO   : second");

  // The stamp is the UTC time of the call.
  const std::string date = m[1];
  EXPECT_TRUE(date == before.Format("%d/%m/%Y") || date == after.Format("%d/%m/%Y"));
  if (before.GetDay() == after.GetDay()) {
    const double seconds = std::stoi(m[2]) * 3600.0 + std::stoi(m[3]) * 60.0 + std::stod(m[4]);
    EXPECT_GE(seconds, before.GetSeconds() - 0.001);
    EXPECT_LE(seconds, after.GetSeconds() + 0.001);
  }
}

// Date and time of a stamp come from one rounding: the last half
// millisecond of a day is the next day's midnight, in the date as well. The
// oracle is the ISO text of the same value, whose fields are rounded once.
TEST(LoggerStamp, DateAndTimeComeFromOneRounding) {
  EXPECT_EQ(LogTimeStamp(CZORTime(2026, 12, 7, 23, 59, 59.9997), 3), "08/12/2026 00:00:00.000");
  EXPECT_EQ(LogTimeStamp(CZORTime(2026, 12, 31, 23, 59, 59.9997), 0), "01/01/2027 00:00:00");
  EXPECT_EQ(LogTimeStamp(CZORTime(2026, 12, 7, 23, 59, 59.9997), 6), "07/12/2026 23:59:59.999700");
  EXPECT_EQ(LogTimeStamp(CZORTime(), 3), "Invalid");
  // Seconds outside the day fold into the date at every precision.
  EXPECT_EQ(LogTimeStamp(CZORTime(2026, 12, 31, 24, 0, 1.5), 6), "01/01/2027 00:00:01.500000");
  EXPECT_EQ(LogTimeStamp(CZORTime(2026, 12, 31, 0, 0, -0.5), 4), "30/12/2026 23:59:59.5000");
  // Years beyond four digits keep all of them.
  EXPECT_EQ(LogTimeStamp(CZORTime(12345, 6, 7, 8, 9, 10.25), 2), "07/06/12345 08:09:10.25");
  EXPECT_EQ(LogTimeStamp(CZORTime(12345, 6, 7, 8, 9, 10.25), 5), "07/06/12345 08:09:10.25000");
  const std::regex iso(R"((\d{4})-(\d\d)-(\d\d) (.*))");
  for (int32_t day : {51543, 59000, 61380}) {
    for (double seconds : {-0.5, -1e-7, 90000.0, 0.0, 0.0004, 0.0005, 43200.25, 86399.4994,
                           86399.4996, 86399.9994, 86399.9995, 86399.9997, 86399.9999999}) {
      const CZORTime t(sTimeRecord{day, 0, seconds});
      for (int decimals = -1; decimals <= 7; ++decimals) {
        std::smatch m;
        const std::string want = FormatDateTime(t, decimals, ':');
        ASSERT_TRUE(std::regex_match(want, m, iso)) << want;
        EXPECT_EQ(LogTimeStamp(t, decimals),
                  m[3].str() + "/" + m[2].str() + "/" + m[1].str() + " " + m[4].str())
            << day << ' ' << seconds << ' ' << decimals;
      }
    }
  }
}

// Eight threads log two-line messages at once while another reads and
// writes the settings: every message reaches the file exactly once, whole,
// its two lines side by side.
TEST_F(LoggerTest, ThreadedMessagesAreNeitherLostNorInterleaved) {
  constexpr int kThreads = 8;
  constexpr int kMessages = 1500;
  Start(2, 3);
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([t] {
      for (int n = 0; n < kMessages; ++n) {
        Log(LogLevel::Info, "thread %d message %d|tail %d %d", t, n, t, n);
      }
    });
  }
  // Settings may be read and written meanwhile (here rewritten unchanged).
  std::atomic<bool> done{false};
  std::thread settings([&done] {
    while (!done.load()) {
      SetLogLevel(GetLogLevel());
      SetLogMask(GetLogMask());
      SetLogTimeDecimals(GetLogTimeDecimals());
      EnableLogMessageBoxes(LogMessageBoxesEnabled());
      (void)IsLogLevelEnabled(LogLevel::Debug);
    }
  });
  for (std::thread& th : threads) th.join();
  done = true;
  settings.join();
  StopLogging();

  const std::vector<std::string> lines = Lines();
  ASSERT_EQ(lines.size(), 2u * kThreads * kMessages);
  const std::regex head(
      R"(\d\d/\d\d/\d{4} \d\d:\d\d:\d\d\.\d{3} ->  INFO   : thread (\d+) message (\d+))");
  std::vector<int> seen(kThreads * kMessages, 0);
  for (size_t i = 0; i < lines.size(); i += 2) {
    std::smatch m;
    ASSERT_TRUE(std::regex_match(lines[i], m, head)) << i << ": " << lines[i];
    const int t = std::stoi(m[1]);
    const int n = std::stoi(m[2]);
    ASSERT_TRUE(t < kThreads && n < kMessages) << lines[i];
    ASSERT_EQ(lines[i + 1],
              std::string(28, ' ') + "INFO   : tail " + m[1].str() + " " + m[2].str());
    ++seen[t * kMessages + n];
  }
  EXPECT_EQ(std::count(seen.begin(), seen.end(), 1), kThreads * kMessages);
}

// Every message line of a file, banners and blank lines left out.
std::vector<std::string> MessageLines(const std::string& content) {
  std::vector<std::string> lines;
  std::istringstream in(content);
  std::string line;
  while (std::getline(in, line)) {
    if (line.find(" : ") != std::string::npos) lines.push_back(line);
  }
  return lines;
}

// Repointing the log to another file while threads write, and changing its
// title meanwhile, loses no message: each lands whole in one of the files,
// before the old file's stop banner or after the new one's start banner.
TEST_F(LoggerTest, ThreadedMessagesSurviveRepointingTheFile) {
  constexpr int kThreads = 4;
  constexpr int kMessages = 400;
  const std::string other = dir_ + "/other.log";
  InitLogging(2, kLogFile | kLogMessageBoxes, 0, path_.c_str(), false, -1, false);
  const zor::platform::ScopedMessageSink sink([](const zor::platform::MessageBoxCall&) { return 1; });
  std::atomic<int> running{kThreads};
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([t, &running] {
      for (int n = 0; n < kMessages; ++n) Log(LogLevel::Info, "thread %d message %d", t, n);
      // Boxes read the title that the main thread rewrites.
      LogTo(kLogMaskMessageBox | kLogMaskNoFile, LogLevel::Error, "box %d", t);
      --running;
    });
  }
  for (int i = 0; running.load() > 0; ++i) {
    SetLogTitle(i % 2 == 0 ? "a title long enough to live on the heap" : "");
    SetLogFile((i % 2 == 0 ? other : path_).c_str(), true);
  }
  for (std::thread& th : threads) th.join();
  StopLogging();

  std::vector<int> seen(kThreads * kMessages, 0);
  const std::regex line(R"( INFO   : thread (\d+) message (\d+))");
  for (const std::string& file : {path_, other}) {
    for (const std::string& text : MessageLines(ReadFile(file))) {
      std::smatch m;
      ASSERT_TRUE(std::regex_match(text, m, line)) << text;
      ++seen[std::stoi(m[1]) * kMessages + std::stoi(m[2])];
    }
  }
  EXPECT_EQ(std::count(seen.begin(), seen.end(), 1), kThreads * kMessages);
}

// With no descriptor left the log cannot open its file: messages go
// nowhere, nothing fails, and once descriptors are free again the next
// repoint opens the file as usual.
TEST_F(LoggerTest, FileThatCannotBeOpenedLeavesTheLogUsable) {
  // One whole logging cycle first: UndefinedBehaviorSanitizer checks a type's
  // first virtual call through a pipe, which it cannot make without free
  // descriptors, and would report a false fault below.
  const std::string warm = path_ + ".warm";
  InitLogging(1, kLogFile, 0, warm.c_str(), false, -1, false);
  Log(LogLevel::Error, "warm");
  StopLogging();
  fs::remove(warm);

  rlimit saved{};
  ASSERT_EQ(getrlimit(RLIMIT_NOFILE, &saved), 0);
  rlimit low = saved;
  low.rlim_cur = std::min<rlim_t>(saved.rlim_cur, 256);
  ASSERT_EQ(setrlimit(RLIMIT_NOFILE, &low), 0);
  std::vector<int> held;
  const int base = open("/dev/null", O_RDONLY);  // stdin may be closed
  ASSERT_GE(base, 0);
  held.push_back(base);
  for (int fd; (fd = dup(base)) >= 0;) held.push_back(fd);
  ASSERT_EQ(errno, EMFILE);
  InitLogging(1, kLogFile, 0, path_.c_str(), false, -1, false);
  Log(LogLevel::Error, "lost");
  SetLogFile(path_.c_str(), true);
  Log(LogLevel::Error, "lost again");
  for (int fd : held) close(fd);
  ASSERT_EQ(setrlimit(RLIMIT_NOFILE, &saved), 0);
  EXPECT_FALSE(fs::exists(path_));

  SetLogFile(path_.c_str(), true);
  Log(LogLevel::Error, "written");
  StopLogging();
  EXPECT_THAT(BodyLines(ReadFile(path_)), ElementsAre(" ERROR  : written"));
}

TEST_F(LoggerTest, TimeDecimalsShapeThePrefix) {
  Start(3, 1);
  Log(LogLevel::Debug, "one");
  SetLogTimeDecimals(-1);
  Log(LogLevel::Warning, "a|b");
  EXPECT_EQ(EnableLogTimePrefix(true), -1);
  Log(LogLevel::Fatal, "c");
  StopLogging();

  const std::vector<std::string> lines = Lines();
  ASSERT_EQ(lines.size(), 4u);
  EXPECT_TRUE(std::regex_match(
      lines[0], std::regex(R"(\d\d/\d\d/\d{4} \d\d:\d\d:\d\d\.\d ->  DEBUG  : one)")))
      << lines[0];
  EXPECT_EQ(lines[1], " WARNING: a");
  EXPECT_EQ(lines[2], "  WARNING: b");
  EXPECT_TRUE(
      std::regex_match(lines[3], std::regex(R"(\d\d/\d\d/\d{4} \d\d:\d\d:\d\d ->  FATAL  : c)")))
      << lines[3];
}

TEST_F(LoggerTest, PiecesSplitAtBrokenBarElsePipe) {
  Start(1, -1);
  Log(LogLevel::Error, "a|b\xA6" "c");    // a lone 0xA6 wins over '|'
  Log(LogLevel::Error, "|x|");             // empty pieces are skipped
  Log(LogLevel::Error, "%s", "");          // nothing at all
  Log(LogLevel::Error, "d\xC2\xA6" "e");   // the UTF-8 broken bar is one separator
  Log(LogLevel::Error, "caf\xC3\xA6|f");   // the tail of a UTF-8 character is text
  Log(LogLevel::Error, "g\xE2\x80\xA6 \xC3\xA6\xA6h");
  StopLogging();
  EXPECT_THAT(Lines(), ElementsAre(" ERROR  : a|b", "  ERROR  : c", " ERROR  : x", " ERROR  : d",
                                   "  ERROR  : e", " ERROR  : caf\xC3\xA6", "  ERROR  : f",
                                   " ERROR  : g\xE2\x80\xA6 \xC3\xA6", "  ERROR  : h"));
}

TEST_F(LoggerTest, BannersOnOpenRepointAndStop) {
  InitLogging(1, kLogFile, 0, path_.c_str(), false, -1, true);
  const std::string second = dir_ + "/second.log";
  SetLogFile(second.c_str(), false);
  Log(LogLevel::Error, "in second");
  StopLogging();

  const std::string date = R"(\d\d/\d\d/\d{4} \d\d:\d\d:\d\d)";
  const std::string started =
      "\n" + kRule + "\n===================== Logging Started " + date + " LTZ ==================\n\n";
  const std::string stopped =
      "\n===================== Logging Stopped " + date + " ======================\n" + kRule +
      "\n\n";
  EXPECT_TRUE(std::regex_match(ReadFile(path_), std::regex(started + stopped)))
      << ReadFile(path_);
  EXPECT_TRUE(
      std::regex_match(ReadFile(second), std::regex(started + " ERROR  : in second\n" + stopped)))
      << ReadFile(second);

  // Appending keeps what was there; UTC is marked as such.
  const std::string earlier = ReadFile(second);
  InitLogging(1, kLogFile, 0, second.c_str(), true, -1, false);
  StopLogging();
  const std::string content = ReadFile(second);
  ASSERT_EQ(content.compare(0, earlier.size(), earlier), 0);
  std::string utc_started = started;
  utc_started.replace(utc_started.find(" LTZ "), 5, " UTC ");
  EXPECT_TRUE(std::regex_match(content.substr(earlier.size()), std::regex(utc_started + stopped)))
      << content;
}

TEST_F(LoggerTest, OpenCreatesOneFolderLevelOnly) {
  const std::string nested = dir_ + "/logs/driver.log";
  InitLogging(1, kLogFile, 0, nested.c_str(), false, -1, false);
  Log(LogLevel::Error, "made");
  StopLogging();
  EXPECT_THAT(BodyLines(ReadFile(nested)), ElementsAre(" ERROR  : made"));

  const std::string deep = dir_ + "/a/b/driver.log";
  InitLogging(1, kLogFile, 0, deep.c_str(), false, -1, false);
  Log(LogLevel::Error, "lost");
  StopLogging();
  EXPECT_FALSE(fs::exists(dir_ + "/a"));
}

TEST_F(LoggerTest, MaskAndFlagsPickDestinations) {
  std::vector<zor::platform::MessageBoxCall> boxes;
  zor::platform::ScopedMessageSink sink([&](const zor::platform::MessageBoxCall& box) {
    boxes.push_back(box);
    return zor::platform::IDOK;
  });
  std::ostringstream console;
  std::streambuf* saved = std::cout.rdbuf(console.rdbuf());

  InitLogging(2, kLogFile | kLogConsole, 0, path_.c_str(), false, -1, false);
  LogTo(kLogMaskNoFile, LogLevel::Error, "nowhere");
  LogTo(kLogMaskNoFile | kLogMaskConsole, LogLevel::Warning, "console|only");
  LogTo(kLogMaskMessageBox, LogLevel::Error, "file, no box");
  EnableLogMessageBoxes(true);
  LogTo(kLogMaskMessageBox | kLogMaskNoFile, LogLevel::Fatal, "box a|b");
  SwitchLogMessageBoxes(false);
  LogTo(kLogMaskMessageBox, LogLevel::Info, "file again");
  SetLogMask(kLogMaskConsole);
  Log(LogLevel::Info, "both");
  StopLogging();
  std::cout.rdbuf(saved);

  EXPECT_THAT(Lines(), ElementsAre(" ERROR  : file, no box", " INFO   : file again",
                                   " INFO   : both"));
  EXPECT_EQ(console.str(), "WARNING: console\nWARNING: only\nINFO   : both\n");
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0].text, "box a|b");
  EXPECT_EQ(boxes[0].caption, "driver : Fatal");
  EXPECT_EQ(boxes[0].style, zor::platform::MB_ICONERROR);
}

TEST_F(LoggerTest, WideMessagesAreWrittenAsUtf8) {
  Start(1, -1);
  Log(LogLevel::Error, L"%ls %d", L"Ship\u00E9", 5);
  LogTo(0, LogLevel::Fatal, L"\u00E6\u00A6x");
  StopLogging();
  EXPECT_THAT(Lines(), ElementsAre(" ERROR  : Ship\xC3\xA9 5", " FATAL  : \xC3\xA6", "  FATAL  : x"));
}

TEST_F(LoggerTest, SettingsKeepOrReplaceWhatTheyShould) {
  EXPECT_EQ(GetLogMask(), 12u) << "a stopped log has mask 12";
  InitLogging(1, 0, 3, nullptr, false, 0, false);
  EXPECT_EQ(GetLogTimeDecimals(), 0) << "decimals 0 keeps the held value";
  InitLogging(1, 0, 3, nullptr, false, 2, false);
  EXPECT_EQ(GetLogTimeDecimals(), 2);
  EXPECT_EQ(EnableLogTimePrefix(false), 2);
  EXPECT_FALSE(LogTimePrefixEnabled());
  EXPECT_EQ(EnableLogTimePrefix(true), -1);
  EXPECT_EQ(GetLogTimeDecimals(), 0);

  EXPECT_EQ(SetLogFlags(6), 0u);
  EXPECT_EQ(SetLogLevel(3), 1);
  EXPECT_EQ(SetLogMask(1), 3u);
  EXPECT_EQ(GetLogFlags(), 6u);
  EXPECT_EQ(GetLogLevel(), 3);
  EXPECT_EQ(GetLogMask(), 1u);
  EXPECT_TRUE(LogMessageBoxesEnabled());

  // The title comes from the first file named, and stays.
  SetLogFile("C:\\Logs\\driver.log", false);
  EXPECT_EQ(MessageBoxCaption(LogLevel::Warning), "driver : Warning");
  SetLogFile("/other/place.log", false);
  EXPECT_EQ(MessageBoxCaption(LogLevel::Info), "driver : Info");
  SetLogTitle(L"Sh\u00EFp");
  EXPECT_EQ(MessageBoxCaption(static_cast<LogLevel>(7)), "Sh\xC3\xAFp : Debug");
  SetLogTitle("");
  EXPECT_EQ(MessageBoxCaption(LogLevel::Error), "Error");
}

TEST(LoggerLevelTexts, TagsAndIcons) {
  EXPECT_EQ(LevelTag(LogLevel::Info), "INFO   : ");
  EXPECT_EQ(LevelTag(LogLevel::Warning), "WARNING: ");
  EXPECT_EQ(LevelTag(LogLevel::Error), "ERROR  : ");
  EXPECT_EQ(LevelTag(LogLevel::Fatal), "FATAL  : ");
  EXPECT_EQ(LevelTag(static_cast<LogLevel>(-3)), "DEBUG  : ");
  EXPECT_EQ(LevelToMessageBoxIcon(LogLevel::Info), 0x40u);
  EXPECT_EQ(LevelToMessageBoxIcon(LogLevel::Warning), 0x30u);
  EXPECT_EQ(LevelToMessageBoxIcon(LogLevel::Error), 0x10u);
  EXPECT_EQ(LevelToMessageBoxIcon(LogLevel::Fatal), 0x10u);
  EXPECT_EQ(LevelToMessageBoxIcon(LogLevel::Debug), 0x40u);
}

TEST_F(LoggerTest, InteractiveSwitchReopensAClosedLog) {
  Start(1, -1);
  Log(LogLevel::Error, "before");
  StopLogging();  // level 0, flags 0; the path stays
  SetLogInteractive(true, true);
  EXPECT_EQ(GetLogFlags(), kLogMessageBoxes);
  SetLogInteractive(false, true);
  EXPECT_EQ(GetLogFlags(), kLogFile);
  EXPECT_EQ(GetLogLevel(), 1);
  Log(LogLevel::Error, "kept out");  // StopLogging left the default mask at 12
  LogTo(0, LogLevel::Error, "after");
  StopLogging();

  const std::string content = ReadFile(path_);
  EXPECT_NE(content.find(" ERROR  : before\n"), std::string::npos);
  EXPECT_NE(content.find(" ERROR  : after\n"), std::string::npos);
  EXPECT_LT(content.find("before"), content.find("after"));
  EXPECT_EQ(content.find("kept out"), std::string::npos);
  EXPECT_NE(content.find("Logging Started", content.find("before")), std::string::npos)
      << "reopened in append mode with a new banner";
}

// A message logged from a static destructor still reaches the file, and the
// stop banner follows it; the process exits cleanly.
TEST_F(LoggerTest, LogsDuringStaticDestructionAndClosesAtExit) {
  std::fflush(nullptr);
  std::cout.flush();
  const pid_t pid = fork();
  ASSERT_GE(pid, 0);
  if (pid == 0) {
    struct LogsAtExit {
      ~LogsAtExit() { Log(LogLevel::Error, "from a static destructor"); }
    };
    static LogsAtExit at_exit;  // built in the child only
    InitLogging(1, kLogFile, 0, path_.c_str(), false, -1, false);
    Log(LogLevel::Error, "in main");
    std::exit(0);
  }
  ASSERT_NO_FATAL_FAILURE(WaitForCleanExit(pid));

  const std::string content = ReadFile(path_);
  EXPECT_THAT(BodyLines(content), ElementsAre(" ERROR  : in main", " ERROR  : from a static destructor"));
  EXPECT_TRUE(std::regex_search(
      content, std::regex("from a static destructor\n\n===================== Logging Stopped .* "
                          "======================\n" + kRule + "\n\n$")))
      << content;
}

// Threads still logging while the process exits: the stop banner ends the
// file, every line before it is whole, and the exit is clean.
TEST_F(LoggerTest, ThreadedMessagesDuringExitEndBeforeTheStopBanner) {
  std::fflush(nullptr);
  std::cout.flush();
  const pid_t pid = fork();
  ASSERT_GE(pid, 0);
  if (pid == 0) {
    InitLogging(1, kLogFile, 0, path_.c_str(), false, 3, false);
    // A logger that hangs ends the child by the alarm (a bound on a hang only).
    alarm(60);
    static std::atomic<int> logging{0};
    for (int t = 0; t < 4; ++t) {
      std::thread([t] {
        for (int n = 0;; ++n) {
          Log(LogLevel::Error, "thread %d message %d|tail", t, n);
          if (n == 0) ++logging;
        }
      }).detach();
    }
    // Exits once every thread has written and goes on writing.
    while (logging.load() < 4) std::this_thread::yield();
    std::exit(0);
  }
  ASSERT_NO_FATAL_FAILURE(WaitForCleanExit(pid));

  const std::string content = ReadFile(path_);
  const std::string stop = "\n===================== Logging Stopped ";
  const std::string end = " ======================\n" + kRule + "\n\n";
  const std::size_t stopAt = content.rfind(stop);
  ASSERT_NE(stopAt, std::string::npos);
  EXPECT_EQ(content.size() - stopAt, stop.size() + 19 + end.size())
      << content.substr(content.size() > 400 ? content.size() - 400 : 0);
  EXPECT_EQ(content.compare(content.size() - end.size(), end.size(), end), 0);
  const std::vector<std::string> lines = BodyLines(content);
  ASSERT_FALSE(lines.empty());
  // Plain string checks: a regex per line is slow in the sanitizer builds.
  for (size_t i = 0; i + 1 < lines.size(); i += 2) {
    ASSERT_EQ(lines[i].size() > 50 ? lines[i].substr(23, 20) : "", " ->  ERROR  : thread")
        << lines[i];
    ASSERT_NE(lines[i].find(" message ", 43), std::string::npos) << lines[i];
    ASSERT_EQ(lines[i + 1], std::string(28, ' ') + "ERROR  : tail");
  }
  EXPECT_EQ(lines.size() % 2, 0u);
}

// The log's path is the program's user's to choose: a link under it is never
// written through, whether the log appends or cuts, and a set-user-id root
// program makes and writes only what its user could.
TEST_F(LoggerTest, TheLogIsTheUsersAndNeverWrittenThroughALink) {
  const std::string victim = dir_ + "/victim";
  std::ofstream(victim) << "victim";
  ASSERT_EQ(symlink(victim.c_str(), path_.c_str()), 0);
  for (const bool append : {true, false}) {
    InitLogging(1, kLogFile, 0, path_.c_str(), append, -1, false);
    Log(LogLevel::Error, "lost");
    StopLogging();
    EXPECT_EQ(ReadFile(victim), "victim") << append;
  }
  // A cut or appended log keeps its semantics through the descriptor.
  ASSERT_EQ(unlink(path_.c_str()), 0);
  std::ofstream(path_) << "stale";
  for (const bool append : {false, true}) {
    InitLogging(1, kLogFile, 0, path_.c_str(), append, -1, false);
    Log(LogLevel::Error, append ? "second" : "first");
    StopLogging();
  }
  EXPECT_THAT(BodyLines(ReadFile(path_)), ElementsAre(" ERROR  : first"));
  EXPECT_NE(ReadFile(path_).find(" ERROR  : second"), std::string::npos);
  EXPECT_EQ(ReadFile(path_).find("stale"), std::string::npos);

  if (geteuid() != 0) GTEST_SKIP() << "needs root to run as another user";
  ASSERT_EQ(chmod(dir_.c_str(), 0755), 0);
  const std::string rootOnly = dir_ + "/root-only", mine = dir_ + "/mine";
  ASSERT_EQ(mkdir(rootOnly.c_str(), 0755), 0);
  ASSERT_EQ(mkdir(mine.c_str(), 0700), 0);
  if (chown(mine.c_str(), 65534, 65534) != 0) GTEST_SKIP() << "no user 65534 here";
  ASSERT_EQ(chmod(victim.c_str(), 0600), 0);
  const pid_t pid = fork();
  ASSERT_GE(pid, 0);
  if (pid == 0) {
    if (setgroups(0, nullptr) != 0 || setresgid(65534, 65534, 65534) != 0 ||
        setresuid(65534, 0, 0) != 0)
      _exit(77);
    for (const std::string& where : {rootOnly + "/driver.log", rootOnly + "/logs/driver.log",
                                     victim, mine + "/driver.log"}) {
      InitLogging(1, kLogFile, 0, where.c_str(), true, -1, false);
      Log(LogLevel::Error, "as the user");
      StopLogging();
    }
    _exit(0);
  }
  int status = 0;
  ASSERT_EQ(waitpid(pid, &status, 0), pid);
  if (WIFEXITED(status) && WEXITSTATUS(status) == 77) GTEST_SKIP() << "cannot run as user 65534";
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
  EXPECT_TRUE(fs::is_empty(rootOnly));
  EXPECT_EQ(ReadFile(victim), "victim");
  struct stat st {};
  ASSERT_EQ(stat((mine + "/driver.log").c_str(), &st), 0);
  EXPECT_EQ(st.st_uid, 65534u);
  EXPECT_THAT(BodyLines(ReadFile(mine + "/driver.log")), ElementsAre(" ERROR  : as the user"));
}

}  // namespace
