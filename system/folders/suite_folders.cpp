#include "system/folders/suite_folders.h"

#include <filesystem>
#include <map>
#include <stdexcept>

#include "core/text/file_search.h"
#include "platform/path_text.h"
#include "platform/shell_folders.h"
#include "system/files/file_helpers.h"

namespace fs = std::filesystem;

namespace {

struct FolderEntry {
  SuiteBaseFolder kind;
  const char* subPath;
};

// The suite's folders by id. Several ids name the same folder; each caller
// uses the id of its purpose.
const std::map<SuiteFolderId, FolderEntry>& FolderTable() {
  static const std::map<SuiteFolderId, FolderEntry> table = {
      {0, {0, "/Drivers/Settings"}},
      {1, {1, ""}},
      {2, {1, "/Drivers/Settings"}},
      {3, {1, "/Drivers/Definitions/Input"}},
      {4, {0, "/Drivers/Definitions/Input"}},
      {5, {1, "/Ini Files"}},
      {6, {1, "/Drivers/Definitions/Output"}},
      {7, {0, "/Drivers/Definitions/Output"}},
      {8, {1, "/XML/Driver"}},
      {9, {1, "/Drivers"}},
      {10, {0, "/Drivers"}},
      {11, {1, ""}},
      {12, {1, "/XML/Eventing"}},
      {13, {0, "/Eventing"}},
      {14, {1, ""}},
      {15, {1, "/Settings"}},
      {16, {0, "/Settings"}},
      {17, {2, "/Drivers/Settings"}},
      {18, {3, "/Drivers/Settings"}},
      {19, {0, ""}},
      {20, {2, "/CadIcons"}},
      {21, {1, ""}},
      {22, {2, "/Geo"}},
      {23, {3, "/Geo"}},
      {24, {3, "/Geo/Geoid"}},
      {25, {1, "/XML/Driver/Tide"}},
      {26, {2, "/Tide"}},
      {27, {3, "/Tide"}},
  };
  return table;
}

// After ToNativePath only '/' separates; a name may still end in '\'.
bool EndsWithSeparator(const std::string& s) { return !s.empty() && s.back() == '/'; }

}  // namespace

bool GetSuiteBaseFolder(SuiteBaseFolder kind, std::string& out) {
  int csidl = 0;
  const char* maker = nullptr;
  switch (kind) {
    case 0: csidl = zor::platform::kCsidlCommonDocuments; maker = "/Zor/Tridu"; break;
    case 2: csidl = zor::platform::kCsidlProgramFilesCommon; maker = "/Zor"; break;
    case 3: csidl = zor::platform::kCsidlCommonDocuments; maker = "/Zor/Shared"; break;
    case 1: out = GetCurrentFolder(false); return true;
    default: out.clear(); return true;
  }
  std::string shell;
  if (!GetShellFolder(csidl, "", shell, true)) return false;
  out = JoinPath(shell, maker);
  return true;
}

bool GetSuiteFolderPath(SuiteFolderId id, const std::string& extraSubPath, std::string& out,
                        bool create, bool trailingSeparator) {
  const auto& table = FolderTable();
  const auto it = table.find(id);
  if (it == table.end()) return false;
  std::string root;
  if (!GetSuiteBaseFolder(it->second.kind, root) || root.empty()) return false;

  std::string path = JoinPath(root, it->second.subPath);
  if (!extraSubPath.empty()) {
    if (!EndsWithSeparator(path)) path += '/';
    path += extraSubPath;
  }
  // The folder is built, created, tested and handed out in one form, so
  // that whatever the caller does with it finds the same folder.
  path = zor::platform::ToNativePath(path);
  std::error_code ec;
  if (create && !fs::exists(path, ec)) fs::create_directories(path, ec);  // failure shows below
  if (trailingSeparator && !EndsWithSeparator(path)) path += '/';
  out = path;
  return fs::exists(path, ec);
}

bool GetSuiteFolder(SuiteFolderId id, std::string& out, bool create, bool trailingSeparator) {
  return GetSuiteFolderPath(id, "", out, create, trailingSeparator);
}

DefinitionSearchInfo GetDefinitionSearchInfo(DefinitionKind kind) {
  switch (kind) {
    case 0: return {{"*\\DRIVERS.IO"}, {11, 9, 10}};
    case 1: return {{"*.ini"}, {5, 3, 4}};
    case 2: return {{"*.XML"}, {8, 6, 7}};
    case 3: return {{"*.XML"}, {12, 13}};
    default: throw std::invalid_argument("");
  }
}

std::vector<std::string>& GetDefinitionFolders(DefinitionKind kind, std::vector<std::string>& out) {
  DefinitionSearchInfo info;
  try {
    info = GetDefinitionSearchInfo(kind);
  } catch (const std::invalid_argument&) {
    return out;
  }
  for (SuiteFolderId id : info.folderIds) {
    std::string folder;
    if (GetSuiteFolder(id, folder, false, true)) out.push_back(folder);
  }
  return out;
}

void FindDefinitionFiles(DefinitionKind kind, std::vector<std::string>& out, bool onePerName) {
  const DefinitionSearchInfo info = GetDefinitionSearchInfo(kind);
  std::vector<std::string> folders;
  GetDefinitionFolders(kind, folders);
  std::vector<std::string> found;
  for (const std::string& folder : folders)
    for (const std::string& pattern : info.patterns)
      FindFilesByPattern(found, folder, pattern, false, true);
  if (!onePerName) {
    out = std::move(found);
    return;
  }
  std::map<std::string, std::string> byName;
  for (const std::string& path : found) byName[GetFileNameFromPath(path)] = path;
  for (const auto& [name, path] : byName) out.push_back(path);
}

bool FindFileInSuiteFolders(std::string& out, const std::vector<SuiteFolderId>& ids,
                            const std::string& fileName) {
  std::vector<std::string> folders;
  for (SuiteFolderId id : ids) {
    std::string folder;
    if (GetSuiteFolderPath(id, "", folder, false, true)) folders.push_back(folder);
  }
  std::vector<std::string> found;
  FindFilesInFolders(found, folders, "*\\" + fileName, false, true, true);
  if (found.empty()) return false;
  out = found.front();
  return true;
}

bool FindDriverSettingsFile(std::string& out, const std::string& fileName) {
  return FindFileInSuiteFolders(out, {0, 2, 1, 8}, fileName);
}

bool FindSettingsFile(std::string& out, const std::string& fileName) {
  return FindFileInSuiteFolders(out, {16, 15, 14}, fileName);
}

std::vector<SuiteFolderId> GetSuiteFolderIdList() { return {4, 7, 13, 16, 17, 18, 19, 24, 27}; }
