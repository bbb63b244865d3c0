#include "core/text/checksum.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <random>
#include <string>

namespace {

// Bit-at-a-time reflected CRC, independent of the tables under test.
template <typename T>
T BitwiseCrc(std::string_view bytes, T poly) {
  T crc = 0;
  for (unsigned char b : bytes) {
    crc ^= b;
    for (int k = 0; k < 8; ++k) crc = static_cast<T>((crc & 1) ? (crc >> 1) ^ poly : crc >> 1);
  }
  return crc;
}

std::string Checksum(std::string_view text, int start, int mode) {
  std::string out = "stale";
  ComputeChecksumText(out, text, start, mode);
  return out;
}

TEST(ChecksumTest, KnownVectorsForEveryMode) {
  EXPECT_EQ(Checksum("abc", 0, 1), "60");
  EXPECT_EQ(Checksum("abc", 0, 2), "26");
  EXPECT_EQ(Checksum("123456789", 0, 1), "31");
  EXPECT_EQ(Checksum("123456789", 0, 2), "DD");  // 477 mod 256
  EXPECT_EQ(Checksum("123456789", 0, 3), "2189");      // CRC-16/KERMIT check value
  EXPECT_EQ(Checksum("123456789", 0, 4), "2DFD2D88");  // CRC-32, init 0, no final XOR
  EXPECT_EQ(Checksum("", 0, 1), "00");
  EXPECT_EQ(Checksum("", 0, 3), "0000");
  EXPECT_EQ(Checksum("", 0, 4), "00000000");
}

TEST(ChecksumTest, HighBytesCountAsUnsigned) {
  EXPECT_EQ(Checksum("\xB5", 0, 1), "B5");
  EXPECT_EQ(Checksum("\xB5", 0, 2), "B5");
  EXPECT_EQ(Checksum("\xFF\xFF\xFF", 0, 1), "FF");
  EXPECT_EQ(Checksum("\xFF\xFF\xFF", 0, 2), "FD");
  const std::string high = "\x80\xFF\xB5\x01\xFE";
  EXPECT_EQ(ComputeChecksumValue(high, 3), BitwiseCrc<uint16_t>(high, 0x8408));
  EXPECT_EQ(ComputeChecksumValue(high, 4), BitwiseCrc<uint32_t>(high, 0xEDB88320u));
  EXPECT_EQ(Checksum("\xFF", 0, 4), "2D02EF8D");
}

TEST(ChecksumTest, OtherModesActAsXor) {
  for (int mode : {0, 5, -1, 1000, INT32_MIN}) EXPECT_EQ(Checksum("abc", 0, mode), "60") << mode;
}

TEST(ChecksumTest, StartOutsideTheText) {
  EXPECT_EQ(Checksum("$abc", 1, 1), "60");
  EXPECT_EQ(Checksum("abc", -5, 1), "60");  // a negative start counts as 0
  EXPECT_EQ(Checksum("abc", 3, 1), "00");
  EXPECT_EQ(Checksum("abc", 1000, 3), "0000");
  EXPECT_EQ(Checksum("abc", INT32_MAX, 4), "00000000");
}

TEST(ChecksumTest, TablesMatchTheBitwiseDefinition) {
  // Every length from 0 to 80 at every alignment, so both the 8-byte steps
  // and the byte-wise tail are exercised.
  std::mt19937 rng(12345);
  std::string data(96, '\0');
  for (char& c : data) c = static_cast<char>(rng());
  for (std::size_t offset = 0; offset < 8; ++offset) {
    for (std::size_t len = 0; len + offset <= 88; ++len) {
      const std::string_view bytes(data.data() + offset, len);
      ASSERT_EQ(ComputeChecksumValue(bytes, 3), BitwiseCrc<uint16_t>(bytes, 0x8408));
      ASSERT_EQ(ComputeChecksumValue(bytes, 4), BitwiseCrc<uint32_t>(bytes, 0xEDB88320u));
      uint32_t x = 0, s = 0;
      for (unsigned char b : bytes) x ^= b, s += b;
      ASSERT_EQ(ComputeChecksumValue(bytes, 1), x);
      ASSERT_EQ(ComputeChecksumValue(bytes, 2), s & 0xFF);
    }
  }
}

TEST(ChecksumTest, Crc32ByteEntry) {
  EXPECT_EQ(Crc32ByteEntry(0), 0);
  EXPECT_EQ(static_cast<uint32_t>(Crc32ByteEntry(1)), 0x77073096u);
  EXPECT_EQ(static_cast<uint32_t>(Crc32ByteEntry(128)), 0xEDB88320u);
  EXPECT_EQ(static_cast<uint32_t>(Crc32ByteEntry(255)), 0x2D02EF8Du);
  // Each entry is the CRC of its byte alone.
  for (int b = 0; b < 256; ++b) {
    const char byte = static_cast<char>(b);
    EXPECT_EQ(static_cast<uint32_t>(Crc32ByteEntry(b)),
              ComputeChecksumValue(std::string_view(&byte, 1), 4));
  }
}

TEST(AppendChecksumTest, StarExceptInModes2And3) {
  struct Case {
    int mode;
    const char* suffix;
  };
  const Case cases[] = {{1, "*60"}, {2, "26"}, {3, ""}, {4, "*"}, {7, "*60"}};
  for (const Case& c : cases) {
    std::string text = "$abc";
    AppendChecksum(text, 1, c.mode);
    std::string std_text = "$abc";
    AppendChecksumStd(std_text, 1, c.mode);
    EXPECT_EQ(text.rfind(std::string("$abc") + c.suffix, 0), 0u) << c.mode;
    EXPECT_EQ(text.size(), 4 + (c.mode == 2 || c.mode == 3 ? 0 : 1) +
                               (c.mode == 3 ? 4 : c.mode == 4 ? 8 : 2));
    EXPECT_EQ(std_text, text);
  }
  std::string text = "$abc";
  AppendChecksum(text, 1, 3);
  EXPECT_EQ(text, "$abc" + Checksum("abc", 0, 3));
}

TEST(VerifyNmeaChecksumTest, RealSentences) {
  for (const char* s : {
           "$GPGGA,123519,4807.038,N,01131.000,E,1,08,0.9,545.4,M,46.9,M,,*47",
           "$GPRMC,123519,A,4807.038,N,01131.000,E,022.4,084.4,230394,003.1,W*6A",
           "$GPHDT,274.07,T*03",
           "$GPVTG,054.7,T,034.4,M,005.5,N,010.2,K*48",
           "$GPZDA,201530.00,04,07,2002,00,00*60\r\n",
           "$GPHDT,274.07,T*03 trailing text",
           "$GPHDT,274.07,T*3",     // "%X" needs no leading zero
           "$GPHDT,274.07,T* 03",   // nor does it mind leading blanks
           "$GPHDT,274.07,T*0x03",
           "$GPHDT,274.07,T*0003",
       })
    EXPECT_TRUE(VerifyNmeaChecksum(s)) << s;
}

TEST(VerifyNmeaChecksumTest, Rejections) {
  for (const char* s : {
           "GPHDT,274.07,T*03",    // no '$', though the checksum is right
           "!GPHDT,274.07,T*03",
           "$GPHDT,274.07,T*04",
           "$GPHDT,274.07,T",      // no '*'
           "$GPHDT,274.07,T*",     // nothing after '*' must not pass as 0
           "$*",
           "$*zz",
           "$A*41*",               // the last '*' counts
           "$GPHDT,274.07,T*100000003",
           "",
           "$",
       })
    EXPECT_FALSE(VerifyNmeaChecksum(s)) << s;
  EXPECT_TRUE(VerifyNmeaChecksum("$*0"));
  EXPECT_TRUE(VerifyNmeaChecksum("$*-0"));
  EXPECT_TRUE(VerifyNmeaChecksum("$A*B*29"));  // XOR of "A*B"
}

TEST(VerifyNmeaChecksumTest, AppendedChecksumVerifies) {
  std::string s = "$GPGGA,123519,4807.038,N,01131.000,E,1,08,0.9,545.4,M,46.9,M,,";
  AppendChecksum(s, 1, 1);
  EXPECT_EQ(s.substr(s.size() - 3), "*47");
  EXPECT_TRUE(VerifyNmeaChecksum(s));
  s = "$\xB5\xB5\x01";
  AppendChecksum(s, 1, 0);
  EXPECT_EQ(s, "$\xB5\xB5\x01*01");
  EXPECT_TRUE(VerifyNmeaChecksum(s));
}

}  // namespace
