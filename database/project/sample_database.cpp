#include "database/project/sample_database.h"

#include <cstddef>
#include <cstring>
#include <type_traits>

#include "core/time/zor_time.h"
#include "database/blockfile/block_file.h"
#include "database/blockfile/his_list.h"
#include "database/catalogue/definition_records.h"
#include "database/definitions/hdr_list.h"
#include "database/definitions/sys_def_list.h"
#include "platform/bytes.h"

namespace {

using zor::platform::File;
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

}  // namespace

bool WriteSampleDatabase(const std::string& path, zor::platform::FileException* error) {
  CBlockFile file;
  if (!file.Open(path, File::modeCreate | File::modeReadWrite | File::shareDenyWrite, error)) {
    return false;
  }
  file.SetBlockCount(0);
  if (!file.StartAppend()) return false;
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
  return true;
}
