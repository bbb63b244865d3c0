#include "database/events/event_chain.h"

#include <gtest/gtest.h>

#include <cstddef>
#include <cstdio>
#include <cstring>
#include <initializer_list>
#include <string>
#include <tuple>
#include <vector>

#include "core/time/system_time.h"
#include "database/blockfile/block_file.h"
#include "database/definitions/hdr_list.h"
#include "database/project/sample_database.h"
#include "tests/database/blockfile/db_bytes.h"
#include "tests/support/temp_folder.h"

namespace {

using zor::platform::File;
using zor::platform::SYSTEMTIME;
using Bytes = std::vector<uint8_t>;

// "hh:mm:ss.mmm" of 2023-07-14, the day every test event happens; "none"
// for the zero record and "other" for any other day.
std::string Text(const SYSTEMTIME& st) {
  const SYSTEMTIME zero{};
  if (std::memcmp(&st, &zero, sizeof zero) == 0) return "none";
  if (st.wYear != 2023 || st.wMonth != 7 || st.wDay != 14 || st.wDayOfWeek != 5) return "other";
  char text[32];
  std::snprintf(text, sizeof text, "%02u:%02u:%02u.%03u", st.wHour, st.wMinute, st.wSecond,
                st.wMilliseconds);
  return text;
}

sTimeRecord At(int minute, double seconds) {
  return CZORTime(2023, 7, 14, 8, minute, seconds).GetTimeRecord();
}
SYSTEMTIME St(int minute, int second) { return TimeToSystemTime(CZORTime(At(minute, second))); }

template <typename T>
void PutAt(Bytes& bytes, std::size_t offset, const T& value) {
  if (bytes.size() < offset + sizeof value) bytes.resize(offset + sizeof value);
  std::memcpy(bytes.data() + offset, &value, sizeof value);
}

// Records of `size` bytes with (link, value, time) at the offsets of Record.
template <typename Record>
Bytes Chain(std::initializer_list<std::tuple<int32_t, int32_t, sTimeRecord>> records) {
  Bytes bytes;
  std::size_t at = 0;
  for (const auto& [link, value, time] : records) {
    Record r{};
    r.link = link;
    if constexpr (requires { r.value; }) r.value = value;
    r.time = time;
    PutAt(bytes, at, r);
    at += sizeof r;
  }
  return bytes;
}

CHdrList HeaderWithChain(int32_t recId, int32_t head) {
  CHdrList header;
  header.AddEntry(recId, 4, nullptr, head);
  return header;
}

class EventChainTest : public testing::Test {
 protected:
  // Block 7 behind an unrelated block, so offsets in the block and
  // positions in the file differ.
  void OpenEvents(const Bytes& events) { Open(DbBytes().Count(2).Block(35, 5, 0xEE).Block(7, events)); }
  void Open(const DbBytes& db) {
    file_.Abort();
    ASSERT_TRUE(file_.Open(tmp_.Write("db.zdb", db.str()), File::modeRead));
  }
  // "ok|first value first time|last value last time".
  std::string Fixes(const CHdrList& header) {
    int32_t firstValue = 77, lastValue = 77;
    SYSTEMTIME first = St(1, 1), last = St(1, 1);
    const bool ok = GetFixRecordTimes(file_, header, firstValue, first, lastValue, last);
    return std::string(ok ? "ok" : "failed") + "|" + std::to_string(firstValue) + " " +
           Text(first) + "|" + std::to_string(lastValue) + " " + Text(last);
  }
  std::string Heartbeats(const CHdrList& header) {
    SYSTEMTIME first = St(1, 1), last = St(1, 1);
    const bool ok = GetHeartbeatTimes(file_, header, first, last);
    return std::string(ok ? "ok" : "failed") + "|" + Text(first) + "|" + Text(last);
  }

  TempFolder tmp_;
  CBlockFile file_;
};

TEST_F(EventChainTest, SampleDatabaseSpansItsThreeFixes) {
  const std::string path = tmp_.Path("sample.zdb");
  ASSERT_TRUE(WriteSampleDatabase(path));
  ASSERT_TRUE(file_.Open(path, File::modeRead));
  CHdrList header;
  ASSERT_TRUE(header.Load(file_, false, 0));
  int32_t firstValue = 0, lastValue = 0;
  SYSTEMTIME first{}, last{};
  EXPECT_TRUE(GetFixRecordTimes(file_, header, firstValue, first, lastValue, last));
  EXPECT_EQ(firstValue, 101);
  EXPECT_EQ(lastValue, 103);
  EXPECT_EQ(CZORTime(SystemTimeToTime(last)) - CZORTime(SystemTimeToTime(first)), 20.0);
}

TEST_F(EventChainTest, FixChainSkipsOtherRecordsAndOneRecordIsBothEnds) {
  // The second record belongs to another chain.
  OpenEvents(Chain<sFixRecord>(
      {{112, 1, At(0, 1.5)}, {-1, 99, At(59, 0)}, {168, 2, At(1, 0)}, {-1, 3, At(2, 30.25)}}));
  EXPECT_EQ(Fixes(HeaderWithChain(kRecIdFixChain, 0)), "ok|1 08:00:01.500|3 08:02:30.250");
  EXPECT_EQ(Fixes(HeaderWithChain(kRecIdFixChain, 56)), "ok|99 08:59:00.000|99 08:59:00.000");
}

TEST_F(EventChainTest, OlderChainServesWhenTheCurrentOneIsAbsentOrEmpty) {
  OpenEvents(Chain<sFixRecordOld>({{64, 10, At(5, 0)}, {-1, 11, At(6, 0)}}));
  CHdrList header = HeaderWithChain(kRecIdFixChainOld, 0);
  EXPECT_EQ(Fixes(header), "ok|10 08:05:00.000|11 08:06:00.000");
  header.AddEntry(kRecIdFixChain, 4, nullptr, -1);
  EXPECT_EQ(Fixes(header), "ok|10 08:05:00.000|11 08:06:00.000");

  for (const CHdrList& none : {CHdrList(), HeaderWithChain(kRecIdFixChain, -1)})
    EXPECT_EQ(Fixes(none), "failed|0 none|0 none");
  Open(DbBytes().Count(1).Block(13, Chain<sFixRecord>({{-1, 4, At(0, 0)}})));
  EXPECT_EQ(Fixes(HeaderWithChain(kRecIdFixChain, 0)), "failed|0 none|0 none");
}

TEST_F(EventChainTest, LinksThatTurnBackOrAreZeroEndTheWalk) {
  const CHdrList header = HeaderWithChain(kRecIdFixChain, 0);
  // A cycle through two records, a record linking itself, a link to the
  // middle of an earlier record.
  for (int32_t back : {0, 56, 28}) {
    OpenEvents(Chain<sFixRecord>({{56, 1, At(0, 0)}, {back, 2, At(1, 0)}, {-1, 3, At(2, 0)}}));
    // The last is the last record behind the first that counted: none when
    // the second record already fails.
    const std::string last = back == 0 ? "0 none" : "2 08:01:00.000";
    EXPECT_EQ(Fixes(header), "failed|1 08:00:00.000|" + last) << back;
  }
}

// A first record whose link cannot be followed (0, itself, negative, past
// the block) gives the first fix and heartbeat but no last one: the last is
// set only by records behind the first, or by the first when it ends the
// chain.
TEST_F(EventChainTest, AChainFailingBehindItsFirstRecordHasNoLast) {
  // Each chain starts at its second record; its link goes back to the
  // start, to itself, is negative, or lies past the block.
  for (int32_t bad : {0, 56, -2, 4000, 0x7FFFFFF0}) {
    OpenEvents(Chain<sFixRecord>({{-1, 9, At(9, 0)}, {bad, 1, At(0, 0)}, {-1, 3, At(2, 0)}}));
    EXPECT_EQ(Fixes(HeaderWithChain(kRecIdFixChain, 56)), "failed|1 08:00:00.000|0 none") << bad;
  }
  for (int32_t bad : {0, 24, -2, 4000, 0x7FFFFFF0}) {
    OpenEvents(
        Chain<sHeartbeatRecord>({{-1, 0, At(9, 0)}, {bad, 0, At(10, 0)}, {-1, 0, At(10, 20)}}));
    EXPECT_EQ(Heartbeats(HeaderWithChain(kRecIdHeartbeat, 24)), "failed|08:10:00.000|none") << bad;
  }
  // One record that ends the chain is both ends.
  OpenEvents(Chain<sHeartbeatRecord>({{-1, 0, At(10, 0)}}));
  EXPECT_EQ(Heartbeats(HeaderWithChain(kRecIdHeartbeat, 0)), "ok|08:10:00.000|08:10:00.000");
}

TEST_F(EventChainTest, LinksPastTheBlockEndTheWalk) {
  const CHdrList header = HeaderWithChain(kRecIdFixChain, 0);
  Bytes events = Chain<sFixRecord>({{56, 1, At(0, 0)}, {0x7FFFFFF0, 2, At(1, 0)}, {-1, 3, At(2, 0)}});
  OpenEvents(events);
  EXPECT_EQ(Fixes(header), "failed|1 08:00:00.000|2 08:01:00.000");
  // A record that would run past the block's end: the bytes behind belong
  // to the next block and are not read as a fix.
  PutAt(events, 56, 150);
  Open(DbBytes().Count(2).Block(7, events).Block(35, 200, 0xEE));
  EXPECT_EQ(Fixes(header), "failed|1 08:00:00.000|2 08:01:00.000");
  EXPECT_EQ(Fixes(HeaderWithChain(kRecIdFixChain, 4096)), "failed|0 none|0 none");
}

TEST_F(EventChainTest, HeartbeatsSpanTheirChainAndCountOnlyGoodLinks) {
  const CHdrList header = HeaderWithChain(kRecIdHeartbeat, 0);
  Bytes beats = Chain<sHeartbeatRecord>({{24, 0, At(10, 0)}, {48, 0, At(10, 10)}, {-1, 0, At(10, 20)}});
  OpenEvents(beats);
  EXPECT_EQ(Heartbeats(header), "ok|08:10:00.000|08:10:20.000");
  EXPECT_EQ(Heartbeats(CHdrList()), "failed|none|none");
  // Beyond the block, negative, or back: the record holding the link does
  // not count. For fixes a negative link still counts its record.
  for (int32_t bad : {4000, -2, 0}) {
    PutAt(beats, 24, bad);
    OpenEvents(beats);
    EXPECT_EQ(Heartbeats(header), "failed|08:10:00.000|none") << bad;
  }
  OpenEvents(Chain<sFixRecord>({{56, 1, At(0, 0)}, {-2, 2, At(1, 0)}}));
  EXPECT_EQ(Fixes(HeaderWithChain(kRecIdFixChain, 0)), "failed|1 08:00:00.000|2 08:01:00.000");
}

// ---- Blocks 9 and 13 ------------------------------------------------------------

Bytes FixEvents() {
  Bytes events;
  // The middle record links itself: the query never follows links.
  const sFixEventRecord records[] = {{24, St(0, 0), 1}, {24, St(0, 5), 2}, {-1, St(0, 9), 3}};
  PutAt(events, 0, records);
  return events;
}
Bytes Head(int32_t first, int32_t last) {
  Bytes b;
  PutAt(b, 0, sFixDefinitionHead{first, last, 0});
  return b;
}

TEST_F(EventChainTest, FixEventHeadNamesBothEnds) {
  const auto query = [&] {
    int32_t firstValue = 9, lastValue = 9;
    SYSTEMTIME first = St(1, 1), last = St(1, 1);
    GetFixEventTimes(file_, firstValue, first, lastValue, last);
    return std::to_string(firstValue) + " " + Text(first) + "|" + std::to_string(lastValue) + " " +
           Text(last);
  };
  Open(DbBytes().Count(2).Block(9, Head(0, 48)).Block(13, FixEvents()));
  EXPECT_EQ(query(), "1 08:00:00.000|3 08:00:09.000");
  // An end outside block 13 stays zero.
  Open(DbBytes().Count(2).Block(9, Head(24, 60)).Block(13, FixEvents()));
  EXPECT_EQ(query(), "2 08:00:05.000|0 none");
  const DbBytes nothing[] = {
      DbBytes().Count(1).Block(13, FixEvents()),                            // no block 9
      DbBytes().Count(1).Block(9, Head(0, 0)),                              // no block 13
      DbBytes().Count(2).Block(9, Head(-1, 0)).Block(13, FixEvents()),      // empty chain
      DbBytes().Count(2).Block(9, Bytes(8, 0)).Block(13, FixEvents()),      // head cut short
  };
  for (const DbBytes& db : nothing) {
    Open(db);
    EXPECT_EQ(query(), "0 none|0 none");
  }
}

// ---- Node events ----------------------------------------------------------------

TEST_F(EventChainTest, NodeEventsTakeTheFirstSetTimeAndTheLastRead) {
  Bytes head;
  sNodeDefinitionHead h{};
  PutAt(head, 0, h);
  sNodeEventRecord records[3] = {};
  records[0].link = 152;  // no time yet
  records[1] = {304, St(20, 0), {}};
  records[2] = {-1, St(21, 0), {}};
  Bytes events;
  PutAt(events, 0, records);
  const auto query = [&](const Bytes& events, int32_t first) {
    PutAt(head, offsetof(sNodeDefinitionHead, first), first);
    Open(DbBytes().Count(3).Block(12, head).Block(16, events).Block(35, 8, 0));
    SYSTEMTIME a = St(1, 1), b = St(1, 1);
    const bool ok = GetNodeEventTimes(file_, a, b);
    return std::string(ok ? "ok" : "failed") + "|" + Text(a) + "|" + Text(b);
  };
  EXPECT_EQ(query(events, 0), "ok|08:20:00.000|08:21:00.000");
  EXPECT_EQ(query(events, -1), "failed|none|none");
  EXPECT_EQ(query(Bytes(152, 0), 0), "failed|none|none");
  PutAt(events, 304, 152);  // a cycle stops where it turns back
  EXPECT_EQ(query(events, 0), "ok|08:20:00.000|08:21:00.000");
}

// ---- Meta data --------------------------------------------------------------------

TEST(MetaDataDurationTest, EndMinusStartWhenBothDaysAreSet) {
  Bytes payload(1280, 0);
  PutAt(payload, 16, CZORTime(2023, 12, 31, 23, 0, 0.0).GetTimeRecord());
  PutAt(payload, 56, CZORTime(2024, 1, 1, 1, 30, 0.5).GetTimeRecord());
  Bytes open = payload;
  PutAt(open, 56, sTimeRecord{});
  const auto duration = [](std::initializer_list<const Bytes*> records, uint32_t size = 1280) {
    CHdrList header;
    for (const Bytes* r : records) header.AddEntry(kRecIdMetaData, size, r->data(), -1);
    return GetMetaDataDuration(header);
  };
  EXPECT_DOUBLE_EQ(duration({&payload, &open}), 9000.5);
  EXPECT_EQ(duration({}), 0.0);
  EXPECT_EQ(duration({&open, &payload}), 0.0);
  EXPECT_EQ(duration({&payload}, 60), 0.0);  // cut short of the end time
}

}  // namespace
