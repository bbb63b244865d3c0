#include "platform/class_archive.h"

#include <gtest/gtest.h>

#include <cstring>
#include <fstream>
#include <iterator>
#include <memory>
#include <vector>

#include "tests/support/temp_folder.h"

namespace zor::platform {
namespace {

std::string Bytes(std::initializer_list<int> values) {
  std::string s;
  for (int v : values) s.push_back(static_cast<char>(v));
  return s;
}

std::string ReadAll(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

// Writes through a storing archive and returns the bytes that reached the file.
template <typename Fn>
std::string Stored(const TempFolder& tmp, Fn&& fill) {
  const std::string path = tmp.Path("out.bin");
  File f;
  EXPECT_TRUE(f.Open(path, File::modeCreate | File::modeWrite));
  ClassArchive ar(f, ClassArchive::store);
  fill(ar);
  ar.Close();
  f.Close();
  return ReadAll(path);
}

struct Loaded {
  File file;
  std::unique_ptr<ClassArchive> ar;
};

std::unique_ptr<Loaded> Load(const TempFolder& tmp, const std::string& bytes) {
  auto l = std::make_unique<Loaded>();
  // Loads share the file for reading, as the suite's loads do.
  EXPECT_TRUE(l->file.Open(tmp.Write("in.bin", bytes), File::modeRead | File::shareDenyWrite));
  l->ar = std::make_unique<ClassArchive>(l->file, ClassArchive::load, 16);
  return l;
}

TEST(ClassArchive, StringLengthPrefixesAtEveryBoundary) {
  TempFolder tmp;
  struct Case {
    uint32_t length;
    std::string prefix;
  };
  const Case cases[] = {
      {0, Bytes({0})},
      {254, Bytes({0xFE})},
      {255, Bytes({0xFF, 0xFF, 0x00})},
      {65533, Bytes({0xFF, 0xFD, 0xFF})},
      {65534, Bytes({0xFF, 0xFF, 0xFF, 0xFE, 0xFF, 0x00, 0x00})},
      {70000, Bytes({0xFF, 0xFF, 0xFF, 0x70, 0x11, 0x01, 0x00})},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.length);
    std::string text(c.length, 'x');
    if (!text.empty()) text.back() = 'y';
    const std::string bytes = Stored(tmp, [&](ClassArchive& ar) { ar << text; });
    ASSERT_EQ(bytes.size(), c.prefix.size() + c.length);
    EXPECT_EQ(bytes.substr(0, c.prefix.size()), c.prefix);
    auto in = Load(tmp, bytes + "tail");
    std::string back;
    *in->ar >> back;
    EXPECT_EQ(back, text);
    EXPECT_EQ(in->ar->Remaining(), 4u);
  }
}

TEST(ClassArchive, SixteenBitTextsAreReadAsEightBit) {
  TempFolder tmp;
  // Marker FF FFFE, then a length of three 16-bit units: "a", "b", U+0141.
  auto in = Load(tmp, Bytes({0xFF, 0xFE, 0xFF, 3, 'a', 0, 0xE9, 0, 0x41, 0x01, 7}));
  std::string text = "old";
  uint8_t after = 0;
  *in->ar >> text >> after;
  EXPECT_EQ(text, "a\xE9?");
  EXPECT_EQ(after, 7);

  // After the marker 0xFFFE is an ordinary 16-bit length.
  std::string wide = Bytes({0xFF, 0xFE, 0xFF, 0xFF, 0xFE, 0xFF});
  wide += std::string(2 * 65534, '\0');
  wide[6] = 'Z';
  in = Load(tmp, wide);
  *in->ar >> text;
  ASSERT_EQ(text.size(), 65534u);
  EXPECT_EQ(text[0], 'Z');
}

TEST(ClassArchive, LengthsBeyondTheFileFailWithoutAllocating) {
  TempFolder tmp;
  const std::string cases[] = {
      Bytes({0xFF, 0xFF, 0xFF, 0xF0, 0xFF, 0xFF, 0xFF, 'a', 'b'}),  // 4 GB text
      Bytes({0xFF, 0xFE, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0x7F}),  // 2 G units
      Bytes({5, 'a', 'b'}),
      Bytes({0xFF, 0x10}),  // the prefix itself cut short
  };
  for (const std::string& bytes : cases) {
    auto in = Load(tmp, bytes);
    std::string text = "kept";
    try {
      *in->ar >> text;
      FAIL() << "no exception";
    } catch (const ArchiveException& e) {
      EXPECT_EQ(e.m_cause, ArchiveException::endOfFile);
      EXPECT_EQ(e.m_strFileName, tmp.Path("in.bin"));
    }
    EXPECT_EQ(text, "kept");
  }
}

TEST(ClassArchive, WordsDoublesAndRawBlocksRoundTripAcrossTheBuffer) {
  TempFolder tmp;
  std::vector<uint8_t> block(10000);
  for (std::size_t i = 0; i < block.size(); ++i) block[i] = static_cast<uint8_t>(i * 7);
  const std::string bytes = Stored(tmp, [&](ClassArchive& ar) {
    ar << uint8_t{8} << int32_t{-2} << uint32_t{0xF9FFFFFF} << 2.5;
    ar.Write(block.data(), static_cast<uint32_t>(block.size()));
    ar << uint16_t{0xBEEF};
  });
  ASSERT_EQ(bytes.size(), 1u + 4 + 4 + 8 + block.size() + 2);
  EXPECT_EQ(bytes.substr(0, 9), Bytes({8, 0xFE, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xF9}));

  auto in = Load(tmp, bytes);
  uint8_t version = 0;
  int32_t word = 0;
  uint32_t mask = 0;
  double d = 0;
  uint16_t tail = 0;
  std::vector<uint8_t> back(block.size());
  *in->ar >> version >> word >> mask >> d;
  in->ar->ReadBlock(back.data(), static_cast<uint32_t>(back.size()));
  *in->ar >> tail;
  EXPECT_EQ(version, 8);
  EXPECT_EQ(word, -2);
  EXPECT_EQ(mask, 0xF9FFFFFFu);
  EXPECT_EQ(d, 2.5);
  EXPECT_EQ(back, block);
  EXPECT_EQ(tail, 0xBEEF);
  EXPECT_EQ(in->ar->Remaining(), 0u);

  // Read reports a short count; ReadBlock and the operators raise endOfFile
  // and leave the destination alone.
  char buf[4];
  EXPECT_EQ(in->ar->Read(buf, 4), 0u);
  uint32_t untouched = 99;
  EXPECT_THROW(*in->ar >> untouched, ArchiveException);
  EXPECT_EQ(untouched, 99u);
}

TEST(ClassArchive, DirectionMistakesAndUnclosedArchives) {
  TempFolder tmp;
  auto in = Load(tmp, "abc");
  try {
    *in->ar << uint8_t{1};
    FAIL();
  } catch (const ArchiveException& e) {
    EXPECT_EQ(e.m_cause, ArchiveException::readOnly);
  }

  const std::string path = tmp.Path("dropped.bin");
  {
    File f;
    ASSERT_TRUE(f.Open(path, File::modeCreate | File::modeWrite));
    ClassArchive ar(f, ClassArchive::store);
    uint8_t b = 0;
    try {
      ar >> b;
      FAIL();
    } catch (const ArchiveException& e) {
      EXPECT_EQ(e.m_cause, ArchiveException::writeOnly);
    }
    ar << std::string("never flushed");
  }  // an archive left without Close writes nothing
  EXPECT_EQ(ReadAll(path), "");
}

TEST(ClassArchive, ExceptionMessagesNameTheFile) {
  EXPECT_EQ(ArchiveException(ArchiveException::badSchema, "File /p/s.pst").GetErrorMessage(),
            std::string("File /p/s.pst: ") +
                ArchiveException(ArchiveException::badSchema, "").what());
  EXPECT_STRNE(ArchiveException(ArchiveException::badIndex, "").what(),
               ArchiveException(ArchiveException::endOfFile, "").what());
}

}  // namespace
}  // namespace zor::platform
