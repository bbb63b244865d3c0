// The message log: one process-wide log that writes messages by level to a
// text file, the console and message boxes.
//
//   InitLogging(3, kLogFile, 0, "/data/project/logs/driver.log",
//               /*append=*/true, /*timeDecimals=*/3, /*localTime=*/false);
//   Log(LogLevel::Error, "port %d: %s", port, reason.c_str());
//   LogTo(kLogMaskMessageBox, LogLevel::Warning, "Database %s not found", name.c_str());
//   StopLogging();
//
// A file line reads
//   24/05/2018 13:45:07.123 ->  ERROR  : port 3: no answer
// A message holding the byte 0xA6 (or, failing that, '|') is split there, and
// each piece gets a line of its own, indented under the first. The file opens
// with a "Logging Started" banner and closes with a "Logging Stopped" one,
// also when the process ends, and a message logged from a static destructor
// still reaches the file.
//
// Level setting: 0 off; 1 errors and fatal errors; 2 adds warnings and
// information; 3 adds debug messages. Output flags (kLogFile, ...) switch the
// destinations on; a message's destination mask picks among them.
//
// Any thread may log: a message is written whole (all its lines, one flush)
// before the next one starts, so no line is lost or interleaved, and the
// settings may change while others log. Lines end in "\n".
#pragma once

#include <cstdint>
#include <fstream>
#include <mutex>
#include <string>
#include <string_view>

#include "core/time/zor_time.h"

enum class LogLevel : int32_t {
  Info = 0,
  Warning = 1,
  Error = 2,
  Fatal = 3,
  Debug = 4,  // and every value outside 0..3
};

// Output flags.
inline constexpr uint32_t kLogFile = 1;
inline constexpr uint32_t kLogMessageBoxes = 2;
inline constexpr uint32_t kLogConsole = 4;

// Destination mask bits of one message.
inline constexpr uint32_t kLogMaskMessageBox = 1;
inline constexpr uint32_t kLogMaskConsole = 2;
inline constexpr uint32_t kLogMaskNoFile = 4;

// The log object; reach the one instance through the free functions below.
// Its settings are public as they are to the older code that reads them.
class CLogger : public std::ofstream {
 public:
  CLogger();
  // Writes the stop banner when a file is open.
  ~CLogger() override;
  CLogger(const CLogger&) = delete;
  CLogger& operator=(const CLogger&) = delete;

  // The process-wide log, built on first use and never destroyed; the stop
  // banner is written when the process exits, after static destructors.
  static CLogger& Instance();

  // Opens the file (creating its folder, one level) and writes the start
  // banner; nothing when a file is open already. The file is opened as the
  // user running the program (also in a set-user-id program) and never
  // through a final link: a link in its place gives no file.
  void Open(const std::string& path, bool append);
  // Writes the stop banner and closes the file; nothing when none is open.
  void Close();
  // Close, then Open on `path`, with no message written in between (a
  // message of another thread goes to the old file or the new one).
  void Reopen(const std::string& path, bool append);
  // Whether a file is open, asked under the lock the writers hold.
  bool IsOpen();
  // Writes one message to the destinations that mask and flags allow; the
  // level setting is not looked at.
  void WriteMessage(uint32_t mask, LogLevel level, std::string_view text);
  // The message-box caption: "title : Warning", or the word alone.
  std::string Caption(LogLevel level) const;

  // Guards the path and the title, which any thread may set or read; never
  // held while m_WriteLock is taken.
  mutable std::mutex m_SettingsLock;
  std::string m_Path;
  std::string m_Title;
  int32_t m_Level = 0;
  uint32_t m_Flags = 0;
  uint32_t m_Mask = 0;
  int32_t m_TimeDecimals = 0;  // -1: no date and time before a line
  bool m_LocalTime = true;     // false: UTC

 private:
  // The current local or UTC time.
  CZORTime Now() const;
  bool WritesFile(uint32_t mask) const;
  void OpenFileAsUser(const std::string& path, bool append);
  // Open and Close with m_WriteLock held.
  void OpenLocked(const std::string& path, bool append);
  void CloseLocked();

  // The text of one message on its way to the file, kept between messages.
  std::string m_Text;

  // Held while a message, a banner or the opening or closing of the file is
  // written.
  std::mutex m_WriteLock;
};

// ---- Settings of the one log ----------------------------------------------

// Sets level, flags, mask and local time, and the time decimals unless
// timeDecimals is 0 (0 keeps those held); then SetLogFile(path, append).
void InitLogging(int32_t level, uint32_t flags, uint32_t mask, const char* path, bool append,
                 int32_t timeDecimals, bool localTime);
// Closes the file; level 0, flags 0, mask 12.
void StopLogging();
// Stores the path (null: nothing at all) and, when the level is not 0 and
// file output is on, reopens the log there. An empty title becomes the file
// name without its extension.
void SetLogFile(const char* path, bool append);
void SetLogFile(const wchar_t* path, bool append);
void SetLogTitle(const char* title);  // null: nothing
void SetLogTitle(const wchar_t* title);
// interactive: message boxes on. Otherwise boxes off and file output on;
// with reopen, a closed log with a path opens again (appending), raising a
// level of 0 to 1.
void SetLogInteractive(bool interactive, bool reopen);
void EnableLogMessageBoxes(bool on);
bool LogMessageBoxesEnabled();
void SwitchLogMessageBoxes(bool on);

// Each returns the value it replaced.
uint32_t SetLogFlags(uint32_t flags);
int32_t SetLogLevel(int32_t level);
uint32_t SetLogMask(uint32_t mask);
int32_t SetLogTimeDecimals(int32_t decimals);
// on: negative decimals become 0; off: decimals become -1. Returns the old.
int32_t EnableLogTimePrefix(bool on);

uint32_t GetLogFlags();
int32_t GetLogLevel();
uint32_t GetLogMask();
int32_t GetLogTimeDecimals();
bool LogTimePrefixEnabled();

// ---- Messages -------------------------------------------------------------

// Whether the level setting lets a message of this level through.
bool IsLogLevelEnabled(LogLevel level);

// Formats and writes a message with the default mask when its level passes.
void Log(LogLevel level, const char* format, ...) __attribute__((format(printf, 2, 3)));
// The same with the given destination mask.
void LogTo(uint32_t mask, LogLevel level, const char* format, ...)
    __attribute__((format(printf, 3, 4)));
// Wide formats (%ls for wide strings); the text is written as UTF-8.
void Log(LogLevel level, const wchar_t* format, ...);
void LogTo(uint32_t mask, LogLevel level, const wchar_t* format, ...);

// Writes a message without the level gate.
void WriteLogMessage(uint32_t mask, LogLevel level, const std::string& text);

// "dd/mm/yyyy hh:mm:ss" with `decimals` digits of the second, the stamp of
// log lines (and, with 0 decimals, of the banners). Date and time come from
// one rounding to the millisecond, so 23:59:59.9997 is 00:00:00.000 of the
// next day; above 3 decimals the microseconds are cut and the date is the
// value's own. "Invalid" for a time that is not set.
std::string LogTimeStamp(const CZORTime& now, int decimals);

// ---- Level texts ----------------------------------------------------------

// The message-box icon style of a level (error, warning or information).
uint32_t LevelToMessageBoxIcon(LogLevel level);
// "INFO   : ", "WARNING: ", "ERROR  : ", "FATAL  : ", "DEBUG  : ".
std::string LevelTag(LogLevel level);
// The one log's caption for a box of this level.
std::string MessageBoxCaption(LogLevel level);
