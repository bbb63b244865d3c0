#include "database/project/project_settings.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <fcntl.h>
#include <sys/resource.h>
#include <grp.h>
#include <sys/stat.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <thread>
#include <vector>

#include "core/log/logger.h"
#include "platform/message_sink.h"
#include "system/registry/zor_registry.h"
#include "tests/support/registry_folder.h"
#include "tests/support/small_shared_memory.h"
#include "platform/bytes.h"
#include "tests/support/temp_folder.h"

using zor::platform::ArchiveException;
using zor::platform::ClassArchive;
using zor::platform::Event;
using zor::platform::File;
using zor::platform::FileException;
using zor::platform::MessageBoxCall;
using std::chrono::milliseconds;
using std::chrono::steady_clock;

namespace {

ProjectSettingsValues FileValues(const std::string& root, int32_t word1, uint32_t mask) {
  ProjectSettingsValues v;
  v.folderMask = mask;
  ResetProjectSettingsRecord(v.record);
  v.rootFolder = root;
  v.text1 = "one";
  v.text2 = "two";
  v.text3 = "three";
  v.record.word1 = word1;
  zor::platform::SetFieldText(v.record.path2, root + "/path");
  return v;
}

// Writes the file beside its place and renames it there, as the suite's
// programs store it, so a reader never meets half a file.
void WriteSettingsFile(const std::string& path, const ProjectSettingsValues& v) {
  const std::string temporary = path + ".writing";
  {
    File f;
    ASSERT_TRUE(f.Open(temporary, File::modeCreate | File::modeWrite));
    ClassArchive ar(f, ClassArchive::store);
    WriteProjectSettingsFile(ar, v);
    ar.Close();
  }
  std::filesystem::rename(temporary, path);
}

void WriteRawFile(const std::string& path, const std::string& bytes) {
  const std::string temporary = path + ".writing";
  {
    File f;
    ASSERT_TRUE(f.Open(temporary, File::modeCreate | File::modeWrite));
    f.Write(bytes.data(), static_cast<uint32_t>(bytes.size()));
  }
  std::filesystem::rename(temporary, path);
}

// How many descriptors of this process are open on `path`.
int OpenDescriptorsOn(const std::string& path) {
  const auto wanted = std::filesystem::weakly_canonical(path);
  int count = 0;
  std::error_code ec;
  for (const auto& entry : std::filesystem::directory_iterator("/proc/self/fd", ec)) {
    std::error_code linkError;
    const auto target = std::filesystem::read_symlink(entry.path(), linkError);
    if (!linkError && target == wanted) ++count;
  }
  return count;
}

std::string EventName() {
  static std::atomic<int> counter{0};
  return "zor-test-settings-" + std::to_string(::getpid()) + "-" + std::to_string(++counter);
}

// Polls for a state another thread or process brings about. The patience
// only bounds a hang: generous, so that a busy machine never decides.
template <typename Pred>
bool WaitUntil(Pred pred, milliseconds patience = milliseconds(20000)) {
  const auto until = steady_clock::now() + patience;
  while (!pred()) {
    if (steady_clock::now() > until) return false;
    std::this_thread::sleep_for(milliseconds(5));
  }
  return true;
}

class ProjectSettingsTest : public ::testing::Test {
 protected:
  void SetRegistryPath(int32_t kind, const std::string& path) {
    if (kind == 1) {
      CZORRegistry reg("Project", kRegistryProductPelmar, 0);
      ASSERT_TRUE(reg.WriteString("Last Project", path));
    } else {
      CZORRegistry reg(0, 0);
      ASSERT_TRUE(reg.WriteString("ProjectSettingsFile", path));
    }
  }
  // A settings file named by the registry for kind 0.
  std::string Install(const ProjectSettingsValues& v, const std::string& name = "Harbour.pst") {
    const std::string path = tmp.Path(name);
    WriteSettingsFile(path, v);
    SetRegistryPath(0, path);
    return path;
  }

  ScopedRegistryFolder registry;
  TempFolder tmp;
  std::vector<MessageBoxCall> boxes;
  zor::platform::ScopedMessageSink sink{[this](const MessageBoxCall& box) {
    boxes.push_back(box);
    return zor::platform::IDOK;
  }};
};

TEST_F(ProjectSettingsTest, WithoutARegistryValueTheDefaultsStay) {
  CProjectSettings settings(0, 0);
  const ProjectSettingsValues v = settings.GetValues();
  sProjectSettingsRecord fresh;
  ResetProjectSettingsRecord(fresh);
  EXPECT_EQ(0, std::memcmp(&v.record, &fresh, sizeof fresh));
  EXPECT_EQ(v.folderMask, 0xF9FFFFFFu);
  EXPECT_EQ(v.fileState, 1);
  EXPECT_EQ(v.fileFlag, 1);
  EXPECT_EQ(settings.GetSettingsFilePath(), "");
  EXPECT_EQ(settings.GetProjectFolder(), "");
  EXPECT_EQ(settings.GetFolder(kFolderLogFiles, 1), "/LogFiles/");
  EXPECT_TRUE(boxes.empty());  // report failures is off after a reset
  EXPECT_FALSE(settings.IsWatching());
  EXPECT_THROW(settings.Store(nullptr), FileException);  // nowhere to store
  EXPECT_EQ(CProjectSettings(0, 1).GetValues().folderMask, 0x0710A85Bu);
}

TEST_F(ProjectSettingsTest, ReadsTheFileTheRegistryNamesForEachKind) {
  const std::string path0 = Install(FileValues("/srv/zero", 3, 0x5));
  const std::string path1 = tmp.Path("sub/Other.settings.pst");
  std::filesystem::create_directories(tmp.Path("sub"));
  WriteSettingsFile(path1, FileValues("/srv/one", 4, 0x6));
  SetRegistryPath(1, path1);

  CProjectSettings zero(0, 0), one(0, 1);
  EXPECT_EQ(zero.GetSettingsFilePath(), path0);
  EXPECT_EQ(zero.GetProjectFolder(), tmp.path());
  EXPECT_EQ(zero.GetValues().projectName, "Harbour");
  EXPECT_EQ(zero.GetRootFolder(), "/srv/zero");
  EXPECT_EQ(zero.GetValues().record.word1, 3);
  EXPECT_EQ(one.GetProjectFolder(), tmp.Path("sub"));
  EXPECT_EQ(one.GetValues().projectName, "Other.settings");
  EXPECT_EQ(one.GetValues().folderMask, 0x6u);
  EXPECT_EQ(one.GetValues().text3, "three");
}

TEST_F(ProjectSettingsTest, GetFolderOverEveryFlagMaskAndRoot) {
  const std::pair<int32_t, const char*> flags[] = {
      {0x1, "/Database"},         {0x2, "/DxfToVmf"},
      {0x4, "/GridData"},         {0x8, "/LineData"},
      {0x10, "/Tide"},            {0x20, "/Mapping"},
      {0x40, "/Support"},         {0x80, "/Graphics"},
      {0x100, "/DtmData"},        {0x200, "/Export"},
      {0x400, "/Import"},         {0x800, "/LogFiles"},
      {0x1000, "/Results"},       {0x2000, "/TEMP"},
      {0x4000, "/Database"},      {0x8000, "/DxfToVmf"},
      {0x10000, "/Export/PRO"},   {0x20000, "/Export/Donar"},
      {0x40000, "/Export/Lpd"},   {0x80000, "/Geoid"},
      {0x100000, "/Settings"},    {0x200000, "/Settings/Display"},
      {0x400000, "/Settings/LogFile"}, {0x800000, "/Settings/Export"},
      {0x1000000, "/Annotations"}, {0x2000000, "/Recordings"},
      {0x4000000, "/Settings/VesselTypes"}, {0x8000000, "/Tide/TideDefinition"},
      {0x10000000, "/Tide/TideData"}, {0x20000000, "/Annotations/Icons"},
      {0x40000000, "/Hwr"},
  };
  CProjectSettings settings(0, 0);
  ProjectSettingsValues v = settings.GetValues();
  v.projectFolder = "/p";
  for (const auto& [flag, sub] : flags) {
    SCOPED_TRACE(flag);
    EXPECT_EQ(FolderSuffix(flag), sub);
    const bool rootGroup = (static_cast<uint32_t>(flag) & ~kRootFolderGroup) == 0;
    v.rootFolder = "/r";
    v.folderMask = 0;
    settings.SetValues(v);
    EXPECT_EQ(settings.GetFolder(flag, 0), std::string(rootGroup ? "/r" : "/p") + sub);
    v.folderMask = static_cast<uint32_t>(flag);  // the bit set: under the project
    settings.SetValues(v);
    EXPECT_EQ(settings.GetFolder(flag, 1), std::string("/p") + sub + "/");
    v.folderMask = 0;
    v.rootFolder.clear();  // no root: always under the project
    settings.SetValues(v);
    EXPECT_EQ(settings.GetFolder(flag, 0), std::string("/p") + sub);
  }
  v.rootFolder = "/r";
  v.folderMask = 0;
  settings.SetValues(v);
  for (int32_t flag : {0, 0x3, 0x801, -1, INT32_MIN, 0x7FFFFFFF}) {
    EXPECT_EQ(FolderSuffix(flag), "");
    EXPECT_EQ(settings.GetFolder(flag, 0), "/p");
    EXPECT_EQ(settings.GetFolder(flag, 1), "/p/");
  }
  EXPECT_EQ(settings.GetFolder(kFolderLogFiles, 1), "/p/LogFiles/");
}

TEST_F(ProjectSettingsTest, FailedReloadsAreReportedAndLeaveTheValuesWhole) {
  const std::string path = Install(FileValues("/srv/good", 3, 0x5));
  CProjectSettings settings(0, 0);
  settings.SetReportFailures(1);
  const ProjectSettingsValues good = settings.GetValues();

  auto unchanged = [&](int32_t fileState) {
    const ProjectSettingsValues v = settings.GetValues();
    EXPECT_EQ(0, std::memcmp(&v.record, &good.record, sizeof good.record));
    EXPECT_EQ(v.rootFolder, good.rootFolder);
    EXPECT_EQ(v.text1, good.text1);
    EXPECT_EQ(v.folderMask, good.folderMask);
    EXPECT_EQ(v.fileState, fileState);
  };

  // A newer version, then an invalid record, then a file cut short.
  WriteSettingsFile(path, FileValues("/srv/newer", 4, 0x9));
  std::string bytes;
  {
    File f;
    ASSERT_TRUE(f.Open(path, File::modeRead));
    bytes.resize(f.GetLength());
    f.Read(bytes.data(), static_cast<uint32_t>(bytes.size()));
  }
  std::string newer = bytes;
  newer[0] = 9;
  WriteRawFile(path, newer);
  EXPECT_EQ(settings.Reload(), 0);
  unchanged(0);
  EXPECT_EQ(settings.GetArchive(), nullptr);  // aborted: the file is let go
  EXPECT_EQ(OpenDescriptorsOn(path), 0);
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0].text, "File " + path + ": " +
                               ArchiveException(ArchiveException::badSchema, "").what() +
                               "\nIncompatible file version detected.\n");

  WriteSettingsFile(path, FileValues("/srv/bad", 15, 0x9));
  EXPECT_EQ(settings.Reload(), 0);
  unchanged(1);
  EXPECT_EQ(OpenDescriptorsOn(path), 0);
  ASSERT_EQ(boxes.size(), 2u);
  EXPECT_EQ(boxes[1].text.substr(0, path.size() + 1), path + ":");
  EXPECT_NE(boxes[1].text.find("\nCorrupt Vtb file detected.\n"), std::string::npos);

  WriteRawFile(path, bytes.substr(0, bytes.size() - 1));
  EXPECT_EQ(settings.Reload(), 0);
  unchanged(1);
  EXPECT_EQ(settings.GetArchive(), nullptr);
  EXPECT_EQ(OpenDescriptorsOn(path), 0);
  ASSERT_EQ(boxes.size(), 3u);
  EXPECT_EQ(boxes[2].text.find("detected"), std::string::npos);

  // A missing file: the folder and name follow the path tried.
  const std::string missing = tmp.Path("gone/Missing.pst");
  try {
    settings.Load(missing.c_str(), false);
    FAIL() << "no exception";
  } catch (const FileException& e) {
    EXPECT_EQ(e.m_cause, FileException::fileNotFound);
    EXPECT_EQ(e.m_strFileName, missing);
  }
  EXPECT_EQ(settings.GetProjectFolder(), tmp.Path("gone"));
  EXPECT_EQ(settings.GetValues().projectName, "Missing");
  unchanged(1);

  // Without report failures nothing is shown.
  settings.SetReportFailures(0);
  EXPECT_EQ(settings.Reload(), 0);
  EXPECT_EQ(boxes.size(), 3u);
}

TEST_F(ProjectSettingsTest, StoreReplacesTheFileAndTracksTheFileState) {
  const std::string path = Install(FileValues("/srv/a", 3, 0x5));
  CProjectSettings settings(0, 0);
  ProjectSettingsValues v = settings.GetValues();
  v.rootFolder = "/srv/stored";
  v.spareText = "not in the file";
  settings.SetValues(v);
  EXPECT_EQ(settings.Store(nullptr), 1);
  EXPECT_EQ(settings.GetValues().fileState, 1);

  CProjectSettings reread(0, 0);
  const ProjectSettingsValues back = reread.GetValues();
  EXPECT_EQ(back.rootFolder, "/srv/stored");
  EXPECT_EQ(back.spareText, "");
  EXPECT_EQ(0, std::memcmp(&back.record, &v.record, sizeof v.record));

  // Saved from a state other than 1 the state becomes 3.
  v.fileState = 2;
  settings.SetValues(v);
  EXPECT_EQ(settings.Store(nullptr), 1);
  EXPECT_EQ(settings.GetValues().fileState, 3);

  // A folder that does not exist: nothing written, nothing left behind.
  EXPECT_THROW(settings.Store(tmp.Path("none/x.pst").c_str()), FileException);
  std::vector<std::string> names;
  for (const auto& entry : std::filesystem::directory_iterator(tmp.path()))
    names.push_back(entry.path().filename().string());
  EXPECT_EQ(names, std::vector<std::string>{"Harbour.pst"});
}

// A store replaces the file, but what it leaves is what a write into the
// file would leave: the file's permissions, and a read-only file refused. A
// link under the name is refused and left as it is, with what it names.
TEST_F(ProjectSettingsTest, StoreKeepsPermissionsAndRefusesLinksAndReadOnlyFiles) {
  namespace fs = std::filesystem;
  const std::string path = Install(FileValues("/srv/a", 3, 0x5));
  CProjectSettings settings(0, 0);
  ProjectSettingsValues v = settings.GetValues();
  v.rootFolder = "/srv/stored";
  settings.SetValues(v);
  const auto rootOf = [](const std::string& file) {
    CProjectSettings reader(0, 0);
    reader.Load(file.c_str(), false);
    return reader.GetValues().rootFolder;
  };

  ASSERT_EQ(::chmod(path.c_str(), 0640), 0);
  EXPECT_EQ(settings.Store(nullptr), 1);
  EXPECT_EQ(fs::status(path).permissions() & fs::perms::all,
            fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
  EXPECT_EQ(rootOf(path), "/srv/stored");

  ASSERT_EQ(::chmod(path.c_str(), 0444), 0);
  const std::string before = [&] {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
  }();
  v.rootFolder = "/srv/refused";
  settings.SetValues(v);
  EXPECT_THROW(settings.Store(nullptr), FileException);
  std::ifstream in(path, std::ios::binary);
  EXPECT_TRUE(std::string(std::istreambuf_iterator<char>(in), {}) == before);
  ASSERT_EQ(::chmod(path.c_str(), 0644), 0);

  // Through a link: refused, neither the link nor the file it names changed.
  const std::string link = tmp.Path("Link.pst");
  fs::create_symlink(path, link);
  EXPECT_THROW(settings.Store(link.c_str()), FileException);
  EXPECT_TRUE(fs::is_symlink(link));
  EXPECT_EQ(rootOf(path), "/srv/stored");

  std::vector<std::string> names;
  for (const auto& entry : fs::directory_iterator(tmp.path()))
    names.push_back(entry.path().filename().string());
  std::sort(names.begin(), names.end());
  EXPECT_EQ(names, (std::vector<std::string>{"Harbour.pst", "Link.pst"}));
}

// A disk that fills up while the file is written (a file size limit here):
// the store throws, the file stays as it was and no temporary file is left.
TEST_F(ProjectSettingsTest, AStoreWhoseWriteFailsThrowsAndLeavesTheFile) {
  const std::string path = Install(FileValues("/srv/a", 3, 0x5));
  const auto sizeBefore = std::filesystem::file_size(path);
  const pid_t pid = ::fork();
  if (pid == 0) {
    ::signal(SIGXFSZ, SIG_IGN);
    const rlimit limit{5000, 5000};
    ::setrlimit(RLIMIT_FSIZE, &limit);
    CProjectSettings settings(0, 0);
    ProjectSettingsValues v = settings.GetValues();
    v.rootFolder = "/srv/stored";
    settings.SetValues(v);
    try {
      settings.Store(nullptr);
    } catch (const FileException&) {
      _exit(0);
    }
    _exit(1);
  }
  int status = 0;
  ASSERT_EQ(::waitpid(pid, &status, 0), pid);
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 0);
  EXPECT_EQ(std::filesystem::file_size(path), sizeBefore);
  CProjectSettings reread(0, 0);
  EXPECT_EQ(reread.GetValues().rootFolder, "/srv/a");
  std::vector<std::string> names;
  for (const auto& entry : std::filesystem::directory_iterator(tmp.path()))
    names.push_back(entry.path().filename().string());
  EXPECT_EQ(names, std::vector<std::string>{"Harbour.pst"});
}

std::string ReadAll(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

// Links to `victim` under every name a store of process `pid` wrote first
// in earlier versions: "<target>.<pid>.<n>.tmp".
void PlantLinksUnderTemporaryNames(const std::string& target, pid_t pid,
                                   const std::string& victim) {
  for (int n = 1; n <= 2000; ++n) {
    const std::string name = target + "." + std::to_string(pid) + "." + std::to_string(n) + ".tmp";
    ASSERT_EQ(::symlink(victim.c_str(), name.c_str()), 0) << name;
  }
}

// Another member of the group that shares a project folder plants links to
// the victim's private file under the names a store might write first, and
// under the settings file's own name: the store writes through none of them,
// and the private file keeps its bytes and its mode.
TEST_F(ProjectSettingsTest, LinksPlantedInASharedProjectFolderAreNeverFollowed) {
  namespace fs = std::filesystem;
  const std::string path = Install(FileValues("/srv/a", 3, 0x5));
  ASSERT_EQ(::chmod(path.c_str(), 0664), 0);  // the group's file
  TempFolder home;
  const std::string secret = home.Write("private.txt", "the victim's own");
  ASSERT_EQ(::chmod(secret.c_str(), 0600), 0);
  PlantLinksUnderTemporaryNames(path, ::getpid(), secret);
  if (HasFatalFailure()) return;

  CProjectSettings settings(0, 0);
  ProjectSettingsValues v = settings.GetValues();
  v.rootFolder = "/srv/stored";
  settings.SetValues(v);
  EXPECT_EQ(settings.Store(nullptr), 1);
  EXPECT_TRUE(ReadAll(secret) == "the victim's own");
  EXPECT_EQ(fs::status(secret).permissions() & fs::perms::all,
            fs::perms::owner_read | fs::perms::owner_write);
  EXPECT_FALSE(fs::is_symlink(path));
  EXPECT_EQ(fs::status(path).permissions() & fs::perms::all,
            fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read |
                fs::perms::group_write | fs::perms::others_read);
  CProjectSettings reread(0, 0);
  EXPECT_EQ(reread.GetRootFolder(), "/srv/stored");

  fs::remove(path);
  fs::create_symlink(secret, path);
  EXPECT_THROW(settings.Store(nullptr), FileException);
  EXPECT_TRUE(fs::is_symlink(path));
  EXPECT_TRUE(ReadAll(secret) == "the victim's own");
  EXPECT_EQ(fs::status(secret).permissions() & fs::perms::all,
            fs::perms::owner_read | fs::perms::owner_write);
}

// A set-user-id root copy of a program that nobody (65534) runs. Its user
// plants links to a root-only file under the names a store might write, and
// names that file, a link to it, or a new file in root's folder as the
// settings file: nothing of root's is written, made or changed, and the
// settings file stored in the user's folder is the user's.
TEST_F(ProjectSettingsTest, ASetUserIdRootProgramTurnsNoRootFileIntoSettings) {
  if (::geteuid() != 0) GTEST_SKIP() << "needs root to run a child as a set-user-id root program";
  namespace fs = std::filesystem;
  constexpr uid_t kNobody = 65534;
  TempFolder shared(kEveryUsersRoot);
  ASSERT_EQ(::chmod(shared.path().c_str(), 0755), 0);
  const std::string rootFolder = shared.Path("root");
  ASSERT_EQ(::mkdir(rootFolder.c_str(), 0700), 0);
  const std::string secret = shared.Write("root/secret", "root's own");
  ASSERT_EQ(::chmod(secret.c_str(), 0600), 0);
  const std::string userFolder = shared.Path("user");
  ASSERT_EQ(::mkdir(userFolder.c_str(), 0755), 0);
  ASSERT_EQ(::chown(userFolder.c_str(), kNobody, kNobody), 0);
  const std::string settingsFile = userFolder + "/Project.pst";
  WriteSettingsFile(settingsFile, FileValues("/srv/before", 3, 0x5));
  ASSERT_EQ(::chown(settingsFile.c_str(), kNobody, kNobody), 0);
  ASSERT_EQ(::chmod(settingsFile.c_str(), 0777), 0);
  const std::string link = userFolder + "/Link.pst";
  ASSERT_EQ(::symlink(secret.c_str(), link.c_str()), 0);
  const std::string inRootFolder = rootFolder + "/New.pst";

  int go[2];
  ASSERT_EQ(::pipe(go), 0);
  const pid_t child = ::fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    ::close(go[1]);
    char c = 0;
    if (::read(go[0], &c, 1) != 1) ::_exit(100);
    if (::setgroups(0, nullptr) != 0 || ::setresgid(kNobody, 0, 0) != 0 ||
        ::setresuid(kNobody, 0, 0) != 0)
      ::_exit(101);
    int result = 0;
    CProjectSettings settings(0, 0);
    ProjectSettingsValues v = settings.GetValues();
    v.rootFolder = "/srv/nobody";
    settings.SetValues(v);
    try {
      if (settings.Store(settingsFile.c_str()) == 1) result |= 1;
    } catch (const FileException&) {
    }
    int bit = 2;
    for (const std::string& target : {secret, link, inRootFolder}) {
      try {
        settings.Store(target.c_str());
      } catch (const FileException&) {
        result |= bit;
      }
      bit <<= 1;
    }
    ::_exit(result);
  }
  ::close(go[0]);
  PlantLinksUnderTemporaryNames(settingsFile, child, secret);
  EXPECT_EQ(::write(go[1], "g", 1), 1);  // the child waits for the links
  ::close(go[1]);
  int status = 0;
  ASSERT_EQ(::waitpid(child, &status, 0), child);
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 1 | 2 | 4 | 8);  // stored its own; all three refused

  struct stat st;
  ASSERT_EQ(::lstat(secret.c_str(), &st), 0);
  EXPECT_TRUE(S_ISREG(st.st_mode));
  EXPECT_EQ(st.st_mode & 07777, 0600u);
  EXPECT_EQ(st.st_uid, 0u);
  EXPECT_TRUE(ReadAll(secret) == "root's own");
  std::vector<std::string> names;
  for (const auto& entry : fs::directory_iterator(rootFolder))
    names.push_back(entry.path().filename().string());
  EXPECT_EQ(names, std::vector<std::string>{"secret"});
  ASSERT_EQ(::lstat(settingsFile.c_str(), &st), 0);
  EXPECT_TRUE(S_ISREG(st.st_mode));
  EXPECT_EQ(st.st_uid, kNobody);
  EXPECT_EQ(st.st_gid, kNobody);
  CProjectSettings reader(0, 0);
  EXPECT_EQ(reader.Load(settingsFile.c_str(), false), 1);
  EXPECT_EQ(reader.GetRootFolder(), "/srv/nobody");
}

// Texts are as long as the file can hold, and a sparse file holds
// gigabytes of zeros: a load that runs out of memory fails as for a corrupt
// file instead of ending the program.
TEST_F(ProjectSettingsTest, ATextLargerThanMemoryFailsTheLoadAndNotTheProgram) {
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
  GTEST_SKIP() << "the sanitizer's allocator does not fail under an address-space limit";
#else
  const uint32_t length = 0xC0000000u;
  std::string head = "\x08\xFF\xFF\xFF";
  head.append(reinterpret_cast<const char*>(&length), sizeof length);
  const std::string path = tmp.Path("Huge.pst");
  WriteRawFile(path, head);
  ASSERT_EQ(::truncate(path.c_str(), static_cast<off_t>(length) + 20000), 0);
  SetRegistryPath(0, path);
  const pid_t pid = ::fork();
  if (pid == 0) {
    std::ifstream status("/proc/self/status");
    std::string line;
    uint64_t kib = 0;
    while (std::getline(status, line)) {
      if (line.rfind("VmSize:", 0) == 0) kib = std::stoull(line.substr(7));
    }
    const rlimit limit{(kib << 10) + (512u << 20), (kib << 10) + (512u << 20)};
    ::setrlimit(RLIMIT_AS, &limit);
    try {  // on the watcher thread an escaping exception ends the program
      CProjectSettings settings(0, 0);
      settings.SetReportFailures(1);
      const bool failed = settings.Reload() == 0;
      _exit(failed && settings.GetValues().rootFolder.empty() && boxes.size() == 1 ? 0 : 1);
    } catch (...) {
      _exit(2);
    }
  }
  int status = 0;
  ASSERT_EQ(::waitpid(pid, &status, 0), pid);
  ASSERT_TRUE(WIFEXITED(status)) << "ended by signal " << WTERMSIG(status);
  EXPECT_EQ(WEXITSTATUS(status), 0);
#endif
}

// A FIFO named as the settings file would hold the open until a writer
// came: the load refuses it at once, as it refuses a folder. No writer ever
// comes; the child's alarm only ends a load that waits (a hang bound).
TEST_F(ProjectSettingsTest, ALoadRefusesWhatIsNotARegularFileWithoutWaiting) {
  const std::string fifo = tmp.Path("Fifo.pst");
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  for (const std::string& path : {fifo, tmp.path()}) {
    const pid_t pid = ::fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
      ::alarm(30);
      CProjectSettings settings(0, 0);
      try {
        settings.Load(path.c_str(), false);
      } catch (const FileException&) {
        ::_exit(0);
      }
      ::_exit(1);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(pid, &status, 0), pid);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << path << " status " << status;
  }
}

// A FIFO takes the settings file's name again and again while loads run:
// each load reads the file or refuses the FIFO, and none waits for a writer
// (none ever comes). The child's alarm only bounds a hang.
TEST_F(ProjectSettingsTest, AFifoSwappedInDuringLoadsNeverHoldsALoadThreaded) {
  const std::string path = Install(FileValues("/srv/a", 3, 0x5));
  const std::string file = tmp.Path("file.pst");
  WriteSettingsFile(file, FileValues("/srv/file", 3, 0x5));
  const std::string fifo = tmp.Path("fifo");
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  const pid_t pid = ::fork();
  ASSERT_GE(pid, 0);
  if (pid == 0) {
    ::alarm(60);
    CProjectSettings settings(0, 0);
    std::atomic<bool> done{false};
    std::thread swapper([&] {
      const std::string next = path + ".next";
      for (int i = 0; !done; ++i) {
        if (::link((i % 2 ? file : fifo).c_str(), next.c_str()) != 0 ||
            ::rename(next.c_str(), path.c_str()) != 0)
          ::_exit(3);
      }
    });
    int read = 0, refused = 0;
    for (int i = 0; i < 20000; ++i) {
      try {
        read += settings.Load(path.c_str(), false);
      } catch (const FileException&) {
        ++refused;
      }
    }
    done = true;
    swapper.join();
    ::_exit(read > 0 && refused > 0 ? 0 : 2);
  }
  int status = 0;
  ASSERT_EQ(::waitpid(pid, &status, 0), pid);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "status " << status;
}

TEST_F(ProjectSettingsTest, ArchiveStepsOpenCloseAndAbortTheObjectsOwnFile) {
  const std::string path = Install(FileValues("/srv/steps", 5, 0x5));
  CProjectSettings settings(0, 0);
  EXPECT_EQ(OpenDescriptorsOn(path), 0);  // the constructor's load let it go

  EXPECT_EQ(settings.OpenArchive(nullptr, ClassArchive::load), 0);
  EXPECT_EQ(settings.OpenArchive(path.c_str(), 7), 1);  // no such mode: nothing opened
  EXPECT_EQ(settings.GetArchive(), nullptr);
  EXPECT_EQ(OpenDescriptorsOn(path), 0);
  EXPECT_EQ(settings.CloseArchive(), 0);

  const std::string missing = tmp.Path("absent.pst");
  try {
    settings.OpenArchive(missing.c_str(), ClassArchive::load);
    FAIL() << "no exception";
  } catch (const FileException& e) {
    EXPECT_EQ(e.m_cause, FileException::fileNotFound);
    EXPECT_EQ(e.m_lOsError, ENOENT);
    EXPECT_EQ(e.m_strFileName, missing);
  }
  EXPECT_EQ(settings.GetArchive(), nullptr);

  // Loading through the steps, as Load does.
  ProjectSettingsValues v = settings.GetValues();
  v.rootFolder = "/srv/changed";
  settings.SetValues(v);
  ASSERT_EQ(settings.OpenArchive(path.c_str(), ClassArchive::load), 1);
  ASSERT_NE(settings.GetArchive(), nullptr);
  EXPECT_TRUE(settings.GetArchive()->IsLoading());
  EXPECT_EQ(OpenDescriptorsOn(path), 1);
  // A second open lets the first file go.
  ASSERT_EQ(settings.OpenArchive(path.c_str(), ClassArchive::load), 1);
  EXPECT_EQ(OpenDescriptorsOn(path), 1);
  settings.SerializeArchive(*settings.GetArchive(), false);
  EXPECT_EQ(settings.CloseArchive(), 1);
  EXPECT_EQ(settings.GetArchive(), nullptr);
  EXPECT_EQ(OpenDescriptorsOn(path), 0);
  EXPECT_EQ(settings.GetRootFolder(), "/srv/steps");

  // Storing through the steps writes the file on close ...
  const std::string stored = tmp.Path("Stored.pst");
  ASSERT_EQ(settings.OpenArchive(stored.c_str(), ClassArchive::store), 1);
  EXPECT_TRUE(settings.GetArchive()->IsStoring());
  settings.SerializeArchive(*settings.GetArchive(), false);
  EXPECT_EQ(settings.CloseArchive(), 1);
  EXPECT_EQ(OpenDescriptorsOn(stored), 0);
  CProjectSettings reader(0, 0);
  EXPECT_EQ(reader.Load(stored.c_str(), false), 1);
  EXPECT_EQ(reader.GetRootFolder(), "/srv/steps");
  EXPECT_EQ(reader.GetValues().record.word1, 5);

  // ... and an aborted one drops what is still in its buffer and lets the
  // file go.
  const std::string aborted = tmp.Path("Aborted.pst");
  ASSERT_EQ(settings.OpenArchive(aborted.c_str(), ClassArchive::store), 1);
  settings.SerializeArchive(*settings.GetArchive(), false);
  settings.AbortArchive();
  EXPECT_EQ(settings.GetArchive(), nullptr);
  EXPECT_EQ(OpenDescriptorsOn(aborted), 0);
  EXPECT_LT(std::filesystem::file_size(aborted), std::filesystem::file_size(stored));
  settings.AbortArchive();  // nothing open: harmless
  EXPECT_THROW(reader.Load(aborted.c_str(), false), ArchiveException);
  EXPECT_EQ(reader.GetArchive(), nullptr);
  EXPECT_EQ(OpenDescriptorsOn(aborted), 0);
}

// With /dev/shm full neither the registry's change counter nor the event can
// be had: the object reads its file, warns that it cannot watch (error 8) and
// works without watching; an explicit reload still reads a new file.
TEST_F(ProjectSettingsTest, WithSharedMemoryFullTheObjectWarnsAndWorksUnwatchedThreaded) {
  const std::string path = tmp.Path("Harbour.pst");
  WriteSettingsFile(path, FileValues("/srv/full", 3, 0x5));
  const int result = InChildWithSmallSharedMemory([&] {
    FillSharedMemory();
    ScopedRegistryFolder own;  // new to this process: its counter is looked for anew
    if (!CZORRegistry(0, 0).WriteString("ProjectSettingsFile", path)) return 1;
    SetLogLevel(2);
    SetLogFlags(kLogMessageBoxes);
    SetLogMask(kLogMaskMessageBox);
    CProjectSettings settings(1, 0, EventName().c_str());
    if (settings.IsWatching()) return 2;
    if (settings.GetRootFolder() != "/srv/full") return 3;
    const bool warned = std::any_of(boxes.begin(), boxes.end(), [](const MessageBoxCall& box) {
      return box.text.find("cannot open the event") != std::string::npos &&
             box.text.find("(error 8)") != std::string::npos;
    });
    if (!warned) return 4;
    WriteSettingsFile(path, FileValues("/srv/later", 4, 0x5));
    return settings.Reload() == 1 && settings.GetRootFolder() == "/srv/later" ? 0 : 5;
  });
  if (result == kNoSmallSharedMemory) GTEST_SKIP() << kNoSmallSharedMemoryText;
  EXPECT_EQ(result, 0) << ChildResultText(result);
}

TEST_F(ProjectSettingsTest, CopyFromAndReset) {
  Install(FileValues("/srv/a", 3, 0x5));
  CProjectSettings source(0, 0);
  ProjectSettingsValues v = source.GetValues();
  v.spareText = "spare";
  v.reportFailures = 1;
  v.fileState = 2;
  source.SetValues(v);

  SetRegistryPath(0, tmp.Path("elsewhere.pst"));
  CProjectSettings target(0, 0);
  target.CopyFrom(source);
  target.CopyFrom(target);
  const ProjectSettingsValues copied = target.GetValues();
  EXPECT_EQ(copied.spareText, "spare");
  EXPECT_EQ(copied.rootFolder, "/srv/a");
  EXPECT_EQ(copied.projectName, "Harbour");
  EXPECT_EQ(copied.fileState, 2);
  EXPECT_EQ(copied.reportFailures, 1);
  EXPECT_EQ(target.GetSettingsFilePath(), tmp.Path("elsewhere.pst"));

  target.Reset(true);
  ProjectSettingsValues r = target.GetValues();
  EXPECT_EQ(r.record.word1, 3);  // record kept
  EXPECT_EQ(r.rootFolder, "/srv/a");
  EXPECT_EQ(r.text3 + r.spareText + r.projectFolder + r.projectName, "");
  EXPECT_EQ(r.reportFailures, 0);
  EXPECT_EQ(r.fileState, 1);
  target.Reset(false);
  r = target.GetValues();
  EXPECT_EQ(r.record.word1, 0);
  EXPECT_EQ(r.folderMask, 0xF9FFFFFFu);
  EXPECT_EQ(r.rootFolder + r.text1 + r.text2, "");
}

// Tests that run the watcher thread.
class ProjectSettingsThreaded : public ProjectSettingsTest {};

TEST_F(ProjectSettingsThreaded, ReloadWhenAnotherProcessAnnouncesAChange) {
  const std::string path = Install(FileValues("/srv/before", 3, 0x5));
  const std::string name = EventName();
  int go[2];
  ASSERT_EQ(::pipe(go), 0);
  // The peer is forked before any thread of this test exists.
  const pid_t child = ::fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    ::close(go[1]);  // so that a test ended early frees the read below
    char c = 0;
    const bool ok = ::read(go[0], &c, 1) == 1;
    auto peer = Event::CreateNamed(name, true, false);
    ::_exit(ok && peer && peer->Set() ? 0 : 1);
  }
  {
    CProjectSettings settings(1, 0, name.c_str());
    ASSERT_TRUE(settings.IsWatching());
    EXPECT_EQ(settings.GetRootFolder(), "/srv/before");
    WriteSettingsFile(path, FileValues("/srv/after", 4, 0x5));
    ASSERT_EQ(::write(go[1], "g", 1), 1);
    EXPECT_TRUE(WaitUntil([&] { return settings.GetRootFolder() == "/srv/after"; }));
    EXPECT_EQ(settings.GetValues().record.word1, 4);
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    // After the pause the event is reset for every process.
    auto event = Event::OpenNamed(name);
    ASSERT_NE(event, nullptr);
    EXPECT_TRUE(WaitUntil([&] { return !event->IsSet(); }));
  }
  ::close(go[0]);
  ::close(go[1]);
  Event::Unlink(name);
}

TEST_F(ProjectSettingsThreaded, FailedReloadIsRetriedAndTheDestructorIsPrompt) {
  const std::string path = Install(FileValues("/srv/first", 3, 0x5));
  const std::string name = EventName();
  auto announce = Event::CreateNamed(name, true, false);
  ASSERT_NE(announce, nullptr);
  // The watcher reports each failed reload: two of them show that the
  // first left the event set.
  std::atomic<int> failures{0};
  const zor::platform::ScopedMessageSink counting{[&failures](const MessageBoxCall&) {
    ++failures;
    return zor::platform::IDOK;
  }};
  auto settings = std::make_unique<CProjectSettings>(1, 0, name.c_str());
  settings->SetReportFailures(1);

  WriteSettingsFile(path, FileValues("/srv/invalid", 99, 0x5));
  announce->Set();
  EXPECT_TRUE(WaitUntil([&] { return failures.load() >= 2; }));
  EXPECT_TRUE(announce->IsSet());  // a failed reload leaves the event set
  EXPECT_EQ(settings->GetRootFolder(), "/srv/first");
  // Mended without a second announcement.
  WriteSettingsFile(path, FileValues("/srv/mended", 4, 0x5));
  EXPECT_TRUE(WaitUntil([&] { return settings->GetRootFolder() == "/srv/mended"; }));
  EXPECT_TRUE(WaitUntil([&] { return !announce->IsSet(); }));

  // A watcher that missed the stop would hold the destructor for ever; the
  // bound is generous, for a hang, not a timing.
  const auto start = steady_clock::now();
  settings.reset();
  EXPECT_LT(std::chrono::duration_cast<milliseconds>(steady_clock::now() - start).count(), 10000);
  Event::Unlink(name);
}

TEST_F(ProjectSettingsThreaded, ReadersNeverSeeHalfAReload) {
  const std::string path = Install(FileValues("/srv/a", 1, 0));
  const std::string name = EventName();
  auto announce = Event::CreateNamed(name, true, false);
  ASSERT_NE(announce, nullptr);
  CProjectSettings settings(1, 0, name.c_str());

  std::atomic<bool> done{false};
  std::atomic<int> mismatches{0};
  std::atomic<long> reads{0};
  std::vector<std::thread> readers;
  for (int i = 0; i < 2; ++i)
    readers.emplace_back([&] {
      while (!done) {
        const std::string grid = settings.GetFolder(0x4, 0);
        if (grid != "/srv/a/GridData" && grid != "/srv/b/GridData") ++mismatches;
        const ProjectSettingsValues v = settings.GetValues();
        const bool a = v.rootFolder == "/srv/a" && v.record.word1 == 1;
        const bool b = v.rootFolder == "/srv/b" && v.record.word1 == 2;
        if (!(a || b) || zor::platform::FieldText(v.record.path2) != v.rootFolder + "/path")
          ++mismatches;
        ++reads;
      }
    });
  std::thread owner([&] {
    for (int i = 0; i < 40; ++i) {
      WriteSettingsFile(path, i % 2 ? FileValues("/srv/a", 1, 0) : FileValues("/srv/b", 2, 0));
      announce->Set();  // the watcher reloads ...
      settings.Reload();  // ... and so does the owner's thread
      // The readers look at each state before the next.
      const long seen = reads.load();
      WaitUntil([&] { return reads.load() > seen + 1; });
    }
  });
  owner.join();
  done = true;
  for (auto& t : readers) t.join();
  EXPECT_EQ(mismatches.load(), 0);
  EXPECT_GT(reads.load(), 0);
  Event::Unlink(name);
}

// Peers of the stress test, killed at a random moment whatever they do.
[[noreturn]] void RunDoomedPeer(int role, const std::string& name) {
  ::prctl(PR_SET_PDEATHSIG, SIGKILL);  // never outlives a test that failed hard
  if (role == 0) {  // a program of the suite that watches the settings
    CProjectSettings watcher(1, 0, name.c_str());
    for (;;) ::pause();
  }
  auto event = Event::CreateNamed(name, true, false);
  if (!event) ::_exit(3);
  if (role == 1) {  // announces changes as fast as it can
    for (;;) {
      event->Set();
      event->Reset();
    }
  }
  Event stop(false, false);
  Event* const both[] = {event.get(), &stop};
  for (;;) {
    const uint32_t generation = event->GetGeneration();
    if (zor::platform::WaitForAny(both, 2) == zor::platform::kWaitObject0)
      event->ResetIfGeneration(generation);
  }
}

TEST_F(ProjectSettingsThreaded, WatchersSurvivePeersKilledAtAnyMoment) {
  const std::string path = Install(FileValues("/srv/start", 1, 0x5));
  const std::string name = EventName();
  const unsigned seed = static_cast<unsigned>(steady_clock::now().time_since_epoch().count());
  SCOPED_TRACE("seed " + std::to_string(seed));
  std::mt19937 random(seed);
  ::alarm(600);  // a Set or a destructor that hangs ends the run instead of blocking it
  long long slowestSetUs = 0, slowestReloadMs = 0, slowestStopMs = 0;
  const auto start = steady_clock::now();
  for (int round = 0; round < 200; ++round) {
    SCOPED_TRACE("round " + std::to_string(round));
    if (round % 4 == 0) Event::Unlink(name);  // the peers race to create it anew
    std::vector<pid_t> doomed;
    struct KillAll {
      std::vector<pid_t>& pids;
      ~KillAll() {
        for (pid_t pid : pids) ::kill(pid, SIGKILL);
        for (pid_t pid : pids) ::waitpid(pid, nullptr, 0);
        pids.clear();
      }
    };
    {
      KillAll killer{doomed};
      // One of the three kinds of peer each round, in turn (forks are slow
      // under the sanitizers; the platform's own test kills several at once).
      for (int role : {round % 3}) {
        const pid_t pid = ::fork();
        ASSERT_GE(pid, 0);
        if (pid == 0) RunDoomedPeer(role, name);
        doomed.push_back(pid);
      }
      // The pause only picks a random moment of the peer's life for its
      // death; no result depends on what the peer did by then.
      for (pid_t pid : doomed) {
        ::usleep(static_cast<useconds_t>(random() % 1500));
        ::kill(pid, SIGKILL);
      }
    }

    const std::string before = "/srv/before-" + std::to_string(round);
    const std::string after = "/srv/after-" + std::to_string(round);
    WriteSettingsFile(path, FileValues(before, 1, 0x5));
    auto announce = Event::CreateNamed(name, true, false);
    ASSERT_NE(announce, nullptr) << zor::platform::GetLastError();
    announce->Reset();
    auto settings = std::make_unique<CProjectSettings>(1, 0, name.c_str());
    ASSERT_TRUE(settings->IsWatching());
    EXPECT_EQ(settings->GetRootFolder(), before);

    WriteSettingsFile(path, FileValues(after, 2, 0x5));
    const auto setAt = steady_clock::now();
    ASSERT_TRUE(announce->Set());
    const long long setUs =
        std::chrono::duration_cast<std::chrono::microseconds>(steady_clock::now() - setAt).count();
    // The bounds below only catch hangs: generous, a busy machine never
    // decides. The figures printed at the end are the timings.
    EXPECT_LT(setUs, 10000000);
    EXPECT_TRUE(WaitUntil([&] { return settings->GetRootFolder() == after; }));
    const long long reloadMs =
        std::chrono::duration_cast<milliseconds>(steady_clock::now() - setAt).count();

    const auto stopAt = steady_clock::now();
    settings.reset();
    const long long stopMs =
        std::chrono::duration_cast<milliseconds>(steady_clock::now() - stopAt).count();
    EXPECT_LT(stopMs, 10000);
    slowestSetUs = std::max(slowestSetUs, setUs);
    slowestReloadMs = std::max(slowestReloadMs, reloadMs);
    slowestStopMs = std::max(slowestStopMs, stopMs);
    if (HasFailure()) break;
  }
  ::alarm(0);
  Event::Unlink(name);
  std::printf("[ stress   ] 200 rounds in %lld ms; slowest Set %lld us, reload %lld ms, "
              "destructor %lld ms\n",
              static_cast<long long>(
                  std::chrono::duration_cast<milliseconds>(steady_clock::now() - start).count()),
              slowestSetUs, slowestReloadMs, slowestStopMs);
}

}  // namespace
