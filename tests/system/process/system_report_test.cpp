#include "system/process/system_report.h"

#include <fcntl.h>
#include <grp.h>
#include <gtest/gtest.h>
#include <sched.h>
#include <signal.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <utility>

#include "tests/support/in_child.h"
#include "tests/system/process/process_test_support.h"

namespace {

const std::string kDisplayHeader =
    " ==================== DirectX report (dxdiag) ====================================\n\n";
const std::string kInformationHeader =
    "\n\n\n\n\n\n ==================== MS System Information report (msinfo32) "
    "====================\n\n";
const std::string kEnd =
    "\n\n\n\n\n\n ==================== END OF SYSTEM REPORT "
    "=======================================\n";

std::string ReadAll(const std::string& path) {
  std::ostringstream text;
  text << std::ifstream(path, std::ios::binary).rdbuf();
  return text.str();
}

std::string Utf16Le(const std::u16string& text) {
  std::string bytes;
  for (char16_t unit : text)
    bytes += {static_cast<char>(unit & 0xFF), static_cast<char>(unit >> 8)};
  return bytes;
}

// Writes the report into <tmp>/report and checks that the folder was shown;
// gives the joined text.
std::string Report(const FakeOpener& opener, const SystemReportSources& sources) {
  const std::string folder = opener.tmp().Path("report");
  std::filesystem::create_directories(folder);
  EXPECT_EQ(WriteSystemReport(folder, sources), 1);
  EXPECT_TRUE(WaitForFile(opener.Record()));
  EXPECT_EQ(ReadLines(opener.Record()), (std::vector<std::string>{"1", folder}));
  ::unlink(opener.Record().c_str());
  return ReadAll(folder + "/SystemReport.txt");
}

SystemReportSources Under(const TempFolder& tmp, const std::string& root) {
  return {tmp.Path(root + "/proc"), tmp.Path(root + "/sys"), tmp.Path(root + "/etc")};
}

TEST(WriteSystemReport, WritesWhatTheSystemTells) {
  FakeOpener opener;
  const TempFolder& tmp = opener.tmp();
  tmp.Write("src/proc/version", "Linux version 6.1.0\n");
  tmp.Write("src/proc/cpuinfo", "model name\t: Caf\xE9 CPU\n");  // not UTF-8
  tmp.Write("src/proc/fb", "0 EFI VGA\n");
  tmp.Write("src/etc/os-release", "PRETTY_NAME=\"Debian GNU/Linux 12\"\n");
  tmp.Write("src/sys/class/drm/card0/device/uevent",
            "DRIVER=i915\nPCI_CLASS=3\nPCI_ID=8086:9BC4\n");
  tmp.Write("src/sys/class/drm/card0-HDMI-A-1/status", "connected\n");
  tmp.Write("src/sys/class/drm/card0-HDMI-A-1/modes", "1920x1080\n1280x720\n");
  const std::string report = Report(opener, Under(tmp, "src"));

  EXPECT_EQ(report.rfind(kDisplayHeader + "Display Devices\n", 0), 0u);
  EXPECT_NE(report.find("Card: card0\n  DRIVER=i915\n  PCI_ID=8086:9BC4\nOutput: card0-HDMI-A-1\n"
                        "  Status: connected\n  Preferred mode: 1920x1080\n"
                        "Frame buffers:\n0 EFI VGA\n"),
            std::string::npos);
  // Joined as UTF-8 without the byte-order mark the report file itself has.
  EXPECT_NE(report.find(kInformationHeader + "System Information report written at: "),
            std::string::npos);
  EXPECT_EQ(report.find("\xEF\xBB\xBF"), std::string::npos);
  EXPECT_EQ(ReadAll(tmp.Path("report/msinfoReport.txt")).substr(0, 2), "\xFF\xFE");
  EXPECT_NE(report.find("[/proc/version]\n\nLinux version 6.1.0\n"), std::string::npos);
  EXPECT_NE(report.find("Caf\xC3\xA9 CPU"), std::string::npos);
  EXPECT_NE(report.find("PRETTY_NAME=\"Debian GNU/Linux 12\""), std::string::npos);
  EXPECT_EQ(report.size() - report.rfind(kEnd), kEnd.size());
}

TEST(WriteSystemReport, MissingSourcesSayNotFound) {
  FakeOpener opener;
  EXPECT_EQ(Report(opener, Under(opener.tmp(), "none")),
            kDisplayHeader + " **** DirectX report NOT FOUND." + kInformationHeader +
                " **** MS System Information report NOT FOUND." + kEnd);
  EXPECT_FALSE(std::filesystem::exists(opener.tmp().Path("report/msinfoReport.txt")));
}

TEST(WriteSystemReport, ReportsLeftByAnEarlierRunAreNotJoined) {
  FakeOpener opener;
  const TempFolder& tmp = opener.tmp();
  tmp.Write("report/dxdiagReport.txt", "stale display report");
  tmp.Write("report/msinfoReport.txt", Utf16Le(u"\uFEFFstale information"));
  EXPECT_EQ(Report(opener, Under(tmp, "none")),
            kDisplayHeader + " **** DirectX report NOT FOUND." + kInformationHeader +
                " **** MS System Information report NOT FOUND." + kEnd);
  EXPECT_FALSE(std::filesystem::exists(tmp.Path("report/dxdiagReport.txt")));
  EXPECT_FALSE(std::filesystem::exists(tmp.Path("report/msinfoReport.txt")));

  // A fresh report replaces an old one, and its bytes are joined as they are.
  tmp.Write("report/dxdiagReport.txt", std::string(100000, 'x'));
  const std::string raw("raw\0bytes\r\n", 11);
  tmp.Write("src/proc/fb", raw);
  const std::string report = Report(opener, Under(tmp, "src"));
  EXPECT_NE(report.find("Frame buffers:\n" + raw), std::string::npos);
  EXPECT_EQ(report.find("xxx"), std::string::npos);
}

TEST(WriteSystemReport, AFolderInAReportFilesPlaceCouldNotBeRead) {
  FakeOpener opener;
  const TempFolder& tmp = opener.tmp();
  std::filesystem::create_directories(tmp.Path("report/dxdiagReport.txt/inside"));
  std::filesystem::create_directories(tmp.Path("report/msinfoReport.txt"));
  const std::string couldNotBeRead = kDisplayHeader + " **** DirectX report COULD NOT BE READ." +
                                     kInformationHeader +
                                     " **** MS System Information report COULD NOT BE READ." + kEnd;
  // Whether or not there was anything to write there.
  EXPECT_EQ(Report(opener, Under(tmp, "none")), couldNotBeRead);
  tmp.Write("src/proc/fb", "0 EFI VGA\n");
  tmp.Write("src/proc/version", "Linux version 6.1.0\n");
  EXPECT_EQ(Report(opener, Under(tmp, "src")), couldNotBeRead);
  EXPECT_TRUE(std::filesystem::is_directory(tmp.Path("report/dxdiagReport.txt/inside")));
}

// A pipe in a report's place is neither written nor read, and never waited
// for, whether or not anything holds its other end.
TEST(WriteSystemReport, APipeInAReportFilesPlaceIsNeverWaitedFor) {
  FakeOpener opener(kEveryUsersRoot);
  const TempFolder& tmp = opener.tmp();
  const std::string folder = tmp.Path("report");
  std::filesystem::create_directories(folder);
  const std::string joined = folder + "/SystemReport.txt";
  ASSERT_EQ(::mkfifo(joined.c_str(), 0666), 0);
  const int reader = ::open(joined.c_str(), O_RDONLY | O_NONBLOCK);
  ASSERT_GE(reader, 0);
  const BOOL withReader = WriteSystemReport(folder, Under(tmp, "none"));
  char byte = 0;
  EXPECT_LE(::read(reader, &byte, 1), 0);
  ::close(reader);
  ASSERT_EQ(withReader, 0);
  EXPECT_EQ(WriteSystemReport(folder, Under(tmp, "none")), 0);  // nobody at the other end

  // Pipes left by someone else in a shared folder, where this user cannot
  // remove them: the reports could not be read. Killed by the alarm if it waits.
  if (::geteuid() != 0) GTEST_SKIP() << "needs root to leave pipes another user cannot remove";
  const std::string shared = tmp.Path("shared");
  std::filesystem::create_directories(shared);
  ASSERT_EQ(::chmod(tmp.path().c_str(), 0755), 0);
  ASSERT_EQ(::chmod(shared.c_str(), 01777), 0);
  for (const char* name : {"/dxdiagReport.txt", "/msinfoReport.txt"}) {
    ASSERT_EQ(::mkfifo((shared + name).c_str(), 0666), 0);
    ASSERT_EQ(::chmod((shared + name).c_str(), 0666), 0);  // whatever the umask
  }
  tmp.Write("src/proc/fb", "0 EFI VGA\n");
  tmp.Write("src/proc/version", "Linux version 6.1.0\n");
  const pid_t child = ::fork();
  if (child == 0) {
    ::alarm(10);
    if (::setresgid(65534, 65534, 65534) != 0 || ::setresuid(65534, 65534, 65534) != 0) ::_exit(77);
    if (::access(shared.c_str(), W_OK | X_OK) != 0) ::_exit(77);
    ::_exit(WriteSystemReport(shared, Under(tmp, "src")) == 1 ? 0 : 1);
  }
  int status = 0;
  ASSERT_EQ(::waitpid(child, &status, 0), child);
  if (WIFEXITED(status) && WEXITSTATUS(status) == 77) GTEST_SKIP() << "needs CAP_SETUID and uid 65534 mapped here, and a way for it into " << shared;
  ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
  EXPECT_EQ(ReadAll(shared + "/SystemReport.txt"),
            kDisplayHeader + " **** DirectX report COULD NOT BE READ." + kInformationHeader +
                " **** MS System Information report COULD NOT BE READ." + kEnd);
}

// A file server's lease on SystemReport.txt refuses an open that does not
// wait; the report waits for the holder to let go, as a waiting open would.
// Forks a holder of a read lease on `file` that, once a writer's open asks
// it to let go, runs `onBreak` and exits with what it returns (77: no lease
// could be taken). Gives the holder's id and whether it holds the lease.
template <typename OnBreak>
std::pair<pid_t, bool> HoldLease(const std::string& file, OnBreak onBreak) {
  int ready[2];
  if (::pipe(ready) != 0) return {-1, false};
  const pid_t holder = ::fork();
  if (holder == 0) {
    ::alarm(60);  // bounds a hang only
    sigset_t io;
    ::sigemptyset(&io);
    ::sigaddset(&io, SIGIO);
    ::sigprocmask(SIG_BLOCK, &io, nullptr);
    const int fd = ::open(file.c_str(), O_RDONLY);
    if (fd < 0 || ::fcntl(fd, F_SETLEASE, F_RDLCK) != 0) ::_exit(77);
    if (::write(ready[1], "x", 1) != 1) ::_exit(1);
    const timespec waitAtMost{30, 0};  // bounds a hang only
    if (::sigtimedwait(&io, nullptr, &waitAtMost) != SIGIO) ::_exit(2);
    ::_exit(onBreak());
  }
  ::close(ready[1]);
  char byte = 0;
  const bool leased = holder > 0 && ::read(ready[0], &byte, 1) == 1;
  ::close(ready[0]);
  return {holder, leased};
}

TEST(WriteSystemReport, AFileUnderALeaseIsWaitedFor) {
  FakeOpener opener;
  const TempFolder& tmp = opener.tmp();
  const std::string joined = tmp.Write("report/SystemReport.txt", "an earlier report");
  const auto [holder, leased] = HoldLease(joined, [] {
    // Asked to let go: it does so a moment later.
    const timespec moment{0, 100 * 1000 * 1000};
    ::nanosleep(&moment, nullptr);
    return 0;
  });
  if (leased) {
    EXPECT_EQ(Report(opener, Under(tmp, "none")),
              kDisplayHeader + " **** DirectX report NOT FOUND." + kInformationHeader +
                  " **** MS System Information report NOT FOUND." + kEnd);
  }
  int status = 0;
  ASSERT_EQ(::waitpid(holder, &status, 0), holder);
  if (!leased) GTEST_SKIP() << "no lease could be taken: " << status;
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
}

TEST(WriteSystemReport, AFolderWrittenWithBackslashesIsTheSameFolder) {
  FakeOpener opener;
  const TempFolder& tmp = opener.tmp();
  std::filesystem::create_directories(tmp.Path("report/day"));
  tmp.Write("report/day/dxdiagReport.txt", "stale display report");
  ASSERT_EQ(WriteSystemReport(tmp.path() + "\\report\\day", Under(tmp, "none")), 1);
  EXPECT_EQ(ReadAll(tmp.Path("report/day/SystemReport.txt")).rfind(kDisplayHeader, 0), 0u);
  EXPECT_FALSE(std::filesystem::exists(tmp.Path("report/day/dxdiagReport.txt")));
  EXPECT_TRUE(WaitForFile(opener.Record()));
  EXPECT_EQ(ReadLines(opener.Record()), (std::vector<std::string>{"1", tmp.Path("report/day")}));
}

TEST(WriteSystemReport, FolderThatCannotHoldTheReportGivesZero) {
  FakeOpener opener;
  EXPECT_EQ(WriteSystemReport(opener.tmp().Path("missing"), Under(opener.tmp(), "none")), 0);
  EXPECT_FALSE(std::filesystem::exists(opener.Record()));
}

// A symbolic link in SystemReport.txt's place is refused, never followed;
// a pipe in a source's place (read by nobody) is left out, never waited for.
TEST(WriteSystemReport, LinksAndPipesAmongItsFilesAreNeverFollowedOrWaitedFor) {
  FakeOpener opener;
  const TempFolder& tmp = opener.tmp();
  const std::string folder = tmp.Path("report");
  std::filesystem::create_directories(folder);
  const std::string victim = tmp.Write("victim.txt", "victim data");
  ASSERT_EQ(::symlink(victim.c_str(), (folder + "/SystemReport.txt").c_str()), 0);
  EXPECT_EQ(WriteSystemReport(folder, Under(tmp, "none")), 0);
  EXPECT_EQ(ReadAll(victim), "victim data");

  tmp.Write("src/proc/version", "Linux version 6.1.0\n");
  std::filesystem::create_directories(tmp.Path("src/etc"));
  ASSERT_EQ(::mkfifo(tmp.Path("src/etc/os-release").c_str(), 0666), 0);
  ASSERT_EQ(::mkfifo(tmp.Path("src/proc/fb").c_str(), 0666), 0);
  ::unlink((folder + "/SystemReport.txt").c_str());
  const int result = InChild([&] {
    ::alarm(10);  // a wait for the pipes' other end ends here
    return WriteSystemReport(folder, Under(tmp, "src")) == 1 ? 0 : 1;
  });
  ASSERT_EQ(result, 0) << "exit " << result;
  const std::string report = ReadAll(folder + "/SystemReport.txt");
  EXPECT_NE(report.find("DirectX report NOT FOUND"), std::string::npos);
  EXPECT_EQ(report.find("os-release"), std::string::npos);
  EXPECT_NE(ReadAll(folder + "/msinfoReport.txt").find(Utf16Le(u"Linux version 6.1.0")),
            std::string::npos);
}

// Someone who may write the report folder swaps both reports for links to
// private files after they are written (while SystemReport.txt's lease holds
// the writer): the join still copies what was written, never the targets.
TEST(WriteSystemReport, ReportsSwappedForLinksAfterTheyAreWrittenAreNotFollowed) {
  FakeOpener opener;
  const TempFolder& tmp = opener.tmp();
  const std::string folder = tmp.Path("report");
  const std::string joined = tmp.Write("report/SystemReport.txt", "an earlier report");
  tmp.Write("src/proc/fb", "0 frame buffer\n");
  tmp.Write("src/proc/version", "Linux version 6.1.0\n");
  const std::string secret = tmp.Write("secret", "private display bytes");
  const std::string secret16 = tmp.Write("secret16", Utf16Le(u"\uFEFFprivate information"));
  // The writer opens SystemReport.txt once both reports are written.
  const auto [holder, leased] = HoldLease(joined, [&] {
    for (const auto& [target, name] : {std::pair{secret, "dxdiagReport.txt"},
                                       {secret16, "msinfoReport.txt"}}) {
      const std::string link = folder + "/link";
      if (::symlink(target.c_str(), link.c_str()) != 0) return 3;
      if (::rename(link.c_str(), (folder + "/" + name).c_str()) != 0) return 4;
    }
    return 0;
  });
  std::string report;
  if (leased) report = Report(opener, Under(tmp, "src"));
  int status = 0;
  ASSERT_EQ(::waitpid(holder, &status, 0), holder);
  if (!leased) GTEST_SKIP() << "no lease could be taken: " << status;
  ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
  EXPECT_EQ(report.find("private"), std::string::npos) << report;
  EXPECT_NE(report.find("Frame buffers:\n0 frame buffer\n"), std::string::npos) << report;
  EXPECT_NE(report.find("Linux version 6.1.0"), std::string::npos) << report;
}

// A set-user-id root program writes the report as the user running it: the
// files in the user's folder are the user's, and a folder only root may
// write gets nothing.
TEST(WriteSystemReport, ASetUserIdRootProgramWritesAsItsUser) {
  if (::geteuid() != 0) GTEST_SKIP() << "needs root to run as another user";
  FakeOpener opener(kEveryUsersRoot);
  const TempFolder& tmp = opener.tmp();
  ASSERT_EQ(::chmod(tmp.path().c_str(), 0755), 0);
  tmp.Write("src/proc/fb", "0 frame buffer\n");
  tmp.Write("src/proc/version", "Linux version 6.1.0\n");
  const std::string mine = tmp.Path("mine"), rootOnly = tmp.Path("root-only");
  ASSERT_EQ(::mkdir(mine.c_str(), 0700), 0);
  ASSERT_EQ(::mkdir(rootOnly.c_str(), 0755), 0);
  if (::chown(mine.c_str(), 65534, 65534) != 0) GTEST_SKIP() << "no user 65534 here";
  const int result = InChild([&] {
    if (::setgroups(0, nullptr) != 0 || ::setresgid(65534, 65534, 65534) != 0 ||
        ::setresuid(65534, 0, 0) != 0)
      return 77;
    if (WriteSystemReport(rootOnly, Under(tmp, "src")) != 0) return 1;
    return WriteSystemReport(mine, Under(tmp, "src")) == 1 ? 0 : 2;
  });
  if (result == 77) GTEST_SKIP() << "cannot run as user 65534 here";
  EXPECT_EQ(result, 0);
  EXPECT_TRUE(std::filesystem::is_empty(rootOnly));
  for (const char* name : {"SystemReport.txt", "dxdiagReport.txt", "msinfoReport.txt"}) {
    struct stat st {};
    ASSERT_EQ(::stat((mine + "/" + name).c_str(), &st), 0) << name;
    EXPECT_EQ(st.st_uid, 65534u) << name;
  }
}

// Bytes this process has read so far (read calls of every kind).
long long BytesRead() {
  std::ifstream io("/proc/self/io");
  std::string key;
  long long value = -1;
  while (io >> key >> value)
    if (key == "rchar:") return value;
  return -1;
}

// SystemReport.txt that fails part way (its small file system is full once
// both reports are written) gives 0, and the copy of the display report
// stops there instead of reading the rest for nothing; the UTF-16 report
// after it is not read at all.
TEST(WriteSystemReport, AJoinedFileThatFillsItsDiskStopsTheCopy) {
  FakeOpener opener;
  const TempFolder& tmp = opener.tmp();
  const std::size_t size = 2u << 20;
  tmp.Write("src/proc/fb", std::string(size, 'f'));
  tmp.Write("src/proc/cpuinfo", std::string(size / 2, 'c'));  // a UTF-16 report of `size`
  const std::string folder = tmp.Path("small");
  std::filesystem::create_directories(folder);
  const int result = InChild([&] {
    ::alarm(30);
    // Room for both reports and a few pages more, in a mount namespace of
    // this child alone.
    const std::string options = "size=" + std::to_string((2 * size / 4096 + 10) * 4096);
    if (::unshare(CLONE_NEWNS) != 0 || ::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0 ||
        ::mount("tmpfs", folder.c_str(), "tmpfs", 0, options.c_str()) != 0)
      return 77;
    const long long before = BytesRead();
    if (WriteSystemReport(folder, Under(tmp, "src")) != 0) return 1;
    const long long read = BytesRead() - before;
    // The sources once, and of the display report at most a chunk or two.
    if (read < 0 || read > static_cast<long long>(2 * size)) return 2;
    const std::string joined = ReadAll(folder + "/SystemReport.txt");
    if (joined.size() < kDisplayHeader.size() || joined.size() >= size) return 3;
    if (joined.compare(0, kDisplayHeader.size(), kDisplayHeader) != 0) return 4;
    struct stat information {};
    const std::string informationPath = folder + "/msinfoReport.txt";
    if (::stat(informationPath.c_str(), &information) != 0 ||
        information.st_size < static_cast<off_t>(size))
      return 5;  // written whole, so that it could have been read
    return 0;
  });
  if (result == 77) GTEST_SKIP() << "cannot mount a small tmpfs here (needs root and mount namespaces)";
  EXPECT_EQ(result, 0) << "check " << result;
}

}  // namespace
