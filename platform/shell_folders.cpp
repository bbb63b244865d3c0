#include "platform/shell_folders.h"

#include <sys/stat.h>

#include <cerrno>
#include <cstdlib>

#include "platform/safe_files.h"

namespace zor::platform {
namespace {

std::string Env(const char* name) {
  const char* v = std::getenv(name);
  return v && *v ? std::string(v) : std::string();
}

std::string Home() {
  std::string home = Env("HOME");
  return home.empty() ? std::string("/tmp") : home;
}

std::string WithDefault(const char* variable, std::string fallback) {
  std::string value = Env(variable);
  return value.empty() ? fallback : value;
}

bool MakeTree(const std::string& path) {
  struct stat st;
  if (::stat(path.c_str(), &st) == 0) return S_ISDIR(st.st_mode);
  const std::size_t cut = path.find_last_of('/');
  if (cut != std::string::npos && cut > 0 && !MakeTree(path.substr(0, cut))) return false;
  return ::mkdir(path.c_str(), 0777) == 0 || errno == EEXIST;
}

}  // namespace

bool GetSpecialFolder(int csidl, bool create, std::string& path) {
  if (csidl & kCsidlFlagCreate) create = true;
  std::string folder;
  switch (csidl & ~kCsidlFlagCreate) {
    case kCsidlDesktop: folder = WithDefault("ZOR_DESKTOP_DIR", Home() + "/Desktop"); break;
    case kCsidlPersonal: folder = WithDefault("ZOR_DOCUMENTS_DIR", Home() + "/Documents"); break;
    case kCsidlAppData:
      folder = WithDefault("ZOR_APPDATA_DIR", WithDefault("XDG_CONFIG_HOME", Home() + "/.config"));
      break;
    case kCsidlLocalAppData:
      folder = WithDefault("ZOR_LOCAL_APPDATA_DIR",
                           WithDefault("XDG_DATA_HOME", Home() + "/.local/share"));
      break;
    case kCsidlCommonAppData: folder = WithDefault("ZOR_COMMON_APPDATA_DIR", "/var/lib"); break;
    case kCsidlProgramFiles:
    case kCsidlProgramFilesX86: folder = WithDefault("ZOR_PROGRAM_FILES_DIR", "/opt"); break;
    case kCsidlProgramFilesCommon:
      folder = WithDefault("ZOR_COMMON_PROGRAM_FILES_DIR", "/usr/local/share");
      break;
    case kCsidlCommonDocuments: folder = WithDefault("ZOR_COMMON_DOCUMENTS_DIR", "/srv"); break;
    default: return false;
  }
  while (folder.size() > 1 && folder.back() == '/') folder.pop_back();
  // A set-user-id program makes its user's folders as that user: a folder of
  // root's in the user's tree would lock the user's own programs out of it.
  if (create) {
    const AsRealUser as;
    if (!as.ok() || !MakeTree(folder)) return false;
  }
  path = folder;
  return true;
}

std::string GetTempPath() {
  std::string dir = WithDefault("TMPDIR", "/tmp");
  if (dir.back() != '/') dir += '/';
  return dir;
}

}  // namespace zor::platform
