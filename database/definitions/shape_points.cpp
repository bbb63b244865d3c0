#include "database/definitions/shape_points.h"

#include <utility>

namespace {
constexpr const char* kOutsideBlock = "Tried to serialize outside block";
}

void WriteShapePoints(Zor::IArchive& archive, const std::vector<sShapePoint>& points) {
  archive.Write32(static_cast<uint32_t>(points.size()));
  for (const sShapePoint& p : points) archive.WriteBytes(p.words, sizeof p.words);
}

void ReadShapePoints(Zor::IArchive& archive, std::vector<sShapePoint>& points) {
  const uint32_t start = archive.GetPosition();
  try {
    uint32_t count = 0;
    archive.Read32(count);
    if (count > archive.Remaining() / sizeof(sShapePoint))
      archive.Fail(Zor::kArchiveErrorOutsideBlock, kOutsideBlock);
    std::vector<sShapePoint> read(count);
    for (sShapePoint& p : read) archive.ReadBytes(p.words, sizeof p.words);
    points = std::move(read);
  } catch (const Zor::IArchiveException&) {
    archive.SetPosition(start);
    throw;
  }
}

void WriteShapePoints(const std::vector<sShapePoint>& points, std::vector<uint8_t>& bytes) {
  Zor::ByteVector out;
  out.reserve(4 + points.size() * sizeof(sShapePoint));
  Zor::ByteVectorArchive archive(out);
  WriteShapePoints(archive, points);
  bytes = std::move(static_cast<std::vector<uint8_t>&>(out));
}

void ReadShapePoints(const Zor::ByteVector& bytes, std::vector<sShapePoint>& points) {
  points.clear();
  if (bytes.empty()) return;
  // The archive only reads here; it takes a mutable buffer because it can write.
  Zor::ByteVectorArchive archive(const_cast<Zor::ByteVector&>(bytes));
  try {
    ReadShapePoints(archive, points);
  } catch (const Zor::IArchiveException&) {
    // Damaged bytes give no outline rather than part of one.
  }
}
