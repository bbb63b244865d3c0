#include "database/definitions/hdr_blobs.h"

#include <algorithm>
#include <cstring>
#include <memory>
#include <span>
#include <utility>

#include "database/definitions/hdr_list.h"
#include "platform/bytes.h"

namespace {

constexpr const char* kOutsideBlock = "Tried to serialize outside block";

bool HasWord0(const sHdrEntry& e, uint32_t id) { return e.WordIs(0, static_cast<int32_t>(id)); }

bool ReadHeader(const sHdrEntry& e, sBlobHeaderRecord& out) {
  return zor::platform::GetLE(std::span<const uint8_t>(e.payload), 0, out);
}

// The used bytes of a chunk record, or an empty span with false when its
// words are missing or its length runs past the record or the chunk size.
bool ChunkBytes(const sHdrEntry& e, std::span<const uint8_t>& out) {
  const std::span<const uint8_t> payload(e.payload);
  uint32_t used = 0;
  if (!zor::platform::GetLE(payload, offsetof(sBlobChunkRecord, usedBytes), used)) return false;
  constexpr std::size_t kHead = offsetof(sBlobChunkRecord, bytes);
  if (used > kBlobChunkBytes || !zor::platform::InBounds(payload.size(), kHead, used)) return false;
  out = payload.subspan(kHead, used);
  return true;
}

// ReadBytes counts in 32-bit signed steps; larger reads go piecewise.
void ReadAll(Zor::IArchive& archive, uint8_t* p, uint64_t n) {
  constexpr uint64_t kStep = 0x40000000;
  while (n > 0) {
    const uint64_t step = std::min(n, kStep);
    archive.ReadBytes(p, static_cast<int32_t>(step));
    p += step;
    n -= step;
  }
}

}  // namespace

void WriteBlobPayload(Zor::IArchive& archive, const std::string& mediaType,
                      const std::vector<uint8_t>& data) {
  archive.WriteString(mediaType);
  archive.Write32(static_cast<uint32_t>(data.size()));
  archive.WriteBytes(data.data(), static_cast<uint32_t>(data.size()));
}

void CBlobPayload::Serialize(Zor::IArchive& archive, uint32_t /*flags*/) const {
  WriteBlobPayload(archive, mediaType, data);
}

void CBlobPayload::Deserialize(Zor::IArchive& archive) {
  const uint32_t start = archive.GetPosition();
  try {
    std::string type;
    archive.ReadString(type);
    uint32_t size = 0;
    archive.Read32(size);
    // Checked before sizing the data: a hostile size must not allocate.
    if (size > archive.Remaining()) archive.Fail(Zor::kArchiveErrorOutsideBlock, kOutsideBlock);
    std::vector<uint8_t> bytes(size);
    ReadAll(archive, bytes.data(), size);
    mediaType = std::move(type);
    data = std::move(bytes);
  } catch (const Zor::IArchiveException&) {
    archive.SetPosition(start);
    throw;
  }
}

bool CHdrList::AddBlob(uint32_t id, const std::string& mediaType,
                       const std::vector<uint8_t>& data) {
  if (mediaType.size() > kMaxBlobContent || data.size() > kMaxBlobContent - mediaType.size())
    return false;
  Zor::ByteVector payload;
  payload.reserve(8 + mediaType.size() + data.size());
  Zor::ByteVectorArchive archive(payload);
  WriteBlobPayload(archive, mediaType, data);

  const auto size = static_cast<uint32_t>(payload.size());
  const sBlobHeaderRecord header{id, BlobChunkCount(size), size};
  const std::size_t before = entries_.size();
  try {
    AddEntry(kRecIdBlobHeader, sizeof header, &header, -1);
    auto chunk = std::make_unique<sBlobChunkRecord>();
    chunk->blobId = id;
    for (uint32_t offset = 0; offset < size; offset += kBlobChunkBytes) {
      const uint32_t used = std::min(kBlobChunkBytes, size - offset);
      chunk->usedBytes = used;
      std::memcpy(chunk->bytes, payload.data() + offset, used);
      std::memset(chunk->bytes + used, 0, kBlobChunkBytes - used);
      AddEntry(kRecIdBlobChunk, sizeof(sBlobChunkRecord), chunk.get(), -1);
      ++chunk->chunkIndex;
    }
  } catch (...) {
    // Half a BLOB would read as a missing chunk; leave none of it.
    TruncateTo(before);
    throw;
  }
  return true;
}

bool CHdrList::GetBlob(uint32_t id, std::string& mediaType, std::vector<uint8_t>& data) const {
  mediaType.clear();
  data.clear();
  const auto found = std::find_if(begin(), end(), [id](const sHdrEntry& e) {
    return e.recId == static_cast<uint32_t>(kRecIdBlobHeader) && HasWord0(e, id);
  });
  sBlobHeaderRecord header;
  if (found == end() || !ReadHeader(*found, header)) return false;

  // The id's chunks below the count, stably sorted by index, so the first of
  // an index in list order leads. The count itself is never allocated for.
  std::vector<std::pair<uint32_t, const sHdrEntry*>> chunks;
  for (const sHdrEntry& e : *this) {
    int32_t index = 0;
    if (e.recId == static_cast<uint32_t>(kRecIdBlobChunk) && HasWord0(e, id) &&
        e.GetWord(1, index) && static_cast<uint32_t>(index) < header.chunkCount) {
      chunks.emplace_back(static_cast<uint32_t>(index), &e);
    }
  }
  std::stable_sort(chunks.begin(), chunks.end(),
                   [](const auto& a, const auto& b) { return a.first < b.first; });

  Zor::ByteVector joined;
  uint32_t next = 0;
  for (const auto& [index, entry] : chunks) {
    if (index < next) continue;      // a later duplicate of an index already taken
    if (index > next) return false;  // chunk `next` is missing
    std::span<const uint8_t> bytes;
    if (!ChunkBytes(*entry, bytes)) return false;
    joined.Append(bytes.data(), bytes.size());
    ++next;
  }
  if (next != header.chunkCount) return false;  // the last ones are missing

  CBlobPayload payload;
  try {
    Zor::DeserializeFromBytes(payload, joined);
  } catch (const Zor::IArchiveException&) {
    return false;
  }
  mediaType = std::move(payload.mediaType);
  data = std::move(payload.data);
  return true;
}

void CHdrList::RemoveBlob(uint32_t id) {
  RemoveEntries(kRecIdBlobHeader, static_cast<int32_t>(id));
  RemoveEntries(kRecIdBlobChunk, static_cast<int32_t>(id));
}

uint32_t CHdrList::GetNextBlobId() const {
  std::vector<uint32_t> used;
  for (const sHdrEntry& e : *this) {
    int32_t id = 0;
    if (e.recId == static_cast<uint32_t>(kRecIdBlobHeader) && e.GetWord(0, id))
      used.push_back(static_cast<uint32_t>(id));
  }
  std::sort(used.begin(), used.end());
  uint32_t next = 1;
  for (uint32_t id : used) {
    if (id > next) break;
    if (id == next) ++next;
  }
  return next;
}
