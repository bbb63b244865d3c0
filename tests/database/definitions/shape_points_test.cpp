#include "database/definitions/shape_points.h"

#include <gtest/gtest.h>

#include <vector>

#include "tests/database/definitions/settings_block.h"

namespace {

using Points = std::vector<sShapePoint>;

Points ThreePoints() {
  Points p(3);
  for (uint32_t i = 0; i < 21; ++i) p[i / 7].words[i % 7] = 0x9E3779B9u * (i + 1);
  return p;
}

TEST(ShapePoints, WritesCountAndRawPointsAndReadsThemBackUnchanged) {
  const Points points = ThreePoints();
  std::vector<uint8_t> bytes = {0xAA};  // emptied first
  WriteShapePoints(points, bytes);
  ByteWriter expected;
  expected.Put(3u);
  for (const sShapePoint& p : points) {
    for (uint32_t w : p.words) expected.Put(w);
  }
  EXPECT_EQ(bytes, expected.bytes());

  Points back = {sShapePoint{}};
  ReadShapePoints(bytes, back);
  EXPECT_EQ(back, points);
  bytes.insert(bytes.end(), 5, 0xEE);  // bytes after the last point are not read
  ReadShapePoints(bytes, back);
  EXPECT_EQ(back, points);
  ReadShapePoints(Zor::ByteVector{}, back);  // empty bytes: no points
  EXPECT_TRUE(back.empty());
}

TEST(ShapePoints, CountsPastTheBytesAreRefused) {
  const std::vector<std::vector<uint8_t>> hostile = {
      {1, 0, 0},                                          // count cut short
      ByteWriter().Put(2u).Fill(28 + 27, 1).bytes(),      // second point short by one
      ByteWriter().Put(0xFFFFFFFFu).Fill(28, 1).bytes(),  // huge count
      ByteWriter().Put(0x0924924Au).Fill(28, 1).bytes(),  // count * 28 wraps to 24 in 32 bits
  };
  for (const std::vector<uint8_t>& bytes : hostile) {
    Points back = ThreePoints();
    ReadShapePoints(bytes, back);  // never throws; no part of an outline
    EXPECT_TRUE(back.empty());

    Zor::ByteVector buf = bytes;
    Zor::ByteVectorArchive ar(buf);
    back = ThreePoints();
    try {
      ReadShapePoints(ar, back);
      ADD_FAILURE() << "no exception";
    } catch (const Zor::IArchiveException& e) {
      EXPECT_EQ(e.Code(), 7);
    }
    EXPECT_EQ(ar.GetPosition(), 0u);
    EXPECT_EQ(back, ThreePoints());
  }
}

}  // namespace
