#include "database/project/sample_database.h"

#include <fcntl.h>
#include <stdio.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstddef>
#include <cstring>
#include <optional>
#include <type_traits>

#include "core/time/zor_time.h"
#include "database/blockfile/block_file.h"
#include "database/blockfile/his_list.h"
#include "database/catalogue/definition_records.h"
#include "database/definitions/hdr_list.h"
#include "database/definitions/sys_def_list.h"
#include "platform/bytes.h"
#include "platform/path_text.h"
#include "platform/safe_files.h"

namespace {

using zor::platform::AsRealUser;
using zor::platform::File;
using zor::platform::OpenExisting;
using zor::platform::TemporaryFile;
using zor::platform::UniqueFd;
using zor::platform::SYSTEMTIME;

// A fix record of the "Observation Events" chain headed by RecId 215.
struct sFixRecord {
  int32_t link;        // offset of the next record in the block; -1 ends
  int32_t fixNumber;
  uint8_t reserved[24];
  sTimeRecord time;
  uint8_t tail[8];
};
static_assert(std::is_standard_layout_v<sFixRecord> && sizeof(sFixRecord) == 56);
static_assert(offsetof(sFixRecord, link) == 0);
static_assert(offsetof(sFixRecord, fixNumber) == 4);
static_assert(offsetof(sFixRecord, time) == 32);

constexpr int32_t kRecIdFix = 215;

// 2024-03-01 (a Friday), the day the sample was surveyed.
constexpr SYSTEMTIME Time(uint16_t hour, uint16_t minute, uint16_t second, uint16_t ms) {
  return SYSTEMTIME{2024, 3, 5, 1, hour, minute, second, ms};
}

CHdrList SampleHeader() {
  CHdrList header;
  const float gpsUtc = 18.0f;
  header.AddEntry(kRecIdGpsUtcOffset, sizeof gpsUtc, &gpsUtc, -1);
  uint8_t unit[48] = {};
  zor::platform::SetText(unit, 0, 40, "Metre");
  zor::platform::SetLE(std::span<uint8_t>(unit), 40, 1.0);
  header.AddEntry(kRecIdSurveyUnit, sizeof unit, unit, -1);
  const int32_t fix = 0;
  header.AddEntry(kRecIdFix, sizeof fix, &fix, -1);
  return header;
}

sSysDef System(int32_t id, int32_t type, const char* name) {
  sSysDef sys{};
  sys.id = id;
  sys.type = type;
  sys.ident[3] = kSysIdentNotSet;
  sys.currentLayout = 1;
  zor::platform::SetFieldText(sys.name, name);
  return sys;
}

// Block 27.
void WriteSystemBlock(CBlockFile& file) {
  CSysDefList systems;
  systems.AddCopy(System(1, 11, "GNSS Receiver"));
  systems.AddCopy(System(2, 3, "Motion Sensor"));
  systems.Save(file);
  systems.RemoveAll();
}

// Block 7: three fixes ten seconds apart in one chain; returns its head.
int32_t WriteFixChain(CBlockFile& file) {
  const uint64_t start = file.BeginBlock();
  int32_t first = -1;
  int32_t last = -1;
  for (int32_t i = 0; i < 3; ++i) {
    sFixRecord fix{};
    fix.link = -1;
    fix.fixNumber = 101 + i;
    fix.time = CZORTime(2024, 3, 1, 9, 15, 40.0 + 10 * i).GetTimeRecord();
    file.AppendChainedRecord(&fix, sizeof fix, first, last, start);
  }
  file.WriteBlockHeader(start, file.GetPosition() - start, kBlockObservationEvents);
  return first;
}

// Writes the blocks into `file`, open for reading and writing and empty.
void WriteSample(CBlockFile& file) {
  file.SetBlockCount(0);
  if (!file.StartAppend()) {
    throw zor::platform::FileException(zor::platform::FileException::genericException, EIO,
                                       file.GetFilePath());
  }
  int32_t blocks = 0;

  // Saving notes where each entry's link word lies, so that the fix
  // chain's head can be set once the chain is written.
  CHdrList header = SampleHeader();
  header.Save(file, 0);
  ++blocks;

  CHisList history;
  const SYSTEMTIME started = Time(9, 15, 30, 250);
  const SYSTEMTIME ended = Time(9, 16, 2, 500);
  history.SetEntry(1, 0, &started, false);
  history.SetEntry(1, 0, &ended, true);
  history.SetTexts(1, "surveyor", "Sample project database");
  history.Save(file);
  ++blocks;

  WriteSystemBlock(file);
  ++blocks;

  const int32_t head = WriteFixChain(file);
  ++blocks;

  // The fix chain's head is the link word of the "Fix" header record.
  const sHdrEntry* fix = header.GetEntry(kRecIdFix, 1);
  file.Seek(fix->filePos, File::begin);
  file.Write(&head, sizeof head);

  file.SetBlockCount(blocks);
  header.RemoveAll();
  file.Close();
}

// What stands under the name. A folder (EISDIR) and what is neither a
// regular file nor a link (ENXIO: a device, a FIFO) are never the sample's
// place. Without `replace` anything else there is refused (EEXIST); with
// it only a regular file this user could write into is replaced (a link,
// whose target is not ours to change, gives ELOOP; a read-only file
// EACCES), and its mode goes to `mode`. 0 when the sample may go there.
int CheckPlace(const std::string& native, bool replace, std::optional<mode_t>& mode) {
  struct stat st;
  if (::lstat(native.c_str(), &st) != 0) return errno == ENOENT ? 0 : errno;
  if (S_ISDIR(st.st_mode)) return EISDIR;
  if (!S_ISREG(st.st_mode) && !S_ISLNK(st.st_mode)) return ENXIO;
  if (!replace) return EEXIST;
  if (S_ISLNK(st.st_mode)) return ELOOP;
  // The access check goes through a descriptor, as the real user.
  const UniqueFd fd(OpenExisting(native.c_str(), O_WRONLY));
  if (!fd) return errno;
  if (::fstat(fd.get(), &st) != 0) return errno;
  mode = st.st_mode & 07777;
  return 0;
}

// Puts the whole, flushed temporary file under the name only while the name
// is free: a hard link fails when anything has the name, and the temporary
// name then goes. File systems without hard links rename without replacing.
int LinkIntoFreeName(const TemporaryFile& temporary, const std::string& native) {
  const AsRealUser as;
  if (!as.ok()) return EPERM;
  if (::link(temporary.path().c_str(), native.c_str()) == 0) return 0;
  if (errno != EPERM && errno != EOPNOTSUPP) return errno;
  return ::renameat2(AT_FDCWD, temporary.path().c_str(), AT_FDCWD, native.c_str(),
                     RENAME_NOREPLACE) == 0
             ? 0
             : errno;
}

}  // namespace

bool WriteSampleDatabase(const std::string& path, zor::platform::FileException* error,
                         bool replace) {
  const std::string native = zor::platform::ToNativePath(path);
  const auto fail = [&](int err) {
    if (error) {
      *error = zor::platform::FileException(
          err == ENXIO || err == EISDIR || err == ELOOP
              ? static_cast<int>(zor::platform::FileException::accessDenied)
              : zor::platform::FileException::CauseFromErrno(err),
          err, path);
    }
    return false;
  };
  std::optional<mode_t> mode;
  if (const int err = CheckPlace(native, replace, mode)) return fail(err);
  TemporaryFile temporary;
  if (const int err = temporary.Create(native, 0666)) return fail(err);
  if (mode && ::fchmod(temporary.fd(), *mode) != 0) return fail(errno);
  {
    // The block file opens the temporary file anew through its descriptor,
    // never by its name.
    CBlockFile file;
    zor::platform::FileException opened;
    if (!file.Open("/proc/self/fd/" + std::to_string(temporary.fd()),
                   File::modeReadWrite | File::shareDenyWrite, &opened)) {
      return fail(opened.m_lOsError != 0 ? opened.m_lOsError : EIO);
    }
    try {
      WriteSample(file);
    } catch (zor::platform::FileException& e) {
      e.m_strFileName = path;
      throw;
    }
  }
  if (replace) {
    if (const int err = temporary.Commit()) return fail(err);
    return true;
  }
  if (const int err = temporary.Flush()) return fail(err);
  if (const int err = LinkIntoFreeName(temporary, native)) return fail(err);
  zor::platform::SyncFolderOf(native);
  return true;
}
