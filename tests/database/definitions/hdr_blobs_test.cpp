#include "database/definitions/hdr_blobs.h"

#include <gtest/gtest.h>

#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include "core/text/data_format_names.h"
#include "database/definitions/hdr_list.h"
#include "database/definitions/shape_points.h"
#include "tests/database/definitions/settings_block.h"

namespace {

using Bytes = std::vector<uint8_t>;

Bytes Pattern(std::size_t n) {
  Bytes b(n);
  for (std::size_t i = 0; i < n; ++i) b[i] = static_cast<uint8_t>(i * 7 + i / 251);
  return b;
}

// A chunk record of `recordSize` bytes that claims `used` bytes.
void AddChunk(CHdrList& list, uint32_t id, uint32_t index, uint32_t used, const Bytes& body,
              uint32_t recordSize = 2060) {
  Bytes rec = ByteWriter().Put(id).Put(index).Put(used).bytes();
  rec.insert(rec.end(), body.begin(), body.end());
  rec.resize(recordSize);
  list.AddEntry(kRecIdBlobChunk, recordSize, rec.data(), -1);
}
void AddHeader(CHdrList& list, uint32_t id, uint32_t count, uint32_t size) {
  const sBlobHeaderRecord h{id, count, size};
  list.AddEntry(kRecIdBlobHeader, sizeof h, &h, -1);
}

TEST(HdrListBlob, WritesHeaderAndChunkRecordsByteExact) {
  CHdrList list;
  ASSERT_TRUE(list.AddBlob(7, "ab", {1, 2, 3}));
  ASSERT_EQ(list.GetCount(), 2u);
  const sHdrEntry& h = *list.GetEntry(kRecIdBlobHeader, 1);
  EXPECT_EQ(h.payload, ByteWriter().Put(7u).Put(1u).Put(13u).bytes());
  const sHdrEntry& c = *list.GetEntry(kRecIdBlobChunk, 1);
  Bytes chunk = ByteWriter().Put(7u).Put(0u).Put(13u).Put(2u).Put('a').Put('b').Put(3u).bytes();
  chunk.insert(chunk.end(), {1, 2, 3});
  chunk.resize(2060);  // the unused tail is zero
  EXPECT_EQ(c.payload, chunk);
  for (const sHdrEntry* e : {&h, &c}) {
    EXPECT_EQ(std::tuple(e->link, e->reserved, e->filePos, e->flag), std::tuple(-1, -1, -1, 0));
  }
}

TEST(HdrListBlob, PayloadsSplitIntoChunksOf2048Bytes) {
  // Payload = 8 bytes of lengths + data.
  for (auto [dataSize, chunks, lastUsed] : {std::tuple(2040u, 1, 2048), std::tuple(2041u, 2, 1)}) {
    SCOPED_TRACE(dataSize);
    CHdrList list;
    ASSERT_TRUE(list.AddBlob(1, "", Pattern(dataSize)));
    ASSERT_EQ(list.CountEntries(kRecIdBlobChunk), chunks);
    int32_t used = 0;
    list.GetEntry(kRecIdBlobChunk, chunks)->GetWord(2, used);
    EXPECT_EQ(used, lastUsed);
    EXPECT_TRUE(list.GetEntry(kRecIdBlobHeader, 1)->WordIs(1, chunks));
  }
}

// Every kind the list keeps, among other records, survives the settings
// buffer and reads back equal.
TEST(HdrListBlob, RoundTripsThroughTheSettingsBuffer) {
  std::vector<sShapePoint> outline(40);
  for (std::size_t i = 0; i < outline.size(); ++i)
    outline[i].words[i % 7] = uint32_t(i) * 0x01010101u;
  Bytes shape;
  WriteShapePoints(outline, shape);
  const std::vector<std::pair<std::string, Bytes>> blobs = {
      {VesselShapeMimeType, shape}, {"", {}}, {"text/plain", Pattern(10000)}};

  CHdrList list;
  list.AddEntry(139, 4, Pattern(4).data(), -1);
  for (uint32_t id = 1; id <= blobs.size(); ++id) {
    ASSERT_TRUE(list.AddBlob(id * 10, blobs[id - 1].first, blobs[id - 1].second));
  }
  auto settings = EmptyBuffer(0, 0);
  ASSERT_TRUE(list.WriteToSettingsBuffer(settings.get(), 1));
  CHdrList back;
  ASSERT_TRUE(back.ReadFromSettingsBuffer(settings.get(), 1));

  for (uint32_t id = 1; id <= blobs.size(); ++id) {
    std::string type = "stale";
    Bytes data = {9};
    ASSERT_TRUE(back.GetBlob(id * 10, type, data));
    EXPECT_EQ(type, blobs[id - 1].first);
    EXPECT_EQ(data, blobs[id - 1].second);
  }
  std::string type;
  Zor::ByteVector data;
  back.GetBlob(10, type, data);
  std::vector<sShapePoint> points;
  ReadShapePoints(data, points);
  EXPECT_EQ(points, outline);
}

TEST(HdrListBlob, ChunksAreJoinedByIndexWhereverTheyStandFirstOneWinning) {
  CHdrList made;
  const Bytes data = Pattern(5000);
  made.AddBlob(3, "x", data);
  CHdrList list;  // chunk 2, a stranger, chunk 0, a late duplicate of 0, header, chunk 1
  auto copy = [&](int32_t r, int32_t n) {
    list.AddEntry(r, made.GetEntry(r, n)->Size(), made.GetPayload(r, n), -1);
  };
  copy(kRecIdBlobChunk, 3);
  AddChunk(list, 4, 0, 5, Pattern(5));
  copy(kRecIdBlobChunk, 1);
  AddChunk(list, 3, 0, 2048, Bytes(2048, 0xEE));
  copy(kRecIdBlobHeader, 1);
  copy(kRecIdBlobChunk, 2);
  std::string type;
  Bytes out;
  ASSERT_TRUE(list.GetBlob(3, type, out));
  EXPECT_EQ(out, data);
}

// Missing or damaged pieces give no BLOB at all, never a part of one.
TEST(HdrListBlob, MissingOrDamagedBlobsGiveEmptyOutputs) {
  const Bytes ok = ByteWriter().Put(1u).Put('t').Put(2u).Put<uint16_t>(0x0201).bytes();  // 11
  const Bytes overByOne = ByteWriter().Put(0u).Put(4u).Put<uint8_t>(1).Put<uint16_t>(2).bytes();
  auto read = [](const CHdrList& list) {
    std::string type = "stale";
    Bytes data = {9};
    const bool found = list.GetBlob(1, type, data);
    EXPECT_EQ(type, found ? "t" : "");
    EXPECT_EQ(data, found ? Bytes({1, 2}) : Bytes());
    return found;
  };
  // One header {1, count, 11} and one chunk 0 of `used` bytes in a record of
  // `record` bytes.
  struct Case {
    const char* what;
    uint32_t count, used;
    Bytes body;
    uint32_t record;
  };
  for (const Case& c :
       {Case{"last chunk missing", 2, 11, ok, 2060}, Case{"count huge", 0xFFFFFFFF, 11, ok, 2060},
        Case{"used over 2048", 1, 2049, ok, 4000}, Case{"used past record", 1, 11, ok, 22},
        Case{"chunk short", 1, 11, ok, 8}, Case{"data over by one", 1, 11, overByOne, 2060}}) {
    SCOPED_TRACE(c.what);
    CHdrList list;
    AddHeader(list, 1, c.count, 11);
    AddChunk(list, 1, 0, c.used, c.body, c.record);
    EXPECT_FALSE(read(list));
  }
  CHdrList list;
  AddChunk(list, 1, 0, 11, ok);
  EXPECT_FALSE(read(list));  // no header
  list.AddEntry(kRecIdBlobHeader, 8, ok.data(), -1);
  EXPECT_FALSE(read(list));  // header short
  list.RemoveAll();
  AddHeader(list, 1, 3, 11);
  AddChunk(list, 1, 0, 11, ok);
  AddChunk(list, 1, 2, 0, {});
  AddChunk(list, 1, 2, 0, {});
  EXPECT_FALSE(read(list));  // chunk 1 missing, chunk 2 twice
  list.RemoveAll();
  AddHeader(list, 1, 1, 11);  // the same records, whole, do read
  AddChunk(list, 1, 0, 11, ok, 23);
  EXPECT_TRUE(read(list));
}

TEST(HdrListBlob, RemoveAndNextIdSeeOnlyTheirOwnRecords) {
  CHdrList list;
  EXPECT_EQ(list.GetNextBlobId(), 1u);
  AddChunk(list, 1, 0, 0, {});  // a chunk alone does not use an id
  EXPECT_EQ(list.GetNextBlobId(), 1u);
  list.RemoveAll();
  for (uint32_t id : {4u, 1u, 2u}) list.AddBlob(id, "t", Pattern(3000));
  list.AddEntry(210, 8, ByteWriter().Put(0).Put(2).bytes().data(), -1);
  EXPECT_EQ(list.GetNextBlobId(), 3u);

  const CHdrList before = list;
  list.RemoveBlob(3);
  EXPECT_EQ(list.GetCount(), before.GetCount());
  list.RemoveBlob(2);
  EXPECT_EQ(list.GetCount(), before.GetCount() - 3);
  EXPECT_EQ(list.GetNextBlobId(), 2u);
  std::string type;
  Bytes data;
  EXPECT_FALSE(list.GetBlob(2, type, data));
  EXPECT_TRUE(list.GetBlob(4, type, data));
  EXPECT_EQ(list.CountEntries(210), 1);
}

TEST(BlobPayload, HostileLengthsThrowCode7AndLeaveTargetAndPosition) {
  const std::vector<Bytes> hostile = {
      {1, 0, 0},                                                  // length cut short
      ByteWriter().Put(0u).Put(0xFFFFFFFFu).bytes(),              // data size huge
      ByteWriter().Put(0u).Put(0x80000000u).Fill(16, 1).bytes(),  // negative as int32
      ByteWriter().Put(1u).Put('a').Put(3u).Fill(2, 1).bytes(),   // data over by one
  };
  for (const Bytes& bytes : hostile) {
    Zor::ByteVector buf = ByteWriter().Fill(2, 0).bytes();
    buf.insert(buf.end(), bytes.begin(), bytes.end());
    Zor::ByteVectorArchive ar(buf);
    ar.SetPosition(2);
    CBlobPayload p("keep", {9});
    try {
      p.Deserialize(ar);
      ADD_FAILURE() << "no exception";
    } catch (const Zor::IArchiveException& e) {
      EXPECT_EQ(e.Code(), 7);
    }
    EXPECT_EQ(ar.GetPosition(), 2u);
    EXPECT_EQ(p.mediaType, "keep");
    EXPECT_EQ(p.data, Bytes{9});
  }
}

}  // namespace
