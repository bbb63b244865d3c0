#include "core/log/logger.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <algorithm>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <iostream>
#include <mutex>
#include <new>
#include <string_view>
#include <utility>

#include "core/text/path_utils.h"
#include "core/text/string_helpers.h"
#include "core/text/utf.h"
#include "core/time/zor_time.h"
#include "platform/message_sink.h"
#include "platform/safe_files.h"

namespace {

constexpr char kStartBanner[] = "===================== Logging Started ";
constexpr char kStartBannerEnd[] = " ==================";
constexpr char kStopBanner[] = "===================== Logging Stopped ";
constexpr char kStopBannerEnd[] = " ======================";
// Nothing here may need a destructor: the log closes after static destructors.
constexpr std::size_t kRuleWidth = 80;

// Row of the level tables: 0..3 as they stand, everything else Debug.
int LevelRow(LogLevel level) {
  const auto value = static_cast<int32_t>(level);
  return value >= 0 && value <= 3 ? value : 4;
}

constexpr const char* kTags[] = {"INFO   : ", "WARNING: ", "ERROR  : ", "FATAL  : ", "DEBUG  : "};
constexpr const char* kCaptionWords[] = {"Info", "Warning", "Error", "Fatal", "Debug"};
constexpr uint32_t kIcons[] = {
    zor::platform::MB_ICONINFORMATION, zor::platform::MB_ICONWARNING,
    zor::platform::MB_ICONERROR, zor::platform::MB_ICONERROR,
    zor::platform::MB_ICONINFORMATION,
};

// Length of the well-formed UTF-8 sequence that starts at `i`; 0 when the
// byte there starts none.
std::size_t Utf8SequenceLength(std::string_view s, std::size_t i) {
  const auto b0 = static_cast<unsigned char>(s[i]);
  if (b0 < 0x80) return 1;
  std::size_t n = 0;
  unsigned char lo = 0x80;
  unsigned char hi = 0xBF;
  if (b0 >= 0xC2 && b0 <= 0xDF) {
    n = 2;
  } else if (b0 >= 0xE0 && b0 <= 0xEF) {
    n = 3;
    if (b0 == 0xE0) lo = 0xA0;  // no overlong forms
    if (b0 == 0xED) hi = 0x9F;  // no surrogates
  } else if (b0 >= 0xF0 && b0 <= 0xF4) {
    n = 4;
    if (b0 == 0xF0) lo = 0x90;
    if (b0 == 0xF4) hi = 0x8F;  // nothing above U+10FFFF
  } else {
    return 0;
  }
  if (s.size() - i < n) return 0;
  const auto b1 = static_cast<unsigned char>(s[i + 1]);
  if (b1 < lo || b1 > hi) return 0;
  for (std::size_t k = 2; k < n; ++k) {
    if ((static_cast<unsigned char>(s[i + k]) & 0xC0) != 0x80) return 0;
  }
  return n;
}

// Calls `piece` with each non-empty piece of a message, in order. The byte
// 0xA6 (the broken bar of the older 8-bit code page) splits where it stands
// alone; inside UTF-8 it is the tail of a character ("æ" is C3 A6) and
// stays, except that the UTF-8 broken bar C2 A6 is itself a separator. A
// message without one splits at '|' instead.
template <typename Piece>
void ForEachPiece(std::string_view text, Piece piece) {
  std::size_t start = 0;
  auto cut = [&](std::size_t pos, std::size_t len) {
    if (pos > start) piece(text.substr(start, pos - start));
    start = pos + len;
  };
  bool brokenBar = false;
  if (text.find('\xA6') != std::string_view::npos) {
    for (std::size_t i = 0; i < text.size();) {
      const std::size_t n = Utf8SequenceLength(text, i);
      if (n == 2 && text[i] == '\xC2' && text[i + 1] == '\xA6') {
        cut(i, 2);
        brokenBar = true;
      } else if (n == 0 && text[i] == '\xA6') {
        cut(i, 1);
        brokenBar = true;
      }
      i += n == 0 ? 1 : n;
    }
  }
  if (!brokenBar) {
    for (std::size_t i = text.find('|'); i != std::string_view::npos; i = text.find('|', i + 1)) {
      cut(i, 1);
    }
  }
  if (text.size() > start) piece(text.substr(start));
}

// Writes `value` as `width` decimal digits (zero-padded; a value too wide
// for them keeps its low digits) at `out`; returns the end.
char* PutDigits(char* out, uint32_t value, int width) {
  for (int i = width - 1; i >= 0; --i) {
    out[i] = static_cast<char>('0' + value % 10);
    value /= 10;
  }
  return out + width;
}

// "dd/mm/yyyy hh:mm:ss[.f]" into `out` (at least 64 bytes); its length.
// Written digit by digit: it is on every line of the log.
std::size_t WriteStamp(const CZORTime& now, int decimals, char* out, std::size_t size) {
  auto invalid = [&] { return static_cast<std::size_t>(std::snprintf(out, size, "Invalid")); };
  if (!now.IsValid()) return invalid();
  int year = 0, month = 0, day = 0, dayOfWeek = 0, hour = 0, minute = 0, second = 0;
  // The digits of the second shown, and their value.
  int width = decimals;
  int fraction = 0;
  if (decimals > 3) {
    // Microseconds are cut, never rounded up, so the date is the value's own;
    // more than six decimals show all six.
    int us = 0;
    if (!now.GetFieldsUs(year, month, day, dayOfWeek, hour, minute, second, us)) return invalid();
    width = std::min(decimals, 6);
    fraction = width == 4 ? us / 100 : width == 5 ? us / 10 : us;
  } else {
    int ms = 0;
    if (!now.GetFieldsMs(year, month, day, dayOfWeek, hour, minute, second, ms)) return invalid();
    fraction = decimals == 1 ? ms / 100 : decimals == 2 ? ms / 10 : ms;
  }
  if (year < 0 || year > 9999) {
    // Outside four digits the general printer keeps the sign and every digit.
    int n = 0;
    if (width >= 1) {
      n = std::snprintf(out, size, "%02d/%02d/%04d %02d:%02d:%02d.%0*d", day, month, year, hour,
                        minute, second, width, fraction);
    } else {
      n = std::snprintf(out, size, "%02d/%02d/%04d %02d:%02d:%02d", day, month, year, hour,
                        minute, second);
    }
    return n < 0 ? 0 : std::min(static_cast<std::size_t>(n), size - 1);
  }
  char* p = out;
  p = PutDigits(p, static_cast<uint32_t>(day), 2);
  *p++ = '/';
  p = PutDigits(p, static_cast<uint32_t>(month), 2);
  *p++ = '/';
  p = PutDigits(p, static_cast<uint32_t>(year), 4);
  *p++ = ' ';
  p = PutDigits(p, static_cast<uint32_t>(hour), 2);
  *p++ = ':';
  p = PutDigits(p, static_cast<uint32_t>(minute), 2);
  *p++ = ':';
  p = PutDigits(p, static_cast<uint32_t>(second), 2);
  if (width >= 1) {
    *p++ = '.';
    p = PutDigits(p, static_cast<uint32_t>(fraction), width);
  }
  *p = '\0';
  return static_cast<std::size_t>(p - out);
}

// The one log lives in storage that is never destroyed, so it can be used
// from any static destructor; the stop banner is written by a destructor
// function, which runs after the static destructors of the program.
alignas(CLogger) unsigned char g_storage[sizeof(CLogger)];
CLogger* g_instance = nullptr;

__attribute__((destructor)) void CloseLogAtExit() {
  if (g_instance != nullptr) g_instance->Close();
}

}  // namespace

namespace {
// The settings are read by every logging thread and may be changed by any:
// each is one atomic word.
template <typename T>
std::atomic_ref<T> Ref(T& field) {
  return std::atomic_ref<T>(field);
}
template <typename T>
T Load(const T& field) {
  return std::atomic_ref<T>(const_cast<T&>(field)).load(std::memory_order_relaxed);
}
template <typename T>
void Store(T& field, T value) {
  std::atomic_ref<T>(field).store(value, std::memory_order_relaxed);
}
}  // namespace

// ---- CLogger --------------------------------------------------------------

CLogger::CLogger() = default;

CLogger::~CLogger() { Close(); }

CLogger& CLogger::Instance() {
  static CLogger* const instance = g_instance = new (g_storage) CLogger();
  return *instance;
}

CZORTime CLogger::Now() const {
  CZORTime now;
  if (Load(m_LocalTime)) {
    now.SetNowLocal();
  } else {
    now.SetNowUtc();
  }
  return now;
}

void CLogger::Open(const std::string& path, bool append) {
  const std::lock_guard<std::mutex> lock(m_WriteLock);
  OpenLocked(path, append);
}

void CLogger::Close() {
  const std::lock_guard<std::mutex> lock(m_WriteLock);
  CloseLocked();
}

void CLogger::Reopen(const std::string& path, bool append) {
  const std::lock_guard<std::mutex> lock(m_WriteLock);
  CloseLocked();
  OpenLocked(path, append);
}

// Opens the log file as the user running the program, whose path it is
// (a set-user-id program writes nothing its user could not), never through
// a final link (one planted under the name would point the program at any
// file): an existing regular file or device as it is, else a new file. The
// stream then opens that very file through the descriptor's entry under
// /proc, never the name again; a regular file is cut through the descriptor
// unless appended to. No file when any step fails.
void CLogger::OpenFileAsUser(const std::string& path, bool append) {
  using namespace zor::platform;
  const AsRealUser as;
  if (!as.ok()) return;
  const std::string parent = PathParent(path);
  if (!parent.empty() && !IsDirectory(parent) && !MakeDirectory(parent)) return;
  const std::string native = ToNativePath(path);
  // Two programs starting on one new log race between the two opens: the
  // loser of the create finds the winner's file at the next try.
  UniqueFd fd;
  for (int attempt = 0; attempt < 3 && !fd; ++attempt) {
    fd.reset(OpenExisting(native.c_str(), O_WRONLY, /*allowDevice=*/true));
    if (fd || errno != ENOENT) break;
    fd.reset(CreateFresh(native.c_str(), O_WRONLY, 0664));
    if (!fd && errno != EEXIST) break;
  }
  if (!fd) return;
  struct stat st {};
  if (::fstat(fd.get(), &st) != 0) return;
  if (!append && S_ISREG(st.st_mode) && ::ftruncate(fd.get(), 0) != 0) return;
  open("/proc/self/fd/" + std::to_string(fd.get()), std::ios::out | std::ios::app);
}

void CLogger::OpenLocked(const std::string& path, bool append) {
  if (is_open()) return;
  if (PathFileName(path).empty()) return;
  OpenFileAsUser(path, append);
  if (!is_open()) return;
  std::string banner = "\n";
  banner.append(kRuleWidth, '=').append("\n").append(kStartBanner);
  banner += FormatString("%s %s", LogTimeStamp(Now(), 0).c_str(),
                         Load(m_LocalTime) ? "LTZ" : "UTC");
  banner += kStartBannerEnd;
  banner += "\n\n";
  write(banner.data(), static_cast<std::streamsize>(banner.size()));
  flush();
}

void CLogger::CloseLocked() {
  if (!is_open()) return;
  std::string banner = "\n";
  banner += kStopBanner;
  banner += LogTimeStamp(Now(), 0);
  banner += kStopBannerEnd;
  banner.append("\n").append(kRuleWidth, '=').append("\n\n");
  write(banner.data(), static_cast<std::streamsize>(banner.size()));
  flush();
  close();
}

bool CLogger::IsOpen() {
  const std::lock_guard<std::mutex> lock(m_WriteLock);
  return is_open();
}

bool CLogger::WritesFile(uint32_t mask) const {
  return (mask & kLogMaskNoFile) == 0 && (Load(m_Flags) & kLogFile) != 0 && is_open();
}

void CLogger::WriteMessage(uint32_t mask, LogLevel level, std::string_view text) {
  // The box waits for the user; other threads keep logging meanwhile.
  if ((mask & kLogMaskMessageBox) != 0 && (Load(m_Flags) & kLogMessageBoxes) != 0) {
    zor::platform::ShowMessageBox(std::string(text), Caption(level), LevelToMessageBoxIcon(level));
  }
  const std::string_view tag = kTags[LevelRow(level)];
  // One message at a time, from the stamp to the flush: its lines stay
  // together and in stamp order, and the stream is never written by two
  // threads at once.
  const std::lock_guard<std::mutex> lock(m_WriteLock);
  const bool console = (mask & kLogMaskConsole) != 0 && (Load(m_Flags) & kLogConsole) != 0;
  const bool file = WritesFile(mask);
  if (!console && !file) return;

  // The prefix: the stamp, " -> " and the blank every line gets.
  char prefix[96];
  std::size_t prefixSize = 0;
  const int32_t decimals = Load(m_TimeDecimals);
  if (file && decimals >= 0) {
    prefixSize = WriteStamp(Now(), decimals, prefix, sizeof prefix - 4);
    std::memcpy(prefix + prefixSize, " -> ", 4);
    prefixSize += 4;
  }
  // Later pieces stand under the first: the prefix's width in blanks, at
  // least one, and the blank that follows every prefix.
  const std::size_t indent = prefixSize == 0 ? 1 : prefixSize;

  // One buffer for the whole message, kept between messages.
  std::string& out = m_Text;
  out.clear();
  bool first = true;
  ForEachPiece(text, [&](std::string_view piece) {
    if (console) {
      std::string line;
      line.reserve(tag.size() + piece.size() + 1);
      line.append(tag).append(piece).append(1, '\n');
      std::cout << line;
    }
    if (file) {
      if (first) {
        out.append(prefix, prefixSize);
      } else {
        out.append(indent, ' ');
      }
      out.append(1, ' ').append(tag).append(piece).append(1, '\n');
    }
    first = false;
  });
  if (!file) return;
  // Straight to the file buffer and out in one write call; the stream's
  // sentries have nothing to add on this path, which every line takes.
  std::filebuf& buffer = *rdbuf();
  if (buffer.sputn(out.data(), static_cast<std::streamsize>(out.size())) !=
          static_cast<std::streamsize>(out.size()) ||
      buffer.pubsync() == -1) {
    setstate(std::ios::badbit);
  }
  // A rare long message does not keep its memory.
  if (out.capacity() > 4096) std::string().swap(out);
}

std::string CLogger::Caption(LogLevel level) const {
  // No window has the focus on Linux, so a log without a title gives the
  // word alone.
  std::string caption;
  {
    const std::lock_guard<std::mutex> lock(m_SettingsLock);
    caption = m_Title;
  }
  if (!caption.empty()) caption += " : ";
  return caption + kCaptionWords[LevelRow(level)];
}

// ---- Settings -------------------------------------------------------------

namespace {
CLogger& L() { return CLogger::Instance(); }
}  // namespace

void InitLogging(int32_t level, uint32_t flags, uint32_t mask, const char* path, bool append,
                 int32_t timeDecimals, bool localTime) {
  CLogger& log = L();
  Store(log.m_Level, level);
  Store(log.m_Flags, flags);
  Store(log.m_Mask, mask);
  Store(log.m_LocalTime, localTime);
  if (timeDecimals != 0) Store(log.m_TimeDecimals, timeDecimals);
  SetLogFile(path, append);
}

void StopLogging() {
  CLogger& log = L();
  log.Close();
  Store(log.m_Level, 0);
  Store(log.m_Flags, 0u);
  Store(log.m_Mask, 12u);
}

void SetLogFile(const char* path, bool append) {
  if (path == nullptr) return;
  CLogger& log = L();
  const std::string newPath = path;
  {
    const std::lock_guard<std::mutex> lock(log.m_SettingsLock);
    log.m_Path = newPath;
  }
  if (Load(log.m_Level) != 0 && (Load(log.m_Flags) & kLogFile) != 0) log.Reopen(newPath, append);
  const std::lock_guard<std::mutex> lock(log.m_SettingsLock);
  if (log.m_Title.empty()) log.m_Title = PathWithoutExtension(PathFileName(newPath));
}

void SetLogFile(const wchar_t* path, bool append) {
  if (path == nullptr) return;
  SetLogFile(WideToUtf8(path).c_str(), append);
}

void SetLogTitle(const char* title) {
  if (title == nullptr) return;
  CLogger& log = L();
  const std::lock_guard<std::mutex> lock(log.m_SettingsLock);
  log.m_Title = title;
}

void SetLogTitle(const wchar_t* title) {
  if (title != nullptr) SetLogTitle(WideToUtf8(title).c_str());
}

void SetLogInteractive(bool interactive, bool reopen) {
  CLogger& log = L();
  if (interactive) {
    Ref(log.m_Flags).fetch_or(kLogMessageBoxes, std::memory_order_relaxed);
    return;
  }
  auto flags = Ref(log.m_Flags);
  uint32_t old = flags.load();
  while (!flags.compare_exchange_weak(old, (old & ~kLogMessageBoxes) | kLogFile)) {
  }
  if (!reopen) return;
  std::string path;
  {
    const std::lock_guard<std::mutex> lock(log.m_SettingsLock);
    path = log.m_Path;
  }
  if (path.empty() || log.IsOpen()) return;
  if (Load(log.m_Level) == 0) Store(log.m_Level, 1);
  log.Open(path, true);
}

void EnableLogMessageBoxes(bool on) {
  auto flags = Ref(L().m_Flags);
  if (on) {
    flags.fetch_or(kLogMessageBoxes, std::memory_order_relaxed);
  } else {
    flags.fetch_and(~kLogMessageBoxes, std::memory_order_relaxed);
  }
}

bool LogMessageBoxesEnabled() { return (Load(L().m_Flags) & kLogMessageBoxes) != 0; }

void SwitchLogMessageBoxes(bool on) {
  if (LogMessageBoxesEnabled() != on) EnableLogMessageBoxes(on);
}

uint32_t SetLogFlags(uint32_t flags) { return Ref(L().m_Flags).exchange(flags); }
int32_t SetLogLevel(int32_t level) { return Ref(L().m_Level).exchange(level); }
uint32_t SetLogMask(uint32_t mask) { return Ref(L().m_Mask).exchange(mask); }
int32_t SetLogTimeDecimals(int32_t decimals) { return Ref(L().m_TimeDecimals).exchange(decimals); }

int32_t EnableLogTimePrefix(bool on) {
  auto decimals = Ref(L().m_TimeDecimals);
  if (!on) return decimals.exchange(-1);
  int32_t old = decimals.load();
  while (old < 0 && !decimals.compare_exchange_weak(old, 0)) {
  }
  return old;
}

uint32_t GetLogFlags() { return Load(L().m_Flags); }
int32_t GetLogLevel() { return Load(L().m_Level); }
uint32_t GetLogMask() { return Load(L().m_Mask); }
int32_t GetLogTimeDecimals() { return Load(L().m_TimeDecimals); }
bool LogTimePrefixEnabled() { return Load(L().m_TimeDecimals) >= 0; }

// ---- Messages -------------------------------------------------------------

bool IsLogLevelEnabled(LogLevel level) {
  const int32_t setting = Load(L().m_Level);
  if (setting == 0) return false;
  switch (LevelRow(level)) {
    case 2:
    case 3:
      return true;
    case 0:
    case 1:
      return setting >= 2;
    default:
      return setting >= 3;
  }
}

namespace {
// Formats a message as FormatStringV does (a failed format is an empty
// text) and writes it; a message that fits the stack buffer needs no heap.
void WriteFormatted(uint32_t mask, LogLevel level, const char* format, va_list args) {
  char small[512];
  int n = 0;
  if (format != nullptr) {
    va_list copy;
    va_copy(copy, args);
    n = std::vsnprintf(small, sizeof small, format, copy);
    va_end(copy);
  }
  if (n <= 0) {
    L().WriteMessage(mask, level, std::string_view());
  } else if (static_cast<std::size_t>(n) < sizeof small) {
    L().WriteMessage(mask, level, std::string_view(small, static_cast<std::size_t>(n)));
  } else {
    L().WriteMessage(mask, level, FormatStringV(format, args));
  }
}
}  // namespace

void Log(LogLevel level, const char* format, ...) {
  if (!IsLogLevelEnabled(level)) return;
  va_list args;
  va_start(args, format);
  WriteFormatted(Load(L().m_Mask), level, format, args);
  va_end(args);
}

void LogTo(uint32_t mask, LogLevel level, const char* format, ...) {
  if (!IsLogLevelEnabled(level)) return;
  va_list args;
  va_start(args, format);
  WriteFormatted(mask, level, format, args);
  va_end(args);
}

void Log(LogLevel level, const wchar_t* format, ...) {
  if (!IsLogLevelEnabled(level)) return;
  va_list args;
  va_start(args, format);
  const std::wstring text = FormatStringV(format, args);
  va_end(args);
  WriteLogMessage(Load(L().m_Mask), level, WideToUtf8(text));
}

void LogTo(uint32_t mask, LogLevel level, const wchar_t* format, ...) {
  if (!IsLogLevelEnabled(level)) return;
  va_list args;
  va_start(args, format);
  const std::wstring text = FormatStringV(format, args);
  va_end(args);
  WriteLogMessage(mask, level, WideToUtf8(text));
}

void WriteLogMessage(uint32_t mask, LogLevel level, const std::string& text) {
  L().WriteMessage(mask, level, text);
}

std::string LogTimeStamp(const CZORTime& now, int decimals) {
  char text[96];
  return std::string(text, WriteStamp(now, decimals, text, sizeof text));
}

// ---- Level texts ----------------------------------------------------------

uint32_t LevelToMessageBoxIcon(LogLevel level) { return kIcons[LevelRow(level)]; }
std::string LevelTag(LogLevel level) { return kTags[LevelRow(level)]; }
std::string MessageBoxCaption(LogLevel level) { return L().Caption(level); }
