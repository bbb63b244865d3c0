#include "system/os/os_info.h"

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>

#include "platform/error_text.h"

OSVERSIONINFOEX& GetOsVersionInfo(OSVERSIONINFOEX& info) {
  std::memset(&info, 0, sizeof info);
  info.dwOSVersionInfoSize = sizeof info;
  if (zor::platform::GetVersionEx(info)) return info;
  info.dwOSVersionInfoSize = zor::platform::kOsVersionInfoShortSize;
  if (zor::platform::GetVersionEx(info)) return info;
  std::memset(&info, 0, sizeof info);
  return info;
}

int32_t GetWindowsVersionCode(const OSVERSIONINFOEX& info) {
  // A record the platform could not fill is all zero; its platform id 0 must
  // not read as the oldest Windows.
  if (info.dwOSVersionInfoSize == 0) return 0;
  const uint32_t major = info.dwMajorVersion;
  const uint32_t minor = info.dwMinorVersion;
  switch (info.dwPlatformId) {
    case 0:
      return 310;
    case 1:
      if (major != 4) return 0;
      if (minor == 0) return 400;
      if (minor == 10) return 410;
      if (minor == 90) return 490;
      return 0;
    case 2:
      if (major < 5) return 499;
      if (major == 5) {
        if (minor == 0) return 500;
        if (minor == 1) return 510;
        if (minor == 2) return 521;
        return 0;
      }
      return static_cast<int32_t>((major * 10 + minor) * 10 + (info.wProductType != 1 ? 1 : 0));
    default:
      return 0;
  }
}

int32_t GetCurrentWindowsVersionCode() {
  OSVERSIONINFOEX info;
  return GetWindowsVersionCode(GetOsVersionInfo(info));
}

std::string GetWindowsName(const OSVERSIONINFOEX& info) {
  switch (GetWindowsVersionCode(info)) {
    case 310: return "Windows 3.1";
    case 400: return "Windows 95";
    case 410: return "Windows 98";
    case 490: return "Windows Me";
    case 499: return "Windows NT";
    case 500: return "Windows 2000";
    case 510: return "Windows XP";
    case 521: return "Windows Server 2003";
    case 600: return "Windows Vista";
    case 601: return "Windows Server 2008";
    case 610: return "Windows 7";
    case 611: return "Windows Server 2008 R2";
    case 620: return "Windows 8";
    case 621: return "Windows Server 2012";
    case 630: return "Windows 8.1";
    case 631: return "Windows Server 2012 R2";
    case 1000: return "Windows 10";
    case 1001: return "Windows Server 2016";
    default: return "Unknown";
  }
}

std::string GetWindowsNameFromVersion(uint32_t major, uint32_t minor) {
  // Computed in 64 bits so a huge major cannot wrap below 100.
  const uint64_t number = uint64_t{major} * 10 + minor;
  switch (number) {
    case 50: return "Windows 2000";
    case 51: return "Windows XP";
    case 52: return "Windows XP 64-Bit";
    case 60: return "Windows Vista";
    case 61: return "Windows 7";
    case 62: return "Windows 8";
    case 63: return "Windows 8.1";
    default: return number < 100 ? "Windows" : "Windows 10";
  }
}

std::string FormatWindowsVersion(const OSVERSIONINFOEX& info) {
  char text[40];
  std::snprintf(text, sizeof text, "%u.%u.%u", info.dwMajorVersion, info.dwMinorVersion,
                info.dwBuildNumber);
  return text;
}

uint32_t GetNtMajorVersion(const OSVERSIONINFOEX& info) {
  return info.dwPlatformId == 2 ? info.dwMajorVersion : 0;
}

int32_t InternetExplorerVersionFromText(const std::string& version) {
  int major = 0;
  int minor = 0;
  if (std::sscanf(version.c_str(), "%d.%d", &major, &minor) < 1) return 0;
  switch (major) {
    case 4: return minor >= 71 ? 471 : 0;
    case 5: return minor >= 55 ? 550 : 500;
    case 6:
    case 7:
    case 8: return 600;
    default: return 0;
  }
}

// No browser component is installed on Linux, so there is no version text.
int32_t GetInternetExplorerVersion() { return 0; }

std::string GetEnvVariable(const std::string& name) {
  if (name.empty()) return {};
  const char* value = std::getenv(name.c_str());
  return value ? std::string(value) : std::string();
}

namespace {

std::size_t LastSeparator(const std::string& path) {
  std::size_t pos = path.find_last_of("/\\");
  if (pos == std::string::npos) pos = path.rfind(':');
  return pos;
}

std::string ExecutablePath() {
  std::string path(4096, '\0');
  for (;;) {
    ssize_t n = ::readlink("/proc/self/exe", path.data(), path.size());
    if (n < 0) return {};
    if (static_cast<std::size_t>(n) < path.size()) {
      path.resize(static_cast<std::size_t>(n));
      return path;
    }
    path.resize(path.size() * 2);
  }
}

std::vector<std::string> ProcessArguments() {
  std::ifstream in("/proc/self/cmdline", std::ios::binary);
  std::string all((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  std::vector<std::string> args;
  std::size_t start = 0;
  while (start < all.size()) {
    std::size_t end = all.find('\0', start);
    if (end == std::string::npos) end = all.size();
    args.emplace_back(all, start, end - start);
    start = end + 1;
  }
  return args;
}

}  // namespace

std::string ModulePathPart(const std::string& path, bool folderOnly) {
  if (!folderOnly) return path;
  const std::size_t pos = LastSeparator(path);
  return pos == std::string::npos ? path : path.substr(0, pos + 1);
}

std::string ModuleNamePart(const std::string& path, bool withExtension) {
  const std::size_t pos = LastSeparator(path);
  std::string name = pos == std::string::npos ? path : path.substr(pos + 1);
  if (!withExtension) {
    const std::size_t dot = name.rfind('.');
    if (dot != std::string::npos) name.erase(dot);
  }
  return name;
}

std::string GetModulePath(bool folderOnly) { return ModulePathPart(ExecutablePath(), folderOnly); }

std::string GetModuleName(bool withExtension) {
  return ModuleNamePart(ExecutablePath(), withExtension);
}

bool GetCommandLineArgs(std::vector<std::string>& out) {
  const std::vector<std::string> args = ProcessArguments();
  for (std::string arg : args) {
    std::erase(arg, '"');
    out.push_back(std::move(arg));
  }
  return !args.empty();
}

namespace {

// Arguments joined by blanks; one that is empty or holds a blank is quoted.
std::string JoinCommandLine(const std::vector<std::string>& args) {
  std::string line;
  for (const std::string& arg : args) {
    if (!line.empty()) line += ' ';
    const bool quote = arg.empty() || arg.find_first_of(" \t") != std::string::npos;
    if (quote) line += '"';
    line += arg;
    if (quote) line += '"';
  }
  return line;
}

// A line that ends in a quote and holds at least six: the text between the
// fourth-last and the third-last quote.
bool QuotedTail(const std::string& line, std::string& tail) {
  std::vector<std::size_t> quotes;
  for (std::size_t i = 0; i < line.size(); ++i)
    if (line[i] == '"') quotes.push_back(i);
  if (line.empty() || line.back() != '"' || quotes.size() < 6) return false;
  const std::size_t open = quotes[quotes.size() - 4];
  const std::size_t close = quotes[quotes.size() - 3];
  tail = line.substr(open + 1, close - open - 1);
  return true;
}

// The text from `start` on without its leading white space; "" past the end.
std::string TailFrom(const std::string& line, std::size_t start) {
  if (start >= line.size()) return {};
  const std::size_t first = line.find_first_not_of(" \t\r\n\v\f", start);
  return first == std::string::npos ? std::string() : line.substr(first);
}

}  // namespace

std::string GetCommandLineText() { return JoinCommandLine(ProcessArguments()); }

std::string CommandLineTail(const std::string& commandLine) {
  std::string tail;
  if (QuotedTail(commandLine, tail)) return tail;
  const std::size_t exe = commandLine.find(".exe");
  if (exe == std::string::npos) return {};
  return TailFrom(commandLine, exe + 5);  // ".exe" and the character after it
}

std::string CommandLineTailOfArgs(const std::vector<std::string>& args) {
  const std::string line = JoinCommandLine(args);
  std::string tail;
  if (QuotedTail(line, tail)) return tail;
  if (args.empty()) return {};
  // A Linux program file has no ".exe": the program's part of the line ends
  // with its own argument, and the character after it is skipped as the one
  // after ".exe" is.
  return TailFrom(line, JoinCommandLine({args.front()}).size() + 1);
}

std::string GetCommandLineTail() { return CommandLineTailOfArgs(ProcessArguments()); }

// Linux keeps no user-interface language of this kind; 9 is English.
uint16_t GetUserUILanguage() { return 9; }

std::string GetErrorText(uint32_t code, bool removeLineEnd) {
  if (code == 0) code = zor::platform::GetLastError();
  std::string text;
  if (!zor::platform::FormatErrorMessage(code, text)) return "Unknown error";
  if (removeLineEnd && text.size() >= 2 && text.compare(text.size() - 2, 2, "\r\n") == 0)
    text.resize(text.size() - 2);
  return text;
}
