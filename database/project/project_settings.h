// Where the current project lives, which sub-folder serves which purpose, and
// the project's shared settings record, read from the settings file that the
// registry names.
//
//   CProjectSettings settings(/*watch=*/1, /*kind=*/0);
//   std::string logs = settings.GetFolder(kFolderLogFiles, 1);     // ".../LogFiles/"
//   sProjectSettingsRecord record = settings.GetValues().record;
//
// Kind 0 finds the file under the registry value "ProjectSettingsFile" of the
// bare key "Software\Zor"; kind 1 under "Last Project" of the "Project" key of
// product 3. A watching object reloads the file whenever any process of the
// suite sets the named event "Console_Global_Settings".
//
// Thread safety: every member may be called from any thread while the watcher
// reloads. The values are guarded by one mutex and read as copies; a load
// parses the file into a copy and puts it in place whole, so a failed or
// invalid file never leaves half-read values (only the project folder and
// name follow the path that was tried, and the file state tells what the last
// file read was). Loads and stores run one at a time.
//
// Failures: Load and Store throw the file and archive exceptions of the
// platform (platform/file.h, platform/class_archive.h); Reload catches them,
// reports them in a message box when report failures is set, and returns 0.
// Whatever fails, the archive is aborted and the file closed before the
// exception leaves Load or Store.
#pragma once

#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

#include "database/project/project_settings_file.h"
#include "platform/class_archive.h"
#include "platform/file.h"
#include "platform/named_event.h"

using BOOL = int32_t;

// Folder flags of GetFolder.
inline constexpr int32_t kFolderDatabase = 0x1;
inline constexpr int32_t kFolderLogFiles = 0x800;
// The flags whose folders lie under the root folder unless the folder mask
// holds all their bits.
inline constexpr uint32_t kRootFolderGroup = 0x1F880FF;

inline constexpr char kProjectSettingsEventName[] = "Console_Global_Settings";

// The sub-folder of exactly one folder flag, with '/' before each level
// ("/LogFiles", "/Export/PRO"); "" for any other value, combinations included.
std::string FolderSuffix(int32_t flag);

class CProjectSettings {
 public:
  static constexpr char kClassName[] = "CProjectSettings";
  static constexpr uint32_t kSchema = 8;

  // Resets to the defaults of the kind, reads the registry and the file
  // once; with `watch` starts the watcher on the event of that name (tests
  // give names of their own). When the event cannot be made (/dev/shm full,
  // another user's block under its name, ...) a warning with the error code
  // is logged and the object works without watching: IsWatching() is false
  // and a changed file is read at the next LoadFromRegistry or Reload only.
  CProjectSettings(BOOL watch, int32_t kind, const char* eventName = kProjectSettingsEventName);
  // Stops and joins the watcher before anything is torn down; a watcher
  // busy for more than 1000 ms is waited for and the delay logged.
  virtual ~CProjectSettings();
  CProjectSettings(const CProjectSettings&) = delete;
  CProjectSettings& operator=(const CProjectSettings&) = delete;

  // The dynamic-creation factory: a watching object of kind 0.
  static std::unique_ptr<CProjectSettings> CreateObject();

  // base + FolderSuffix(flag), base being the root folder when the flag lies
  // in kRootFolderGroup, the root folder is not empty and the folder mask
  // lacks one of the flag's bits, else the project folder; the project
  // folder alone when the flag has no sub-folder. With `addSeparator` a '/'
  // follows.
  std::string GetFolder(int32_t flag, BOOL addSeparator) const;
  std::string GetProjectFolder() const;
  std::string GetRootFolder() const;
  // A copy of everything the object holds but its kind, path and watcher.
  ProjectSettingsValues GetValues() const;
  void SetValues(const ProjectSettingsValues& values);
  std::string GetSettingsFilePath() const;
  int32_t GetKind() const noexcept { return m_kind; }
  bool IsWatching() const noexcept { return m_watcher.joinable(); }

  // Copies the texts, folder mask, file flag, report-failures flag, file
  // state and record; kind, settings file path and watcher stay.
  virtual CProjectSettings& CopyFrom(const CProjectSettings& other);

  // Report failures off, spare text, project folder, project name and text 3
  // emptied; a full reset (keepRecord false) also gives the kind's folder
  // mask, empties root folder, text 2 and text 1, sets file flag 1 and the
  // default record. File state 1 afterwards.
  void Reset(bool keepRecord);
  void SetReportFailures(BOOL report);

  // Reads the settings file path from the registry (a failed read keeps the
  // path), then Reload.
  void LoadFromRegistry();
  // Load(nullptr, false), catching and reporting its exceptions, a failed
  // allocation included: 0 then.
  BOOL Reload();
  // Sets project folder and name from the path (or the stored one), opens
  // the file and reads it. 1 when read; throws FileException when the file
  // cannot be opened or is not a regular file (a FIFO would block the open;
  // a link under the name is refused too) and ArchiveException for its
  // content.
  BOOL Load(const char* path, bool force);
  // Writes version 8 to a fresh temporary file of random name beside the
  // target and renames it over the target, so a reader never meets half a
  // file. The target keeps what a write into it would keep: the new file
  // takes the old one's permissions, and a file that is read-only (or not
  // writable by the real user, or not a regular file) is refused with
  // FileException accessDenied, unchanged. A symbolic link under the name
  // is refused the same way and left alone with what it names: in a folder
  // shared with others, it may be theirs. In a set-user-id or set-group-id
  // program the files are made and checked with the real user's ids. 1 when
  // stored; throws as Load does.
  BOOL Store(const char* path);

  // The steps of Load and Store, over the object's own file and archive.
  // They take the lock of Load and Store, so each step waits for a load of
  // the watcher; a caller that runs the steps itself must not let the object
  // watch, or the watcher's reload may take the archive between its steps.
  //
  // Opens `file` and an archive over it with a 4096-byte buffer: mode
  // ClassArchive::load reads, denying others write access; ClassArchive::store
  // creates the file for writing, exclusively (by its name: Store never
  // takes this step). 0 for a null file; any other mode does nothing; else
  // 1, with no archive when it could not be allocated. A failed open throws FileException with the cause, the system
  // error and `file`. An archive still open is aborted first.
  BOOL OpenArchive(const char* file, unsigned mode);
  // Closes the archive (a storing one writes its bytes) and the file; 0 when
  // no archive is open. Throws FileException when a write fails; the archive
  // then stays open for AbortArchive.
  BOOL CloseArchive();
  // Drops the archive without writing and closes the file, reporting nothing.
  void AbortArchive() noexcept;
  // The open archive, or null; valid until CloseArchive or AbortArchive.
  zor::platform::ClassArchive* GetArchive() const;

  // Reads (archive loading) or writes (storing) the file through `archive`.
  // A read goes into a copy that replaces the values only when the whole
  // file was read and is valid; the file state is kept also on failure.
  void SerializeArchive(zor::platform::ClassArchive& archive, bool force);
  bool IsValid() const;

 private:
  void WatchThreadProc();
  // Shows a caught exception to the user when report failures is set.
  void ReportFailure(const std::string& text) const;

  const int32_t m_kind;
  mutable std::mutex m_mutex;  // guards m_values and m_settingsFilePath
  ProjectSettingsValues m_values;
  std::string m_settingsFilePath;
  // One load or store at a time; guards m_file and m_archive.
  mutable std::recursive_mutex m_archiveMutex;
  zor::platform::File m_file;
  std::string m_fileName;  // the name m_file was opened by ...
  std::string m_openedAs;  // ... and the descriptor's name it was opened through
  std::unique_ptr<zor::platform::ClassArchive> m_archive;  // over m_file

  std::unique_ptr<zor::platform::Event> m_reloadEvent;
  std::unique_ptr<zor::platform::Event> m_stopEvent;
  std::thread m_watcher;
};
