#include "platform/registry_store.h"

#include <fcntl.h>
#include <pwd.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <new>
#include <span>
#include <vector>

#include "platform/registry_change_counter.h"
#include "platform/registry_file_format.h"
#include "platform/shared_memory_block.h"

namespace zor::platform {

struct RegistryKey {
  RegistryHive hive;
  std::vector<std::string> parts;  // path below the hive root
  REGSAM access;
  bool predefined;
};

namespace {

RegistryKey g_current_user_root{RegistryHive::kCurrentUser, {}, KEY_ALL_ACCESS, true};
RegistryKey g_local_machine_root{RegistryHive::kLocalMachine, {}, KEY_ALL_ACCESS, true};

}  // namespace

RegistryKey* const HKEY_CURRENT_USER = &g_current_user_root;
RegistryKey* const HKEY_LOCAL_MACHINE = &g_local_machine_root;

namespace {

constexpr REGSAM kWriteRights =
    KEY_SET_VALUE | KEY_CREATE_SUB_KEY | KEY_CREATE_LINK | KEY_DELETE | 0x00040000 | 0x00080000;

std::atomic<RegistryDiagnosticSink> g_sink{nullptr};

void Emit(const std::string& message) {
  if (RegistryDiagnosticSink sink = g_sink.load()) {
    sink(message);
    return;
  }
  std::fprintf(stderr, "zor registry: %s\n", message.c_str());
}

uint32_t Done(uint32_t code) noexcept {
  SetLastError(code);
  return code;
}

uint32_t LastErrno() noexcept { return ErrorFromErrno(errno); }

// What identifies one version of a hive file.
struct FileSignature {
  bool exists = false;
  dev_t dev = 0;
  ino_t ino = 0;
  off_t size = 0;
  int64_t mtime_ns = 0;
  mode_t mode = 0;

  bool operator==(const FileSignature& o) const {
    return exists == o.exists && dev == o.dev && ino == o.ino && size == o.size &&
           mtime_ns == o.mtime_ns;
  }
};

FileSignature SignatureOf(const struct stat& sb) {
  FileSignature sig;
  sig.exists = true;
  sig.dev = sb.st_dev;
  sig.ino = sb.st_ino;
  sig.size = sb.st_size;
  sig.mtime_ns = int64_t{sb.st_mtim.tv_sec} * 1000000000 + sb.st_mtim.tv_nsec;
  sig.mode = sb.st_mode;
  return sig;
}

// A cached copy is looked at again (one stat) at least this often even when
// the change counter stands still, so that a hive replaced by a program that
// does not bump the counter is seen within this time.
constexpr int64_t kRestatNs = 1000000000;

int64_t CoarseNowNs() noexcept {
  struct timespec now {};
  clock_gettime(CLOCK_MONOTONIC_COARSE, &now);
  return int64_t{now.tv_sec} * 1000000000 + now.tv_nsec;
}

// The cached copy of one hive file. Every field is guarded by `mutex`.
struct HiveState {
  std::mutex mutex;
  int slot = 0;      // the hive's slot of the change counter
  std::string file;  // the file the cache belongs to
  bool loaded = false;
  bool blocked = false;  // a damaged file could not be set aside: refuse writes
  FileSignature sig;
  RegistryNode root;

  RegistryChangeCounter counter;
  bool counter_tried = false;  // Open failed; tried again after the next reload
  bool counter_valid = false;  // `seen` is a value the cache is known to match
  uint64_t seen = 0;
  int64_t checked_ns = 0;  // when the file was last stat'ed

  // Diagnostics found under `mutex`, sent once it is released (the sink may
  // read settings itself).
  std::vector<std::string> reports;
};

HiveState& StateOf(RegistryHive hive) {
  // Never destroyed, so a late call during exit still finds it.
  static HiveState* states = [] {
    auto* s = new HiveState[2];
    s[1].slot = 1;
    return s;
  }();
  return states[hive == RegistryHive::kCurrentUser ? 0 : 1];
}

const char* HiveFileName(RegistryHive hive) {
  return hive == RegistryHive::kCurrentUser ? "current_user.hive" : "local_machine.hive";
}

std::string HomeFolder() {
  if (const char* home = std::getenv("HOME"); home != nullptr && home[0] != '\0') return home;
  struct passwd pw;
  struct passwd* found = nullptr;
  std::vector<char> buf(16384);
  if (getpwuid_r(getuid(), &pw, buf.data(), buf.size(), &found) == 0 && found != nullptr &&
      found->pw_dir != nullptr)
    return found->pw_dir;
  return {};
}

std::string FolderOf(const std::string& file) {
  const std::size_t slash = file.rfind('/');
  if (slash == std::string::npos) return ".";
  if (slash == 0) return "/";
  return file.substr(0, slash);
}

// An exclusive flock on "<hive>.lock", held for the object's life (closing
// the descriptor releases it). The lock file is the user's: an existing one
// is opened as it is, never through a link, and a missing one made 0600.
// Read access is enough for flock, so a lock left by an earlier build with
// another owner still serves. Another holder is waited for as long as a
// share mode is, then the call fails with 32.
class FileLock {
 public:
  uint32_t Acquire(const std::string& hive_file) {
    const std::string path = hive_file + ".lock";
    for (int attempt = 0; attempt < 8 && !fd_; ++attempt) {
      fd_.reset(OpenExisting(path.c_str(), O_RDONLY));
      if (!fd_ && errno == ENOENT) fd_.reset(CreateFresh(path.c_str(), O_RDONLY, 0600));
      if (!fd_ && errno != ENOENT && errno != EEXIST) return LastErrno();
    }
    if (!fd_) return kErrorSharingViolation;  // made and removed under us, again and again
    // Earlier builds made it readable by all, and anyone who can read it can
    // hold it.
    struct stat sb;
    if (fstat(fd_.get(), &sb) == 0 && (sb.st_mode & 077) != 0 && sb.st_uid == getuid())
      fchmod(fd_.get(), 0600);
    const int err = LockExclusiveBounded(fd_.get());
    if (err == EWOULDBLOCK) return kErrorSharingViolation;
    return err == 0 ? kErrorSuccess : ErrorFromErrno(err);
  }

 private:
  UniqueFd fd_;
};

bool ReadWholeFile(int fd, std::string& text) {
  text.clear();
  char buf[65536];
  while (true) {
    const ssize_t n = read(fd, buf, sizeof buf);
    if (n == 0) return true;
    if (n < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    text.append(buf, static_cast<std::size_t>(n));
  }
}

bool WriteWholeFile(int fd, std::string_view text) {
  while (!text.empty()) {
    const ssize_t n = write(fd, text.data(), text.size());
    if (n < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    text.remove_prefix(static_cast<std::size_t>(n));
  }
  return true;
}

std::string AsideName(const std::string& file) {
  struct timespec now {};
  clock_gettime(CLOCK_REALTIME, &now);
  struct tm utc {};
  gmtime_r(&now.tv_sec, &utc);
  char stamp[32];
  std::strftime(stamp, sizeof stamp, "%Y%m%dT%H%M%SZ", &utc);
  std::string base = file + ".corrupt-" + stamp;
  std::string name = base;
  struct stat sb;
  for (int n = 2; lstat(name.c_str(), &sb) == 0; ++n) name = base + "-" + std::to_string(n);
  return name;
}

void SetEmpty(HiveState& st, const FileSignature& sig, bool blocked) {
  st.root = RegistryNode{};
  st.sig = sig;
  st.loaded = true;
  st.blocked = blocked;
}

// Maps the folder's change counter, once per reload while it cannot be had.
// A relative folder gets none: it names another folder after a chdir.
void OpenCounter(HiveState& st, const std::string& file) {
  if (st.counter.IsOpen() || st.counter_tried) return;
  st.counter_tried = true;
  if (!file.empty() && file[0] == '/') st.counter.Open(FolderOf(file));
}

// Before a change of the file: a writer that bumps no counter would leave
// readers of other processes with their old copy, so try once more.
void RetryCounter(HiveState& st, const std::string& file) {
  st.counter_tried = false;
  OpenCounter(st, file);
}

// Records that the cache matches the file as of counter value `before`.
void MarkChecked(HiveState& st, uint64_t before) {
  st.seen = before;
  st.counter_valid = st.counter.IsOpen() && (before & 1) == 0;
  st.checked_ns = CoarseNowNs();
}

// Replaces or removes the hive file under its lock, bumping the change
// counter around the rename so that no reader keeps a copy of the old file.
template <typename Rename>
int RenameCounted(HiveState& st, Rename&& rename_file) {
  const uint64_t odd = st.counter.BeginWrite(st.slot);
  const int result = rename_file();
  const int saved = errno;
  st.counter.EndWrite(st.slot, odd);
  if (st.counter.IsOpen()) st.seen = odd + 1;
  errno = saved;
  return result;
}

enum class AsideResult { kDone, kChanged };

// Moves a damaged hive file out of the way (never overwriting it) and leaves
// the cache empty. kChanged when the file was replaced meanwhile, so the
// caller reads it again. Fails, touching nothing, when the lock cannot be had.
uint32_t SetAside(HiveState& st, const std::string& file, const FileSignature& bad,
                  const std::string& reason, bool locked, AsideResult& result) {
  result = AsideResult::kChanged;
  FileLock lock;
  if (!locked) {
    if (const uint32_t code = lock.Acquire(file)) return code;
  }
  RetryCounter(st, file);
  struct stat sb;
  if (stat(file.c_str(), &sb) != 0 || !(SignatureOf(sb) == bad)) return kErrorSuccess;

  result = AsideResult::kDone;
  const std::string aside = AsideName(file);
  if (RenameCounted(st, [&] { return rename(file.c_str(), aside.c_str()); }) == 0) {
    SyncFolderOf(file);
    st.reports.push_back("registry hive " + file + " is damaged (" + reason + "); kept as " +
                         aside + ", the hive starts empty");
    SetEmpty(st, FileSignature{}, false);
    return kErrorSuccess;
  }
  st.reports.push_back("registry hive " + file + " is damaged (" + reason +
                       ") and could not be set aside (" + std::strerror(errno) +
                       "); its keys read as missing and writes are refused");
  SetEmpty(st, bad, true);
  return kErrorSuccess;
}

// Reads the whole of a regular hive file into `text` and gives its signature.
// Every failure is the file being out of reach right now, never damage.
uint32_t ReadHiveFile(const std::string& file, std::string& text, FileSignature& sig) {
  // Closed also when the text outgrows the memory (bad_alloc goes on up).
  const UniqueFd fd(OpenExisting(file.c_str(), O_RDONLY));
  if (!fd) {
    // A folder, pipe, device or link in the hive's place.
    if (errno == EISDIR || errno == ENXIO || errno == ELOOP) return kErrorAccessDenied;
    return LastErrno();
  }
  struct stat sb;
  if (fstat(fd.get(), &sb) != 0) return LastErrno();
  if (!ReadWholeFile(fd.get(), text)) return LastErrno();
  sig = SignatureOf(sb);
  return kErrorSuccess;
}

// Brings the cache of `st` up to date with `file`: nothing but a look at the
// change counter when it stands still, one stat when it moved, a full read
// and parse when the file changed. Only content that does not parse is set
// aside; a file that cannot be looked at, opened or read right now fails the
// call with its error and leaves the file and the cache as they are.
uint32_t Refresh(HiveState& st, const std::string& file, bool locked) {
  if (st.file != file) {
    st.file = file;
    SetEmpty(st, FileSignature{}, false);
    st.loaded = false;
    st.counter.Close();
    st.counter_tried = false;
    st.counter_valid = false;
  }
  // Writers look at the file itself: one that does not bump the counter
  // must not have its change overwritten.
  if (!locked && st.loaded && st.counter_valid && st.counter.Load(st.slot) == st.seen &&
      CoarseNowNs() - st.checked_ns < kRestatNs)
    return kErrorSuccess;

  const AsRealUser as;  // the settings are the real user's: see the header
  if (!as.ok()) return kErrorAccessDenied;
  OpenCounter(st, file);
  for (int attempt = 0; attempt < 8; ++attempt) {
    const uint64_t before = st.counter.Load(st.slot);
    struct stat sb;
    if (stat(file.c_str(), &sb) != 0) {
      if (errno != ENOENT) return LastErrno();
      if (!st.loaded || st.sig.exists) SetEmpty(st, FileSignature{}, false);
      MarkChecked(st, before);
      return kErrorSuccess;
    }
    if (st.loaded && st.sig == SignatureOf(sb)) {
      MarkChecked(st, before);
      return kErrorSuccess;
    }

    std::string text;
    FileSignature sig;
    if (const uint32_t code = ReadHiveFile(file, text, sig)) {
      if (code == kErrorFileNotFound) continue;  // set aside by another process meanwhile
      return code;
    }
    RegistryNode root;
    std::string why;
    if (ParseHive(text, root, &why)) {
      st.root = std::move(root);
      st.sig = sig;
      st.loaded = true;
      st.blocked = false;
      st.counter_tried = false;
      OpenCounter(st, file);
      MarkChecked(st, before);
      return kErrorSuccess;
    }
    AsideResult result;
    if (const uint32_t code = SetAside(st, file, sig, why, locked, result)) return code;
    if (result == AsideResult::kDone) {
      MarkChecked(st, st.seen);
      return kErrorSuccess;
    }
  }
  return kErrorAccessDenied;  // the file keeps changing under us
}

// Writes the cached tree of `st` as the new version of `file`; the caller
// holds the hive's lock.
uint32_t Persist(HiveState& st, const std::string& file) {
  const std::string text = SerializeHive(st.root);
  const std::string tmp = file + ".tmp";
  // A new file of our own. Whatever is under the name (a killed writer's
  // file, a link) is removed, never written; the name is only tried twice,
  // so one who keeps planting there fails the write and gains nothing.
  UniqueFd owned(CreateFresh(tmp.c_str(), O_WRONLY, 0600));
  if (!owned && errno == EEXIST && unlink(tmp.c_str()) == 0)
    owned.reset(CreateFresh(tmp.c_str(), O_WRONLY, 0600));
  if (!owned) return LastErrno();
  const int fd = owned.get();
  const auto fail = [&]() {
    const uint32_t code = LastErrno();
    owned.reset();
    unlink(tmp.c_str());
    return code;
  };
  if (!WriteWholeFile(fd, text)) return fail();
  // The replaced file's rights for its owner; none for others, which earlier
  // builds gave.
  if (st.sig.exists && fchmod(fd, st.sig.mode & 0700) != 0) return fail();

  // A modification time strictly after the replaced file's, so that no two
  // versions share a signature even when an inode number is reused.
  struct timespec now {};
  clock_gettime(CLOCK_REALTIME, &now);
  int64_t mtime = int64_t{now.tv_sec} * 1000000000 + now.tv_nsec;
  if (st.sig.exists && mtime <= st.sig.mtime_ns) mtime = st.sig.mtime_ns + 1;
  struct timespec times[2];
  times[0] = now;
  times[1].tv_sec = static_cast<time_t>(mtime / 1000000000);
  times[1].tv_nsec = static_cast<long>(mtime % 1000000000);
  if (futimens(fd, times) != 0) return fail();
  if (fsync(fd) != 0) return fail();
  struct stat sb;
  if (fstat(fd, &sb) != 0) return fail();
  if (const int err = owned.Close()) {
    unlink(tmp.c_str());
    return ErrorFromErrno(err);
  }
  if (RenameCounted(st, [&] { return rename(tmp.c_str(), file.c_str()); }) != 0) {
    const uint32_t code = LastErrno();
    unlink(tmp.c_str());
    return code;
  }
  SyncFolderOf(file);
  st.sig = SignatureOf(sb);
  MarkChecked(st, st.counter.Load(st.slot));  // no one else bumps it while we hold the lock
  return kErrorSuccess;
}

// Sends the diagnostics gathered under the hive's mutex, after releasing it.
void SendReports(std::unique_lock<std::mutex>& guard, HiveState& st) {
  if (st.reports.empty()) return;
  std::vector<std::string> reports;
  reports.swap(st.reports);
  guard.unlock();
  for (const std::string& message : reports) Emit(message);
}

// Runs `look(const RegistryNode& root)` on the up-to-date hive.
template <typename Look>
uint32_t Inspect(RegistryHive hive, Look&& look) {
  const std::string file = RegistryHiveFile(hive);
  HiveState& st = StateOf(hive);
  std::unique_lock<std::mutex> guard(st.mutex);
  uint32_t code = kErrorSuccess;
  try {
    code = Refresh(st, file, false);
    // Neither step changes the cache once it has failed to allocate.
    if (code == kErrorSuccess) code = look(static_cast<const RegistryNode&>(st.root));
  } catch (const std::bad_alloc&) {
    code = kErrorNotEnoughMemory;
  }
  SendReports(guard, st);
  return code;
}

template <typename Change>
uint32_t MutateLocked(HiveState& st, const std::string& file, Change& change) {
  // The user's settings are for the user alone: missing folders are made
  // 0700, and a folder of another owner is refused (5).
  if (const int err = MakePrivateFolders(FolderOf(file))) return ErrorFromErrno(err);
  FileLock lock;
  if (const uint32_t code = lock.Acquire(file)) return code;
  RetryCounter(st, file);
  // A hive that cannot be read now is never replaced: the write fails.
  if (const uint32_t code = Refresh(st, file, true)) return code;
  if (st.blocked) return kErrorAccessDenied;
  if (st.sig.exists && access(file.c_str(), W_OK) != 0) return LastErrno();
  bool changed = false;
  if (const uint32_t code = change(st.root, changed)) return code;
  if (!changed) return kErrorSuccess;
  const uint32_t code = Persist(st, file);
  if (code != kErrorSuccess) st.loaded = false;  // the file still holds the old state
  return code;
}

// Runs `change(RegistryNode& root, bool& changed)` on the up-to-date hive under
// the hive's file lock and writes the hive when it reports a change. `change`
// must leave the tree alone when it fails.
template <typename Change>
uint32_t Mutate(RegistryHive hive, Change&& change) {
  const std::string file = RegistryHiveFile(hive);
  HiveState& st = StateOf(hive);
  std::unique_lock<std::mutex> guard(st.mutex);
  uint32_t code = kErrorSuccess;
  try {
    const AsRealUser as;  // refused before anything is made without it
    code = as.ok() ? MutateLocked(st, file, change) : kErrorAccessDenied;
  } catch (const std::bad_alloc&) {
    st.loaded = false;  // `change` may have been cut short
    code = kErrorNotEnoughMemory;
  }
  SendReports(guard, st);
  return code;
}

// Whether the hive may be written at all: a handle asking for write rights on
// a hive whose file or folder is read-only is refused, as the platform refuses
// such an open.
uint32_t CheckWritable(RegistryHive hive) {
  const std::string file = RegistryHiveFile(hive);
  const std::string folder = FolderOf(file);
  // As the user: a program of another owner may not even see the user's
  // folder, and would then grant the write.
  const AsRealUser as;
  if (!as.ok()) return kErrorAccessDenied;
  struct stat sb;
  if (stat(folder.c_str(), &sb) == 0 && access(folder.c_str(), W_OK) != 0) return LastErrno();
  if (stat(file.c_str(), &sb) == 0 && access(file.c_str(), W_OK) != 0) return LastErrno();
  return kErrorSuccess;
}

// The full path of `sub_key` below `parent`, or an error code.
uint32_t JoinPath(HKEY parent, std::string_view sub_key, std::vector<std::string>& full) {
  std::vector<std::string> parts;
  if (!SplitRegistryPath(sub_key, parts)) return kErrorBadKey;
  if (parent->parts.size() + parts.size() > kMaxRegistryDepth) return kErrorBadKey;
  full = parent->parts;
  full.insert(full.end(), std::make_move_iterator(parts.begin()),
              std::make_move_iterator(parts.end()));
  return kErrorSuccess;
}

HKEY NewHandle(RegistryHive hive, std::vector<std::string> parts, REGSAM access) {
  return new RegistryKey{hive, std::move(parts), access, false};
}

}  // namespace

std::string RegistryFolder() {
  if (const char* dir = std::getenv("ZOR_REGISTRY_DIR"); dir != nullptr && dir[0] != '\0')
    return dir;
  if (const char* xdg = std::getenv("XDG_CONFIG_HOME"); xdg != nullptr && xdg[0] == '/')
    return std::string(xdg) + "/zor-registry";
  const std::string home = HomeFolder();
  if (!home.empty()) return home + "/.config/zor-registry";
  return "/tmp/zor-registry-" + std::to_string(getuid());
}

std::string RegistryHiveFile(RegistryHive hive) {
  std::string folder = RegistryFolder();
  while (folder.size() > 1 && folder.back() == '/') folder.pop_back();
  return folder + "/" + HiveFileName(hive);
}

uint32_t NotifyRegistryHiveChanged(RegistryHive hive) {
  const std::string file = RegistryHiveFile(hive);
  HiveState& st = StateOf(hive);
  std::lock_guard<std::mutex> guard(st.mutex);
  const AsRealUser as;
  if (!as.ok()) return Done(kErrorAccessDenied);
  FileLock lock;
  if (const uint32_t code = lock.Acquire(file)) return Done(code);
  if (st.file == file) {
    RetryCounter(st, file);
    RenameCounted(st, [] { return 0; });
    st.counter_valid = false;  // this process looks again as well
  } else {
    RegistryChangeCounter counter;
    if (!file.empty() && file[0] == '/' && counter.Open(FolderOf(file)))
      counter.EndWrite(st.slot, counter.BeginWrite(st.slot));
  }
  return Done(kErrorSuccess);
}

void SetRegistryDiagnosticSink(RegistryDiagnosticSink sink) noexcept { g_sink.store(sink); }
RegistryDiagnosticSink GetRegistryDiagnosticSink() noexcept { return g_sink.load(); }

uint32_t RegCreateKeyEx(HKEY parent, std::string_view sub_key, REGSAM access, HKEY* result,
                        bool* created) {
  if (result == nullptr) return Done(kErrorInvalidParameter);
  *result = nullptr;
  if (parent == nullptr) return Done(kErrorInvalidHandle);
  std::vector<std::string> full;
  if (const uint32_t code = JoinPath(parent, sub_key, full)) return Done(code);

  bool exists = false;
  uint32_t code = Inspect(parent->hive, [&](const RegistryNode& root) {
    if (root.Find(parent->parts) == nullptr) return kRegistryErrorKeyDeleted;
    exists = root.Find(full) != nullptr;
    return kErrorSuccess;
  });
  if (code != kErrorSuccess) return Done(code);

  bool made = false;
  if (!exists) {
    if ((parent->access & KEY_CREATE_SUB_KEY) == 0) return Done(kErrorAccessDenied);
    const std::span<const std::string> below(full.begin() + static_cast<std::ptrdiff_t>(parent->parts.size()),
                                             full.end());
    code = Mutate(parent->hive, [&](RegistryNode& root, bool& changed) {
      RegistryNode* node = root.Find(parent->parts);
      if (node == nullptr) return kRegistryErrorKeyDeleted;
      for (const std::string& part : below) {
        if (node->FindSubKey(part) == nullptr) changed = true;
        node = &node->AddSubKey(part);
      }
      made = changed;
      return kErrorSuccess;
    });
    if (code != kErrorSuccess) return Done(code);
  } else if ((access & kWriteRights) != 0) {
    if (const uint32_t denied = CheckWritable(parent->hive)) return Done(denied);
  }
  if (created != nullptr) *created = made;
  *result = NewHandle(parent->hive, std::move(full), access);
  return Done(kErrorSuccess);
}

uint32_t RegOpenKeyEx(HKEY parent, std::string_view sub_key, REGSAM access, HKEY* result) {
  if (result == nullptr) return Done(kErrorInvalidParameter);
  *result = nullptr;
  if (parent == nullptr) return Done(kErrorInvalidHandle);
  std::vector<std::string> full;
  if (const uint32_t code = JoinPath(parent, sub_key, full)) return Done(code);
  const uint32_t code = Inspect(parent->hive, [&](const RegistryNode& root) {
    if (root.Find(parent->parts) == nullptr) return kRegistryErrorKeyDeleted;
    return root.Find(full) != nullptr ? kErrorSuccess : kErrorFileNotFound;
  });
  if (code != kErrorSuccess) return Done(code);
  if ((access & kWriteRights) != 0) {
    if (const uint32_t denied = CheckWritable(parent->hive)) return Done(denied);
  }
  *result = NewHandle(parent->hive, std::move(full), access);
  return Done(kErrorSuccess);
}

uint32_t RegCloseKey(HKEY key) {
  if (key == nullptr) return Done(kErrorInvalidHandle);
  if (!key->predefined) delete key;
  return Done(kErrorSuccess);
}

uint32_t RegSetValueEx(HKEY key, std::string_view name, uint32_t type, const void* data,
                       uint32_t size) {
  if (key == nullptr) return Done(kErrorInvalidHandle);
  if ((key->access & KEY_SET_VALUE) == 0) return Done(kErrorAccessDenied);
  if (name.size() > kMaxRegistryValueName || (data == nullptr && size != 0))
    return Done(kErrorInvalidParameter);
  const std::span<const uint8_t> bytes(static_cast<const uint8_t*>(data), size);
  return Done(Mutate(key->hive, [&](RegistryNode& root, bool& changed) {
    RegistryNode* node = root.Find(key->parts);
    if (node == nullptr) return kRegistryErrorKeyDeleted;
    changed = node->SetValue(name, type, bytes);
    return kErrorSuccess;
  }));
}

namespace {

// Copies a stored value out as RegQueryValueEx does.
uint32_t CopyOut(const RegistryValue& value, uint32_t* type, void* data, uint32_t* size) {
  if (type != nullptr) *type = value.type;
  const auto stored = static_cast<uint32_t>(value.data.size());
  if (data != nullptr) {
    if (*size < stored) {
      *size = stored;
      return kErrorMoreData;
    }
    if (stored != 0) std::memcpy(data, value.data.data(), stored);
  }
  if (size != nullptr) *size = stored;
  return kErrorSuccess;
}

}  // namespace

uint32_t RegQueryValueEx(HKEY key, std::string_view name, uint32_t* type, void* data,
                         uint32_t* size) {
  if (key == nullptr) return Done(kErrorInvalidHandle);
  if ((key->access & KEY_QUERY_VALUE) == 0) return Done(kErrorAccessDenied);
  if (data != nullptr && size == nullptr) return Done(kErrorInvalidParameter);
  return Done(Inspect(key->hive, [&](const RegistryNode& root) {
    const RegistryNode* node = root.Find(key->parts);
    if (node == nullptr) return kRegistryErrorKeyDeleted;
    const RegistryValue* value = node->FindValue(name);
    if (value == nullptr) return kErrorFileNotFound;
    return CopyOut(*value, type, data, size);
  }));
}

uint32_t RegEnumValue(HKEY key, uint32_t index, std::string* name, uint32_t* type, void* data,
                      uint32_t* size) {
  if (key == nullptr) return Done(kErrorInvalidHandle);
  if ((key->access & KEY_QUERY_VALUE) == 0) return Done(kErrorAccessDenied);
  if (data != nullptr && size == nullptr) return Done(kErrorInvalidParameter);
  return Done(Inspect(key->hive, [&](const RegistryNode& root) {
    const RegistryNode* node = root.Find(key->parts);
    if (node == nullptr) return kRegistryErrorKeyDeleted;
    if (index >= node->values.size()) return kErrorNoMoreItems;
    const RegistryValue& value = node->values[index];
    if (name != nullptr) *name = value.name;
    return CopyOut(value, type, data, size);
  }));
}

uint32_t RegEnumKeyEx(HKEY key, uint32_t index, std::string* name) {
  if (key == nullptr) return Done(kErrorInvalidHandle);
  if ((key->access & KEY_ENUMERATE_SUB_KEYS) == 0) return Done(kErrorAccessDenied);
  return Done(Inspect(key->hive, [&](const RegistryNode& root) {
    const RegistryNode* node = root.Find(key->parts);
    if (node == nullptr) return kRegistryErrorKeyDeleted;
    if (index >= node->subkeys.size()) return kErrorNoMoreItems;
    if (name != nullptr) *name = node->subkeys[index].name;
    return kErrorSuccess;
  }));
}

uint32_t RegDeleteKey(HKEY parent, std::string_view sub_key) {
  if (parent == nullptr) return Done(kErrorInvalidHandle);
  std::vector<std::string> full;
  if (const uint32_t code = JoinPath(parent, sub_key, full)) return Done(code);
  if (full.empty()) return Done(kErrorAccessDenied);
  const std::span<const std::string> above(full.data(), full.size() - 1);
  return Done(Mutate(parent->hive, [&](RegistryNode& root, bool& changed) {
    RegistryNode* owner = root.Find(above);
    RegistryNode* target = owner != nullptr ? owner->FindSubKey(full.back()) : nullptr;
    if (target == nullptr) return kErrorFileNotFound;
    if (!target->subkeys.empty()) return kErrorAccessDenied;
    changed = owner->RemoveSubKey(full.back());
    return kErrorSuccess;
  }));
}

uint32_t RegDeleteValue(HKEY key, std::string_view name) {
  if (key == nullptr) return Done(kErrorInvalidHandle);
  if ((key->access & KEY_SET_VALUE) == 0) return Done(kErrorAccessDenied);
  return Done(Mutate(key->hive, [&](RegistryNode& root, bool& changed) {
    RegistryNode* node = root.Find(key->parts);
    if (node == nullptr) return kRegistryErrorKeyDeleted;
    if (!node->RemoveValue(name)) return kErrorFileNotFound;
    changed = true;
    return kErrorSuccess;
  }));
}

bool RegKeysEqual(HKEY a, HKEY b) noexcept {
  if (a == nullptr || b == nullptr) return false;
  if (a->hive != b->hive || a->parts.size() != b->parts.size()) return false;
  for (std::size_t i = 0; i < a->parts.size(); ++i) {
    if (!RegistryNamesEqual(a->parts[i], b->parts[i])) return false;
  }
  return true;
}

}  // namespace zor::platform
