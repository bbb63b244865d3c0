// One header record of the project database: its record type (RecId), the
// words stored with it, and the payload bytes it owns.
//
//   sHdrEntry e;                        // link, reserved, file position -1
//   e.recId = 139;
//   e.payload.assign(4, 0);
//   int32_t word = 0;
//   if (e.GetWord(0, word)) ...         // false when the payload is too short
//
//   sHdrEntryImage image = ToImage(e);  // 28 bytes as shared with the controller
//   sHdrEntry back = FromImage(image);  // payload left empty: Size bytes follow
//
// Payload layouts are fixed by the record type, but payloads that arrive from
// the settings buffer or a file may be shorter than the layout says; every
// word access here is bounded by the payload's length.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "database/definitions/hdr_payload_bytes.h"
#include "platform/bytes.h"

// The 28-byte image of an entry in the settings buffer's header block; Size
// payload bytes follow it directly. Little-endian, padding zero.
struct sHdrEntryImage {
  uint32_t dataRef = 0;   // the writer's payload reference; no meaning to a reader
  uint32_t recId = 0;
  uint32_t size = 0;      // payload bytes that follow the image
  int32_t link = -1;
  int32_t reserved = -1;
  uint32_t filePos = 0xFFFFFFFFu;  // low 32 bits of the file position
  uint8_t flag = 0;
  uint8_t pad[3] = {0, 0, 0};
};
static_assert(sizeof(sHdrEntryImage) == 28);
static_assert(offsetof(sHdrEntryImage, dataRef) == 0);
static_assert(offsetof(sHdrEntryImage, recId) == 4);
static_assert(offsetof(sHdrEntryImage, size) == 8);
static_assert(offsetof(sHdrEntryImage, link) == 12);
static_assert(offsetof(sHdrEntryImage, reserved) == 16);
static_assert(offsetof(sHdrEntryImage, filePos) == 20);
static_assert(offsetof(sHdrEntryImage, flag) == 24);
static_assert(offsetof(sHdrEntryImage, pad) == 25);

inline constexpr std::size_t kHdrEntryImageSize = sizeof(sHdrEntryImage);

struct sHdrEntry {
  uint32_t recId = 0;
  int32_t link = -1;      // word stored with the record in the project file; -1 none
  int32_t reserved = -1;  // kept from the older file layout
  uint8_t flag = 0;
  int64_t filePos = -1;   // where the link word was last read or written; -1 never
  HdrPayload payload;     // Size bytes (hdr_payload_bytes.h)

  uint32_t Size() const noexcept { return static_cast<uint32_t>(payload.size()); }
  // The payload's first byte; null for an empty payload.
  uint8_t* Data() noexcept { return payload.empty() ? nullptr : payload.data(); }
  const uint8_t* Data() const noexcept { return payload.empty() ? nullptr : payload.data(); }

  // Word n is the 32-bit little-endian word at bytes 4n..4n+3. Get leaves
  // `out` alone and Set writes nothing when the payload is too short.
  bool GetWord(std::size_t n, int32_t& out) const noexcept {
    return zor::platform::GetLE(std::span<const uint8_t>(payload), 4 * uint64_t{n}, out);
  }
  bool SetWord(std::size_t n, int32_t value) noexcept {
    return zor::platform::SetLE(std::span<uint8_t>(payload), 4 * uint64_t{n}, value);
  }
  // True when word n exists and equals value.
  bool WordIs(std::size_t n, int32_t value) const noexcept {
    int32_t w = 0;
    return GetWord(n, w) && w == value;
  }
};
// A header list keeps many thousands of entries: keep them small.
static_assert(sizeof(void*) != 8 || sizeof(sHdrEntry) == 40);

// The image of an entry, payload reference 0, position cut to its low 32 bits.
inline sHdrEntryImage ToImage(const sHdrEntry& e) noexcept {
  sHdrEntryImage image;
  image.recId = e.recId;
  image.size = e.Size();
  image.link = e.link;
  image.reserved = e.reserved;
  image.filePos = static_cast<uint32_t>(e.filePos);
  image.flag = e.flag;
  return image;
}

// Sets the entry's words from the image; the payload is left alone. A
// position of 0xFFFFFFFF is the "never" mark and becomes -1.
inline void SetFromImage(sHdrEntry& e, const sHdrEntryImage& image) noexcept {
  e.recId = image.recId;
  e.link = image.link;
  e.reserved = image.reserved;
  e.filePos = image.filePos == 0xFFFFFFFFu ? -1 : int64_t{image.filePos};
  e.flag = image.flag;
}

// An entry with the image's fields and an empty payload.
inline sHdrEntry FromImage(const sHdrEntryImage& image) {
  sHdrEntry e;
  SetFromImage(e, image);
  return e;
}
