// The suite's folder table: where every program finds its driver settings,
// driver-definition files, XML files, geodetic grids and tide files.
//
//   std::string folder;
//   if (GetSuiteFolder(4, folder, /*create=*/true, /*trailingSeparator=*/true)) ...
//   std::vector<std::string> inis;
//   FindDefinitionFiles(1, inis, /*onePerName=*/true);   // driver-definition files
//
// Each folder id names a base folder (one of four roots) and a sub-path below
// it. The roots on Linux: kind 0 is <common documents>/Zor/Tridu, kind 1 the
// current folder, kind 2 <common program files>/Zor, kind 3 <common
// documents>/Zor/Shared, where the shell folders follow their environment
// overrides (platform/shell_folders.h).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

using SuiteFolderId = int32_t;
using SuiteBaseFolder = int32_t;
using DefinitionKind = int32_t;

struct DefinitionSearchInfo {
  std::vector<std::string> patterns;
  std::vector<SuiteFolderId> folderIds;
};

bool GetSuiteFolder(SuiteFolderId id, std::string& out, bool create, bool trailingSeparator);
// The folder of `id`, with `extraSubPath` joined by '/'. Out receives the path
// even when the folder does not exist; the result says whether it exists.
// An unknown id leaves out unchanged and gives false.
bool GetSuiteFolderPath(SuiteFolderId id, const std::string& extraSubPath, std::string& out,
                        bool create, bool trailingSeparator);
// The root of a base kind; an unknown kind gives "" (and true).
bool GetSuiteBaseFolder(SuiteBaseFolder kind, std::string& out);

// Throws std::invalid_argument for a kind other than 0 to 3.
DefinitionSearchInfo GetDefinitionSearchInfo(DefinitionKind kind);
// Appends the existing folders of the kind, in search order.
std::vector<std::string>& GetDefinitionFolders(DefinitionKind kind, std::vector<std::string>& out);
// With onePerName, one path per file name (the last folder in search order
// wins), sorted by name; otherwise every match in folder order.
void FindDefinitionFiles(DefinitionKind kind, std::vector<std::string>& out, bool onePerName);
// The first file of that name in the first of the folders that has one.
bool FindFileInSuiteFolders(std::string& out, const std::vector<SuiteFolderId>& ids,
                            const std::string& fileName);
bool FindDriverSettingsFile(std::string& out, const std::string& fileName);
bool FindSettingsFile(std::string& out, const std::string& fileName);
std::vector<SuiteFolderId> GetSuiteFolderIdList();
