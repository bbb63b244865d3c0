// Reads binary objects back from header records of arbitrary bytes, and reads
// arbitrary bytes as a BLOB payload and as an outline.
// Input: records of u8 kind (0: BLOB header 269, 1: BLOB chunk 270, else
// "UTC to GPS" 139), u16 length and that many payload bytes (fewer at the
// end). Every BLOB the list gives must write and read back equal; a failed
// archive read must raise code 7 and leave its target and position alone.
// Only Zor::IArchiveException may leave a reader, and only where it is
// documented to.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "core/archive/archive.h"
#include "database/definitions/hdr_blobs.h"
#include "database/definitions/hdr_list.h"
#include "database/definitions/shape_points.h"

namespace {

void Check(bool ok) {
  if (!ok) __builtin_trap();
}

CHdrList ListFrom(const uint8_t* data, std::size_t size) {
  CHdrList list;
  while (size >= 3) {
    const int32_t recId = data[0] == 0 ? kRecIdBlobHeader : data[0] == 1 ? kRecIdBlobChunk : 139;
    uint16_t length = 0;
    std::memcpy(&length, data + 1, 2);
    data += 3;
    size -= 3;
    const std::size_t n = std::min<std::size_t>(length, size);
    list.AddEntry(recId, static_cast<uint32_t>(n), n > 0 ? data : nullptr, -1);
    data += n;
    size -= n;
  }
  return list;
}

void CheckBlobs(CHdrList& list) {
  std::vector<uint32_t> ids = {0, 1, 0xFFFFFFFFu};
  for (const sHdrEntry& e : list) {
    int32_t id = 0;
    if (e.recId == static_cast<uint32_t>(kRecIdBlobHeader) && e.GetWord(0, id))
      ids.push_back(static_cast<uint32_t>(id));
  }
  for (uint32_t id : ids) {
    std::string type = "x";
    std::vector<uint8_t> data = {1};
    if (!list.GetBlob(id, type, data)) {
      Check(type.empty() && data.empty());
      continue;
    }
    CHdrList again;
    Check(again.AddBlob(id, type, data));
    std::string type2;
    std::vector<uint8_t> data2;
    Check(again.GetBlob(id, type2, data2) && type2 == type && data2 == data);

    std::vector<sShapePoint> points;
    ReadShapePoints(data, points);
    if (!points.empty()) {
      std::vector<uint8_t> bytes;
      WriteShapePoints(points, bytes);
      Check(bytes.size() <= data.size() && std::equal(bytes.begin(), bytes.end(), data.begin()));
    }
  }
  const uint32_t next = list.GetNextBlobId();
  Check(next >= 1);
  for (const sHdrEntry& e : list) {
    Check(e.recId != static_cast<uint32_t>(kRecIdBlobHeader) ||
          !e.WordIs(0, static_cast<int32_t>(next)));
  }
  for (uint32_t id : ids) {
    list.RemoveBlob(id);
    std::string type;
    std::vector<uint8_t> data;
    Check(!list.GetBlob(id, type, data));
  }
}

void CheckRawPayload(const uint8_t* data, std::size_t size) {
  Zor::ByteVector buf(data, data + size);
  {
    Zor::ByteVectorArchive ar(buf);
    CBlobPayload payload("keep", {7});
    try {
      payload.Deserialize(ar);
      Check(ar.GetPosition() == 8 + payload.mediaType.size() + payload.data.size());
    } catch (const Zor::IArchiveException& e) {
      Check(e.Code() == Zor::kArchiveErrorOutsideBlock && ar.GetPosition() == 0);
      Check(payload.mediaType == "keep" && payload.data == std::vector<uint8_t>{7});
    }
  }
  {
    Zor::ByteVectorArchive ar(buf);
    std::vector<sShapePoint> points(1);
    const std::vector<sShapePoint> before = points;
    try {
      ReadShapePoints(ar, points);
      Check(ar.GetPosition() == 4 + points.size() * sizeof(sShapePoint));
    } catch (const Zor::IArchiveException& e) {
      Check(e.Code() == Zor::kArchiveErrorOutsideBlock && ar.GetPosition() == 0);
      Check(points == before);
    }
  }
  std::vector<sShapePoint> points(2);
  ReadShapePoints(buf, points);  // never throws
  Check(points.size() * sizeof(sShapePoint) <= size);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  CHdrList list = ListFrom(data, size);
  CheckBlobs(list);
  CheckRawPayload(data, size);
  return 0;
}
