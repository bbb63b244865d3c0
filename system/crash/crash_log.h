// The plain-text crash log that a support engineer reads without tools: what
// failed where, the system, the registers, the code bytes, the stack and the
// loaded modules.
//
//   PrepareCrashLog();                                   // at start-up
//   ...
//   // on the report thread, with the failing thread's exception pointers:
//   WriteCrashLog(".../CrashLog20240301-120000.txt", pointers, "CCrashHandler::Handle");
//
// Everything after PrepareCrashLog runs without allocating and without the
// C library's stdio (the heap or its locks may be what failed): text is
// formatted into one process-wide buffer of 8,192 bytes and written with raw
// file calls, and memory is read through SafeRead, so a bad address prints
// "??" or ends a section instead of faulting again. The writers share that
// buffer: one log at a time.
//
// On x86-64 addresses, the instruction pointer and the stack words print as
// 16 hex digits, and the register lines list the AMD64 registers three to a
// line. Linux has no module checksum or link time stamp (printed as 0) and no
// Windows version record (the operating system reads "Unknown (0.0.0)").
#pragma once

#include <cstddef>
#include <cstdint>

#include "platform/exception_record.h"
#include "platform/file_time.h"

inline constexpr std::size_t kCrashLogBufferSize = 8192;
// A piece longer than this is cut.
inline constexpr std::size_t kCrashLogMaxPiece = 1024;
// Beyond this many stack bytes above the stack pointer nothing is dumped.
inline constexpr uint64_t kCrashLogMaxStackBytes = 12288;
inline constexpr char kCrashLogMemoryLeftOut[] =
    "\r\nRegisters, code bytes and stack left out: the program ran with borrowed rights.\r\n";

// Gathers, while the process is sound, what the log prints but cannot be had
// later without allocating: the program's path, the operating system's name
// and version, the number of processors and the program's version record;
// initialises the time-zone rules. The writers call it themselves when
// nobody has (then they allocate).
void PrepareCrashLog();

// The texts of the exception codes ("an Access Violation", ...; "an Unknown
// exception type" for any other).
const char* GetExceptionDescription(uint32_t code) noexcept;
// The part after the last '\' or '/'; the whole text when there is none.
const char* GetFileNamePart(const char* text) noexcept;
// The last occurrence of `c`, or null.
const char* FindLastChar(const char* text, char c) noexcept;
// The time in local time as "%d/%d/%d %02d:%02d:%02d" (month, day, year,
// hour, minute, second) to the two-second grain of the platform's DOS date
// and time; a time outside the DOS range (1980-2107) prints "0/0/1980
// 00:00:00".
void FormatFileTime(const zor::platform::FILETIME& time, char* out, std::size_t size) noexcept;

// Formats one piece (at most kCrashLogMaxPiece - 1 characters, cut beyond)
// into the buffer, writing the buffer to `file` first when it holds more than
// 7,168 characters. Returns the number of characters added.
int CrashLogPrintf(int file, const char* format, ...) noexcept __attribute__((format(printf, 2, 3)));
// Writes what the buffer holds and empties it.
void FlushCrashLogBuffer(int file) noexcept;

void DumpSystemInfo(int file) noexcept;
void DumpRegisters(int file, const zor::platform::CONTEXT& context) noexcept;
// The words from the stack pointer up to the top of its stack, at most
// kCrashLogMaxStackBytes, four to a line with their bytes as characters.
void DumpStack(int file, uint64_t stackPointer) noexcept;
// One entry for each mapped ELF module, numbered from 1, in address order.
void ListModulesToLog(int file) noexcept;
// The entry of the module mapped at `moduleHandle` (its base address); false
// when no ELF module starts there.
bool WriteModuleEntry(int file, uint64_t moduleHandle, int moduleNumber) noexcept;

// Creates the log file anew and writes the whole log; returns 0. A file that
// cannot be created (also one whose name is taken, by a file or a link: it
// is never written) sends "Error creating exception report\r\n" to the
// debugger output; without an exception record and context nothing is
// written. The file is made 0600 as the user running the program. A
// program that runs with borrowed ids (set-user-id or set-group-id) writes
// what its user may know, the failure, the system and the modules, and in
// place of the registers, the code bytes and the stack, which may hold what
// the program read with its borrowed rights, kCrashLogMemoryLeftOut.
uint32_t WriteCrashLog(const char* path, const zor::platform::EXCEPTION_POINTERS* pointers,
                       const char* caller) noexcept;
