// Path texts and small filesystem queries that answer with plain results
// instead of exceptions.
//
//   if (!IsDirectory(folder)) MakeDirectory(folder);      // one level only
//   std::string title = PathWithoutExtension(PathFileName("C:\\Logs\\run.log"));
//   // title == "run"
//
// Paths written on Windows use '\'; both '\' and '/' count as
// separators in every function here. The part functions return pieces of the
// text they were given, so a path keeps the separators its caller wrote;
// functions that touch the filesystem read '\' as '/'. None of them logs or
// throws: a filesystem error becomes false or an empty string.
#pragma once

#include <string>

// The form the filesystem takes: '\' read as '/' by the suite's one rule
// (platform/path_text.h), which keeps a leading part that exists as written.
std::string ToNativePath(const std::string& path);

// The path exists and is a folder.
bool IsDirectory(const std::string& path);
// The path exists (its status could be read and is not "not found").
bool PathExists(const std::string& path);
// Creates that one folder; its parent must exist. False when it already
// existed or could not be created.
bool MakeDirectory(const std::string& path);

// The last element: "run.log" of "C:\Logs\run.log"; "." when the path ends
// in a separator; "" for an empty path.
std::string PathFileName(const std::string& path);
// The path without its last element: "C:\Logs" of "C:\Logs\run.log".
std::string PathParent(const std::string& path);
// The path without the extension of its last element, dot included:
// "C:\Logs\run" of "C:\Logs\run.log"; unchanged when there is none.
std::string PathWithoutExtension(const std::string& path);
// The process's current working folder; empty when it cannot be read.
std::string CurrentFolderPath();
