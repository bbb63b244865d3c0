// The work of the zordb program, callable in-process (the program's main is
// one call of RunZordb).
//
//   int status = RunZordb(argc, argv, stdout, stderr);
//   int status = DumpDatabaseFile("/data/survey.zdb", stdout, stderr);
//
// Exit statuses: kZordbOk; kZordbFileError when a file cannot be opened,
// read or written, or is not a regular file, or make-sample would replace
// an existing file without --overwrite; kZordbUsage for a wrong argument;
// kZordbDamaged when the database was dumped as far as it can be read but
// is damaged (the first damage is one line on the error stream), or the
// file does not look like a project database at all (one line saying so).
#pragma once

#include <cstdio>
#include <string>

inline constexpr int kZordbOk = 0;
inline constexpr int kZordbFileError = 1;
inline constexpr int kZordbUsage = 2;
inline constexpr int kZordbDamaged = 3;

// Writes the dump of the database to `out`; errors and damage are one line
// each on `err`, starting with "zordb: " and the file's name. A file that
// is not a regular file (a folder, a FIFO, a device) is refused before it is
// opened for reading, so the call never waits on a writer.
int DumpDatabaseFile(const std::string& path, std::FILE* out, std::FILE* err);

// The whole program: arguments as main gets them.
int RunZordb(int argc, char** argv, std::FILE* out, std::FILE* err);
