#include "core/archive/archive.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "core/archive/counted_length.h"

namespace Zor {
namespace {

ByteVector Bytes(std::initializer_list<int> list) {
  ByteVector v;
  for (int b : list) v.push_back(static_cast<uint8_t>(b));
  return v;
}

template <typename F>
IArchiveException CatchArchive(F&& f) {
  try {
    f();
  } catch (const IArchiveException& e) {
    return e;
  }
  ADD_FAILURE() << "no IArchiveException";
  return IArchiveException(0, "");
}

TEST(ByteVectorArchive, WritesRawLittleEndianValuesInOrder) {
  ByteVector buf;
  ByteVectorArchive ar(buf);
  ar.Write32(int32_t{1}).Write64(2.5).WriteString("ab");
  ASSERT_EQ(buf.size(), 18u);
  double d = 2.5;
  ByteVector expect = Bytes({1, 0, 0, 0});
  expect.Append(&d, 8);
  expect.Append("\x02\x00\x00\x00" "ab", 6);
  EXPECT_EQ(buf, expect);
}

TEST(ByteVectorArchive, EveryWidthRoundTrips) {
  ByteVector buf;
  ByteVectorArchive w(buf);
  w.Write8(true).Write64(-1.25).Write32(3.5f).Write64(int64_t{-5}).Write64(uint64_t{1} << 63)
      .Write32(int32_t{-7}).Write32(uint32_t{0xDEADBEEF}).Write16(int16_t{-2}).Write16(uint16_t{65535})
      .Write8(int8_t{-1}).Write8(uint8_t{200}).WriteBytes("xyz", 3).WriteString("");
  EXPECT_EQ(buf.size(), 1u + 8 + 4 + 8 + 8 + 4 + 4 + 2 + 2 + 1 + 1 + 3 + 4);

  ByteVectorArchive r(buf);
  bool b = false; double d = 0; float f = 0; int64_t i64 = 0; uint64_t u64 = 0;
  int32_t i32 = 0; uint32_t u32 = 0; int16_t i16 = 0; uint16_t u16 = 0; int8_t i8 = 0;
  uint8_t u8 = 0; char raw[3]; std::string s = "junk";
  r.Read8(b).Read64(d).Read32(f).Read64(i64).Read64(u64).Read32(i32).Read32(u32).Read16(i16)
      .Read16(u16).Read8(i8).Read8(u8).ReadBytes(raw, 3).ReadString(s);
  EXPECT_TRUE(b);
  EXPECT_EQ(d, -1.25);
  EXPECT_EQ(f, 3.5f);
  EXPECT_EQ(i64, -5);
  EXPECT_EQ(u64, uint64_t{1} << 63);
  EXPECT_EQ(i32, -7);
  EXPECT_EQ(u32, 0xDEADBEEFu);
  EXPECT_EQ(i16, -2);
  EXPECT_EQ(u16, 65535);
  EXPECT_EQ(i8, -1);
  EXPECT_EQ(u8, 200);
  EXPECT_EQ(std::string(raw, 3), "xyz");
  EXPECT_EQ(s, "");
  EXPECT_EQ(r.Remaining(), 0u);
}

TEST(ByteVectorArchive, BoolReadsAnyNonZeroByteAsTrue) {
  ByteVector buf = Bytes({0, 2, 255});
  ByteVectorArchive r(buf);
  bool a = true, b = false, c = false;
  r.Read8(a).Read8(b).Read8(c);
  EXPECT_FALSE(a);
  EXPECT_TRUE(b);
  EXPECT_TRUE(c);
}

TEST(ByteVectorArchive, ShortReadFailsWithCodeSevenAndKeepsState) {
  ByteVector buf = Bytes({1, 2, 3});
  ByteVectorArchive r(buf);
  int32_t v = 42;
  auto e = CatchArchive([&] { r.Read32(v); });
  EXPECT_EQ(e.Code(), 7);
  EXPECT_STREQ(e.what(),
               "Zor archive exception: Tried to serialize outside block - code: \"7\"");
  EXPECT_EQ(v, 42);
  EXPECT_EQ(r.GetPosition(), 0u);
  uint16_t w = 0;
  r.Read16(w);  // the bytes are still there
  EXPECT_EQ(w, 0x0201);
}

TEST(ByteVectorArchive, HostileLengthsFailBeforeAllocating) {
  // Lengths up to 2^32-1 with only a few bytes behind them: a reader that
  // allocated first would ask for gigabytes.
  for (uint32_t length : {5u, 0x7FFFFFFFu, 0x80000000u, 0xFFFFFFFFu}) {
    ByteVector buf;
    buf.Append(&length, 4);
    buf.Append("abc", 3);
    ByteVectorArchive r(buf);
    std::string s = "old";
    auto e = CatchArchive([&] { r.ReadString(s); });
    EXPECT_EQ(e.Code(), 7);
    EXPECT_TRUE(s.empty());
    EXPECT_EQ(r.GetPosition(), 0u);
  }
  ByteVector buf = Bytes({1, 2});
  ByteVectorArchive r(buf);
  char dest[4] = {'k', 'k', 'k', 'k'};
  EXPECT_EQ(CatchArchive([&] { r.ReadBytes(dest, INT32_MAX); }).Code(), 7);
  EXPECT_EQ(CatchArchive([&] { r.ReadBytes(dest, 3); }).Code(), 7);
  EXPECT_EQ(dest[0], 'k');
  r.ReadBytes(dest, -5);  // a count of 0 or below copies nothing
  r.ReadBytes(dest, 0);
  EXPECT_EQ(r.GetPosition(), 0u);
}

TEST(ByteVectorArchive, FailThrowsTheGivenCodeAndText) {
  ByteVector buf;
  ByteVectorArchive ar(buf);
  auto e = CatchArchive([&] { ar.Fail(7, "ZorTime"); });
  EXPECT_EQ(e.Code(), 7);
  EXPECT_STREQ(e.what(), "Zor archive exception: ZorTime - code: \"7\"");
  IArchiveException copy = e;
  EXPECT_EQ(copy.Code(), 7);
  EXPECT_STREQ(copy.what(), e.what());
}

struct Pair : ISerializable {
  int32_t a = 0;
  std::string b;
  void Serialize(IArchive& ar, uint32_t) const override { ar.Write32(a).WriteString(b); }
  void Deserialize(IArchive& ar) override { ar.Read32(a).ReadString(b); }
};

TEST(SerializeHelpers, RoundTripAndEmptyBufferLeavesObjectAlone) {
  Pair p;
  p.a = 9;
  p.b = "nine";
  ByteVector buf = Bytes({1, 2, 3});
  EXPECT_TRUE(SerializeToBytes(p, buf, 64));
  EXPECT_EQ(buf.size(), 12u);
  EXPECT_GE(buf.capacity(), 64u);
  Pair q;
  EXPECT_TRUE(DeserializeFromBytes(q, buf));
  EXPECT_EQ(q.a, 9);
  EXPECT_EQ(q.b, "nine");
  Pair untouched;
  untouched.a = 5;
  EXPECT_TRUE(DeserializeFromBytes(untouched, ByteVector{}));
  EXPECT_EQ(untouched.a, 5);
}

TEST(CountedLength, ExactBytesAtEveryBoundary) {
  struct Case {
    uint32_t n;
    ByteVector bytes;
  } cases[] = {
      {0, Bytes({0})},
      {254, Bytes({254})},
      {255, Bytes({255, 255, 0})},
      {65533, Bytes({255, 0xFD, 0xFF})},
      {65534, Bytes({255, 0xFF, 0xFF, 0xFE, 0xFF, 0, 0})},
      {65535, Bytes({255, 0xFF, 0xFF, 0xFF, 0xFF, 0, 0})},
      {0xFFFFFFFFu, Bytes({255, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF})},
  };
  for (const auto& c : cases) {
    ByteVector buf;
    ByteVectorArchive ar(buf);
    WriteLength(ar, c.n);
    EXPECT_EQ(buf, c.bytes) << c.n;
    ByteVectorArchive in(buf);
    EXPECT_EQ(ReadLength(in), c.n);
    EXPECT_EQ(in.Remaining(), 0u);
  }
}

TEST(CountedLength, SixteenBitFormAtItsBoundaries) {
  for (uint32_t n : {0u, 65534u, 65535u, 70000u, 0xFFFFFFFFu}) {
    ByteVector buf;
    ByteVectorArchive ar(buf);
    WriteLength16(ar, n);
    EXPECT_EQ(buf.size(), n < 65535 ? 2u : 6u);
    ByteVectorArchive in(buf);
    EXPECT_EQ(ReadLength16(in), n);
  }
}

TEST(CountedString, RoundTripsAndStopsAtZeroByte) {
  for (std::size_t len : {0u, 1u, 254u, 255u, 65533u, 65534u, 65535u, 70000u}) {
    std::string text(len, 'q');
    ByteVector buf;
    ByteVectorArchive ar(buf);
    WriteCountedString(ar, text);
    ByteVectorArchive in(buf);
    std::string back = "x";
    ReadCountedString(in, back);
    EXPECT_EQ(back, text);
    EXPECT_EQ(in.Remaining(), 0u);
  }
  ByteVector body = Bytes({4, 0x61, 0, 0x62, 0x63});
  ByteVectorArchive in(body);
  std::string s;
  ReadCountedString(in, s);
  EXPECT_EQ(s, "a");
}

TEST(CountedString, HostileLengthRestoresPosition) {
  ByteVector buf = Bytes({255, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 'a'});
  ByteVectorArchive in(buf);
  std::string s = "keep";
  EXPECT_EQ(CatchArchive([&] { ReadCountedString(in, s); }).Code(), 7);
  EXPECT_EQ(in.GetPosition(), 0u);
  EXPECT_TRUE(s.empty());  // the length was read, so the text was emptied
}

TEST(CountedLength, PrefixCutShortIsNotConsumed) {
  // Each prefix stops inside its 16- or 32-bit part.
  for (ByteVector buf : {Bytes({255}), Bytes({255, 1}), Bytes({255, 0xFF, 0xFF}),
                         Bytes({255, 0xFF, 0xFF, 1, 2, 3})}) {
    ByteVectorArchive in(buf);
    EXPECT_EQ(CatchArchive([&] { ReadLength(in); }).Code(), 7);
    EXPECT_EQ(in.GetPosition(), 0u);
    std::string s = "keep";
    EXPECT_EQ(CatchArchive([&] { ReadCountedString(in, s); }).Code(), 7);
    EXPECT_EQ(s, "keep");  // nothing was read, so nothing changed
    EXPECT_EQ(in.GetPosition(), 0u);
  }
  ByteVector buf = Bytes({0xFF, 0xFF, 1, 2});
  ByteVectorArchive in(buf);
  EXPECT_EQ(CatchArchive([&] { ReadLength16(in); }).Code(), 7);
  EXPECT_EQ(in.GetPosition(), 0u);
}

TEST(FixedString, PadsCutsAndWritesNothingForZero) {
  ByteVector buf;
  ByteVectorArchive ar(buf);
  WriteFixedString(ar, "abc", 0);
  EXPECT_TRUE(buf.empty());
  WriteFixedString(ar, "abc", 5);
  EXPECT_EQ(buf, Bytes({5, 'a', 'b', 'c', 0, 0}));
  buf.clear();
  WriteFixedString(ar, "abcdef", 2);
  EXPECT_EQ(buf, Bytes({2, 'a', 'b'}));
}

TEST(ByteVectorHelpers, BoundsSafeEditsAndSearches) {
  ByteVector v = Bytes({1, 2, 3, 4, 5});
  EXPECT_EQ(v.EraseRange(4, 2), 0u);
  EXPECT_EQ(v.EraseRange(6, 0), 0u);
  EXPECT_EQ(v.EraseRange(static_cast<std::size_t>(-1), 2), 0u);
  EXPECT_EQ(v.size(), 5u);
  EXPECT_EQ(v.EraseRange(1, 2), 2u);
  EXPECT_EQ(v, Bytes({1, 4, 5}));
  EXPECT_EQ(v.EraseFrom(3), 0u);
  EXPECT_EQ(v.EraseFrom(1), 2u);
  EXPECT_EQ(v, Bytes({1}));

  ByteVector src = Bytes({9, 8, 7});
  ByteVector dst;
  dst.AppendFrom(src, 1, 5);  // clipped to the source
  EXPECT_EQ(dst, Bytes({8, 7}));
  dst.AppendFrom(src, 10, 1);
  dst.AppendFrom(dst, 0, 2);  // appending from itself
  EXPECT_EQ(dst, Bytes({8, 7, 8, 7}));
  dst.Append(nullptr, 3);
  EXPECT_EQ(dst.size(), 4u);

  EXPECT_EQ(ByteVector{}.Data(), nullptr);
  EXPECT_EQ(dst.FindByte(7, 0), 1u);
  EXPECT_EQ(dst.FindByte(7, 2), 3u);
  EXPECT_EQ(dst.FindByte(7, 4), ByteVector::npos);
  EXPECT_EQ(dst.FindByte(5, 0), ByteVector::npos);
  EXPECT_EQ(dst.FindAnyOf(Bytes({1, 7}), 2), 3u);
  EXPECT_EQ(dst.FindAnyOf(Bytes({1}), 0), ByteVector::npos);
  EXPECT_TRUE(ByteVector::Equal(Bytes({1, 2}), Bytes({1, 2})));
  EXPECT_FALSE(ByteVector::Equal(Bytes({1, 2}), Bytes({1})));
}

}  // namespace
}  // namespace Zor
