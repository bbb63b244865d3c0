#include "system/process/shell_open.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cctype>
#include <cerrno>
#include <cstdlib>
#include <string_view>

#include "platform/error_text.h"
#include "platform/path_text.h"
#include "system/process/parameter_text.h"
#include "system/process/process_helpers.h"

namespace {

constexpr const char* kDefaultWebSite = "https://www.zor.example/";
constexpr const char* kDefaultIssueTracker = "https://issues.zor.example/";

// A regular file with the execute bit that really is a program: an ELF
// image or a script with a "#!" line. On FAT, NTFS and SMB mounts every file
// carries the execute bit, and a document there must still be opened as one.
// A program we may run but not read cannot be looked into: the bit decides.
bool IsExecutableFile(const std::string& path) {
  struct stat info {};
  if (::stat(path.c_str(), &info) != 0 || !S_ISREG(info.st_mode) ||
      ::access(path.c_str(), X_OK) != 0)
    return false;
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
  if (fd < 0) return errno == EACCES;
  unsigned char head[4] = {};
  ssize_t got;
  do {
    got = ::read(fd, head, sizeof head);
  } while (got < 0 && errno == EINTR);
  ::close(fd);
  if (got >= 4 && head[0] == 0x7F && head[1] == 'E' && head[2] == 'L' && head[3] == 'F')
    return true;
  return got >= 2 && head[0] == '#' && head[1] == '!';
}

// The program `name` stands for, or "" when it is not one.
std::string FindProgram(const std::string& name) {
  if (name.find('/') != std::string::npos) return IsExecutableFile(name) ? name : std::string();
  const char* path = std::getenv("PATH");
  std::string_view folders = path != nullptr ? path : "";
  while (!folders.empty()) {
    const std::size_t colon = folders.find(':');
    std::string folder(folders.substr(0, colon));
    folders = colon == std::string_view::npos ? std::string_view() : folders.substr(colon + 1);
    if (folder.empty()) continue;  // the current folder is not searched
    const std::string candidate = folder + "/" + name;
    if (IsExecutableFile(candidate)) return candidate;
  }
  return {};
}

// "scheme:..." with a scheme of two or more letters, digits, '+', '-', '.'.
bool IsAddress(const std::string& text) {
  const std::size_t colon = text.find(':');
  if (colon == std::string::npos || colon < 2) return false;
  if (!std::isalpha(static_cast<unsigned char>(text[0]))) return false;
  for (std::size_t i = 1; i < colon; ++i) {
    const auto c = static_cast<unsigned char>(text[i]);
    if (!std::isalnum(c) && c != '+' && c != '-' && c != '.') return false;
  }
  return true;
}

std::string FromEnvironment(const char* name, const char* fallback) {
  const char* value = std::getenv(name);
  return value != nullptr && *value != '\0' ? value : fallback;
}

}  // namespace

ProcessHandle ShellOpen(const std::string& file, const std::string& parameters) {
  if (file.empty()) {
    zor::platform::SetLastError(zor::platform::kErrorFileNotFound);
    return {};
  }
  const bool address = IsAddress(file);
  const std::string native = address ? file : zor::platform::ToNativePath(file);
  const std::string program = address ? std::string() : FindProgram(native);
  if (!program.empty()) return StartProcessWithArgs(program, SplitParameters(parameters), nullptr);
  struct stat info {};
  if (!address && ::stat(native.c_str(), &info) != 0) {
    zor::platform::SetLastError(zor::platform::kErrorFileNotFound);
    return {};
  }
  const std::string opener = FindProgram("xdg-open");
  if (opener.empty()) {
    zor::platform::SetLastError(zor::platform::kErrorFileNotFound);
    return {};
  }
  // A leading '-' would read as one of the opener's options.
  const std::string target = native[0] == '-' ? "./" + native : native;
  return StartProcessWithArgs(opener, {target}, nullptr);
}

ProcessHandle ShellOpenHidden(const std::string& file, const std::string& parameters) {
  return ShellOpen(ExpandEnvironmentText(file), ExpandEnvironmentText(parameters));
}

std::string MakerWebSiteAddress() { return FromEnvironment("ZOR_MAKER_WEB_SITE", kDefaultWebSite); }

std::string IssueTrackerAddress() {
  return FromEnvironment("ZOR_ISSUE_TRACKER", kDefaultIssueTracker);
}

void OpenMakerWebSite() { ShellOpen(MakerWebSiteAddress(), ""); }

void OpenIssueTracker() { ShellOpen(IssueTrackerAddress(), ""); }
