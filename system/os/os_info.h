// Where and on what a program of the suite runs: the Windows version as a
// number and a name, the program file's path and name, environment variables,
// the command line, the user-interface language and the text of an error code.
//
//   std::string prefix = GetEnvVariable("Prefix");          // "" when not set
//   std::string name = GetModuleName(false);               // "zordb"
//   std::string text = GetErrorText(2, true);              // no trailing "\r\n"
//
// On Linux there is no Windows version record, no browser component and no
// user-interface language setting: those answer code 0, "Unknown", 0 and 9
// (English), the values the functions give when the platform cannot tell.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/os_version.h"

using zor::platform::OSVERSIONINFOEX;

// Zeroes the record and asks the platform, first for the long form, then the
// short one; all zero when both fail.
OSVERSIONINFOEX& GetOsVersionInfo(OSVERSIONINFOEX& info);

// 0 for a record whose size field is 0 (one the platform could not fill).
int32_t GetWindowsVersionCode(const OSVERSIONINFOEX& info);
int32_t GetCurrentWindowsVersionCode();
std::string GetWindowsName(const OSVERSIONINFOEX& info);
std::string GetWindowsNameFromVersion(uint32_t major, uint32_t minor);
// "major.minor.build".
std::string FormatWindowsVersion(const OSVERSIONINFOEX& info);
// The major version of an NT-family record (platform id 2), else 0.
uint32_t GetNtMajorVersion(const OSVERSIONINFOEX& info);
// Code of the installed browser component from its registry version text
// ("Software\Microsoft\Internet Explorer", value "Version", local machine):
// 471, 500, 550, 600, or 0 when absent.
int32_t GetInternetExplorerVersion();
// The code for a "major.minor" version text, as GetInternetExplorerVersion
// computes it.
int32_t InternetExplorerVersionFromText(const std::string& version);

// The value of an environment variable; "" when not set, set empty, or the
// name is empty.
std::string GetEnvVariable(const std::string& name);

// The program file's full path; with folderOnly, the text up to and including
// its last separator.
std::string GetModulePath(bool folderOnly);
// The program file's name; without withExtension, the extension is removed.
std::string GetModuleName(bool withExtension);
// The same two rules applied to a given program path (both '/' and '\' count
// as separators).
std::string ModulePathPart(const std::string& path, bool folderOnly);
std::string ModuleNamePart(const std::string& path, bool withExtension);

// Appends each argument of the process with every double quote removed; true
// when there was at least one argument.
bool GetCommandLineArgs(std::vector<std::string>& out);
// The process's command line as one text (arguments joined by blanks, those
// holding a blank put in double quotes).
std::string GetCommandLineText();
// The tail of this process's command line (see CommandLineTailOfArgs).
std::string GetCommandLineTail();
// With at least six double quotes and a closing one, the text between the
// fourth-last and third-last quote; otherwise the text five characters after
// the first ".exe", without leading white space; "" when there is none.
std::string CommandLineTail(const std::string& commandLine);
// The same over the arguments joined as GetCommandLineText joins them, with
// the end of the program's own argument in place of ".exe" (Linux program
// files have none): the quote rule first, else the text after the program
// and its following blank, without leading white space.
std::string CommandLineTailOfArgs(const std::vector<std::string>& args);

// The user's interface language id; 9 (English) where the platform has no
// such setting, as on Linux.
uint16_t GetUserUILanguage();

// The message text of an error code (0: the thread's last error), "Unknown
// error" when there is none; removeLineEnd drops a trailing "\r\n".
std::string GetErrorText(uint32_t code, bool removeLineEnd);
