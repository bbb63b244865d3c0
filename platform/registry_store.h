// The registry store: keys and typed values kept in one text file per hive
// (current user, local machine), with the calls and result codes of the
// Windows registry.
//
//   using namespace zor::platform;
//   HKEY key = nullptr;
//   if (RegCreateKeyEx(HKEY_CURRENT_USER, "Software\\Zor\\Tridu\\8.0", KEY_READ | KEY_WRITE,
//                      &key) == kErrorSuccess) {
//     const uint32_t n = 42;
//     RegSetValueEx(key, "Count", REG_DWORD, &n, sizeof n);
//     uint32_t type = 0, back = 0, size = sizeof back;
//     RegQueryValueEx(key, "count", &type, &back, &size);   // names ignore case
//     RegCloseKey(key);
//   }
//
// The hive files live in the folder named by the environment variable
// ZOR_REGISTRY_DIR, else $XDG_CONFIG_HOME/zor-registry, else
// ~/.config/zor-registry; the variable is read on every call. Their text form
// is described in platform/registry_file_format.h.
//
// Every call returns a code of the platform's error space (platform/
// error_text.h) and also leaves it as the thread's last error: 0 success,
// 2 not found, 5 access denied (the handle lacks the right, the hive file or
// folder is not writable, or a key with sub-keys is to be deleted), 6 null
// handle, 87 bad argument, 234 buffer too small, 259 no more items, 1010 bad
// key path, 1018 the handle's key was deleted; file-system failures are
// translated from errno.
//
// A handle names its key by hive and path: a handle whose key was deleted
// fails with 1018 until a key of that path exists again. Handles are not
// shared state; one handle may be used by several threads at once.
//
// Writes are atomic and survive a crash: under an exclusive flock on
// "<hive>.lock" the writer re-reads the file if it changed, applies the change,
// writes "<hive>.tmp", fsyncs it, renames it over the hive and fsyncs the
// folder. Each new file gets a modification time later than the one it
// replaces, so one stat (modification time in ns, size, inode) tells whether
// a cached copy is current. The temporary file is always made anew, and
// neither it nor the lock file nor the hive is opened through a link. The
// settings are the user's alone: missing folders are made 0700 (a folder of
// another owner refuses writes with 5), new files 0600, and a rewritten hive
// or a lock in use loses the rights for others that earlier builds gave. A
// lock or hive that is a link fails the call. A writer waits for
// another's lock about as long as an open waits for a share mode, then fails
// with 32. A set-user-id or set-group-id program reads and writes the files
// as the user running it, with that user's group, whose settings they are
// (platform/safe_files.h): it makes nothing where that user could not, and
// what it makes is that user's, so that user's own programs go on writing
// them; where it cannot take those ids it fails with 5 and makes nothing.
//
// A read skips even that stat while the folder's change counter in shared
// memory (platform/registry_change_counter.h) stands still: every writer
// bumps it before and after its rename, so another process's write is seen at
// once. While the counter is odd (a write under way, or a writer killed
// between rename and bump), or cannot be had (a relative folder, no shared
// memory, /dev/shm full), reads stat the file every time. A program that
// replaces a hive file without bumping the counter (a hand edit, an earlier
// build) is seen within a second, or at once after NotifyRegistryHiveChanged.
// Writes always stat the file under the lock. A process of the same user that
// cuts the counter's block short kills every process using it with SIGBUS at
// its next call (see registry_change_counter.h).
//
// Only a hive file whose content does not parse is damaged: it is renamed to
// "<hive>.corrupt-<UTC time>" and reported through the diagnostic sink; the
// hive then starts empty. When it cannot be moved, its keys read as missing
// and writes are refused with 5, so it is never overwritten. A hive file that
// cannot be looked at, opened or read right now (no descriptors, no memory,
// an I/O error, no permission, a folder or pipe in its place) is left alone:
// the call fails with the translated error (4, 8, 1117, 5, ...) and the
// cached copy stays as it was; a write never replaces a hive it could not
// read.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "platform/error_text.h"
#include "platform/registry_tree.h"

namespace zor::platform {

struct RegistryKey;  // an open key; see registry_store.cpp
using HKEY = RegistryKey*;
using REGSAM = uint32_t;

// The two hive roots. Closing them is harmless; they hold every right.
extern RegistryKey* const HKEY_CURRENT_USER;
extern RegistryKey* const HKEY_LOCAL_MACHINE;

// Access rights of a handle.
inline constexpr REGSAM KEY_QUERY_VALUE = 0x0001;
inline constexpr REGSAM KEY_SET_VALUE = 0x0002;
inline constexpr REGSAM KEY_CREATE_SUB_KEY = 0x0004;
inline constexpr REGSAM KEY_ENUMERATE_SUB_KEYS = 0x0008;
inline constexpr REGSAM KEY_NOTIFY = 0x0010;
inline constexpr REGSAM KEY_CREATE_LINK = 0x0020;
inline constexpr REGSAM KEY_DELETE = 0x00010000;
inline constexpr REGSAM KEY_READ_CONTROL = 0x00020000;
inline constexpr REGSAM KEY_READ = 0x00020019;
inline constexpr REGSAM KEY_WRITE = 0x00020006;
inline constexpr REGSAM KEY_ALL_ACCESS = 0x000F003F;

// The code of a call through a handle whose key no longer exists.
inline constexpr uint32_t kRegistryErrorKeyDeleted = 1018;

// Opens `sub_key` below `parent`, creating it and every missing key on its way
// (which needs KEY_CREATE_SUB_KEY on `parent`). `created`, when given, tells
// whether the key itself was new. An empty `sub_key` opens `parent` again.
uint32_t RegCreateKeyEx(HKEY parent, std::string_view sub_key, REGSAM access, HKEY* result,
                        bool* created = nullptr);
// Opens an existing key; 2 when it does not exist.
uint32_t RegOpenKeyEx(HKEY parent, std::string_view sub_key, REGSAM access, HKEY* result);
uint32_t RegCloseKey(HKEY key);

// Stores a value with its type and exact bytes (KEY_SET_VALUE). The value
// named "" is the key's default value.
uint32_t RegSetValueEx(HKEY key, std::string_view name, uint32_t type, const void* data,
                       uint32_t size);
// Reads a value (KEY_QUERY_VALUE). `type` and `size` may be null. With `data`
// null only the type and size are reported. When *size is smaller than the
// stored value, returns 234, sets *size to the stored size and leaves `data`
// untouched; else copies the value and sets *size to its size.
uint32_t RegQueryValueEx(HKEY key, std::string_view name, uint32_t* type, void* data,
                         uint32_t* size);
// The value at `index` in name order (KEY_QUERY_VALUE): its name always, its
// type and data as RegQueryValueEx gives them; 259 past the last value.
uint32_t RegEnumValue(HKEY key, uint32_t index, std::string* name, uint32_t* type, void* data,
                      uint32_t* size);
// The name of the sub-key at `index` in name order (KEY_ENUMERATE_SUB_KEYS);
// 259 past the last one.
uint32_t RegEnumKeyEx(HKEY key, uint32_t index, std::string* name);

// Deletes `sub_key` below `parent`; refused with 5 while it has sub-keys (and
// for a hive root). An empty `sub_key` deletes the key `parent` names.
uint32_t RegDeleteKey(HKEY parent, std::string_view sub_key);
// Deletes one value (KEY_SET_VALUE); 2 when there is none of that name.
uint32_t RegDeleteValue(HKEY key, std::string_view name);

// True when both handles name the same key of the same hive.
bool RegKeysEqual(HKEY a, HKEY b) noexcept;

enum class RegistryHive { kCurrentUser, kLocalMachine };

// The folder that holds the hive files, and the file of one hive.
std::string RegistryFolder();
std::string RegistryHiveFile(RegistryHive hive);

// Tells readers in every process that `hive`'s file was replaced other than
// through these calls, so that their next read looks at it again.
uint32_t NotifyRegistryHiveChanged(RegistryHive hive);

// Receives one line per problem the store finds on its own (a damaged hive
// file set aside, one that could not be). The store lies beneath the message
// log, so the settings layer installs a sink that forwards to it; without one
// the line goes to stderr. Null restores that default. The sink is called
// with no lock of the store held, so it may itself read settings.
using RegistryDiagnosticSink = void (*)(const std::string& message);
void SetRegistryDiagnosticSink(RegistryDiagnosticSink sink) noexcept;
RegistryDiagnosticSink GetRegistryDiagnosticSink() noexcept;

}  // namespace zor::platform
