// File and folder helpers over 8-bit path texts.
//
//   std::string log = JoinPath(GetLocalAppDataFolder(true), "CrashDumps");
//   std::string drive, folder, name, ext;
//   SplitPath("/opt/zor/bin/drv.exe", drive, folder, name, ext);  // "", "/opt/zor/bin/", "drv", ".exe"
//   if (!CreateFolderTree(log)) ...
//
// Path-part functions treat both '\' and '/' as separators; functions that
// insert a separator insert '/'. No function throws except CanOpenFile, which
// passes on file errors other than access denied and sharing violation.
// Searches and copies never follow links to folders, so a link cycle cannot
// make them loop.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/file_find.h"
#include "platform/window_metrics.h"

// --- Path texts --------------------------------------------------------------

std::string GetFileNameFromPath(const std::string& path);
// Up to the last separator, with it unless withoutSeparator; "" when none.
std::string GetFolderFromPath(const std::string& path, bool withoutSeparator);
std::string RemoveFileExtension(const std::string& path);
// The text after the last '.' that follows the last separator; "" when none.
std::string GetFileExtension(const std::string& path);
std::string GetFirstWord(const std::string& text);
// Drive ("C:" or ""), folder with its trailing separator, name, and extension
// with its dot.
void SplitPath(const std::string& path, std::string& drive, std::string& folder,
               std::string& name, std::string& extension);
// The two parts joined by exactly one separator ('/' when one is inserted).
std::string JoinPath(const std::string& first, const std::string& second);
// Replaces leading folder elements by "..." until the path fits `maximum`.
std::string AbbreviatePath(const std::string& path, std::size_t maximum);
void ChangeFileExtension(std::string& path, const std::string& extension, bool onlyWhenMissing);
std::string ChangeFileExtensionCopy(const std::string& path, const std::string& extension,
                                    bool onlyWhenMissing);
// Replaces every ".old" by ".new" in lower case, or else in upper case.
void ReplaceExtensionInText(std::string& text, const std::string& oldExtension,
                            const std::string& newExtension);
std::string ReplaceExtensionInTextCopy(const std::string& text, const std::string& oldExtension,
                                       const std::string& newExtension);
std::string MakeValidFileName(const std::string& name, bool replace, char replacement);
std::string MakeValidPath(const std::string& path, bool replace, char replacement);
bool IsValidFileName(const std::string& name);
bool IsNotDotName(const std::string& name);
// Drops leading folder elements ("drive\...\rest") until the path's text
// extent fits; width -1 means the window's client width less 4.
std::string CompactPathToWidth(const std::string& path, const zor::platform::IWindowMetrics& window,
                               int width);

// --- Tests and attributes ----------------------------------------------------

// With a folder, `path` (or any entry when path is null) is looked for inside
// it, a rooted path as given; a caller's finder is only accepted together
// with a folder. Never changes the current folder.
bool FileExists(const char* path, const char* folder = nullptr,
                zor::platform::FileFinder* finder = nullptr);
bool IsExistingFolder(const std::string& path);
// Probes with a uniquely named file created exclusively (and removed again).
bool IsFolderReadOnly(const char* folder);
// Generic (0x80000000 read, 0x40000000 write, 0x20000000 execute, 0x10000000
// all) and specific file rights, checked with the process's effective ids.
bool HasFileAccess(const std::string& path, uint32_t accessMask);
// 1 when the file opens with `flags`, 0 for access denied or a sharing
// violation; other file errors throw zor::platform::FileException.
bool CanOpenFile(const std::string& path, unsigned flags);
bool SetReadOnly(const std::string& path, bool readOnly);
// Attribute bits: 0x1 read-only, 0x10 folder, 0x80 normal. Only read-only
// can change on Linux; clearing the others succeeds and changes nothing.
uint32_t GetFileAttributesOf(const std::string& path);
bool ClearFileAttributes(const std::string& path, uint32_t attributes);
int64_t GetFileSize64(const std::string& path);
bool IsSameText(const std::string& a, const std::string& b);

// --- Folders, searches and copies -------------------------------------------

bool CreateFolderTree(const std::string& path);
bool CreateFolderTreeUnc(const std::string& path);
bool CanCreateFile(const std::string& path);
void EmptyFolder(const std::string& folder);
// Moves the path (a file, a link or a whole folder; a trailing separator
// names the folder) to the freedesktop trash: the user's trash under the
// local application data folder, or for another file system that file
// system's own trash ($top/.Trash/$uid or $top/.Trash-$uid, only when it is
// the user's own folder), else a copy into the user's trash. When the copied
// source cannot be removed whole the copy stays in the trash and the result is
// false: what was removed is never lost.
bool MoveToRecycleBin(const std::string& path, const void* ownerWindow = nullptr);
// Files are copied with overwrite (a link to a file as the file's contents);
// folders only with `recursive`, a link to a folder then as a link, and a
// sub-folder that holds the destination is left out.
bool CopyFolderContents(const std::string& source, const std::string& destination, bool recursive,
                        bool stopAtFirstError, std::string& firstFailure);
bool CopyFolderContents(const std::string& source, const std::string& destination, bool recursive);
std::string FindFirstFileInFolder(const std::string& folder, const std::string& pattern);
bool FindFilesInFolderTree(std::vector<std::string>& out, const std::string& folder,
                           const std::string& pattern, bool recursive, bool fullPath);
bool FindSubFolders(std::vector<std::string>& out, const std::string& folder,
                    const std::string& pattern, bool recursive, bool fullPath);
// The relative path from `from` (a file when it has an extension, else a
// folder) to the file `to`; out is emptied when there is none.
bool MakeRelativePath(const std::string& from, const std::string& to, std::string& out);
// Opens the path with the desktop's default program (xdg-open); false when
// there is none.
bool OpenWithShell(const std::string& path);

// --- Process-wide folders ----------------------------------------------------

std::string GetCurrentFolder(bool trailingSeparator);
void SetCurrentFolder(const char* path);
std::string GetTempFolder();
bool GetShellFolder(int csidl, const std::string& subPath, std::string& out, bool create);
std::string GetCommonProgramFilesFolder();
std::string GetMyDocumentsFolder();
// With the maker folder: ".../Zor", created (one level) when missing.
std::string GetLocalAppDataFolder(bool withMakerFolder);
