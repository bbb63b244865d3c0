// Binary objects ("BLOBs") in the header list: data of any length kept as one
// RecId 269 header record and as many RecId 270 chunk records as it needs,
// all under one numeric BLOB id.
//
//   CHdrList header;
//   const uint32_t id = header.GetNextBlobId();          // smallest free id, from 1
//   header.AddBlob(id, "application/octet-stream", bytes);
//
//   std::string type;
//   std::vector<uint8_t> data;
//   if (header.GetBlob(id, type, data)) ...              // false: missing or damaged
//   header.RemoveBlob(id);                               // before adding it again
//
// The chunks carry, joined in chunk-index order, the BLOB payload: the media
// type (u32 length and its characters), a u32 data size and the data bytes,
// in the binary archive's little-endian form (CBlobPayload). The CHdrList
// members are declared in hdr_list.h and defined in hdr_blobs.cpp.
//
// Chunk records may stand in any order and come from files or the settings
// buffer: a reader takes every count and length from them only after checking
// it against the bytes that are really there.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "core/archive/archive.h"

inline constexpr int32_t kRecIdBlobHeader = 269;  // "BLOB"
inline constexpr int32_t kRecIdBlobChunk = 270;   // "BLOB"
inline constexpr uint32_t kBlobChunkBytes = 2048;

// Payload of a RecId 269 entry.
struct sBlobHeaderRecord {
  uint32_t blobId = 0;  // 1 or more
  uint32_t chunkCount = 0;
  uint32_t payloadSize = 0;  // bytes carried by the chunks together
};
static_assert(sizeof(sBlobHeaderRecord) == 12);
static_assert(offsetof(sBlobHeaderRecord, blobId) == 0);
static_assert(offsetof(sBlobHeaderRecord, chunkCount) == 4);
static_assert(offsetof(sBlobHeaderRecord, payloadSize) == 8);

// Payload of a RecId 270 entry. The unused tail of `bytes` is zero.
struct sBlobChunkRecord {
  uint32_t blobId = 0;
  uint32_t chunkIndex = 0;  // from 0
  uint32_t usedBytes = 0;   // 1..kBlobChunkBytes
  uint8_t bytes[kBlobChunkBytes] = {};
};
static_assert(sizeof(sBlobChunkRecord) == 2060);
static_assert(offsetof(sBlobChunkRecord, blobId) == 0);
static_assert(offsetof(sBlobChunkRecord, chunkIndex) == 4);
static_assert(offsetof(sBlobChunkRecord, usedBytes) == 8);
static_assert(offsetof(sBlobChunkRecord, bytes) == 12);

// Chunks needed for a payload of `payloadSize` bytes.
constexpr uint32_t BlobChunkCount(uint32_t payloadSize) noexcept {
  return payloadSize / kBlobChunkBytes + (payloadSize % kBlobChunkBytes != 0 ? 1 : 0);
}

// Largest media type plus data that a BLOB can hold: its payload size is a
// 32-bit field and the payload spends 8 bytes on the two lengths.
inline constexpr uint64_t kMaxBlobContent = 0xFFFFFFFFull - 8;

// The BLOB payload as an archive object.
class CBlobPayload final : public Zor::ISerializable {
 public:
  CBlobPayload() = default;
  CBlobPayload(std::string type, std::vector<uint8_t> bytes)
      : mediaType(std::move(type)), data(std::move(bytes)) {}

  // Writes the media type, the data size and the data. The caller keeps the
  // two within kMaxBlobContent; longer ones cannot be described.
  void Serialize(Zor::IArchive& archive, uint32_t flags) const override;
  // Reads the three. A length that runs past the archive's bytes fails with
  // code 7 before anything is allocated; the object and the read position
  // are then left as they were. Bytes after the data are not read.
  void Deserialize(Zor::IArchive& archive) override;

  std::string mediaType;
  std::vector<uint8_t> data;
};

// Writes a BLOB payload without copying the data into a CBlobPayload first.
void WriteBlobPayload(Zor::IArchive& archive, const std::string& mediaType,
                      const std::vector<uint8_t>& data);
