#include "database/events/event_chain.h"

#include <optional>
#include <span>

#include "core/time/system_time.h"
#include "database/blockfile/block_file.h"
#include "database/definitions/hdr_list.h"
#include "platform/bytes.h"

namespace {

using zor::platform::File;
using zor::platform::SYSTEMTIME;

// Where the data of a block lie in the file.
struct BlockData {
  uint64_t start = 0;
  uint32_t size = 0;
};

// The first counted block of the type; FindBlock has checked that it lies
// inside the file.
bool LocateBlock(CBlockFile& file, uint32_t type, BlockData& block) {
  if (!file.FindBlock(type)) return false;
  BlockHeader header{};
  if (file.Read(&header, sizeof header) != sizeof header) return false;
  block.start = file.GetPosition();
  block.size = header.size;
  return true;
}

// Reads the record at `offset` from the block's data start. False when the
// record does not lie wholly inside the block or the file ends early.
template <typename Record>
bool ReadRecordAt(CBlockFile& file, const BlockData& block, int64_t offset, Record& record) {
  if (offset < 0 || !zor::platform::InBounds(block.size, static_cast<uint64_t>(offset),
                                             sizeof(Record))) {
    return false;
  }
  file.Seek(static_cast<int64_t>(block.start) + offset, File::begin);
  return file.Read(&record, sizeof record) == sizeof record;
}

SYSTEMTIME ToSystemTime(const sTimeRecord& time) { return TimeToSystemTime(CZORTime(time)); }

// The link word of the first entry of the RecId: the head of its chain.
int32_t ChainHead(const CHdrList& header, int32_t recId) {
  const sHdrEntry* entry = header.GetEntry(recId, 1);
  return entry != nullptr ? entry->link : kEventChainEnd;
}

// How a walk treats a link it cannot follow.
enum class LinkRule {
  // Fixes: a link beyond the block's data still counts its record as the
  // last; a negative link counts too and fails on the next step.
  kFix,
  // Heartbeats: neither counts.
  kHeartbeat,
};

// Walks a chain of block 7 from `head`. `first` receives the first record
// and `last` the last one behind it that counted (the first itself only
// when it ends the chain); true when the chain's end was
// reached. Every step goes forward inside the block, so the walk takes at
// most one step per byte of the block.
template <typename Record>
bool WalkEventChain(CBlockFile& file, int32_t head, LinkRule rule, std::optional<Record>& first,
                    std::optional<Record>& last) {
  if (head == kEventChainEnd) return false;
  BlockData block;
  if (!LocateBlock(file, kBlockObservationEvents, block)) return false;
  Record record;
  int64_t at = head;
  if (!ReadRecordAt(file, block, at, record)) return false;
  first = record;
  // A chain of one record gives it as the last as well; a chain that goes
  // wrong behind its first record leaves the last one unset.
  if (record.link == kEventChainEnd) {
    last = record;
    return true;
  }
  for (;;) {
    const int64_t next = record.link;
    if (next <= at) return false;  // a chain that turns back would never end
    at = next;
    if (!ReadRecordAt(file, block, at, record)) return false;
    const int32_t link = record.link;
    if (int64_t{link} > int64_t{block.size}) {
      if (rule == LinkRule::kFix) last = record;
      return false;
    }
    if (link == 0) return false;
    if (rule == LinkRule::kHeartbeat && link < 0 && link != kEventChainEnd) return false;
    last = record;
    if (link == kEventChainEnd) return true;
  }
}

template <typename Record>
bool FixTimes(CBlockFile& file, int32_t head, int32_t& firstValue, SYSTEMTIME& firstTime,
              int32_t& lastValue, SYSTEMTIME& lastTime) {
  std::optional<Record> first;
  std::optional<Record> last;
  const bool ended = WalkEventChain(file, head, LinkRule::kFix, first, last);
  if (first) {
    firstValue = first->value;
    firstTime = ToSystemTime(first->time);
  }
  if (last) {
    lastValue = last->value;
    lastTime = ToSystemTime(last->time);
  }
  return ended;
}

}  // namespace

void GetFixEventTimes(CBlockFile& file, int32_t& firstValue, SYSTEMTIME& firstTime,
                      int32_t& lastValue, SYSTEMTIME& lastTime) {
  firstValue = 0;
  lastValue = 0;
  firstTime = SYSTEMTIME{};
  lastTime = SYSTEMTIME{};
  BlockData definition;
  if (!LocateBlock(file, kBlockFixDefinition, definition)) return;
  sFixDefinitionHead head{};
  if (!ReadRecordAt(file, definition, 0, head)) return;
  if (head.first == kEventChainEnd) return;
  BlockData events;
  if (!LocateBlock(file, kBlockFixEvents, events)) return;
  sFixEventRecord record{};
  if (ReadRecordAt(file, events, head.first, record)) {
    firstTime = record.time;
    firstValue = record.value;
  }
  if (ReadRecordAt(file, events, head.last, record)) {
    lastTime = record.time;
    lastValue = record.value;
  }
}

bool GetFixRecordTimes(CBlockFile& file, const CHdrList& header, int32_t& firstValue,
                       SYSTEMTIME& firstTime, int32_t& lastValue, SYSTEMTIME& lastTime) {
  firstValue = 0;
  lastValue = 0;
  firstTime = SYSTEMTIME{};
  lastTime = SYSTEMTIME{};
  if (const int32_t head = ChainHead(header, kRecIdFixChain); head != kEventChainEnd)
    return FixTimes<sFixRecord>(file, head, firstValue, firstTime, lastValue, lastTime);
  if (const int32_t head = ChainHead(header, kRecIdFixChainOld); head != kEventChainEnd)
    return FixTimes<sFixRecordOld>(file, head, firstValue, firstTime, lastValue, lastTime);
  return false;
}

bool GetHeartbeatTimes(CBlockFile& file, const CHdrList& header, SYSTEMTIME& firstTime,
                       SYSTEMTIME& lastTime) {
  firstTime = SYSTEMTIME{};
  lastTime = SYSTEMTIME{};
  std::optional<sHeartbeatRecord> first;
  std::optional<sHeartbeatRecord> last;
  const bool ended = WalkEventChain(file, ChainHead(header, kRecIdHeartbeat), LinkRule::kHeartbeat,
                                    first, last);
  if (first) firstTime = ToSystemTime(first->time);
  if (last) lastTime = ToSystemTime(last->time);
  return ended;
}

bool GetNodeEventTimes(CBlockFile& file, SYSTEMTIME& firstTime, SYSTEMTIME& lastTime) {
  firstTime = SYSTEMTIME{};
  lastTime = SYSTEMTIME{};
  BlockData definition;
  if (!LocateBlock(file, kBlockNodeDefinitions, definition)) return false;
  sNodeDefinitionHead head{};
  if (!ReadRecordAt(file, definition, 0, head)) return false;
  if (head.first == kEventChainEnd) return false;
  // The records belong to block 16 itself, as every other chain's records
  // belong to their own block.
  BlockData events;
  if (!LocateBlock(file, kBlockNodeEvents, events)) return false;
  bool found = false;
  sNodeEventRecord record{};
  int64_t previous = -1;
  for (int64_t at = head.first; at > previous && ReadRecordAt(file, events, at, record);
       at = record.link) {
    if (!found && !zor::platform::IsZeroDate(record.time)) {
      firstTime = record.time;
      found = true;
    }
    lastTime = record.time;
    if (record.link == kEventChainEnd) break;
    previous = at;
  }
  return found;
}

double GetMetaDataDuration(const CHdrList& header) {
  const sHdrEntry* entry = header.GetEntry(kRecIdMetaData, 1);
  if (entry == nullptr) return 0.0;
  const std::span<const uint8_t> payload(entry->payload);
  sTimeRecord start;
  sTimeRecord end;
  if (!zor::platform::GetLE(payload, 16, start) || !zor::platform::GetLE(payload, 56, end))
    return 0.0;
  if (start.day == 0 || end.day == 0) return 0.0;
  return CZORTime(end) - CZORTime(start);
}
