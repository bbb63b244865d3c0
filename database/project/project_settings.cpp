#include "database/project/project_settings.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <new>
#include <optional>

#include "core/log/logger.h"
#include "core/text/path_utils.h"
#include "database/blockfile/report_file_exception.h"
#include "platform/file.h"
#include "platform/message_sink.h"
#include "platform/safe_files.h"
#include "system/files/file_helpers.h"
#include "system/registry/zor_registry.h"

using zor::platform::ArchiveException;
using zor::platform::ClassArchive;
using zor::platform::Event;
using zor::platform::File;
using zor::platform::FileException;
using zor::platform::OpenExisting;
using zor::platform::TemporaryFile;
using zor::platform::UniqueFd;

namespace {

constexpr auto kReloadPause = std::chrono::milliseconds(100);
constexpr auto kStopPatience = std::chrono::milliseconds(1000);

// The texts and record that a settings file provides. The spare text,
// project name and report-failures flag are the owner's and stay.
void TakeFileFields(ProjectSettingsValues& to, ProjectSettingsValues&& from) {
  to.text1 = std::move(from.text1);
  to.projectFolder = std::move(from.projectFolder);
  to.rootFolder = std::move(from.rootFolder);
  to.text2 = std::move(from.text2);
  to.text3 = std::move(from.text3);
  to.folderMask = from.folderMask;
  to.fileFlag = from.fileFlag;
  to.fileState = from.fileState;
  to.record = from.record;
}

// The settings file's bytes go straight to the temporary file's descriptor:
// the archive writes through this file, which is never opened by a name.
class DescriptorFile final : public File {
 public:
  DescriptorFile(int fd, std::string name) : m_fd(fd), m_name(std::move(name)) {}

  void Write(const void* buffer, uint32_t count) override {
    const auto* p = static_cast<const uint8_t*>(buffer);
    while (count > 0) {
      const ssize_t n = ::write(m_fd, p, count);
      if (n < 0 && errno == EINTR) continue;
      // A write that takes nothing (a full disk) must not loop for ever.
      const int err = n < 0 ? errno : n == 0 ? ENOSPC : 0;
      if (err != 0) throw FileException(FileException::CauseFromErrno(err), err, m_name);
      p += n;
      count -= static_cast<uint32_t>(n);
    }
  }
  // The temporary file flushes and closes its own descriptor.
  void Flush() override {}
  void Close() override {}
  void Abort() override {}

 private:
  int m_fd;
  std::string m_name;
};

}  // namespace

std::string FolderSuffix(int32_t flag) {
  switch (static_cast<uint32_t>(flag)) {
    case 0x1: return "/Database";
    case 0x2: return "/DxfToVmf";
    case 0x4: return "/GridData";
    case 0x8: return "/LineData";
    case 0x10: return "/Tide";
    case 0x20: return "/Mapping";
    case 0x40: return "/Support";
    case 0x80: return "/Graphics";
    case 0x100: return "/DtmData";
    case 0x200: return "/Export";
    case 0x400: return "/Import";
    case 0x800: return "/LogFiles";
    case 0x1000: return "/Results";
    case 0x2000: return "/TEMP";
    case 0x4000: return "/Database";
    case 0x8000: return "/DxfToVmf";
    case 0x10000: return "/Export/PRO";
    case 0x20000: return "/Export/Donar";
    case 0x40000: return "/Export/Lpd";
    case 0x80000: return "/Geoid";
    case 0x100000: return "/Settings";
    case 0x200000: return "/Settings/Display";
    case 0x400000: return "/Settings/LogFile";
    case 0x800000: return "/Settings/Export";
    case 0x1000000: return "/Annotations";
    case 0x2000000: return "/Recordings";
    case 0x4000000: return "/Settings/VesselTypes";
    case 0x8000000: return "/Tide/TideDefinition";
    case 0x10000000: return "/Tide/TideData";
    case 0x20000000: return "/Annotations/Icons";
    case 0x40000000: return "/Hwr";
    default: return {};
  }
}

CProjectSettings::CProjectSettings(BOOL watch, int32_t kind, const char* eventName)
    : m_kind(kind) {
  Reset(false);
  LoadFromRegistry();
  if (!watch) return;
  m_reloadEvent = Event::CreateNamed(eventName ? eventName : "", /*manualReset=*/true,
                                     /*initialState=*/false);
  m_stopEvent = std::make_unique<Event>(/*manualReset=*/false, /*initialState=*/false);
  if (!m_reloadEvent) {
    Log(LogLevel::Warning,
        "Project settings: cannot open the event %s (error %u); changes announced by other "
        "programs are not followed",
        eventName ? eventName : "", zor::platform::GetLastError());
    return;
  }
  m_watcher = std::thread(&CProjectSettings::WatchThreadProc, this);
}

CProjectSettings::~CProjectSettings() {
  if (!m_watcher.joinable()) return;
  // No thread can be killed safely here: the watcher leaves at its next
  // wait, at the latest once a reload under way has finished.
  const auto start = std::chrono::steady_clock::now();
  m_stopEvent->Set();
  m_watcher.join();
  const auto took = std::chrono::steady_clock::now() - start;
  if (took > kStopPatience)
    Log(LogLevel::Warning, "Project settings: the watcher took %lld ms to stop",
        static_cast<long long>(
            std::chrono::duration_cast<std::chrono::milliseconds>(took).count()));
}

std::unique_ptr<CProjectSettings> CProjectSettings::CreateObject() {
  return std::make_unique<CProjectSettings>(1, 0);
}

std::string CProjectSettings::GetFolder(int32_t flag, BOOL addSeparator) const {
  const std::string sub = FolderSuffix(flag);
  std::string result;
  {
    std::lock_guard<std::mutex> lock(m_mutex);
    const auto bits = static_cast<uint32_t>(flag);
    const bool inRootGroup = (bits & ~kRootFolderGroup) == 0;
    if (sub.empty())
      result = m_values.projectFolder;
    else if (inRootGroup && !m_values.rootFolder.empty() &&
             (m_values.folderMask & bits) != bits)
      result = m_values.rootFolder + sub;
    else
      result = m_values.projectFolder + sub;
  }
  if (addSeparator) result += '/';
  return result;
}

std::string CProjectSettings::GetProjectFolder() const {
  std::lock_guard<std::mutex> lock(m_mutex);
  return m_values.projectFolder;
}

std::string CProjectSettings::GetRootFolder() const {
  std::lock_guard<std::mutex> lock(m_mutex);
  return m_values.rootFolder;
}

ProjectSettingsValues CProjectSettings::GetValues() const {
  std::lock_guard<std::mutex> lock(m_mutex);
  return m_values;
}

void CProjectSettings::SetValues(const ProjectSettingsValues& values) {
  std::lock_guard<std::mutex> lock(m_mutex);
  m_values = values;
}

std::string CProjectSettings::GetSettingsFilePath() const {
  std::lock_guard<std::mutex> lock(m_mutex);
  return m_settingsFilePath;
}

CProjectSettings& CProjectSettings::CopyFrom(const CProjectSettings& other) {
  if (&other == this) return *this;
  // Never both locks at once: two objects copying each other cannot block.
  ProjectSettingsValues values = other.GetValues();
  SetValues(values);
  return *this;
}

void CProjectSettings::Reset(bool keepRecord) {
  std::lock_guard<std::mutex> lock(m_mutex);
  ProjectSettingsValues& v = m_values;
  v.reportFailures = 0;
  v.spareText.clear();
  v.projectFolder.clear();
  v.projectName.clear();
  v.text3.clear();
  if (!keepRecord) {
    v.folderMask = DefaultFolderMask(m_kind);
    v.rootFolder.clear();
    v.text2.clear();
    v.text1.clear();
    v.fileFlag = 1;
    ResetProjectSettingsRecord(v.record);
  }
  v.fileState = 1;
}

void CProjectSettings::SetReportFailures(BOOL report) {
  std::lock_guard<std::mutex> lock(m_mutex);
  m_values.reportFailures = report;
}

void CProjectSettings::LoadFromRegistry() {
  std::string path;
  BOOL found = 0;
  if (m_kind == 1) {
    CZORRegistry registry("Project", kRegistryProductPelmar, 0, HKEY_CURRENT_USER);
    found = registry.ReadString("Last Project", path);
  } else {
    CZORRegistry registry(0, 0, HKEY_CURRENT_USER);
    found = registry.ReadString("ProjectSettingsFile", path);
  }
  if (found) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_settingsFilePath = path;
  }
  Reload();
}

void CProjectSettings::ReportFailure(const std::string& text) const {
  {
    std::lock_guard<std::mutex> lock(m_mutex);
    if (m_values.reportFailures == 0) return;
  }
  zor::platform::ShowMessageBox(text, kClassName,
                                zor::platform::MB_OK | zor::platform::MB_ICONERROR);
}

BOOL CProjectSettings::Reload() {
  try {
    return Load(nullptr, false);
  } catch (const FileException& error) {
    ReportFailure(FileExceptionText(error));
  } catch (const ArchiveException& error) {
    std::string text = error.GetErrorMessage();
    if (error.m_cause == ArchiveException::badSchema)
      text += "\nIncompatible file version detected.\n";
    else if (error.m_cause == ArchiveException::badIndex)
      text += "\nCorrupt Vtb file detected.\n";
    ReportFailure(text);
  } catch (const std::bad_alloc&) {
    // A text as long as the file can be (a sparse file of gigabytes): the
    // load fails as for a corrupt file, rather than end the program from
    // the constructor or the watcher thread.
    ReportFailure("Not enough memory to read the project settings file " +
                  GetSettingsFilePath() + "\nCorrupt Vtb file detected.\n");
  }
  return 0;
}

BOOL CProjectSettings::Load(const char* path, bool force) {
  std::lock_guard<std::recursive_mutex> loading(m_archiveMutex);
  const std::string file = path ? std::string(path) : GetSettingsFilePath();
  {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_values.projectFolder = GetFolderFromPath(file, true);
    m_values.projectName = GetFileNameFromPath(RemoveFileExtension(file));
  }
  try {
    OpenArchive(file.c_str(), ClassArchive::load);
    if (m_archive == nullptr) {
      AbortArchive();  // the file may be open without an archive
      return 0;
    }
    SerializeArchive(*m_archive, force);
    CloseArchive();
  } catch (...) {
    AbortArchive();
    throw;
  }
  return 1;
}

BOOL CProjectSettings::Store(const char* path) {
  std::lock_guard<std::recursive_mutex> storing(m_archiveMutex);
  const std::string target = ToNativePath(path ? std::string(path) : GetSettingsFilePath());
  // No name: the temporary file would land in the current folder.
  if (target.empty()) throw FileException(FileException::badPath, ENOENT, target);
  const auto fail = [&target](int err, int cause = 0) {
    throw FileException(cause != 0 ? cause : FileException::CauseFromErrno(err), err, target);
  };
  // The file replaced keeps what a write into it would keep: a read-only
  // file is refused, and the new one gets the old one's permissions (a
  // project shared by a group stays writable by the group). Whether this
  // user may write into it is asked of the file itself, opened as the real
  // user without following a link; a link under the name, or anything but
  // a regular file, is refused and left alone.
  std::optional<mode_t> mode;
  {
    const UniqueFd existing(OpenExisting(target.c_str(), O_WRONLY));
    struct stat st;
    if (existing) {
      if (::fstat(existing.get(), &st) != 0) fail(errno);
      if ((st.st_mode & S_IWUSR) == 0) fail(EACCES, FileException::accessDenied);
      mode = st.st_mode & 07777;
    } else if (const int err = errno; err != ENOENT) {
      const bool refused = err == EACCES || err == EPERM || err == EROFS || err == ELOOP ||
                           err == ENXIO || err == EISDIR;
      fail(err, refused ? FileException::accessDenied : 0);
    }
  }
  TemporaryFile temporary;
  if (const int err = temporary.Create(target, 0666)) fail(err);
  if (mode && ::fchmod(temporary.fd(), *mode) != 0) fail(errno);
  DescriptorFile file(temporary.fd(), target);
  std::unique_ptr<ClassArchive> archive;
  try {
    archive = std::make_unique<ClassArchive>(file, ClassArchive::store, 4096);
  } catch (const std::bad_alloc&) {
    return 0;
  }
  SerializeArchive(*archive, false);
  archive->Close();
  // On disk, then in the target's place.
  if (const int err = temporary.Commit()) fail(err);
  return 1;
}

BOOL CProjectSettings::OpenArchive(const char* file, unsigned mode) {
  if (file == nullptr) return 0;
  unsigned flags = 0;
  if (mode == ClassArchive::load)
    flags = File::modeRead | File::shareDenyWrite;
  else if (mode == ClassArchive::store)
    flags = File::modeCreate | File::modeWrite | File::shareExclusive;
  else
    return 1;
  std::lock_guard<std::recursive_mutex> lock(m_archiveMutex);
  // A second open would otherwise leave the first file open for good.
  AbortArchive();
  const std::string native = ToNativePath(file);
  std::string opened = native;
  UniqueFd checked;
  if (mode == ClassArchive::load) {
    // A FIFO would hold the open (and the watcher) until a writer came, and
    // a device, a folder or a link is no settings file. The name is opened
    // once, without waiting, and the file checked is the one read, opened
    // anew through its descriptor for its share mode.
    checked.reset(OpenExisting(native.c_str(), O_RDONLY));
    if (!checked) {
      const int err = errno;
      const bool irregular = err == ENXIO || err == EISDIR || err == ELOOP;
      throw FileException(irregular ? FileException::accessDenied : FileException::CauseFromErrno(err),
                          err, file);
    }
    opened = "/proc/self/fd/" + std::to_string(checked.get());
  }
  FileException error;
  if (!m_file.Open(opened, flags, &error)) {
    error.m_strFileName = file;
    throw error;
  }
  m_fileName = file;
  m_openedAs = checked ? opened : std::string();
  try {
    m_archive = std::make_unique<ClassArchive>(m_file, mode, 4096);
  } catch (const std::bad_alloc&) {
    m_archive.reset();
  }
  return 1;
}

BOOL CProjectSettings::CloseArchive() {
  std::lock_guard<std::recursive_mutex> lock(m_archiveMutex);
  if (m_archive == nullptr) return 0;
  m_archive->Close();
  m_archive.reset();
  m_file.Close();
  return 1;
}

void CProjectSettings::AbortArchive() noexcept {
  std::lock_guard<std::recursive_mutex> lock(m_archiveMutex);
  if (m_archive != nullptr) {
    m_archive->Abort();
    m_archive.reset();
  }
  m_file.Abort();
}

ClassArchive* CProjectSettings::GetArchive() const {
  std::lock_guard<std::recursive_mutex> lock(m_archiveMutex);
  return m_archive.get();
}

void CProjectSettings::SerializeArchive(ClassArchive& archive, bool force) {
  if (archive.IsStoring()) {
    WriteProjectSettingsFile(archive, GetValues());
    std::lock_guard<std::mutex> lock(m_mutex);
    if (m_values.fileState != 1) m_values.fileState = 3;
    return;
  }
  ProjectSettingsValues scratch = GetValues();
  // The object's own file was opened through its descriptor: failures name
  // it as the caller did.
  const auto named = [&](auto& error) {
    if (archive.GetFile() != &m_file || m_openedAs.empty()) return;
    const std::size_t at = error.m_strFileName.find(m_openedAs);
    if (at != std::string::npos) error.m_strFileName.replace(at, m_openedAs.size(), m_fileName);
  };
  try {
    try {
      ReadProjectSettingsFile(archive, scratch, force);
    } catch (ArchiveException& error) {
      named(error);
      throw;
    } catch (FileException& error) {
      named(error);
      throw;
    }
  } catch (...) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_values.fileState = scratch.fileState;
    throw;
  }
  std::lock_guard<std::mutex> lock(m_mutex);
  TakeFileFields(m_values, std::move(scratch));
}

bool CProjectSettings::IsValid() const {
  std::lock_guard<std::mutex> lock(m_mutex);
  return IsValidProjectSettings(m_values.fileFlag, m_values.record);
}

void CProjectSettings::WatchThreadProc() {
  Event* const events[] = {m_reloadEvent.get(), m_stopEvent.get()};
  for (;;) {
    // The stop event is auto-reset: the wait that reports it consumes it.
    if (zor::platform::WaitForAny(events, zor::platform::kInfinite) != zor::platform::kWaitObject0)
      return;
    // Sets after this count as news the reload may not have seen.
    const uint32_t generation = m_reloadEvent->GetGeneration();
    BOOL ok = 0;
    try {
      ok = Reload();
    } catch (const std::exception&) {
      ok = 0;  // out of memory and the like: tried again like a failed read
    }
    // The pause after every attempt, success or not, keeps a file that stays
    // broken from being read in a busy loop; a stop ends it at once.
    if (m_stopEvent->Wait(static_cast<uint32_t>(kReloadPause.count())) ==
        zor::platform::kWaitObject0)
      return;
    // An announcement made during the reload or the pause keeps the event
    // set, so it is not lost with the reset.
    if (ok) m_reloadEvent->ResetIfGeneration(generation);
  }
}
