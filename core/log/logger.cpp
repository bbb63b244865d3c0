#include "core/log/logger.h"

#include <cstdarg>
#include <cstring>
#include <iostream>
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

// ---- CLogger --------------------------------------------------------------

CLogger::CLogger() = default;

CLogger::~CLogger() { Close(); }

CLogger& CLogger::Instance() {
  static CLogger* const instance = g_instance = new (g_storage) CLogger();
  return *instance;
}

void CLogger::Now(std::string& date, std::string& time, int decimals) {
  CZORTime now;
  if (m_LocalTime) {
    now.SetNowLocal();
  } else {
    now.SetNowUtc();
  }
  if (m_DateText.empty() || now.GetDay() != m_DateDay) {
    m_DateText = now.Format(kDateFormat);
    m_DateDay = now.GetDay();
  }
  date = m_DateText;
  time = now.FormatTime(decimals, ':');
}

void CLogger::Open(const std::string& path, bool append) {
  if (is_open()) return;
  if (PathFileName(path).empty()) return;
  const std::string parent = PathParent(path);
  if (!parent.empty() && !IsDirectory(parent) && !MakeDirectory(parent)) return;

  open(ToNativePath(path), std::ios::out | (append ? std::ios::app : std::ios::trunc));
  std::string date;
  std::string time;
  Now(date, time, 0);
  std::string banner = "\n";
  banner.append(kRuleWidth, '=').append("\n").append(kStartBanner);
  banner += FormatString("%s %s %s", date.c_str(), time.c_str(), m_LocalTime ? "LTZ" : "UTC");
  banner += kStartBannerEnd;
  banner += "\n\n";
  write(banner.data(), static_cast<std::streamsize>(banner.size()));
  flush();
}

void CLogger::Close() {
  if (!is_open()) return;
  std::string date;
  std::string time;
  Now(date, time, 0);
  std::string banner = "\n";
  banner += kStopBanner;
  banner += FormatString("%s %s", date.c_str(), time.c_str());
  banner += kStopBannerEnd;
  banner.append("\n").append(kRuleWidth, '=').append("\n\n");
  write(banner.data(), static_cast<std::streamsize>(banner.size()));
  flush();
  close();
}

bool CLogger::WritesFile(uint32_t mask) const {
  return (mask & kLogMaskNoFile) == 0 && (m_Flags & kLogFile) != 0 && is_open();
}

void CLogger::WriteMessage(uint32_t mask, LogLevel level, const std::string& text) {
  if ((mask & kLogMaskMessageBox) != 0 && (m_Flags & kLogMessageBoxes) != 0) {
    zor::platform::ShowMessageBox(text, Caption(level), LevelToMessageBoxIcon(level));
  }
  const std::string_view tag = kTags[LevelRow(level)];
  const bool console = (mask & kLogMaskConsole) != 0 && (m_Flags & kLogConsole) != 0;
  const bool file = WritesFile(mask);
  if (!console && !file) return;

  std::string prefix;
  if (file && m_TimeDecimals >= 0) {
    std::string date;
    std::string time;
    Now(date, time, m_TimeDecimals);
    prefix = date + " " + time + " -> ";
  }
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
  log.m_Level = level;
  log.m_Flags = flags;
  log.m_Mask = mask;
  log.m_LocalTime = localTime;
  if (timeDecimals != 0) log.m_TimeDecimals = timeDecimals;
  SetLogFile(path, append);
}

void StopLogging() {
  CLogger& log = L();
  log.Close();
  log.m_Level = 0;
  log.m_Flags = 0;
  log.m_Mask = 12;
}

void SetLogFile(const char* path, bool append) {
  if (path == nullptr) return;
  CLogger& log = L();
  log.m_Path = path;
  if (log.m_Level != 0 && (log.m_Flags & kLogFile) != 0) {
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
    log.m_Flags |= kLogMessageBoxes;
    return;
  }
  log.m_Flags = (log.m_Flags & ~kLogMessageBoxes) | kLogFile;
  if (reopen && !log.is_open() && !log.m_Path.empty()) {
    if (log.m_Level == 0) log.m_Level = 1;
    log.Open(log.m_Path, true);
  }
}

void EnableLogMessageBoxes(bool on) {
  CLogger& log = L();
  log.m_Flags = on ? (log.m_Flags | kLogMessageBoxes) : (log.m_Flags & ~kLogMessageBoxes);
}

bool LogMessageBoxesEnabled() { return (L().m_Flags & kLogMessageBoxes) != 0; }

void SwitchLogMessageBoxes(bool on) {
  if (LogMessageBoxesEnabled() != on) EnableLogMessageBoxes(on);
}

uint32_t SetLogFlags(uint32_t flags) { return std::exchange(L().m_Flags, flags); }
int32_t SetLogLevel(int32_t level) { return std::exchange(L().m_Level, level); }
uint32_t SetLogMask(uint32_t mask) { return std::exchange(L().m_Mask, mask); }
int32_t SetLogTimeDecimals(int32_t decimals) {
  return std::exchange(L().m_TimeDecimals, decimals);
}

int32_t EnableLogTimePrefix(bool on) {
  CLogger& log = L();
  const int32_t old = log.m_TimeDecimals;
  if (!on) {
    log.m_TimeDecimals = -1;
  } else if (old < 0) {
    log.m_TimeDecimals = 0;
  }
  return old;
}

uint32_t GetLogFlags() { return L().m_Flags; }
int32_t GetLogLevel() { return L().m_Level; }
uint32_t GetLogMask() { return L().m_Mask; }
int32_t GetLogTimeDecimals() { return L().m_TimeDecimals; }
bool LogTimePrefixEnabled() { return L().m_TimeDecimals >= 0; }

// ---- Messages -------------------------------------------------------------

bool IsLogLevelEnabled(LogLevel level) {
  const int32_t setting = L().m_Level;
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
  WriteLogMessage(L().m_Mask, level, text);
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
  WriteLogMessage(L().m_Mask, level, WideToUtf8(text));
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

// ---- Level texts ----------------------------------------------------------

uint32_t LevelToMessageBoxIcon(LogLevel level) { return kIcons[LevelRow(level)]; }
std::string LevelTag(LogLevel level) { return kTags[LevelRow(level)]; }
std::string MessageBoxCaption(LogLevel level) { return L().Caption(level); }
