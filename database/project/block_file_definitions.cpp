// The operations of CBlockFile that load the definition lists of a stored
// database: the copy of its definitions into a new file, its version and its
// survey unit.
#include <fcntl.h>

#include <cerrno>
#include <cstdint>
#include <string>

#include "core/log/logger.h"
#include "database/blockfile/block_file.h"
#include "database/blockfile/block_walker.h"
#include "database/blockfile/his_list.h"
#include "database/blockfile/report_file_exception.h"
#include "database/blockfile/wait_cursor.h"
#include "database/definitions/hdr_list.h"
#include "database/definitions/sys_def_list.h"
#include "platform/path_text.h"
#include "platform/safe_files.h"

using zor::platform::File;
using zor::platform::FileException;

namespace {

// The history action a copied database starts with.
constexpr int32_t kHistoryActionCopied = 2;
// The header list is read as the version and unit queries need it: quietly,
// with the upgrades that bring an older list's records up to date.
constexpr bool kQuietLoad = false;
constexpr int32_t kUpgradeLevel = 1;

// Empties a definition list when the scope ends: the lists free nothing on
// their own, and a file exception may leave the scope early.
template <typename List>
class EmptyOnExit {
 public:
  explicit EmptyOnExit(List& list) : list_(list) {}
  ~EmptyOnExit() { list_.RemoveAll(); }
  EmptyOnExit(const EmptyOnExit&) = delete;
  EmptyOnExit& operator=(const EmptyOnExit&) = delete;

 private:
  List& list_;
};

// Drops the file's handle when the guard ends, unless it was closed.
class CloseOnExit {
 public:
  explicit CloseOnExit(File& file) : file_(file) {}
  ~CloseOnExit() { file_.Abort(); }
  CloseOnExit(const CloseOnExit&) = delete;
  CloseOnExit& operator=(const CloseOnExit&) = delete;

 private:
  File& file_;
};

// True when the count is not negative and every counted block lies inside
// the file.
bool CountedBlocksFit(File& file) {
  BlockWalker walk(file);
  return walk.Count() >= 0 && walk.PassCountedBlocks();
}

}  // namespace

int CBlockFile::CopyDefinitionsTo(CBlockFile* destination, bool report, int32_t upgrade,
                                  int32_t saveMode) {
  if (destination == nullptr) return 0;
  // The readers below stop at whatever does not fit; a damaged source is
  // refused whole rather than copied in part into a file that looks sound.
  if (!CountedBlocksFit(*this)) {
    Log(LogLevel::Warning, "The definitions of %s were not copied: the file is damaged",
        GetFilePath().c_str());
    return 0;
  }
  if (!destination->StartAppend()) {
    Log(LogLevel::Warning, "The definitions of %s were not copied: %s is damaged",
        GetFilePath().c_str(), destination->GetFilePath().c_str());
    return 0;
  }
  CHdrList header;
  CSysDefList systems;
  EmptyOnExit<CSysDefList> emptySystems(systems);
  CHisList history;

  header.Load(*this, report, upgrade);
  systems.Load(*this);
  history.Load(*this);
  history.Clear();
  history.SetEntry(kHistoryActionCopied, 0, nullptr, false);

  header.Save(*destination, saveMode);
  systems.Save(*destination);
  history.Save(*destination);

  header.RemoveAll();
  history.Clear();
  return 3;
}

std::string& CBlockFile::GetDatabaseVersionText(std::string& text) {
  CHdrList header;
  header.Load(*this, kQuietLoad, kUpgradeLevel);
  text = header.GetVersionText();
  header.RemoveAll();
  return text;
}

int32_t CBlockFile::GetDatabaseVersionNumber() {
  CHdrList header;
  header.Load(*this, kQuietLoad, kUpgradeLevel);
  const int32_t version = header.GetVersionNumber();
  header.RemoveAll();
  return version;
}

std::string CBlockFile::GetSurveyUnitName(const std::string& fileName) {
  if (IsOpen()) return {};
  // A query reads: the file is opened for reading, so a database on
  // read-only media or of another user is read as it stands, and its
  // read-only attribute is never touched (a killed process would leave it
  // cleared). The name is opened once, without waiting (a FIFO would hold
  // the open until a writer came) and without following a final link; what
  // is not a regular file is refused. The file read is the one checked,
  // opened anew through its descriptor, whatever takes the name meanwhile.
  const zor::platform::UniqueFd fd(
      zor::platform::OpenExisting(zor::platform::ToNativePath(fileName).c_str(), O_RDONLY));
  if (!fd) {
    ReportFileException(OpenExistingFailure(errno, fileName));
    return {};
  }
  FileException error;
  if (!Open("/proc/self/fd/" + std::to_string(fd.get()), modeRead | shareDenyWrite, &error)) {
    error.m_strFileName = fileName;
    ReportFileException(error);
    return {};
  }
  CloseOnExit close(*this);
  WaitCursor busy;
  CHdrList header;
  try {
    header.Load(*this, kQuietLoad, kUpgradeLevel);
  } catch (FileException& e) {
    e.m_strFileName = fileName;
    throw;
  }
  Close();
  std::string name = header.GetSurveyUnitName();
  header.RemoveAll();
  return name;
}
