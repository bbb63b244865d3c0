#include "core/log/logger.h"

#include <atomic>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <iostream>
#include <mutex>
#include <new>
#include <string_view>
#include <utility>
#include <vector>

#include "core/text/path_utils.h"
#include "core/text/string_helpers.h"
#include "core/text/utf.h"
#include "core/time/zor_time.h"
#include "platform/message_sink.h"

namespace {

constexpr char kDateFormat[] = "%d/%m/%Y";
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

struct Separator {
  std::size_t pos;
  std::size_t len;
};

// Where a message splits into lines. The byte 0xA6 (the broken bar of the
// older 8-bit code page) splits where it stands alone; inside UTF-8 it is
// the tail of a character ("æ" is C3 A6) and stays, except that the UTF-8
// broken bar C2 A6 is itself a separator. A message without one splits at
// '|' instead.
std::vector<Separator> FindSeparators(std::string_view text) {
  std::vector<Separator> found;
  if (text.find('\xA6') != std::string_view::npos) {
    for (std::size_t i = 0; i < text.size();) {
      const std::size_t n = Utf8SequenceLength(text, i);
      if (n == 2 && text[i] == '\xC2' && text[i + 1] == '\xA6') {
        found.push_back({i, 2});
      } else if (n == 0 && text[i] == '\xA6') {
        found.push_back({i, 1});
      }
      i += n == 0 ? 1 : n;
    }
  }
  if (!found.empty()) return found;
  for (std::size_t i = text.find('|'); i != std::string_view::npos; i = text.find('|', i + 1)) {
    found.push_back({i, 1});
  }
  return found;
}

// The non-empty pieces of a message, in order.
std::vector<std::string_view> SplitPieces(std::string_view text) {
  std::vector<std::string_view> pieces;
  std::size_t start = 0;
  auto take = [&](std::size_t end) {
    if (end > start) pieces.push_back(text.substr(start, end - start));
  };
  for (const Separator& sep : FindSeparators(text)) {
    take(sep.pos);
    start = sep.pos + sep.len;
  }
  take(text.size());
  return pieces;
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

// ---- CLogger --------------------------------------------------------------

CLogger::CLogger() = default;

CLogger::~CLogger() { Close(); }

CLogger& CLogger::Instance() {
  static CLogger* const instance = g_instance = new (g_storage) CLogger();
  return *instance;
}

std::string CLogger::Now(int decimals) const {
  CZORTime now;
  if (Load(m_LocalTime)) {
    now.SetNowLocal();
  } else {
    now.SetNowUtc();
  }
  return LogTimeStamp(now, decimals);
}

void CLogger::Open(const std::string& path, bool append) {
  const std::lock_guard<std::mutex> lock(m_WriteLock);
  if (is_open()) return;
  if (PathFileName(path).empty()) return;
  const std::string parent = PathParent(path);
  if (!parent.empty() && !IsDirectory(parent) && !MakeDirectory(parent)) return;

  open(ToNativePath(path), std::ios::out | (append ? std::ios::app : std::ios::trunc));
  std::string banner = "\n";
  banner.append(kRuleWidth, '=').append("\n").append(kStartBanner);
  banner += FormatString("%s %s", Now(0).c_str(), Load(m_LocalTime) ? "LTZ" : "UTC");
  banner += kStartBannerEnd;
  banner += "\n\n";
  write(banner.data(), static_cast<std::streamsize>(banner.size()));
  flush();
}

void CLogger::Close() {
  const std::lock_guard<std::mutex> lock(m_WriteLock);
  if (!is_open()) return;
  std::string banner = "\n";
  banner += kStopBanner;
  banner += Now(0);
  banner += kStopBannerEnd;
  banner.append("\n").append(kRuleWidth, '=').append("\n\n");
  write(banner.data(), static_cast<std::streamsize>(banner.size()));
  flush();
  close();
}

bool CLogger::WritesFile(uint32_t mask) const {
  return (mask & kLogMaskNoFile) == 0 && (Load(m_Flags) & kLogFile) != 0 && is_open();
}

void CLogger::WriteMessage(uint32_t mask, LogLevel level, const std::string& text) {
  // The box waits for the user; other threads keep logging meanwhile.
  if ((mask & kLogMaskMessageBox) != 0 && (Load(m_Flags) & kLogMessageBoxes) != 0) {
    zor::platform::ShowMessageBox(text, Caption(level), LevelToMessageBoxIcon(level));
  }
  const std::string_view tag = kTags[LevelRow(level)];
  // One message at a time, from the stamp to the flush: its lines stay
  // together and in stamp order, and the stream is never written by two
  // threads at once.
  const std::lock_guard<std::mutex> lock(m_WriteLock);
  const bool console = (mask & kLogMaskConsole) != 0 && (Load(m_Flags) & kLogConsole) != 0;
  const bool file = WritesFile(mask);
  if (!console && !file) return;

  std::string prefix;
  const int32_t decimals = Load(m_TimeDecimals);
  if (file && decimals >= 0) prefix = Now(decimals) + " -> ";
  // Later pieces stand under the first: the prefix's width in blanks, at
  // least one, and the blank that follows every prefix.
  const std::string indent(prefix.empty() ? 1 : prefix.size(), ' ');

  std::string out;
  bool first = true;
  for (std::string_view piece : SplitPieces(text)) {
    std::string line;
    line.reserve(tag.size() + piece.size() + 1);
    line.append(tag).append(piece).append(1, '\n');
    if (console) std::cout << line;
    if (file) out.append(first ? prefix : indent).append(1, ' ').append(line);
    first = false;
  }
  if (!file) return;
  write(out.data(), static_cast<std::streamsize>(out.size()));
  flush();
}

std::string CLogger::Caption(LogLevel level) const {
  // No window has the focus on Linux, so a log without a title gives the
  // word alone.
  std::string caption = m_Title;
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
  log.m_Path = path;
  if (Load(log.m_Level) != 0 && (Load(log.m_Flags) & kLogFile) != 0) {
    log.Close();
    log.Open(log.m_Path, append);
  }
  if (log.m_Title.empty()) log.m_Title = PathWithoutExtension(PathFileName(log.m_Path));
}

void SetLogFile(const wchar_t* path, bool append) {
  if (path == nullptr) return;
  SetLogFile(WideToUtf8(path).c_str(), append);
}

void SetLogTitle(const char* title) {
  if (title != nullptr) L().m_Title = title;
}

void SetLogTitle(const wchar_t* title) {
  if (title != nullptr) L().m_Title = WideToUtf8(title);
}

void SetLogInteractive(bool interactive, bool reopen) {
  CLogger& log = L();
  if (interactive) {
    Ref(log.m_Flags).fetch_or(kLogMessageBoxes, std::memory_order_relaxed);
    return;
  }
  Store(log.m_Flags, (Load(log.m_Flags) & ~kLogMessageBoxes) | kLogFile);
  if (reopen && !log.is_open() && !log.m_Path.empty()) {
    if (Load(log.m_Level) == 0) Store(log.m_Level, 1);
    log.Open(log.m_Path, true);
  }
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

void Log(LogLevel level, const char* format, ...) {
  if (!IsLogLevelEnabled(level)) return;
  va_list args;
  va_start(args, format);
  const std::string text = FormatStringV(format, args);
  va_end(args);
  WriteLogMessage(Load(L().m_Mask), level, text);
}

void LogTo(uint32_t mask, LogLevel level, const char* format, ...) {
  if (!IsLogLevelEnabled(level)) return;
  va_list args;
  va_start(args, format);
  const std::string text = FormatStringV(format, args);
  va_end(args);
  WriteLogMessage(mask, level, text);
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
  if (!now.IsValid()) return "Invalid";
  if (decimals > 3) {
    // Microseconds are cut, never rounded up, so the date is the value's own.
    int year = 0, month = 0, day = 0;
    now.GetDate(year, month, day);
    return FormatString("%02d/%02d/%04d ", day, month, year) + now.FormatTime(decimals, ':');
  }
  int year, month, day, dayOfWeek, hour, minute, second, ms;
  if (!now.GetFieldsMs(year, month, day, dayOfWeek, hour, minute, second, ms)) return "Invalid";
  char text[64];
  switch (decimals) {
    case 3:
      std::snprintf(text, sizeof text, "%02d/%02d/%04d %02d:%02d:%02d.%03d", day, month, year,
                    hour, minute, second, ms);
      break;
    case 2:
      std::snprintf(text, sizeof text, "%02d/%02d/%04d %02d:%02d:%02d.%02d", day, month, year,
                    hour, minute, second, ms / 10);
      break;
    case 1:
      std::snprintf(text, sizeof text, "%02d/%02d/%04d %02d:%02d:%02d.%01d", day, month, year,
                    hour, minute, second, ms / 100);
      break;
    default:
      std::snprintf(text, sizeof text, "%02d/%02d/%04d %02d:%02d:%02d", day, month, year, hour,
                    minute, second);
      break;
  }
  return text;
}

// ---- Level texts ----------------------------------------------------------

uint32_t LevelToMessageBoxIcon(LogLevel level) { return kIcons[LevelRow(level)]; }
std::string LevelTag(LogLevel level) { return kTags[LevelRow(level)]; }
std::string MessageBoxCaption(LogLevel level) { return L().Caption(level); }
