#include "system/process/utf16_stream.h"

#include <gtest/gtest.h>

#include <sstream>
#include <streambuf>

namespace {

// A stream over bytes that cannot seek, like a pipe.
class PipeBuffer : public std::streambuf {
 public:
  explicit PipeBuffer(std::string bytes) : m_bytes(std::move(bytes)) {
    setg(m_bytes.data(), m_bytes.data(), m_bytes.data() + m_bytes.size());
  }

 private:
  std::string m_bytes;
};

const std::string kMarkAbcd(
    "\xFF\xFE"
    "a\0b\0c\0d\0",
    10);

TEST(ReadUtf16Text, ChunksTellWhetherMoreFollows) {
  std::istringstream seven(std::string("a\0b\0\xAC\x20z", 7));
  std::u16string text;
  EXPECT_FALSE(ReadUtf16Text(seven, text, 100, 0));
  EXPECT_EQ(text, u"ab\u20AC");  // the odd last byte dropped

  std::istringstream in(kMarkAbcd);
  EXPECT_TRUE(ReadUtf16Text(in, text, 4, 0));
  EXPECT_EQ(text, u"\uFEFFa");  // the byte-order mark is kept
  EXPECT_TRUE(ReadUtf16Text(in, text, 4, 4));
  EXPECT_EQ(text, u"bc");
  EXPECT_TRUE(ReadUtf16Text(in, text, 2, 8));  // exactly the rest: "there may be more"
  EXPECT_EQ(text, u"d");
  EXPECT_FALSE(ReadUtf16Text(in, text, 4, 8));
  EXPECT_EQ(text, u"d");
  // A stream read to its end is measured again from its start.
  EXPECT_EQ(ReadUtf16File(in, SIZE_MAX).size(), 5u);
  EXPECT_EQ(ReadUtf16File(in, SIZE_MAX).size(), 5u);
}

TEST(ReadUtf16Text, OffsetsBeyondTheEndAndHugeMaximaAreSafe) {
  std::istringstream in(kMarkAbcd);
  std::u16string text = u"old";
  EXPECT_FALSE(ReadUtf16Text(in, text, 100, 10));
  EXPECT_TRUE(text.empty());
  EXPECT_FALSE(ReadUtf16Text(in, text, SIZE_MAX, SIZE_MAX));
  EXPECT_TRUE(text.empty());

  std::istringstream big(std::string(200000, 'x'));
  EXPECT_FALSE(ReadUtf16Text(big, text, 1000000000, 0));
  EXPECT_EQ(text.size(), 100000u);
  EXPECT_LE(text.capacity(), 200000u);  // what the stream holds, not the maximum

  std::istringstream failed(kMarkAbcd);
  failed.setstate(std::ios::failbit);
  EXPECT_FALSE(ReadUtf16Text(failed, text, 100, 0));
  EXPECT_TRUE(text.empty());
}

TEST(ReadUtf16Text, StreamThatCannotSeekIsReadFromWhereItStands) {
  std::u16string text;
  PipeBuffer whole(kMarkAbcd);
  std::istream in(&whole);
  EXPECT_TRUE(ReadUtf16Text(in, text, 4, 4));
  EXPECT_EQ(text, u"bc");
  PipeBuffer odd(std::string("a\0b\0c", 5));
  std::istream oddIn(&odd);
  EXPECT_FALSE(ReadUtf16Text(oddIn, text, 100, 0));
  EXPECT_EQ(text, u"ab");
  PipeBuffer shortBuffer(std::string("a\0", 2));
  std::istream shortIn(&shortBuffer);
  EXPECT_FALSE(ReadUtf16Text(shortIn, text, 100, 10));
  EXPECT_TRUE(text.empty());
}

}  // namespace
