// The time span of a project database, read from its event chains: the
// first and the last fix, heartbeat and node event, and the duration the
// "Meta Data" header record states.
//
//   CBlockFile db;   // open
//   CHdrList header;
//   header.Load(db, false, 1);
//   int32_t firstFix = 0, lastFix = 0;
//   zor::platform::SYSTEMTIME first{}, last{};
//   if (GetFixRecordTimes(db, header, firstFix, first, lastFix, last)) ...
//   double seconds = GetMetaDataDuration(header);
//
// Event records are appended to an event block and linked into chains by
// CBlockFile::AppendChainedRecord: each record starts with the offset of the
// next record from the block's data start, and -1 ends the chain. A chain's
// head is a header record's link word (fixes: RecId 215, or 125 in older
// files; heartbeats: RecId 149) or a word of a definition block.
//
// The chains come from files and are not trusted. A walk follows links
// forward only and reads only records that lie wholly inside their block, so
// a chain that loops back, points outside its block or runs off the file
// ends the walk (with false where a result says so) after at most one step
// per byte of the block. The outputs are zeroed first; a chain of one record
// gives that record as first and last, while a chain that fails behind its
// first record sets the last only from records behind the first. The walks move the file's position;
// file errors other than short reads throw zor::platform::FileException.
#pragma once

#include <cstddef>
#include <cstdint>
#include <type_traits>

#include "core/time/zor_time.h"
#include "platform/system_time.h"

class CBlockFile;
class CHdrList;

inline constexpr int32_t kEventChainEnd = -1;
inline constexpr int32_t kRecIdFixChain = 215;     // "Fix", the current fix chain
inline constexpr int32_t kRecIdFixChainOld = 125;  // "Fix", the older fix chain
inline constexpr int32_t kRecIdHeartbeat = 149;    // "Heartbeat"
inline constexpr int32_t kRecIdMetaData = 233;     // "Meta Data"

// ---- Records ------------------------------------------------------------------

// The data of block 9 "Fix Definition": where the fix event chain of block
// 13 begins and ends.
struct sFixDefinitionHead {
  int32_t first;  // offset in block 13 of the first record; -1 none
  int32_t last;   // offset of the last record
  int32_t word8;
};
static_assert(std::is_standard_layout_v<sFixDefinitionHead> && sizeof(sFixDefinitionHead) == 12);
static_assert(offsetof(sFixDefinitionHead, first) == 0);
static_assert(offsetof(sFixDefinitionHead, last) == 4);
static_assert(offsetof(sFixDefinitionHead, word8) == 8);

// A record of block 13 "Fix Events".
struct sFixEventRecord {
  int32_t link;
  zor::platform::SYSTEMTIME time;
  int32_t value;
};
static_assert(std::is_standard_layout_v<sFixEventRecord> && sizeof(sFixEventRecord) == 24);
static_assert(offsetof(sFixEventRecord, link) == 0);
static_assert(offsetof(sFixEventRecord, time) == 4);
static_assert(offsetof(sFixEventRecord, value) == 20);

// A fix of the current chain in block 7 "Observation Events".
struct sFixRecord {
  int32_t link;
  int32_t value;
  uint8_t words8[24];
  sTimeRecord time;
  uint8_t words48[8];
};
static_assert(std::is_standard_layout_v<sFixRecord> && sizeof(sFixRecord) == 56);
static_assert(offsetof(sFixRecord, link) == 0);
static_assert(offsetof(sFixRecord, value) == 4);
static_assert(offsetof(sFixRecord, words8) == 8);
static_assert(offsetof(sFixRecord, time) == 32);
static_assert(offsetof(sFixRecord, words48) == 48);

// A fix of the older chain in block 7.
struct sFixRecordOld {
  int32_t link;
  int32_t value;
  uint8_t words8[40];
  sTimeRecord time;
};
static_assert(std::is_standard_layout_v<sFixRecordOld> && sizeof(sFixRecordOld) == 64);
static_assert(offsetof(sFixRecordOld, link) == 0);
static_assert(offsetof(sFixRecordOld, value) == 4);
static_assert(offsetof(sFixRecordOld, words8) == 8);
static_assert(offsetof(sFixRecordOld, time) == 48);

// A heartbeat in block 7.
struct sHeartbeatRecord {
  int32_t link;
  uint32_t word4;
  sTimeRecord time;
};
static_assert(std::is_standard_layout_v<sHeartbeatRecord> && sizeof(sHeartbeatRecord) == 24);
static_assert(offsetof(sHeartbeatRecord, link) == 0);
static_assert(offsetof(sHeartbeatRecord, word4) == 4);
static_assert(offsetof(sHeartbeatRecord, time) == 8);

// The data of block 12 "Node Definitions": the head of the node event chain.
struct sNodeDefinitionHead {
  int32_t words0[2];
  int32_t first;  // offset in block 16 of the first record; -1 none
  int32_t words12[2];
};
static_assert(std::is_standard_layout_v<sNodeDefinitionHead> && sizeof(sNodeDefinitionHead) == 20);
static_assert(offsetof(sNodeDefinitionHead, first) == 8);

// A record of block 16 "Node Events".
struct sNodeEventRecord {
  int32_t link;
  zor::platform::SYSTEMTIME time;
  uint8_t data[132];
};
static_assert(std::is_standard_layout_v<sNodeEventRecord> && sizeof(sNodeEventRecord) == 152);
static_assert(offsetof(sNodeEventRecord, link) == 0);
static_assert(offsetof(sNodeEventRecord, time) == 4);
static_assert(offsetof(sNodeEventRecord, data) == 20);

// ---- Queries -------------------------------------------------------------------

// The two records that block 9's head names as first and last of the fix
// event chain, read from block 13 without following the links. An end whose
// record is missing (no block 9 or 13, a head of -1, an offset outside block
// 13) stays zero.
void GetFixEventTimes(CBlockFile& file, int32_t& firstValue, zor::platform::SYSTEMTIME& firstTime,
                      int32_t& lastValue, zor::platform::SYSTEMTIME& lastTime);

// Walks the fix chain of block 7: the current one (RecId 215) when the
// header list's first 215 entry has a link word other than -1, else the
// older one (RecId 125) on the same terms. True when the walk reached the
// chain's end. False with everything zero when there is no such chain or no
// block 7, or the first record is missing. False, keeping what was read,
// when a link goes backward or is 0 or a record lies outside the block; a
// link beyond the block's data still gives its record as the last.
bool GetFixRecordTimes(CBlockFile& file, const CHdrList& header, int32_t& firstValue,
                       zor::platform::SYSTEMTIME& firstTime, int32_t& lastValue,
                       zor::platform::SYSTEMTIME& lastTime);

// The same walk over the heartbeat chain (RecId 149), without values; a
// record whose link lies beyond the block's data, is 0 or is negative
// (other than -1) ends the walk with false before it counts as the last.
bool GetHeartbeatTimes(CBlockFile& file, const CHdrList& header,
                       zor::platform::SYSTEMTIME& firstTime, zor::platform::SYSTEMTIME& lastTime);

// The node event chain of block 16, headed by block 12's third word: the
// first time that is set and the time of the last record read, walking
// until the chain ends or a record cannot be read. True when a set time was
// found.
bool GetNodeEventTimes(CBlockFile& file, zor::platform::SYSTEMTIME& firstTime,
                       zor::platform::SYSTEMTIME& lastTime);

// End minus start, in seconds, of the first "Meta Data" header record (the
// time records at bytes 16 and 56 of its payload); 0.0 without one, when its
// payload is too short, or when either time has day number 0.
double GetMetaDataDuration(const CHdrList& header);
