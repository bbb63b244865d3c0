#include "platform/registry_store.h"

#include <fcntl.h>
#include <grp.h>
#include <linux/filter.h>
#include <linux/seccomp.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/mman.h>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstddef>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>
#include <thread>
#include <tuple>
#include <vector>

#include "platform/registry_change_counter.h"
#include "platform/registry_file_format.h"
#include "tests/support/in_child.h"
#include "tests/support/registry_folder.h"
#include "tests/support/small_shared_memory.h"

namespace zor::platform {
namespace {

namespace fs = std::filesystem;

// A key handle closed at scope exit.
class Key {
 public:
  Key() = default;
  ~Key() {
    if (h_ != nullptr) RegCloseKey(h_);
  }
  Key(const Key&) = delete;
  Key& operator=(const Key&) = delete;
  HKEY* out() { return &h_; }
  HKEY get() const { return h_; }

 private:
  HKEY h_ = nullptr;
};

uint32_t Create(Key& key, std::string_view path, REGSAM access = KEY_ALL_ACCESS,
                HKEY parent = HKEY_CURRENT_USER) {
  return RegCreateKeyEx(parent, path, access, key.out());
}

uint32_t SetDword(HKEY key, std::string_view name, uint32_t v) {
  return RegSetValueEx(key, name, REG_DWORD, &v, sizeof v);
}

uint32_t GetDword(HKEY key, std::string_view name, uint32_t& v) {
  uint32_t size = sizeof v;
  return RegQueryValueEx(key, name, nullptr, &v, &size);
}

std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream out;
  out << in.rdbuf();
  return out.str();
}

// The hive as it lies on disk, parsed afresh.
RegistryNode DiskHive(const ScopedRegistryFolder& folder) {
  RegistryNode root;
  std::string why;
  EXPECT_TRUE(ParseHive(ReadFile(folder.Path("current_user.hive")), root, &why)) << why;
  return root;
}

std::vector<std::string> FolderEntries(const ScopedRegistryFolder& folder) {
  std::vector<std::string> names;
  for (const auto& e : fs::directory_iterator(folder.path())) names.push_back(e.path().filename());
  std::sort(names.begin(), names.end());
  return names;
}

// Child processes write "v" of a new key one after another, and this
// process reads back each value as soon as its writer is gone.
void ExpectEveryWriteOfAChildSeen() {
  Key key;
  ASSERT_EQ(Create(key, "Software\\Zor"), kErrorSuccess);
  for (uint32_t round = 0; round < 3; ++round) {
    ASSERT_EQ(InChild([&] { return SetDword(key.get(), "v", round); }), 0);
    uint32_t v = 99;
    ASSERT_EQ(GetDword(key.get(), "v", v), kErrorSuccess);
    EXPECT_EQ(v, round);
  }
}

std::vector<std::string>* g_reports = nullptr;
void CaptureReport(const std::string& message) {
  if (g_reports != nullptr) g_reports->push_back(message);
}

class ScopedReports {
 public:
  ScopedReports() {
    g_reports = &reports;
    SetRegistryDiagnosticSink(&CaptureReport);
  }
  ~ScopedReports() {
    SetRegistryDiagnosticSink(nullptr);
    g_reports = nullptr;
  }
  std::vector<std::string> reports;
};

TEST(RegistryStore, CreatesIntermediateKeysAndOpensIgnoringCase) {
  ScopedRegistryFolder folder;
  Key key;
  bool created = false;
  ASSERT_EQ(RegCreateKeyEx(HKEY_CURRENT_USER, "Software\\Zor\\Tridu\\8.0", KEY_ALL_ACCESS,
                           key.out(), &created), kErrorSuccess);
  EXPECT_TRUE(created);
  Key again;
  ASSERT_EQ(RegCreateKeyEx(HKEY_CURRENT_USER, "SOFTWARE\\zor\\tridu\\8.0", KEY_READ, again.out(),
                           &created), kErrorSuccess);
  EXPECT_FALSE(created);
  Key mid;
  EXPECT_EQ(RegOpenKeyEx(HKEY_CURRENT_USER, "software\\ZOR", KEY_READ, mid.out()), kErrorSuccess);
  std::string name;
  ASSERT_EQ(RegEnumKeyEx(mid.get(), 0, &name), kErrorSuccess);
  EXPECT_EQ(name, "Tridu");  // stored case kept
  EXPECT_TRUE(RegKeysEqual(key.get(), again.get()));
  EXPECT_FALSE(RegKeysEqual(key.get(), mid.get()));

  Key missing;
  EXPECT_EQ(RegOpenKeyEx(HKEY_CURRENT_USER, "Software\\Nothing", KEY_READ, missing.out()),
            kErrorFileNotFound);
  EXPECT_EQ(missing.get(), nullptr);
  EXPECT_EQ(GetLastError(), kErrorFileNotFound);
  // The machine hive is a file of its own.
  EXPECT_EQ(RegOpenKeyEx(HKEY_LOCAL_MACHINE, "Software\\Zor", KEY_READ, missing.out()),
            kErrorFileNotFound);
  // A key path is not a file path and keeps its backslashes.
  EXPECT_EQ(FolderEntries(folder),
            (std::vector<std::string>{"current_user.hive", "current_user.hive.lock"}));
  EXPECT_NE(ReadFile(folder.Path("current_user.hive")).find("[Software\\Zor\\Tridu\\8.0]"),
            std::string::npos);
}

TEST(RegistryStore, RejectsBadArgumentsWithPlatformCodes) {
  ScopedRegistryFolder folder;
  Key key;
  EXPECT_EQ(Create(key, "\\Leading"), kErrorBadKey);
  EXPECT_EQ(Create(key, "Trailing\\"), kErrorBadKey);
  EXPECT_EQ(Create(key, "a\\\\b"), kErrorBadKey);
  EXPECT_EQ(Create(key, std::string(256, 'k')), kErrorBadKey);
  EXPECT_EQ(GetLastError(), kErrorBadKey);
  std::string deep = "k";
  for (std::size_t i = 1; i <= kMaxRegistryDepth; ++i) deep += "\\k";
  EXPECT_EQ(Create(key, deep), kErrorBadKey);
  EXPECT_EQ(RegCreateKeyEx(nullptr, "a", KEY_READ, key.out()), kErrorInvalidHandle);
  EXPECT_EQ(RegSetValueEx(nullptr, "v", REG_DWORD, "abcd", 4), kErrorInvalidHandle);
  EXPECT_EQ(RegCloseKey(nullptr), kErrorInvalidHandle);
  EXPECT_EQ(RegCloseKey(HKEY_CURRENT_USER), kErrorSuccess);  // roots stay usable

  ASSERT_EQ(Create(key, "Software"), kErrorSuccess);
  EXPECT_EQ(RegSetValueEx(key.get(), "v", REG_BINARY, nullptr, 3), kErrorInvalidParameter);
  EXPECT_EQ(RegSetValueEx(key.get(), std::string(kMaxRegistryValueName + 1, 'n'), REG_BINARY,
                          "x", 1), kErrorInvalidParameter);
  uint32_t v = 0;
  EXPECT_EQ(RegQueryValueEx(key.get(), "v", nullptr, &v, nullptr), kErrorInvalidParameter);
  EXPECT_EQ(GetDword(key.get(), "absent", v), kErrorFileNotFound);
  EXPECT_EQ(RegDeleteValue(key.get(), "absent"), kErrorFileNotFound);
}

TEST(RegistryStore, KeepsTypeAndExactWidthOnDisk) {
  ScopedRegistryFolder folder;
  Key key;
  ASSERT_EQ(Create(key, "Software\\Types"), kErrorSuccess);
  struct Case {
    const char* name;
    uint32_t type;
    std::vector<uint8_t> data;
  };
  const std::vector<Case> cases = {
      {"sz", REG_SZ, {'a', 'b', 0}},
      {"sz unterminated", REG_SZ, {'a', 'b'}},
      {"expand", REG_EXPAND_SZ, {'%', 'X', '%', 0}},
      {"binary empty", REG_BINARY, {}},
      {"binary", REG_BINARY, {0, 255, 7}},
      {"dword", REG_DWORD, {1, 2, 3, 4}},
      {"dword short", REG_DWORD, {1}},
      {"qword", REG_QWORD, {1, 2, 3, 4, 5, 6, 7, 8}},
      {"multi", REG_MULTI_SZ, {'a', 0, 'b', 'c', 0, 0}},
      {"", REG_SZ, {'d', 0}},
      {"other", 42, {9}},
  };
  for (const Case& c : cases) {
    ASSERT_EQ(RegSetValueEx(key.get(), c.name, c.type, c.data.data(),
                            static_cast<uint32_t>(c.data.size())), kErrorSuccess) << c.name;
  }
  const RegistryNode disk = DiskHive(folder);
  const RegistryNode* node = disk.FindSubKey("Software")->FindSubKey("Types");
  ASSERT_NE(node, nullptr);
  for (const Case& c : cases) {
    const RegistryValue* v = node->FindValue(c.name);
    ASSERT_NE(v, nullptr) << c.name;
    EXPECT_EQ(v->type, c.type) << c.name;
    EXPECT_EQ(v->data, c.data) << c.name;

    uint32_t type = 0, size = 0;
    ASSERT_EQ(RegQueryValueEx(key.get(), c.name, &type, nullptr, &size), kErrorSuccess);
    EXPECT_EQ(type, c.type);
    EXPECT_EQ(size, c.data.size());
  }
}

TEST(RegistryStore, QueryReportsMoreDataWithoutTouchingTheBuffer) {
  ScopedRegistryFolder folder;
  Key key;
  ASSERT_EQ(Create(key, "Software"), kErrorSuccess);
  ASSERT_EQ(RegSetValueEx(key.get(), "text", REG_SZ, "hello", 6), kErrorSuccess);
  char buf[6] = {'x', 'x', 'x', 'x', 'x', 'x'};
  uint32_t size = 5;
  uint32_t type = 0;
  EXPECT_EQ(RegQueryValueEx(key.get(), "TEXT", &type, buf, &size), kErrorMoreData);
  EXPECT_EQ(size, 6u);
  EXPECT_EQ(type, REG_SZ);
  EXPECT_EQ(std::string(buf, 6), "xxxxxx");
  size = 6;
  EXPECT_EQ(RegQueryValueEx(key.get(), "text", nullptr, buf, &size), kErrorSuccess);
  EXPECT_STREQ(buf, "hello");
  // A larger buffer keeps its tail; the size tells what was stored.
  char big[16];
  std::memset(big, '#', sizeof big);
  size = sizeof big;
  EXPECT_EQ(RegQueryValueEx(key.get(), "text", nullptr, big, &size), kErrorSuccess);
  EXPECT_EQ(size, 6u);
  EXPECT_EQ(big[6], '#');
}

TEST(RegistryStore, EnumeratesSortedWithoutRegardToCase) {
  ScopedRegistryFolder folder;
  Key key;
  ASSERT_EQ(Create(key, "Software\\List"), kErrorSuccess);
  for (const char* name : {"beta", "Alpha", "gamma", "ALPHA2"}) {
    Key sub;
    ASSERT_EQ(Create(sub, name, KEY_ALL_ACCESS, key.get()), kErrorSuccess);
    ASSERT_EQ(SetDword(key.get(), name, 1), kErrorSuccess);
  }
  ASSERT_EQ(SetDword(key.get(), "BETA", 2), kErrorSuccess);  // replaces "beta"
  std::vector<std::string> keys, values;
  std::string name;
  for (uint32_t i = 0; RegEnumKeyEx(key.get(), i, &name) == kErrorSuccess; ++i) keys.push_back(name);
  EXPECT_EQ(GetLastError(), kErrorNoMoreItems);
  uint32_t type = 0, data = 0, size = sizeof data;
  for (uint32_t i = 0; RegEnumValue(key.get(), i, &name, &type, &data, &size) == kErrorSuccess;
       ++i, size = sizeof data)
    values.push_back(name + "=" + std::to_string(data));
  const std::vector<std::string> sorted = {"Alpha", "ALPHA2", "beta", "gamma"};
  EXPECT_EQ(keys, sorted);
  EXPECT_EQ(values, (std::vector<std::string>{"Alpha=1", "ALPHA2=1", "beta=2", "gamma=1"}));
  size = 2;
  EXPECT_EQ(RegEnumValue(key.get(), 0, &name, &type, &data, &size), kErrorMoreData);
  EXPECT_EQ(size, 4u);
  EXPECT_EQ(RegEnumValue(key.get(), 4, &name, nullptr, nullptr, nullptr), kErrorNoMoreItems);
}

TEST(RegistryStore, DeletesOnlyLeafKeysAndNoticesDeletedHandles) {
  ScopedRegistryFolder folder;
  Key parent, child;
  ASSERT_EQ(Create(parent, "Software\\Tree"), kErrorSuccess);
  ASSERT_EQ(Create(child, "Software\\Tree\\Leaf"), kErrorSuccess);
  EXPECT_EQ(RegDeleteKey(HKEY_CURRENT_USER, "Software\\Tree"), kErrorAccessDenied);
  EXPECT_EQ(RegDeleteKey(HKEY_CURRENT_USER, ""), kErrorAccessDenied);  // a hive root
  EXPECT_EQ(RegDeleteKey(parent.get(), "missing"), kErrorFileNotFound);
  EXPECT_EQ(RegDeleteKey(parent.get(), "LEAF"), kErrorSuccess);
  EXPECT_EQ(SetDword(child.get(), "v", 1), kRegistryErrorKeyDeleted);
  uint32_t v = 0;
  EXPECT_EQ(GetDword(child.get(), "v", v), kRegistryErrorKeyDeleted);
  Key again;
  EXPECT_EQ(RegCreateKeyEx(child.get(), "Below", KEY_ALL_ACCESS, again.out()),
            kRegistryErrorKeyDeleted);
  ASSERT_EQ(Create(again, "Software\\Tree\\Leaf"), kErrorSuccess);
  EXPECT_EQ(SetDword(child.get(), "v", 1), kErrorSuccess);  // the path exists again
  EXPECT_EQ(RegDeleteKey(child.get(), ""), kErrorSuccess);    // a key deletes itself
  EXPECT_EQ(RegDeleteKey(HKEY_CURRENT_USER, "Software\\Tree"), kErrorSuccess);
  Key gone;
  EXPECT_EQ(RegOpenKeyEx(HKEY_CURRENT_USER, "Software\\Tree", KEY_READ, gone.out()),
            kErrorFileNotFound);
}

TEST(RegistryStore, HandlesKeepTheirAccessRights) {
  ScopedRegistryFolder folder;
  Key writer;
  ASSERT_EQ(Create(writer, "Software\\Rights"), kErrorSuccess);
  ASSERT_EQ(SetDword(writer.get(), "v", 7), kErrorSuccess);

  Key reader;
  ASSERT_EQ(RegOpenKeyEx(HKEY_CURRENT_USER, "Software\\Rights", KEY_QUERY_VALUE, reader.out()),
            kErrorSuccess);
  uint32_t v = 0;
  EXPECT_EQ(GetDword(reader.get(), "v", v), kErrorSuccess);
  EXPECT_EQ(v, 7u);
  EXPECT_EQ(SetDword(reader.get(), "v", 8), kErrorAccessDenied);
  EXPECT_EQ(GetLastError(), kErrorAccessDenied);
  EXPECT_EQ(RegDeleteValue(reader.get(), "v"), kErrorAccessDenied);
  std::string name;
  EXPECT_EQ(RegEnumKeyEx(reader.get(), 0, &name), kErrorAccessDenied);
  Key sub;
  EXPECT_EQ(RegCreateKeyEx(reader.get(), "New", KEY_READ, sub.out()), kErrorAccessDenied);
  ASSERT_EQ(Create(sub, "Software\\Rights\\Old"), kErrorSuccess);
  Key existing;
  EXPECT_EQ(RegCreateKeyEx(reader.get(), "Old", KEY_READ, existing.out()), kErrorSuccess);

  Key setter;
  ASSERT_EQ(RegOpenKeyEx(HKEY_CURRENT_USER, "Software\\Rights", KEY_SET_VALUE, setter.out()),
            kErrorSuccess);
  EXPECT_EQ(GetDword(setter.get(), "v", v), kErrorAccessDenied);
  EXPECT_EQ(GetDword(writer.get(), "v", v), kErrorSuccess);
  EXPECT_EQ(v, 7u);
}

TEST(RegistryStore, WriteLeavesNoTemporaryFileAndSkipsUnchangedValues) {
  ScopedRegistryFolder folder;
  Key key;
  ASSERT_EQ(Create(key, "Software"), kErrorSuccess);
  ASSERT_EQ(SetDword(key.get(), "v", 1), kErrorSuccess);
  const auto before = fs::last_write_time(folder.Path("current_user.hive"));
  ASSERT_EQ(SetDword(key.get(), "V", 1), kErrorSuccess);
  EXPECT_EQ(fs::last_write_time(folder.Path("current_user.hive")), before);
  ASSERT_EQ(SetDword(key.get(), "v", 2), kErrorSuccess);
  EXPECT_GT(fs::last_write_time(folder.Path("current_user.hive")), before);
  EXPECT_EQ(FolderEntries(folder),
            (std::vector<std::string>{"current_user.hive", "current_user.hive.lock"}));
}

TEST(RegistryStore, FolderComesFromTheEnvironment) {
  ScopedRegistryFolder folder;
  EXPECT_EQ(RegistryFolder(), folder.path());
  EXPECT_EQ(RegistryHiveFile(RegistryHive::kLocalMachine), folder.Path("local_machine.hive"));
  const std::string saved_dir = folder.path();
  const char* xdg = std::getenv("XDG_CONFIG_HOME");
  const std::string saved_xdg = xdg != nullptr ? xdg : "";
  unsetenv("ZOR_REGISTRY_DIR");
  setenv("XDG_CONFIG_HOME", "/cfg", 1);
  EXPECT_EQ(RegistryFolder(), "/cfg/zor-registry");
  setenv("XDG_CONFIG_HOME", "relative", 1);  // not absolute: ignored
  EXPECT_NE(RegistryFolder().find("/.config/zor-registry"), std::string::npos);
  if (xdg != nullptr) setenv("XDG_CONFIG_HOME", saved_xdg.c_str(), 1);
  else unsetenv("XDG_CONFIG_HOME");
  setenv("ZOR_REGISTRY_DIR", saved_dir.c_str(), 1);
}

TEST(RegistryStoreRecovery, DamagedHiveIsSetAsideAndReported) {
  ScopedRegistryFolder folder;
  ScopedReports reports;
  const std::string garbage = "this is not a hive\n";
  folder.Write("current_user.hive", garbage);
  Key key;
  EXPECT_EQ(RegOpenKeyEx(HKEY_CURRENT_USER, "Software", KEY_READ, key.out()), kErrorFileNotFound);
  ASSERT_EQ(reports.reports.size(), 1u);
  EXPECT_NE(reports.reports[0].find("damaged"), std::string::npos);
  std::vector<std::string> entries = FolderEntries(folder);
  ASSERT_EQ(entries.size(), 2u);
  EXPECT_EQ(entries[0].rfind("current_user.hive.corrupt-", 0), 0u);
  EXPECT_EQ(entries[1], "current_user.hive.lock");
  EXPECT_EQ(ReadFile(folder.Path(entries[0])), garbage);

  ASSERT_EQ(Create(key, "Software"), kErrorSuccess);
  ASSERT_EQ(SetDword(key.get(), "v", 1), kErrorSuccess);
  EXPECT_EQ(ReadFile(folder.Path(entries[0])), garbage);  // never overwritten
  EXPECT_EQ(reports.reports.size(), 1u);
}

// A sink that reads settings itself, as a log that checks its own switches.
std::atomic<int> g_nestedReads{0};
void ReadingSink(const std::string&) {
  Key key;
  RegOpenKeyEx(HKEY_CURRENT_USER, "Software", KEY_READ, key.out());
  g_nestedReads.fetch_add(1);
}

TEST(RegistryStoreRecovery, TheSinkMayReadSettings) {
  ScopedRegistryFolder folder;
  folder.Write("current_user.hive", "this is not a hive\n");
  const int child = InChild([] {
    alarm(5);  // a store that calls the sink under its lock hangs here
    SetRegistryDiagnosticSink(&ReadingSink);
    Key key;
    if (RegOpenKeyEx(HKEY_CURRENT_USER, "Software", KEY_READ, key.out()) != kErrorFileNotFound)
      return 1;
    return g_nestedReads.load() == 1 ? 0 : 2;
  });
  EXPECT_EQ(child, 0);
}

TEST(RegistryStoreRecovery, CutOffHiveIsSetAside) {
  ScopedRegistryFolder folder;
  ScopedReports reports;
  Key key;
  ASSERT_EQ(Create(key, "Software\\Zor"), kErrorSuccess);
  ASSERT_EQ(SetDword(key.get(), "v", 1), kErrorSuccess);
  // Another program leaves a file cut short and says so.
  std::string text = ReadFile(folder.Path("current_user.hive"));
  text.resize(text.find("; end"));
  folder.Write("current_user.hive", text);
  ASSERT_EQ(NotifyRegistryHiveChanged(RegistryHive::kCurrentUser), kErrorSuccess);
  uint32_t v = 0;
  EXPECT_EQ(GetDword(key.get(), "v", v), kRegistryErrorKeyDeleted);
  ASSERT_EQ(reports.reports.size(), 1u);
  int aside = 0;
  for (const std::string& name : FolderEntries(folder))
    aside += name.find(".corrupt-") != std::string::npos;
  EXPECT_EQ(aside, 1);
}

// Fills the descriptor table (a low limit first, so that it is quick) and
// gives the descriptors back at scope exit.
class ExhaustedDescriptors {
 public:
  ExhaustedDescriptors() {
    rlimit limit{};
    getrlimit(RLIMIT_NOFILE, &limit);
    limit.rlim_cur = std::min<rlim_t>(limit.rlim_max, 64);
    setrlimit(RLIMIT_NOFILE, &limit);
    for (int fd; (fd = open("/dev/null", O_RDONLY | O_CLOEXEC)) >= 0;) fds_.push_back(fd);
    exhausted_ = errno == EMFILE;
  }
  ~ExhaustedDescriptors() { Release(fds_.size()); }
  bool exhausted() const { return exhausted_; }
  void Release(std::size_t n) {
    for (; n > 0 && !fds_.empty(); --n) {
      close(fds_.back());
      fds_.pop_back();
    }
  }

 private:
  std::vector<int> fds_;
  bool exhausted_ = false;
};

// What a hive that is out of reach must keep: the file, its name, the folder.
struct HiveSnapshot {
  std::string text;
  std::vector<std::string> entries;
  bool operator==(const HiveSnapshot&) const = default;
};
HiveSnapshot Snapshot(const ScopedRegistryFolder& folder) {
  return {ReadFile(folder.Path("current_user.hive")), FolderEntries(folder)};
}

// Writes Software\Zor\v = 7 from a child, so that this process's cache
// never holds the hive and the next child must read the file itself.
void SeedHiveFromAChild() {
  ASSERT_EQ(InChild([] {
              Key key;
              if (Create(key, "Software\\Zor") != 0) return 1;
              return SetDword(key.get(), "v", 7) == 0 ? 0 : 2;
            }),
            0);
}

TEST(RegistryStoreRecovery, NoDescriptorsFailsTheCallAndKeepsTheHive) {
  ScopedRegistryFolder folder;
  SeedHiveFromAChild();
  const HiveSnapshot before = Snapshot(folder);
  const int child = InChild([] {
    int result = 0;
    {
      ExhaustedDescriptors full;
      if (!full.exhausted()) return 10;
      Key key;
      if (RegOpenKeyEx(HKEY_CURRENT_USER, "Software\\Zor", KEY_READ, key.out()) !=
          kErrorTooManyOpenFiles)
        result = 11;
      if (GetLastError() != kErrorTooManyOpenFiles) result = 12;
      const uint32_t one = 1;
      if (RegSetValueEx(HKEY_CURRENT_USER, "w", REG_DWORD, &one, 4) != kErrorTooManyOpenFiles)
        result = 13;
      // One descriptor free: the lock can be had but the hive still cannot
      // be read, so the write must not replace it.
      full.Release(1);
      if (RegSetValueEx(HKEY_CURRENT_USER, "w", REG_DWORD, &one, 4) != kErrorTooManyOpenFiles)
        result = 14;
    }
    Key key;
    uint32_t v = 0;
    if (RegOpenKeyEx(HKEY_CURRENT_USER, "Software\\Zor", KEY_READ, key.out()) != 0 ||
        GetDword(key.get(), "v", v) != 0 || v != 7)
      return 15;
    return result;
  });
  EXPECT_EQ(child, 0);
  EXPECT_EQ(Snapshot(folder), before);
  Key key;
  uint32_t v = 0;
  ASSERT_EQ(RegOpenKeyEx(HKEY_CURRENT_USER, "Software\\Zor", KEY_READ, key.out()), kErrorSuccess);
  EXPECT_EQ(GetDword(key.get(), "v", v), kErrorSuccess);
  EXPECT_EQ(v, 7u);
}

TEST(RegistryStoreRecovery, CachedCopyOutlivesADescriptorShortage) {
  ScopedRegistryFolder folder;
  Key key;
  ASSERT_EQ(Create(key, "Software\\Zor"), kErrorSuccess);
  ASSERT_EQ(SetDword(key.get(), "v", 7), kErrorSuccess);
  const HiveSnapshot before = Snapshot(folder);
  const int child = InChild([&] {
    // Another writer replaces the hive while this process has no descriptors.
    const int writer = InChild([&] { return SetDword(key.get(), "v", 8) == 0 ? 0 : 1; });
    if (writer != 0) return 20;
    ExhaustedDescriptors full;
    if (!full.exhausted()) return 21;
    uint32_t v = 0;
    if (GetDword(key.get(), "v", v) != kErrorTooManyOpenFiles || v != 0) return 22;
    full.Release(100);
    return GetDword(key.get(), "v", v) == 0 && v == 8 ? 0 : 23;
  });
  EXPECT_EQ(child, 0);
  EXPECT_NE(Snapshot(folder), before);
  for (const std::string& name : FolderEntries(folder))
    EXPECT_EQ(name.find(".corrupt-"), std::string::npos) << name;
  uint32_t v = 0;
  EXPECT_EQ(GetDword(key.get(), "v", v), kErrorSuccess);
  EXPECT_EQ(v, 8u);
}

TEST(RegistryStoreRecovery, FolderOrPipeInTheHivesPlaceIsLeftAlone) {
  ScopedRegistryFolder folder;
  ScopedReports reports;
  Key key;
  ASSERT_EQ(Create(key, "Software\\Zor"), kErrorSuccess);
  ASSERT_EQ(SetDword(key.get(), "v", 7), kErrorSuccess);
  const std::string hive = folder.Path("current_user.hive");
  const std::string saved = folder.Path("saved");
  ASSERT_EQ(rename(hive.c_str(), saved.c_str()), 0);

  for (const bool pipe : {false, true}) {
    SCOPED_TRACE(pipe ? "pipe" : "folder");
    ASSERT_EQ(pipe ? mkfifo(hive.c_str(), 0600) : mkdir(hive.c_str(), 0700), 0);
    ASSERT_EQ(NotifyRegistryHiveChanged(RegistryHive::kCurrentUser), kErrorSuccess);
    const std::vector<std::string> entries = FolderEntries(folder);
    uint32_t v = 0;
    EXPECT_EQ(GetDword(key.get(), "v", v), kErrorAccessDenied);
    EXPECT_EQ(SetDword(key.get(), "v", 9), kErrorAccessDenied);
    EXPECT_EQ(FolderEntries(folder), entries);  // nothing renamed or written
    ASSERT_EQ(pipe ? unlink(hive.c_str()) : rmdir(hive.c_str()), 0);
  }
  EXPECT_TRUE(reports.reports.empty());

  ASSERT_EQ(rename(saved.c_str(), hive.c_str()), 0);
  ASSERT_EQ(NotifyRegistryHiveChanged(RegistryHive::kCurrentUser), kErrorSuccess);
  uint32_t v = 0;
  EXPECT_EQ(GetDword(key.get(), "v", v), kErrorSuccess);
  EXPECT_EQ(v, 7u);
}

TEST(RegistryStoreRecovery, UnreadableHiveFailsWithAccessDeniedAndStays) {
  ScopedRegistryFolder folder(kEveryUsersRoot);
  SeedHiveFromAChild();
  const std::string hive = folder.Path("current_user.hive");
  const HiveSnapshot before = Snapshot(folder);
  // The superuser reads anything: the child then reads as nobody, which
  // needs a way through every folder above the hive.
  const bool root = geteuid() == 0;
  ASSERT_EQ(chmod(folder.path().c_str(), root ? 0777 : 0700), 0);
  ASSERT_EQ(chmod(hive.c_str(), 0), 0);
  const int child = InChild([&] {
    if (root && setuid(65534) != 0) return 77;  // a user namespace that maps root alone
    if (access(folder.path().c_str(), X_OK) != 0) return 77;
    Key key;
    if (RegOpenKeyEx(HKEY_CURRENT_USER, "Software\\Zor", KEY_READ, key.out()) !=
        kErrorAccessDenied)
      return 31;
    const uint32_t one = 1;
    const int result =
        RegSetValueEx(HKEY_CURRENT_USER, "w", REG_DWORD, &one, 4) != kErrorAccessDenied ? 32 : 0;
    RegistryChangeCounter::Remove(folder.path());  // nobody's own block
    return result;
  });
  chmod(hive.c_str(), 0644);
  if (child == 77)
    GTEST_SKIP() << "needs CAP_SETUID and uid 65534 mapped here, and a way for it to " << folder.path();
  EXPECT_EQ(child, 0);
  EXPECT_EQ(Snapshot(folder), before);  // not renamed, not rewritten
  Key key;
  uint32_t v = 0;
  ASSERT_EQ(RegOpenKeyEx(HKEY_CURRENT_USER, "Software\\Zor", KEY_READ, key.out()), kErrorSuccess);
  EXPECT_EQ(GetDword(key.get(), "v", v), kErrorSuccess);
  EXPECT_EQ(v, 7u);
}

TEST(RegistryStoreProcesses, WritesAreSeenAtOnceAcrossProcesses) {
  ScopedRegistryFolder folder;
  Key key;
  ASSERT_EQ(Create(key, "Software\\Shared"), kErrorSuccess);
  // Values of equal size written in turn by two processes: each side must see
  // the other's latest write, even when the file's size and inode repeat.
  for (uint32_t round = 0; round < 20; ++round) {
    ASSERT_EQ(RegSetValueEx(key.get(), "turn", REG_SZ, "parent", 7), kErrorSuccess);
    const int child = InChild([&] {
      char buf[16] = {};
      uint32_t size = sizeof buf;
      if (RegQueryValueEx(key.get(), "turn", nullptr, buf, &size) != 0) return 10;
      if (std::strcmp(buf, "parent") != 0) return 11;
      if (RegSetValueEx(key.get(), "turn", REG_SZ, "child!", 7) != 0) return 12;
      return SetDword(key.get(), "round", round) == 0 ? 0 : 13;
    });
    ASSERT_EQ(child, 0) << round;
    char buf[16] = {};
    uint32_t size = sizeof buf;
    ASSERT_EQ(RegQueryValueEx(key.get(), "turn", nullptr, buf, &size), kErrorSuccess);
    EXPECT_STREQ(buf, "child!") << round;
    uint32_t seen = 99;
    EXPECT_EQ(GetDword(key.get(), "round", seen), kErrorSuccess);
    EXPECT_EQ(seen, round);
  }
}

TEST(RegistryStoreProcesses, ConcurrentWritersLoseNothing) {
  ScopedRegistryFolder folder;
  Key key;
  ASSERT_EQ(Create(key, "Software\\Busy"), kErrorSuccess);
  constexpr uint32_t kEach = 40;
  std::vector<pid_t> pids;
  for (const char* prefix : {"a", "b"}) {
    const pid_t pid = fork();
    if (pid == 0) {
      int failures = 0;
      for (uint32_t i = 0; i < kEach; ++i)
        failures += SetDword(key.get(), prefix + std::to_string(i), i) != 0;
      _exit(failures);
    }
    pids.push_back(pid);
  }
  for (pid_t pid : pids) {
    int status = 0;
    waitpid(pid, &status, 0);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  }
  for (const char* prefix : {"a", "b"}) {
    for (uint32_t i = 0; i < kEach; ++i) {
      uint32_t v = 999;
      EXPECT_EQ(GetDword(key.get(), prefix + std::to_string(i), v), kErrorSuccess);
      EXPECT_EQ(v, i);
    }
  }
}

TEST(RegistryStoreProcesses, KilledWriterLeavesTheOldOrTheNewValue) {
  ScopedRegistryFolder folder;
  // A hive large enough that a kill often lands inside a write.
  RegistryNode root;
  RegistryNode& node = root.AddSubKey("Software").AddSubKey("Crash");
  const std::vector<uint8_t> filler(400, 'f');
  for (int i = 0; i < 200; ++i) node.SetValue("filler" + std::to_string(i), REG_BINARY, filler);
  const uint32_t zero = 0;
  node.SetValue("Counter", REG_DWORD, {reinterpret_cast<const uint8_t*>(&zero), 4});
  folder.Write("current_user.hive", SerializeHive(root));

  Key key;
  ASSERT_EQ(Create(key, "Software\\Crash"), kErrorSuccess);
  // Kill within about three writes' time, however fast this build writes.
  const auto before_write = std::chrono::steady_clock::now();
  ASSERT_EQ(SetDword(key.get(), "Counter", 0), kErrorSuccess);
  ASSERT_EQ(SetDword(key.get(), "Warm", 1), kErrorSuccess);
  const auto write_us = std::chrono::duration_cast<std::chrono::microseconds>(
                            std::chrono::steady_clock::now() - before_write).count() / 2 + 1;
  std::mt19937 rng(20240611);
  uint32_t committed = 0;
  int landed_mid_write = 0;
  auto slowest_read = std::chrono::steady_clock::duration::zero();
  for (int round = 0; round < 80; ++round) {
    int fds[2];
    ASSERT_EQ(pipe(fds), 0);
    const pid_t pid = fork();
    ASSERT_GE(pid, 0);  // a kill of -1 would reach every process of the user
    if (pid == 0) {
      close(fds[0]);
      for (uint32_t v = committed + 1;; ++v) {
        if (write(fds[1], &v, sizeof v) != sizeof v) _exit(1);  // about to write v
        if (SetDword(key.get(), "Counter", v) != 0) _exit(2);
      }
    }
    close(fds[1]);
    // Start the clock when the first write begins, not at the fork. Every
    // other round first waits for the next write to be announced, which is
    // when the first has finished: however busy the machine, some kills then
    // come after a committed value.
    uint32_t attempted = committed, v = 0;
    if (read(fds[0], &v, sizeof v) == sizeof v) attempted = v;
    if (round % 2 == 1 && read(fds[0], &v, sizeof v) == sizeof v) attempted = v;
    std::this_thread::sleep_for(std::chrono::microseconds(rng() % (3 * write_us)));
    kill(pid, SIGKILL);
    int status = 0;
    waitpid(pid, &status, 0);
    ASSERT_TRUE(WIFSIGNALED(status)) << "writer failed with " << WEXITSTATUS(status);
    while (read(fds[0], &v, sizeof v) == sizeof v) attempted = v;
    close(fds[0]);

    uint32_t counter = 0;
    const auto read_start = std::chrono::steady_clock::now();
    ASSERT_EQ(GetDword(key.get(), "Counter", counter), kErrorSuccess) << round;
    slowest_read = std::max(slowest_read, std::chrono::steady_clock::now() - read_start);
    // The last attempted write either happened or did not; all before it did.
    const uint32_t previous = attempted == committed ? committed : attempted - 1;
    ASSERT_TRUE(counter == attempted || counter == previous)
        << "round " << round << ": " << counter << " not in {" << previous << ", " << attempted << "}";
    landed_mid_write += counter != attempted;
    committed = counter;
    std::vector<uint8_t> data(filler.size());
    uint32_t size = static_cast<uint32_t>(data.size());
    ASSERT_EQ(RegQueryValueEx(key.get(), "filler199", nullptr, data.data(), &size), kErrorSuccess);
    ASSERT_EQ(data, filler);
  }
  for (const std::string& name : FolderEntries(folder))
    EXPECT_EQ(name.find(".corrupt-"), std::string::npos) << name;
  EXPECT_GT(committed, 0u);
  EXPECT_GT(landed_mid_write, 0);
  RecordProperty("kills_inside_a_write", landed_mid_write);
  RecordProperty("write_us", static_cast<int>(write_us));
  // Nothing a killed writer leaves behind is waited for.
  EXPECT_LT(slowest_read, std::chrono::seconds(2));
}

// Replaces the hive file as a program that knows nothing of the change
// counter would: a whole new file renamed over it.
void ReplaceHiveBehindTheStore(const ScopedRegistryFolder& folder, uint32_t v) {
  RegistryNode root;
  const uint8_t* bytes = reinterpret_cast<const uint8_t*>(&v);
  root.AddSubKey("Software").AddSubKey("Zor").SetValue("v", REG_DWORD, {bytes, 4});
  const std::string tmp = folder.Write("foreign.tmp", SerializeHive(root));
  ASSERT_EQ(rename(tmp.c_str(), folder.Path("current_user.hive").c_str()), 0);
}

TEST(RegistryStoreProcesses, CachedReadsTrustTheChangeCounter) {
  ScopedRegistryFolder folder;
  Key key;
  ASSERT_EQ(Create(key, "Software\\Zor"), kErrorSuccess);
  ASSERT_EQ(SetDword(key.get(), "v", 1), kErrorSuccess);
  uint32_t v = 0;
  ASSERT_EQ(GetDword(key.get(), "v", v), kErrorSuccess);

  // Nothing bumped the counter, so the cached copy is not looked at again...
  ReplaceHiveBehindTheStore(folder, 2);
  ASSERT_EQ(GetDword(key.get(), "v", v), kErrorSuccess);
  EXPECT_EQ(v, 1u);
  // ...until someone says it changed,
  ASSERT_EQ(NotifyRegistryHiveChanged(RegistryHive::kCurrentUser), kErrorSuccess);
  ASSERT_EQ(GetDword(key.get(), "v", v), kErrorSuccess);
  EXPECT_EQ(v, 2u);
  // or for at most about a second: polled until seen, within a bound for a
  // hang; the check leaves a loaded machine four seconds more.
  ReplaceHiveBehindTheStore(folder, 3);
  const auto start = std::chrono::steady_clock::now();
  while (GetDword(key.get(), "v", v) == kErrorSuccess && v != 3 &&
         std::chrono::steady_clock::now() - start < std::chrono::seconds(30))
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  EXPECT_EQ(v, 3u);
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5));
}

TEST(RegistryStoreProcesses, WriterKilledBetweenRenameAndBumpIsStillSeen) {
  ScopedRegistryFolder folder;
  Key key;
  ASSERT_EQ(Create(key, "Software\\Zor"), kErrorSuccess);
  ASSERT_EQ(SetDword(key.get(), "v", 1), kErrorSuccess);
  uint32_t v = 0;
  ASSERT_EQ(GetDword(key.get(), "v", v), kErrorSuccess);
  // A writer that dies after its first bump and its rename.
  ASSERT_EQ(InChild([&] {
              RegistryChangeCounter counter;
              if (!counter.Open(folder.path())) return 1;
              counter.BeginWrite(0);
              ReplaceHiveBehindTheStore(folder, 2);
              return 0;
            }),
            0);
  for (int i = 0; i < 3; ++i) {
    ASSERT_EQ(GetDword(key.get(), "v", v), kErrorSuccess);
    EXPECT_EQ(v, 2u);
  }
  // The next writer makes the counter even again, and readers trust it.
  ASSERT_EQ(InChild([&] { return SetDword(key.get(), "v", 3); }), 0);
  RegistryChangeCounter counter;
  ASSERT_TRUE(counter.Open(folder.path()));
  EXPECT_EQ(counter.Load(0) % 2, 0u);
  ASSERT_EQ(GetDword(key.get(), "v", v), kErrorSuccess);
  EXPECT_EQ(v, 3u);
  ASSERT_EQ(InChild([&] { return SetDword(key.get(), "v", 4); }), 0);
  ASSERT_EQ(GetDword(key.get(), "v", v), kErrorSuccess);
  EXPECT_EQ(v, 4u);
}

TEST(RegistryStoreProcesses, UnusableCounterFallsBackToTheStat) {
  for (const bool wrong_size : {true, false}) {
    SCOPED_TRACE(wrong_size ? "wrong size" : "wrong magic");
    ScopedRegistryFolder folder;
    // A block of the same name that is not ours to trust.
    const std::string name = RegistryChangeCounter::NameFor(folder.path());
    ASSERT_FALSE(name.empty());
    if (wrong_size) {
      const int fd = shm_open(name.c_str(), O_RDWR | O_CREAT | O_EXCL, 0600);
      ASSERT_GE(fd, 0);
      ASSERT_EQ(ftruncate(fd, 8), 0);
      close(fd);
    } else {  // a block of the right size whose magic (its first word) is wrong
      RegistryChangeCounter maker;
      ASSERT_TRUE(maker.Open(folder.path()));
      const int fd = shm_open(name.c_str(), O_RDWR, 0);
      ASSERT_GE(fd, 0);
      ASSERT_EQ(pwrite(fd, "not ours", 8, 0), 8);
      close(fd);
    }
    RegistryChangeCounter probe;
    EXPECT_FALSE(probe.Open(folder.path()));

    ASSERT_NO_FATAL_FAILURE(ExpectEveryWriteOfAChildSeen());
  }
}

// A set-user-id program run by a user writes that user's registry folder: it
// bumps the counter the user's own programs read, whichever of them made it.
TEST(RegistryStoreProcesses, ASetUserIdProgramSharesTheCounterOfItsUser) {
  if (geteuid() != 0) GTEST_SKIP() << "needs root to run as another user";
  ScopedRegistryFolder folder(kEveryUsersRoot);
  ASSERT_EQ(chmod(folder.path().c_str(), 0777), 0);
  const auto as = [&](uid_t real, uid_t effective, uint64_t expect, bool bump) {
    return InChild([&] {
      if (setresuid(real, effective, effective) != 0) return 77;  // no such user here
      RegistryChangeCounter counter;
      if (!counter.Open(folder.path())) return 1;
      if (counter.Load(0) != expect) return 2;
      if (bump) counter.EndWrite(0, counter.BeginWrite(0));
      return 0;
    });
  };
  const int first = as(65534, 0, 0, true);  // the program makes the block
  if (first == 77) GTEST_SKIP() << "needs CAP_SETUID and uid 65534 mapped here";
  EXPECT_EQ(first, 0);
  EXPECT_EQ(as(65534, 65534, 2, true), 0);  // the user's program sees its write
  EXPECT_EQ(as(65534, 0, 4, false), 0);     // and the program the user's
  // A program set-user-id to another user than root, on the user's block and
  // on one it makes itself.
  EXPECT_EQ(as(65534, 65533, 4, true), 0);
  EXPECT_EQ(as(65534, 65534, 6, false), 0);
  const auto remove = [&](uid_t effective, bool makeAnew) {
    return InChild([&] {
      if (setresuid(65534, effective, effective) != 0) return 1;
      RegistryChangeCounter::Remove(folder.path());
      return !makeAnew || RegistryChangeCounter().Open(folder.path()) ? 0 : 2;
    });
  };
  EXPECT_EQ(remove(65533, true), 0);
  EXPECT_EQ(as(65534, 65534, 0, true), 0);
  EXPECT_EQ(remove(65534, false), 0);
}

// A set-user-id-root program that writes the settings of the user running it
// (the first to do so: it makes the folder too) leaves every file and folder
// it made to that user, whose own programs go on writing them. It makes
// nothing where that user could not: the folder is the user's to name.
TEST(RegistryStoreProcesses, ASetUserIdRootProgramLeavesTheSettingsToItsUser) {
  if (geteuid() != 0) GTEST_SKIP() << "needs root to run as another user";
  TempFolder tmp(kEveryUsersRoot);  // the user it runs as must reach it
  const std::string home = tmp.Path("home");
  const std::string folder = home + "/.config/zor-registry";
  ASSERT_EQ(chmod(tmp.path().c_str(), 0755), 0);
  ASSERT_EQ(mkdir(home.c_str(), 0755), 0);
  if (chown(home.c_str(), 65534, 65534) != 0) GTEST_SKIP() << "no user 65534 here";
  const auto as = [&](uid_t effective, uint32_t value, const std::string& where = {}) {
    return InChild([&] {
      if (setresuid(65534, effective, effective) != 0) return 77;
      setenv("ZOR_REGISTRY_DIR", (where.empty() ? folder : where).c_str(), 1);
      Key key;
      if (Create(key, "Software\\Zor") != kErrorSuccess) return 1;
      if (const uint32_t code = SetDword(key.get(), "v", value)) return 100 + static_cast<int>(code);
      uint32_t back = 0;
      return GetDword(key.get(), "v", back) == kErrorSuccess && back == value ? 0 : 3;
    });
  };
  const int program = as(0, 1);
  if (program == 77) GTEST_SKIP() << "cannot run as user 65534 here";
  EXPECT_EQ(program, 0);
  for (const std::string& path : {home + "/.config", folder, folder + "/current_user.hive",
                                  folder + "/current_user.hive.lock"}) {
    struct stat sb {};
    EXPECT_EQ(lstat(path.c_str(), &sb), 0) << path;
    EXPECT_EQ(sb.st_uid, 65534u) << path;
  }
  EXPECT_EQ(as(65534, 2), 0);  // the user's own program
  EXPECT_EQ(as(0, 3), 0);      // and the program again

  const std::string rootOnly = tmp.Path("root-only");
  ASSERT_EQ(mkdir(rootOnly.c_str(), 0755), 0);
  EXPECT_EQ(as(0, 4, rootOnly), 1);
  EXPECT_EQ(as(0, 4, rootOnly + "/made"), 1);
  EXPECT_TRUE(std::filesystem::is_empty(rootOnly));
  // Readers made a change counter for each folder they looked at.
  EXPECT_EQ(InChild([&] {
              if (setresuid(65534, 65534, 65534) != 0) return 1;
              for (const std::string& where : {folder, rootOnly, rootOnly + "/made"})
                RegistryChangeCounter::Remove(where);
              return 0;
            }),
            0);
}

// With /dev/shm full no change counter can be had, whether the block is
// new or was left sized but without pages (by an earlier build that died of
// the lack of space): reads and writes go by the stat of the file, never a
// signal, and every write of another process is seen.
TEST(RegistryStoreProcesses, AFullSharedMemoryFallsBackToTheStat) {
  off_t blockSize = 0;
  {
    ScopedRegistryFolder probe;
    RegistryChangeCounter counter;
    ASSERT_TRUE(counter.Open(probe.path()));
    const int fd = shm_open(RegistryChangeCounter::NameFor(probe.path()).c_str(), O_RDONLY, 0);
    ASSERT_GE(fd, 0);
    struct stat sb {};
    ASSERT_EQ(fstat(fd, &sb), 0);
    close(fd);
    blockSize = sb.st_size;
  }
  for (const bool leftBlock : {false, true}) {
    SCOPED_TRACE(leftBlock ? "block without pages" : "no block");
    const int result = InChildWithSmallSharedMemory([&] {
      ScopedRegistryFolder folder;  // new to this process: its counter is looked for anew
      if (leftBlock) {
        const std::string name = RegistryChangeCounter::NameFor(folder.path());
        const int fd = shm_open(name.c_str(), O_RDWR | O_CREAT | O_EXCL, 0600);
        if (fd < 0 || ftruncate(fd, blockSize) != 0) return 1;
        close(fd);
      }
      FillSharedMemory();
      Key key;
      if (Create(key, "Software\\Zor") != kErrorSuccess) return 2;
      for (uint32_t round = 0; round < 3; ++round) {
        if (InChild([&] { return SetDword(key.get(), "v", round); }) != 0) return 3;
        uint32_t v = 99;
        if (GetDword(key.get(), "v", v) != kErrorSuccess || v != round) return 4;
      }
      RegistryChangeCounter counter;
      return counter.Open(folder.path()) ? 5 : 0;
    });
    if (result == kNoSmallSharedMemory) GTEST_SKIP() << kNoSmallSharedMemoryText;
    EXPECT_EQ(result, 0) << ChildResultText(result);
  }
}

// Two folders whose block names are alike (made here by linking the second
// name to the first block, as a hash collision would) must not share the
// block: their writers bump it under different locks.
TEST(RegistryStoreProcesses, ACounterBlockOfAnotherFolderIsNotUsed) {
  ScopedRegistryFolder first;
  RegistryChangeCounter firstCounter;
  ASSERT_TRUE(firstCounter.Open(first.path()));
  ScopedRegistryFolder second;
  const std::string firstBlock = "/dev/shm" + RegistryChangeCounter::NameFor(first.path());
  const std::string secondBlock = "/dev/shm" + RegistryChangeCounter::NameFor(second.path());
  if (link(firstBlock.c_str(), secondBlock.c_str()) != 0)
    GTEST_SKIP() << "shared memory is not under /dev/shm here";
  RegistryChangeCounter secondCounter;
  EXPECT_FALSE(secondCounter.Open(second.path()));
  // The second folder's readers look at the file instead, and see every write.
  ASSERT_NO_FATAL_FAILURE(ExpectEveryWriteOfAChildSeen());
  EXPECT_EQ(firstCounter.Load(0), 0u);  // the first folder's block was left alone
}

#if !defined(__SANITIZE_ADDRESS__) && !defined(__SANITIZE_THREAD__)
// Running out of memory while reading a hive is a passing failure: the call
// fails with 8, no descriptor is left open, and the hive stays where it is.
TEST(RegistryStoreRecovery, NoMemoryWhileReadingLeaksNothingAndKeepsTheHive) {
  ScopedRegistryFolder folder;
  const std::string hive = folder.Path("current_user.hive");
  {
    const int fd = open(hive.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(ftruncate(fd, 256 << 20), 0);  // sparse: costs no disk
    close(fd);
  }
  const auto openDescriptors = [] {
    int n = 0;
    for (const auto& e : fs::directory_iterator("/proc/self/fd")) n += e.exists() ? 1 : 0;
    return n;
  };
  const int child = InChild([&] {
    struct rlimit limit {};
    getrlimit(RLIMIT_AS, &limit);
    std::ifstream status("/proc/self/status");
    std::string line;
    long vmKb = 0;
    while (std::getline(status, line))
      if (line.rfind("VmSize:", 0) == 0) vmKb = std::stol(line.substr(7));
    limit.rlim_cur = static_cast<rlim_t>(vmKb + 64 * 1024) * 1024;
    if (setrlimit(RLIMIT_AS, &limit) != 0) return 10;
    const int before = openDescriptors();
    uint32_t v = 0;
    uint32_t size = sizeof v;
    const uint32_t code = RegQueryValueEx(HKEY_CURRENT_USER, "v", nullptr, &v, &size);
    if (code != kErrorNotEnoughMemory) return 11;
    return openDescriptors() == before ? 0 : 12;
  });
  EXPECT_EQ(child, 0);
  struct stat sb {};
  ASSERT_EQ(stat(hive.c_str(), &sb), 0);
  EXPECT_EQ(sb.st_size, 256 << 20);
}
#endif

// The user's settings are for the user alone: what the store makes is 0700
// or 0600 whatever the umask, and nothing under the names it writes (a link
// at the temporary file or at the lock) is ever written or made through.
TEST(RegistryStoreFiles, TheSettingsAreTheUsersAloneAndNoLinkIsFollowed) {
  TempFolder tmp;
  const std::string folder = tmp.Path("a/b");
  const std::string hive = folder + "/current_user.hive";
  const int child = InChild([&] {
    umask(0);
    setenv("ZOR_REGISTRY_DIR", folder.c_str(), 1);
    Key key;
    return Create(key, "Software\\Zor") == kErrorSuccess ? 0 : 1;
  });
  ASSERT_EQ(child, 0);
  for (const auto& [path, mode] : {std::pair{tmp.Path("a"), 0700}, {folder, 0700},
                                   {hive, 0600}, {hive + ".lock", 0600}}) {
    struct stat sb {};
    ASSERT_EQ(lstat(path.c_str(), &sb), 0) << path;
    EXPECT_EQ(sb.st_mode & 07777, static_cast<mode_t>(mode)) << path;
  }

  // Files left readable by all by earlier builds are the user's alone after
  // the next write.
  for (const std::string& path : {hive, hive + ".lock"}) ASSERT_EQ(chmod(path.c_str(), 0644), 0);
  ::setenv("ZOR_REGISTRY_DIR", folder.c_str(), 1);
  const std::string victim = tmp.Write("victim", "private");
  ASSERT_EQ(symlink(victim.c_str(), (hive + ".tmp").c_str()), 0);
  Key key;
  ASSERT_EQ(Create(key, "Software\\Zor"), kErrorSuccess);
  EXPECT_EQ(SetDword(key.get(), "v", 1), kErrorSuccess);
  EXPECT_EQ(ReadFile(victim), "private");
  uint32_t v = 0;
  EXPECT_EQ(GetDword(key.get(), "v", v), kErrorSuccess);
  EXPECT_EQ(v, 1u);
  for (const std::string& path : {hive, hive + ".lock"}) {
    struct stat sb {};
    ASSERT_EQ(lstat(path.c_str(), &sb), 0) << path;
    EXPECT_EQ(sb.st_mode & 07777, 0600u) << path;
  }

  // A lock that is a link, even to nothing, is refused and nothing is made.
  const std::string nowhere = tmp.Path("made-through-the-lock");
  ASSERT_EQ(unlink((hive + ".lock").c_str()), 0);
  ASSERT_EQ(symlink(nowhere.c_str(), (hive + ".lock").c_str()), 0);
  EXPECT_NE(SetDword(key.get(), "v", 2), kErrorSuccess);
  EXPECT_FALSE(fs::exists(nowhere));
  EXPECT_EQ(GetDword(key.get(), "v", v), kErrorSuccess);
  EXPECT_EQ(v, 1u);

  // Nor is a hive that is a link read.
  ASSERT_EQ(unlink((hive + ".lock").c_str()), 0);
  const std::string elsewhere = tmp.Write("elsewhere.hive", ReadFile(hive));
  ASSERT_EQ(unlink(hive.c_str()), 0);
  ASSERT_EQ(symlink(elsewhere.c_str(), hive.c_str()), 0);
  ASSERT_EQ(NotifyRegistryHiveChanged(RegistryHive::kCurrentUser), kErrorSuccess);
  EXPECT_EQ(GetDword(key.get(), "v", v), kErrorAccessDenied);
  ::unsetenv("ZOR_REGISTRY_DIR");
  RegistryChangeCounter::Remove(folder);
}

// Anyone who may open the lock can hold it: a writer waits about as long as
// an open waits for a share mode, then gives up with 32. The alarm only
// bounds a hang.
TEST(RegistryStoreFiles, AHeldLockFailsTheWriteWithASharingViolation) {
  ScopedRegistryFolder folder;
  Key key;
  ASSERT_EQ(Create(key, "Software\\Zor"), kErrorSuccess);
  const int holder = open(folder.Path("current_user.hive.lock").c_str(), O_RDONLY);
  ASSERT_GE(holder, 0);
  ASSERT_EQ(flock(holder, LOCK_EX), 0);
  EXPECT_EQ(InChild([&] {
              alarm(30);
              return static_cast<int>(SetDword(key.get(), "v", 1));
            }),
            static_cast<int>(kErrorSharingViolation));
  close(holder);
  EXPECT_EQ(SetDword(key.get(), "v", 1), kErrorSuccess);
}

// Programs that borrow another user's or group's ids see the settings with
// their user's rights only: a hive the user cannot read is not read with the
// program's owner's rights, a read-only hive behind the user's 0700 home
// gives no write handle, and a folder only the program's group may write
// gets nothing.
TEST(RegistryStoreProcesses, ProgramsWithBorrowedIdsUseTheUsersRightsOnly) {
  if (geteuid() != 0) GTEST_SKIP() << "needs root to run as another user";
  constexpr uid_t kUser = 65534, kOwner = 65533;
  TempFolder tmp(kEveryUsersRoot);
  ASSERT_EQ(chmod(tmp.path().c_str(), 0755), 0);
  const std::string shared = tmp.Path("shared"), home = tmp.Path("home");
  const std::string groupOnly = tmp.Path("group-only");
  for (const auto& [path, mode] : {std::pair{shared, 0777}, {home, 0700}, {groupOnly, 0770}}) {
    ASSERT_EQ(mkdir(path.c_str(), 0700), 0);
    ASSERT_EQ(chmod(path.c_str(), static_cast<mode_t>(mode)), 0);
  }
  if (chown(home.c_str(), kUser, kUser) != 0) GTEST_SKIP() << "no user 65534 here";
  ASSERT_EQ(chown(groupOnly.c_str(), 0, kOwner), 0);
  RegistryNode root;
  const uint32_t one = 1;
  root.AddSubKey("Software").SetValue("v", REG_DWORD, {reinterpret_cast<const uint8_t*>(&one), 4});
  for (const auto& [path, owner, mode] :
       {std::tuple{"shared/current_user.hive", kOwner, 0600},
        {"home/current_user.hive", kUser, 0400}}) {
    const std::string written = tmp.Write(path, SerializeHive(root));
    ASSERT_EQ(chown(written.c_str(), owner, owner), 0);
    ASSERT_EQ(chmod(written.c_str(), static_cast<mode_t>(mode)), 0);
  }
  // A program of user kOwner, or of group kOwner, run by kUser.
  const auto run = [&](bool setGroup, const std::string& where, auto body) {
    return InChild([&] {
      if (setgroups(0, nullptr) != 0) return 77;
      if (setresgid(kUser, setGroup ? kOwner : kUser, setGroup ? kOwner : kUser) != 0) return 77;
      if (setresuid(kUser, setGroup ? kUser : kOwner, setGroup ? kUser : kOwner) != 0) return 77;
      setenv("ZOR_REGISTRY_DIR", where.c_str(), 1);
      return static_cast<int>(body());
    });
  };
  const int unreadable = run(false, shared, [] {
    Key key;
    return RegOpenKeyEx(HKEY_CURRENT_USER, "Software", KEY_READ, key.out());
  });
  if (unreadable == 77) GTEST_SKIP() << "cannot run as user 65534 here";
  EXPECT_EQ(unreadable, static_cast<int>(kErrorAccessDenied));
  EXPECT_EQ(run(false, home, [] {
              Key key;
              return RegOpenKeyEx(HKEY_CURRENT_USER, "Software", KEY_WRITE, key.out());
            }),
            static_cast<int>(kErrorAccessDenied));
  EXPECT_EQ(run(true, groupOnly + "/settings", [] {
              Key key;
              return Create(key, "Software\\Zor");
            }),
            static_cast<int>(kErrorAccessDenied));
  EXPECT_TRUE(fs::is_empty(groupOnly));
  for (const std::string& where : {shared, home, groupOnly + "/settings"})
    EXPECT_EQ(InChild([&] {
                if (setresuid(kUser, kUser, kUser) != 0) return 1;
                RegistryChangeCounter::Remove(where);
                return 0;
              }),
              0);
}

// A program with borrowed ids that cannot take its user's file-system ids
// (a sandbox refusing the calls) reads and writes no settings with the ids it
// has, and makes nothing. A program that borrows none needs no switch and
// works on in the same sandbox.
TEST(RegistryStoreFiles, WithoutTheUsersIdsNothingIsReadOrMade) {
  ScopedRegistryFolder folder;
  Key key;
  ASSERT_EQ(Create(key, "Software\\Zor"), kErrorSuccess);
  for (const bool borrowed : {false, true}) {
    SCOPED_TRACE(borrowed ? "set-user-id" : "own ids");
    TempFolder elsewhere;
    const std::string missing = elsewhere.Path("settings");
    const int child = InChild([&] {
      if (borrowed && setresuid(65534, geteuid(), geteuid()) != 0) return 77;
      sock_filter rules[] = {
          BPF_STMT(BPF_LD | BPF_W | BPF_ABS, offsetof(seccomp_data, nr)),
          BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, SYS_setfsuid, 1, 0),
          BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, SYS_setfsgid, 0, 1),
          BPF_STMT(BPF_RET | BPF_K, SECCOMP_RET_ERRNO | static_cast<uint32_t>(EPERM)),
          BPF_STMT(BPF_RET | BPF_K, SECCOMP_RET_ALLOW)};
      const sock_fprog program{static_cast<unsigned short>(std::size(rules)), rules};
      if (prctl(PR_SET_NO_NEW_PRIVS, 1, 0, 0, 0) != 0 ||
          prctl(PR_SET_SECCOMP, SECCOMP_MODE_FILTER, &program) != 0)
        return 10;
      const uint32_t expected = borrowed ? kErrorAccessDenied : kErrorSuccess;
      // The same folder by another name: not the copy this process has read.
      setenv("ZOR_REGISTRY_DIR", (folder.path() + "/.").c_str(), 1);
      Key again;
      if (RegOpenKeyEx(HKEY_CURRENT_USER, "Software\\Zor", KEY_READ, again.out()) != expected)
        return 11;
      if (SetDword(key.get(), "v", 1) != expected) return 12;
      setenv("ZOR_REGISTRY_DIR", missing.c_str(), 1);
      Key made;
      const int result = Create(made, "Software\\Zor") == expected ? 0 : 13;
      RegistryChangeCounter::Remove(missing);
      return result;
    });
    if (child == 77) continue;  // only root can lend a program its ids
    EXPECT_EQ(child, 0);
    EXPECT_EQ(fs::is_empty(elsewhere.path()), borrowed);
    RegistryChangeCounter::Remove(missing);
  }
}

TEST(RegistryStoreThreaded, ThreadsWithOwnHandlesLoseNothing) {
  ScopedRegistryFolder folder;
  Key top;
  ASSERT_EQ(Create(top, "Software\\Threads"), kErrorSuccess);
  constexpr int kThreads = 4;
  constexpr uint32_t kEach = 15;
  std::vector<std::thread> threads;
  std::atomic<int> failures{0};
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([&, t] {
      Key key;
      if (Create(key, "Software\\Threads") != 0) {
        ++failures;
        return;
      }
      for (uint32_t i = 0; i < kEach; ++i) {
        const std::string name = "t" + std::to_string(t) + "-" + std::to_string(i);
        uint32_t back = 0;
        if (SetDword(key.get(), name, i) != 0 || GetDword(key.get(), name, back) != 0 || back != i)
          ++failures;
        if (GetLastError() != kErrorSuccess) ++failures;  // each thread its own last error
      }
    });
  }
  for (std::thread& t : threads) t.join();
  EXPECT_EQ(failures.load(), 0);
  uint32_t count = 0;
  std::string name;
  while (RegEnumValue(top.get(), count, &name, nullptr, nullptr, nullptr) == kErrorSuccess) ++count;
  EXPECT_EQ(count, kThreads * kEach);
}

}  // namespace
}  // namespace zor::platform
