#include "system/crash/crash_handler.h"

#include <fcntl.h>
#include <grp.h>
#include <poll.h>
#include <gtest/gtest.h>
#include <pthread.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <regex>
#include <sstream>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "platform/minidump_writer.h"
#include "platform/signal_crash.h"
#include "system/crash/crash_log.h"
#include "system/os/os_info.h"
#include "tests/support/lldb_runner.h"
#include "tests/support/minidump_reader.h"
#include "tests/support/temp_folder.h"

namespace {

namespace fs = std::filesystem;
using namespace zor::platform;

std::string Slurp(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

class ScopedLocalAppData {
 public:
  explicit ScopedLocalAppData(const std::string& folder) {
    if (const char* old = std::getenv("ZOR_LOCAL_APPDATA_DIR")) m_old = old;
    ::setenv("ZOR_LOCAL_APPDATA_DIR", folder.c_str(), 1);
  }
  ~ScopedLocalAppData() {
    if (m_old.empty()) ::unsetenv("ZOR_LOCAL_APPDATA_DIR");
    else ::setenv("ZOR_LOCAL_APPDATA_DIR", m_old.c_str(), 1);
  }

 private:
  std::string m_old;
};

// What a crashed child left: how it ended, what it wrote to standard error,
// and the crash files.
struct CrashRun {
  pid_t pid = 0;
  int status = 0;
  bool timedOut = false;
  std::string errors;
  std::vector<std::string> logs;
  std::vector<std::string> dumps;
  std::string folder;

  std::string Log() const { return logs.size() == 1 ? Slurp(logs[0]) : std::string(); }
};

// How a crashing child runs: below which local application data folder, and
// whether as a set-user-id root program that user 65534 started (with umask
// 000, so that only the program decides the modes).
struct CrashSetting {
  std::string appData;  // `tmp` when empty
  bool setUserIdRoot = false;
};

constexpr int kCannotSwitchUser = 77;

// Runs `crash` in a child with the crash handler installed and crash files
// going below `tmp`; a hang is bounded at 10 s.
CrashRun RunCrashingChild(const TempFolder& tmp, void (*crash)(), const CrashSetting& setting = {}) {
  const std::string errors = tmp.Path("stderr.txt");
  const std::string appData = setting.appData.empty() ? tmp.path() : setting.appData;
  const pid_t pid = ::fork();
  if (pid == 0) {
    ::setenv("ZOR_LOCAL_APPDATA_DIR", appData.c_str(), 1);
    const int fd = ::open(errors.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    ::dup2(fd, STDERR_FILENO);
    rlimit noCore{0, 0};
    ::setrlimit(RLIMIT_CORE, &noCore);
    if (setting.setUserIdRoot) {
      ::umask(0);
      if (::setgroups(0, nullptr) != 0 || ::setresgid(65534, 65534, 65534) != 0 ||
          ::setresuid(65534, 0, 0) != 0)
        ::_exit(kCannotSwitchUser);
    }
    if (!CCrashHandler::Install()) ::_exit(90);
    crash();
    ::_exit(91);
  }
  CrashRun run;
  run.pid = pid;
  // The child's end is waited for, not slept on; the bound is for a hang.
  const int ended = static_cast<int>(::syscall(SYS_pidfd_open, pid, 0));
  pollfd end{ended, POLLIN, 0};
  if (ended >= 0 && ::poll(&end, 1, 10000) == 0) {
    ::kill(pid, SIGKILL);
    run.timedOut = true;
  }
  if (ended >= 0) ::close(ended);
  ::waitpid(pid, &run.status, 0);
  run.errors = Slurp(errors);
  run.folder = appData + "/Zor/CrashDumps/" + GetModuleName(true);
  std::error_code ec;
  for (const auto& entry : fs::directory_iterator(run.folder, ec)) {
    const std::string name = entry.path().filename().string();
    if (name.rfind("CrashLog", 0) == 0) run.logs.push_back(entry.path().string());
    else if (name.rfind("MiniDump", 0) == 0) run.dumps.push_back(entry.path().string());
    else ADD_FAILURE() << "unexpected file " << name;
  }
  return run;
}

// Exactly one complete log and one dump that parses, named alike; the child
// died of `signal`; the log names `exception`. Returns the dump's reader.
MinidumpReader ExpectOneReport(const CrashRun& run, int signal, const std::string& exception) {
  EXPECT_FALSE(run.timedOut);
  EXPECT_TRUE(WIFSIGNALED(run.status)) << "status " << run.status;
  if (WIFSIGNALED(run.status)) {
    EXPECT_EQ(WTERMSIG(run.status), signal);
  }
  EXPECT_EQ(run.logs.size(), 1u);
  EXPECT_EQ(run.dumps.size(), 1u);
  if (run.logs.size() != 1 || run.dumps.size() != 1) return MinidumpReader({});

  const std::regex logName(".*/CrashLog[0-9]{8}-[0-9]{6}\\.txt");
  EXPECT_TRUE(std::regex_match(run.logs[0], logName)) << run.logs[0];
  const std::string stamp = run.logs[0].substr(run.logs[0].size() - 19, 15);
  EXPECT_EQ(run.dumps[0], run.folder + "/MiniDump" + stamp + ".dmp");

  const std::string log = run.Log();
  const std::string program = GetModuleName(true);
  EXPECT_EQ(log.rfind(program + " caused " + exception + " \r\nin module ", 0), 0u)
      << log.substr(0, 200);
  EXPECT_NE(log.find("Exception handler called in CCrashHandler::Handle.\r\n"), std::string::npos);
  EXPECT_NE(log.find("\r\nContext:\r\n"), std::string::npos);
  EXPECT_NE(log.find("\r\n\r\nStack:\r\n"), std::string::npos);
  EXPECT_NE(log.find("Module 1\r\n"), std::string::npos);
  const std::string end = "\r\n===== [end of crash log] =====\r\n";
  EXPECT_TRUE(log.size() > end.size() && log.substr(log.size() - end.size()) == end);

  MinidumpReader dump(ReadFileBytes(run.dumps[0]));
  std::string why;
  EXPECT_TRUE(dump.Check(why)) << why;
  const auto e = dump.ExceptionStream();
  EXPECT_TRUE(e.has_value());
  const auto threads = dump.Threads();
  EXPECT_EQ(threads.size(), 1u);
  if (e && threads.size() == 1) {
    EXPECT_EQ(e->code, static_cast<uint32_t>(signal));
    EXPECT_EQ(e->threadId, threads[0].id);
    EXPECT_EQ(e->contextRva, threads[0].contextRva);
    EXPECT_GT(threads[0].stackSize, 0u);
  }
  bool sawProgram = false;
  for (const auto& m : dump.Modules()) sawProgram = sawProgram || m.name == GetModulePath(false);
  EXPECT_TRUE(sawProgram);
  return dump;
}

}  // namespace

// --- The failures -----------------------------------------------------------
// Outside the anonymous namespace, so the debugger names them plainly.
namespace crash_test {

// Global, so the compiler cannot see that it stays null.
int* volatile g_nullPointer = nullptr;

// The faults are made by the processor itself (inline assembly), so that
// the undefined-behaviour sanitizer does not stop the program first.
__attribute__((noinline)) void WriteThroughNull() {
#if defined(__x86_64__)
  asm volatile("movl $42, (%0)" : : "r"(g_nullPointer) : "memory");
#else
  *g_nullPointer = 42;
#endif
}

volatile bool g_stopRecursion = false;

__attribute__((noinline)) int RecurseForever(int depth) {
  volatile char frame[512];
  frame[0] = static_cast<char>(depth);
  if (g_stopRecursion) return frame[0];
  return RecurseForever(depth + 1) + frame[0];
}

void OverflowTheStack() { RecurseForever(0); }

void DivideByZero() {
  volatile int zero = 0;
#if defined(__x86_64__)
  asm volatile("movl $7, %%eax\n\tcltd\n\tidivl %0" : : "r"(zero) : "eax", "edx");
#else
  volatile int result = 7 / zero;
  (void)result;
#endif
}

void Abort() { std::abort(); }

void ThrowUncaught() noexcept(false) { throw std::runtime_error("nobody catches this"); }
// The test framework catches what a test body throws; past a noexcept
// function a throw ends in std::terminate, as in a program.
void RunUncaught() noexcept { ThrowUncaught(); }

void TwoThreadsFaultAtOnce() {
  std::atomic<int> ready{0};
  auto fault = [&ready] {
    ready.fetch_add(1);
    while (ready.load() < 2) {
    }
    WriteThroughNull();
  };
  std::thread a(fault), b(fault);
  a.join();
  b.join();
}

// Stack overflows and a null write on threads started after the install.
void OverflowInAStdThread() {
  std::thread([] { RecurseForever(0); }).join();
}

void* OverflowingThreadMain(void*) {
  RecurseForever(0);
  return nullptr;
}

void OverflowInAPthread() {
  pthread_t thread;
  if (::pthread_create(&thread, nullptr, &OverflowingThreadMain, nullptr) != 0) ::_exit(92);
  ::pthread_join(thread, nullptr);
}

// A detached thread with a small stack of its own size, and an overflow
// inside a thread_local destructor, which runs after the thread's routine.
void OverflowInADetachedSmallStackThread() {
  pthread_attr_t attributes;
  ::pthread_attr_init(&attributes);
  ::pthread_attr_setstacksize(&attributes, 64 * 1024);
  ::pthread_attr_setdetachstate(&attributes, PTHREAD_CREATE_DETACHED);
  pthread_t thread;
  if (::pthread_create(&thread, &attributes, &OverflowingThreadMain, nullptr) != 0) ::_exit(92);
  ::pthread_attr_destroy(&attributes);
  for (;;) ::pause();
}

struct OverflowsWhenDestroyed {
  ~OverflowsWhenDestroyed() { RecurseForever(0); }
};

void OverflowInAThreadLocalDestructor() {
  std::thread([] {
    static thread_local OverflowsWhenDestroyed last;
    (void)&last;
  }).join();
}

// Eight workers take jobs from one counter; the fifth job writes through
// null while the other workers are busy.
void NullWriteInAPoolOfEight() {
  constexpr int kWorkers = 8;
  std::atomic<int> next{0};
  std::atomic<int> started{0};
  std::vector<std::thread> pool;
  for (int w = 0; w < kWorkers; ++w) {
    pool.emplace_back([&] {
      started.fetch_add(1);
      while (started.load() < kWorkers) {
      }
      for (int job; (job = next.fetch_add(1)) < 1000;) {
        if (job == 4) WriteThroughNull();
        std::this_thread::sleep_for(std::chrono::microseconds(200));
      }
    });
  }
  for (std::thread& t : pool) t.join();
}

// A library's helper thread, started while its creator blocks every signal
// so that the helper never takes the program's signals.
void NullWriteInAThreadStartedWithSignalsBlocked() {
  sigset_t all, before;
  ::sigfillset(&all);
  ::pthread_sigmask(SIG_BLOCK, &all, &before);
  std::thread helper([] { WriteThroughNull(); });
  ::pthread_sigmask(SIG_SETMASK, &before, nullptr);
  helper.join();
}

void OverflowInAThreadStartedWithSignalsBlocked() {
  sigset_t all;
  ::sigfillset(&all);
  ::pthread_sigmask(SIG_BLOCK, &all, nullptr);
  std::thread([] { RecurseForever(0); }).join();
}

}  // namespace crash_test

namespace {

using namespace crash_test;

// --- Tests ------------------------------------------------------------------

TEST(CrashHandler, CrashFolderIsBelowLocalAppDataAndNamedForTheProgram) {
  TempFolder tmp;
  ScopedLocalAppData appData(tmp.path());
  const std::string expected = tmp.path() + "/Zor/CrashDumps/" + GetModuleName(true);
  EXPECT_EQ(GetCrashFolder(false), expected);
  EXPECT_FALSE(fs::exists(expected));
  EXPECT_EQ(GetCrashFolder(true), expected);
  EXPECT_TRUE(fs::is_directory(expected));
}

TEST(CrashHandler, TimeStampIsTheLocalTime) {
  // time() reads a coarser clock than the stamp: allow it a second.
  const std::time_t before = std::time(nullptr);
  const std::string stamp = FormatCrashTimeStamp();
  const std::time_t after = std::time(nullptr) + 1;
  ASSERT_TRUE(std::regex_match(stamp, std::regex("[0-9]{8}-[0-9]{6}"))) << stamp;
  std::tm parts{};
  ASSERT_TRUE(strptime(stamp.c_str(), "%Y%m%d-%H%M%S", &parts));
  parts.tm_isdst = -1;
  const std::time_t t = std::mktime(&parts);
  EXPECT_GE(t, before);
  EXPECT_LE(t, after);
}

TEST(CrashHandlerThreaded, ANullWriteLeavesOneLogAndOneDump) {
  TempFolder tmp;
  const CrashRun run = RunCrashingChild(tmp, &WriteThroughNull);
  const MinidumpReader dump = ExpectOneReport(run, SIGSEGV, "an Access Violation (0xc0000005)");
  EXPECT_NE(run.Log().find("\r\nWrite to location 0000000000000000 caused an access violation.\r\n"),
            std::string::npos);
  const auto e = dump.ExceptionStream();
  ASSERT_TRUE(e);
  EXPECT_EQ(e->address, 0u);

  if (run.dumps.size() != 1) return;
  const auto out = RunLldbOnCore(run.dumps[0], {"thread list", "bt"});
  if (!out) GTEST_SKIP() << "lldb is not installed";
  EXPECT_NE(out->find("stop reason = signal SIGSEGV"), std::string::npos) << *out;
  EXPECT_NE(out->find("WriteThroughNull"), std::string::npos) << *out;
}

TEST(CrashHandlerThreaded, AStackOverflowIsReportedFromTheAlternateStack) {
  TempFolder tmp;
  const CrashRun run = RunCrashingChild(tmp, &OverflowTheStack);
  ExpectOneReport(run, SIGSEGV, "a Stack Overflow (0xc00000fd)");
  EXPECT_EQ(run.errors.rfind("A stack overflow occurred\n", 0), 0u) << run.errors;

  if (run.dumps.size() != 1) return;
  const auto out = RunLldbOnCore(run.dumps[0], {"bt 3"});
  if (!out) GTEST_SKIP() << "lldb is not installed";
  EXPECT_NE(out->find("RecurseForever"), std::string::npos) << *out;
}

TEST(CrashHandlerThreaded, DivisionByZeroAbortAndUncaughtExceptions) {
  {
    TempFolder tmp;
    const CrashRun run = RunCrashingChild(tmp, &DivideByZero);
    ExpectOneReport(run, SIGFPE, "an Integer Divide by Zero (0xc0000094)");
    EXPECT_EQ(run.errors, "");  // only a stack overflow says anything
  }
  {
    TempFolder tmp;
    const CrashRun run = RunCrashingChild(tmp, &Abort);
    ExpectOneReport(run, SIGABRT, "an Unknown exception type (0xc0000409)");
  }
  {
    TempFolder tmp;
    const CrashRun run = RunCrashingChild(tmp, &RunUncaught);
    ExpectOneReport(run, SIGABRT, "a Microsoft C++ Exception (0xe06d7363)");
    // The previous terminate handler still names the exception.
    EXPECT_NE(run.errors.find("nobody catches this"), std::string::npos) << run.errors;
  }
}

// Not "Threaded": fork() and signals do not run under ThreadSanitizer.
TEST(CrashHandlerThreaded, TwoThreadsFaultingAtOnceGiveOneReport) {
  TempFolder tmp;
  const CrashRun run = RunCrashingChild(tmp, &TwoThreadsFaultAtOnce);
  const MinidumpReader dump = ExpectOneReport(run, SIGSEGV, "an Access Violation (0xc0000005)");
  const auto e = dump.ExceptionStream();
  ASSERT_TRUE(e);
  EXPECT_NE(e->threadId, 0u);
}

void HandleTwice() {
  const std::string folder = GetCrashFolder(false);
  auto count = [&folder] {
    std::error_code ec;
    int n = 0;
    for (const auto& entry : fs::directory_iterator(folder, ec)) {
      (void)entry;
      ++n;
    }
    return n;
  };
  EXCEPTION_RECORD record{};
  record.ExceptionCode = kExceptionAccessViolation;
  CONTEXT context;
  CaptureContext(context);
  EXCEPTION_POINTERS pointers{&record, &context};
  if (CCrashHandler::HandleInThread(&pointers) != 0) ::_exit(10);
  if (count() != 2) ::_exit(11);
  fs::remove_all(folder);
  // Later failures, on this thread or through Handle itself, write nothing.
  if (CCrashHandler::HandleInThread(&pointers) != 0 || CCrashHandler::Handle(&pointers) != 0)
    ::_exit(12);
  if (count() != 0) ::_exit(13);
  ::_exit(0);
}

TEST(CrashHandlerThreaded, ASecondFailureWritesNothing) {
  TempFolder tmp;
  const CrashRun run = RunCrashingChild(tmp, &HandleTwice);
  ASSERT_TRUE(WIFEXITED(run.status)) << run.status;
  EXPECT_EQ(WEXITSTATUS(run.status), 0);
}

// The report of a failure on a thread other than the installing one: the
// dump's only thread is the failing one, and lldb shows its frames.
void ExpectReportFromAnotherThread(const CrashRun& run, const std::string& exception,
                                   const std::string& frame) {
  const MinidumpReader dump = ExpectOneReport(run, SIGSEGV, exception);
  const auto e = dump.ExceptionStream();
  ASSERT_TRUE(e);
  EXPECT_NE(e->threadId, static_cast<uint32_t>(run.pid));
  if (run.dumps.size() != 1) return;
  const auto out = RunLldbOnCore(run.dumps[0], {"thread list", "bt 4"});
  if (!out) GTEST_SKIP() << "lldb is not installed";
  EXPECT_NE(out->find("stop reason = signal SIGSEGV"), std::string::npos) << *out;
  EXPECT_NE(out->find(frame), std::string::npos) << *out;
}

TEST(CrashHandlerThreaded, AStackOverflowInAStdThreadIsReported) {
  TempFolder tmp;
  const CrashRun run = RunCrashingChild(tmp, &OverflowInAStdThread);
  ExpectReportFromAnotherThread(run, "a Stack Overflow (0xc00000fd)", "RecurseForever");
  EXPECT_EQ(run.errors.rfind("A stack overflow occurred\n", 0), 0u) << run.errors;
}

TEST(CrashHandlerThreaded, AStackOverflowInAPthreadIsReported) {
  TempFolder tmp;
  const CrashRun run = RunCrashingChild(tmp, &OverflowInAPthread);
  ExpectReportFromAnotherThread(run, "a Stack Overflow (0xc00000fd)", "RecurseForever");
  EXPECT_EQ(run.errors.rfind("A stack overflow occurred\n", 0), 0u) << run.errors;
}

TEST(CrashHandlerThreaded, AStackOverflowInAnyKindOfThreadIsReportedOnce) {
  for (void (*body)() : {&OverflowInADetachedSmallStackThread, &OverflowInAThreadLocalDestructor}) {
    TempFolder tmp;
    const CrashRun run = RunCrashingChild(tmp, body);
    ExpectOneReport(run, SIGSEGV, "a Stack Overflow (0xc00000fd)");
    EXPECT_EQ(run.errors.rfind("A stack overflow occurred\n", 0), 0u) << run.errors;
  }
}

TEST(CrashHandlerThreaded, ANullWriteInAThreadPoolIsReportedOnce) {
  TempFolder tmp;
  const CrashRun run = RunCrashingChild(tmp, &NullWriteInAPoolOfEight);
  ExpectReportFromAnotherThread(run, "an Access Violation (0xc0000005)", "WriteThroughNull");
  EXPECT_EQ(run.errors, "");
}

TEST(CrashHandlerThreaded, AThreadStartedWithEverySignalBlockedIsReported) {
  {
    TempFolder tmp;
    const CrashRun run = RunCrashingChild(tmp, &NullWriteInAThreadStartedWithSignalsBlocked);
    ExpectOneReport(run, SIGSEGV, "an Access Violation (0xc0000005)");
  }
  TempFolder tmp;
  const CrashRun run = RunCrashingChild(tmp, &OverflowInAThreadStartedWithSignalsBlocked);
  ExpectOneReport(run, SIGSEGV, "a Stack Overflow (0xc00000fd)");
}

// The crash file names of the next seconds, as the handler will stamp them.
std::vector<std::string> NextStamps() {
  std::vector<std::string> stamps;
  const std::time_t now = std::time(nullptr);
  for (std::time_t t = now - 1; t <= now + 15; ++t) {
    std::tm local{};
    ::localtime_r(&t, &local);
    char stamp[32];
    std::strftime(stamp, sizeof stamp, "%Y%m%d-%H%M%S", &local);
    stamps.push_back(stamp);
  }
  return stamps;
}

// Links named like the next crash logs and dump files made ahead are never
// written: the handler writes only files it made itself, under the next
// free names, as a second crash within one second does.
TEST(CrashHandler, PlantedLinksAndFilesMadeAheadAreNeverWritten) {
  TempFolder tmp;
  const std::string folder = tmp.path() + "/Zor/CrashDumps/" + GetModuleName(true);
  fs::create_directories(folder);
  const std::string victim = tmp.Write("victim", "victim's own");
  std::vector<std::string> planted;
  for (const std::string& stamp : NextStamps()) {
    ASSERT_EQ(::symlink(victim.c_str(), (folder + "/CrashLog" + stamp + ".txt").c_str()), 0);
    planted.push_back(folder + "/MiniDump" + stamp + ".dmp");
    std::ofstream(planted.back());
  }
  const CrashRun run = RunCrashingChild(tmp, &WriteThroughNull);
  EXPECT_TRUE(WIFSIGNALED(run.status) && WTERMSIG(run.status) == SIGSEGV) << run.status;
  EXPECT_EQ(Slurp(victim), "victim's own");
  for (const std::string& dump : planted) EXPECT_EQ(fs::file_size(dump), 0u) << dump;
  EXPECT_EQ(run.errors.find("Error creating exception report"), std::string::npos) << run.errors;
  std::vector<std::string> written;
  for (const auto& files : {run.logs, run.dumps})
    for (const std::string& file : files)
      if (fs::is_regular_file(fs::symlink_status(file)) && fs::file_size(file) > 0)
        written.push_back(file);
  ASSERT_EQ(written.size(), 2u);
  for (const std::string& file : written) EXPECT_NE(file.find("-2."), std::string::npos) << file;
}

// A set-user-id root program leaves its user crash files as that user's own
// (0700 folders, 0600 files, whatever the umask) and none of its memory: no
// dump, and a log without registers, code bytes and stack. Where its user
// could not make the crash folder, it makes nothing.
TEST(CrashHandler, ASetUserIdRootProgramLeavesItsUserOnlyWhatTheUserMayHave) {
  if (::geteuid() != 0) GTEST_SKIP() << "needs root to run as another user";
  TempFolder tmp(kEveryUsersRoot);
  ASSERT_EQ(::chmod(tmp.path().c_str(), 0755), 0);
  const std::string home = tmp.Path("home"), rootOnly = tmp.Path("root-only");
  ASSERT_EQ(::mkdir(home.c_str(), 0755), 0);
  ASSERT_EQ(::mkdir(rootOnly.c_str(), 0755), 0);
  if (::chown(home.c_str(), 65534, 65534) != 0) GTEST_SKIP() << "no user 65534 here";

  const CrashRun run = RunCrashingChild(tmp, &WriteThroughNull, {home, true});
  if (WIFEXITED(run.status) && WEXITSTATUS(run.status) == kCannotSwitchUser)
    GTEST_SKIP() << "cannot run as user 65534 here";
  EXPECT_TRUE(WIFSIGNALED(run.status) && WTERMSIG(run.status) == SIGSEGV) << run.status;
  EXPECT_TRUE(run.dumps.empty());
  ASSERT_EQ(run.logs.size(), 1u);
  for (const auto& [path, mode] : {std::pair{home + "/Zor", 0700}, {home + "/Zor/CrashDumps", 0700},
                                   {run.folder, 0700}, {run.logs[0], 0600}}) {
    struct stat st {};
    ASSERT_EQ(::lstat(path.c_str(), &st), 0) << path;
    EXPECT_EQ(st.st_uid, 65534u) << path;
    EXPECT_EQ(st.st_mode & 07777, static_cast<mode_t>(mode)) << path;
  }
  const std::string log = run.Log();
  EXPECT_NE(log.find(" caused an Access Violation (0xc0000005) \r\nin module "), std::string::npos);
  EXPECT_NE(log.find(kCrashLogMemoryLeftOut), std::string::npos);
  EXPECT_EQ(log.find("\r\nContext:\r\n"), std::string::npos);
  EXPECT_EQ(log.find("Bytes at CS:EIP"), std::string::npos);
  EXPECT_EQ(log.find("\r\nStack:\r\n"), std::string::npos);
  EXPECT_NE(log.find("Module 1\r\n"), std::string::npos);

  const CrashRun nowhere = RunCrashingChild(tmp, &WriteThroughNull, {rootOnly, true});
  EXPECT_TRUE(WIFSIGNALED(nowhere.status)) << nowhere.status;
  EXPECT_TRUE(fs::is_empty(rootOnly));
}

}  // namespace
