// The stored form of an outline (of an object or vessel): a u32 point count
// and then the points, 28 bytes each, as the object records hold them. The
// header list keeps it as a binary object of the vessel-shape media type.
//
//   std::vector<sShapePoint> outline = ...;
//   std::vector<uint8_t> bytes;
//   WriteShapePoints(outline, bytes);
//   header.AddBlob(id, VesselShapeMimeType, bytes);
//   ...
//   std::vector<sShapePoint> back;
//   ReadShapePoints(bytes, back);    // never throws; damaged bytes give no points
//
// The archive forms throw Zor::IArchiveException (code 7) for bytes that end
// too soon and leave the points and the read position as they were.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "core/archive/archive.h"

// One outline point: seven 32-bit words, carried as they stand.
struct sShapePoint {
  uint32_t words[7] = {};

  friend bool operator==(const sShapePoint&, const sShapePoint&) = default;
};
static_assert(sizeof(sShapePoint) == 28);
static_assert(offsetof(sShapePoint, words) == 0);

// Empties `bytes`, then writes the count and the points.
void WriteShapePoints(const std::vector<sShapePoint>& points, std::vector<uint8_t>& bytes);
// Empties `points`; for non-empty bytes reads the count and the points. Bytes
// that end before the last point give no points. Bytes after it are ignored.
void ReadShapePoints(const Zor::ByteVector& bytes, std::vector<sShapePoint>& points);

void WriteShapePoints(Zor::IArchive& archive, const std::vector<sShapePoint>& points);
// Replaces `points` with the count and points read from the archive. The
// count is checked against the bytes left before anything is allocated.
void ReadShapePoints(Zor::IArchive& archive, std::vector<sShapePoint>& points);
