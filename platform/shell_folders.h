// The shell's well-known folders, by their CSIDL number.
//
//   std::string docs;
//   if (zor::platform::GetSpecialFolder(zor::platform::kCsidlPersonal, false, docs)) ...
//
// Each folder has a Linux default and one environment variable that
// overrides it, so tests never touch real system folders:
//
//   CSIDL  folder                  variable                       default
//   0      desktop                 ZOR_DESKTOP_DIR                $HOME/Desktop
//   5      my documents            ZOR_DOCUMENTS_DIR              $HOME/Documents
//   26     application data        ZOR_APPDATA_DIR                $XDG_CONFIG_HOME or $HOME/.config
//   28     local application data  ZOR_LOCAL_APPDATA_DIR          $XDG_DATA_HOME or $HOME/.local/share
//   35     common application data ZOR_COMMON_APPDATA_DIR         /var/lib
//   38/42  program files           ZOR_PROGRAM_FILES_DIR          /opt
//   43     common program files    ZOR_COMMON_PROGRAM_FILES_DIR   /usr/local/share
//   46     common documents        ZOR_COMMON_DOCUMENTS_DIR       /srv
//
// The create flag (0x8000) may be added to the number, as the shell allows.
#pragma once

#include <string>

namespace zor::platform {

inline constexpr int kCsidlDesktop = 0;
inline constexpr int kCsidlPersonal = 5;
inline constexpr int kCsidlAppData = 26;
inline constexpr int kCsidlLocalAppData = 28;
inline constexpr int kCsidlCommonAppData = 35;
inline constexpr int kCsidlProgramFiles = 38;
inline constexpr int kCsidlProgramFilesX86 = 42;
inline constexpr int kCsidlProgramFilesCommon = 43;
inline constexpr int kCsidlCommonDocuments = 46;
inline constexpr int kCsidlFlagCreate = 0x8000;

// The folder's path without a trailing separator. With `create` (or the create
// flag in `csidl`) a missing folder is created with its parents. False for an
// unknown number or when the folder cannot be had.
bool GetSpecialFolder(int csidl, bool create, std::string& path);

// The temporary folder: $TMPDIR or /tmp, with a trailing '/'.
std::string GetTempPath();

}  // namespace zor::platform
