#include "database/project/project_settings_file.h"

#include <gtest/gtest.h>

#include <climits>
#include <cstring>
#include <fstream>
#include <functional>
#include <iterator>

#include "tests/database/project/settings_file_builder.h"
#include "platform/bytes.h"
#include "tests/support/temp_folder.h"

using zor::platform::ArchiveException;
using zor::platform::ClassArchive;
using zor::platform::File;

namespace {

constexpr double kT0 = 1136073600.0;
constexpr double kT1 = 1136160000.0;

ProjectSettingsValues Defaults() {
  ProjectSettingsValues v;
  v.folderMask = DefaultFolderMask(0);
  ResetProjectSettingsRecord(v.record);
  return v;
}

// Valid words that differ from the defaults wherever the bounds allow.
void SetDistinctWords(sProjectSettingsRecord& r) {
  r.word1 = 5;
  r.word2 = 7;
  r.word3 = 1;
  r.word4 = 0;
  r.word5 = 99;
  r.word6 = 2;
  r.word7 = 1;
  r.word8 = 0;
  r.word9 = 3;
  r.word10 = 2;
  r.word11 = 2;
  r.word12 = -12;
}

std::string ReadAll(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

void WriteFile(const std::string& path, const ProjectSettingsValues& v) {
  File f;
  ASSERT_TRUE(f.Open(path, File::modeCreate | File::modeWrite));
  ClassArchive ar(f, ClassArchive::store);
  WriteProjectSettingsFile(ar, v);
  ar.Close();
}

void ReadFile(const std::string& path, ProjectSettingsValues& v, bool force = false) {
  File f;
  ASSERT_TRUE(f.Open(path, File::modeRead));
  ClassArchive ar(f, ClassArchive::load);
  ReadProjectSettingsFile(ar, v, force);
}

// The cause of the archive exception that reading `bytes` raises; -1 when the
// read succeeds.
int ReadCause(const TempFolder& tmp, const std::string& bytes, ProjectSettingsValues& v,
              bool force = false, std::string* name = nullptr) {
  const std::string path = tmp.Write("s.pst", bytes);
  try {
    ReadFile(path, v, force);
  } catch (const ArchiveException& e) {
    if (name) *name = e.m_strFileName;
    return e.m_cause;
  }
  return -1;
}

TEST(ProjectSettingsFile, FreshRecordDefaults) {
  sProjectSettingsRecord r;
  std::memset(&r, 0xAB, sizeof r);  // every byte the reset does not set must be zero
  ResetProjectSettingsRecord(r);
  sProjectSettingsRecord expected;
  std::memset(&expected, 0, sizeof expected);
  expected.word2 = 2;
  expected.word4 = 1;
  expected.word5 = 24;
  expected.word6 = 1;
  expected.word8 = 1;
  expected.rangeFlag = 1;
  const double table[5][6][2] = {
      {{-25, 0}, {-2, 2}, {0, 1}, {kT0, kT1}, {0, 10}, {-5, 5}},
      {{0, 655}, {0, 10}, {0, 100}, {kT0, kT1}, {0, 10}, {-5, 5}},
      {{0, 655}, {0, 10}, {0, 100}, {kT0, kT1}, {0, 10}, {-5, 5}},
      {{0, 100}, {0, 1}, {0, 100}, {kT0, kT1}, {0, 10}, {-5, 5}},
      {{-128, 0}, {0, 1}, {-128, 0}, {kT0, kT1}, {-128, 0}, {-128, 127}},
  };
  for (int g = 0; g < 5; ++g)
    for (int k = 0; k < 6; ++k) {
      expected.ranges[g][k].minimum = table[g][k][0];
      expected.ranges[g][k].maximum = table[g][k][1];
    }
  EXPECT_EQ(0, std::memcmp(&r, &expected, sizeof r));
  EXPECT_TRUE(IsValidProjectSettings(1, r));
  EXPECT_EQ(DefaultFolderMask(1), 0x0710A85Bu);
  EXPECT_EQ(DefaultFolderMask(0), 0xF9FFFFFFu);
  EXPECT_EQ(DefaultFolderMask(7), 0xF9FFFFFFu);
}

TEST(ProjectSettingsFile, Version8IsWrittenAndReadBackByteExactly) {
  TempFolder tmp;
  ProjectSettingsValues v = Defaults();
  v.rootFolder = "/srv/shared";
  v.text2 = "second";
  v.text3 = std::string(300, 't');  // a long text takes the 3-byte prefix
  v.text1 = "first";
  v.folderMask = 0x12345678;
  v.fileFlag = 0;
  sProjectSettingsRecord& r = v.record;
  SetDistinctWords(r);
  zor::platform::SetFieldText(r.path1, "path one");
  zor::platform::SetFieldText(r.path2, "path two");
  zor::platform::SetFieldText(r.path3, "path three");
  zor::platform::SetFieldText(r.path4, "path four");
  // Raw blocks travel as they stand, padding included.
  auto* ranges = reinterpret_cast<uint8_t*>(r.ranges);
  for (std::size_t i = 0; i < sizeof r.ranges; ++i) ranges[i] = static_cast<uint8_t>(i * 31 + 7);
  for (auto& group : r.ranges)
    for (auto& range : group) range.text[259] = '\0';
  for (std::size_t i = 0; i < sizeof r.extra; ++i) r.extra[i] = static_cast<uint8_t>(255 - i);

  const std::string path = tmp.Path("v8.pst");
  WriteFile(path, v);
  SettingsBytes expected;
  expected.U8(8).Text(v.rootFolder).Text(v.text2).Text("").Text(v.text3).U32(v.folderMask);
  expected.Text(v.text1).I32(v.fileFlag);
  for (int32_t w : {r.word7, r.word8, r.word10, r.word1, r.word6, r.word4, r.word3, r.word9,
                    r.word2, r.word5, r.word11, r.word12})
    expected.I32(w);
  expected.U32(r.rangeFlag).Raw(r.path1, 260).Raw(r.path3, 260).Raw(r.path2, 260);
  expected.Raw(r.ranges, sizeof r.ranges).Raw(r.path4, 260).Raw(r.extra, sizeof r.extra);
  EXPECT_EQ(ReadAll(path), expected.bytes());

  ProjectSettingsValues back = Defaults();
  back.fileState = 2;
  ReadFile(path, back);
  EXPECT_EQ(0, std::memcmp(&back.record, &v.record, sizeof v.record));
  EXPECT_EQ(back.rootFolder, v.rootFolder);
  EXPECT_EQ(back.text1, v.text1);
  EXPECT_EQ(back.text2, v.text2);
  EXPECT_EQ(back.text3, v.text3);
  EXPECT_EQ(back.folderMask, v.folderMask);
  EXPECT_EQ(back.fileFlag, 0);
  EXPECT_EQ(back.fileState, 1);

  // A third text written by someone else is read and dropped.
  std::string withDummy = expected.bytes();
  const std::size_t dummyAt = 1 + 1 + v.rootFolder.size() + 1 + v.text2.size();
  ASSERT_EQ(withDummy[dummyAt], '\0');
  withDummy.replace(dummyAt, 1, std::string("\x03xyz", 4));
  back = Defaults();
  EXPECT_EQ(ReadCause(tmp, withDummy, back), -1);
  EXPECT_EQ(back.text3, v.text3);
  EXPECT_EQ(0, std::memcmp(&back.record, &v.record, sizeof v.record));
}

struct OldFileContent {
  sProjectSettingsRecord words{};  // only the words are used
  std::string oldPath = "C:\\Data\\Survey.db";
  double minima[6] = {-1, -2, -3, -4, -5, -6};
  double maxima[6] = {1, 2, 3, 4, 5, 6};
};

// A file of version 1 to 6 as those versions wrote it.
std::string BuildOldFile(int version, const OldFileContent& c) {
  const sProjectSettingsRecord& w = c.words;
  SettingsBytes b;
  b.U8(static_cast<uint8_t>(version));
  if (version <= 3) {
    if (version == 1) b.Text("C:\\Old\\Project");
    b.Text("/old/root").Text("dummy one").Text("dummy two").Text("text three").U32(0x0F0F0F0F);
    if (version == 3) b.Text("text one").I32(0);
    b.I32(w.word1).I32(w.word2).I32(w.word3).I32(w.word4).I32(w.word5).Field(c.oldPath);
    for (double d : c.minima) b.F64(d);
    for (double d : c.maxima) b.F64(d);
    b.I32(w.word6).I32(w.word7).I32(w.word8).U32(0xDEADBEEF);
    return b.bytes();
  }
  b.Text("/old/root").Text("text two").Text("dummy").Text("text three").U32(0x0F0F0F0F);
  b.Text("text one").I32(0).I32(w.word7).I32(w.word8);
  if (version >= 5) b.I32(w.word10);
  b.I32(w.word1).I32(w.word6).I32(w.word4).I32(w.word3).I32(w.word9).I32(w.word2).I32(w.word5);
  for (double d : c.maxima) b.F64(d);
  for (double d : c.minima) b.F64(d);
  b.Field(c.oldPath);
  if (version == 6) b.Field("thrown away");
  return b.bytes();
}

TEST(ProjectSettingsFile, OldVersionsAreUpgradedInMemory) {
  TempFolder tmp;
  OldFileContent content;
  SetDistinctWords(content.words);
  for (int version = 1; version <= 6; ++version) {
    SCOPED_TRACE(version);
    ProjectSettingsValues v = Defaults();
    v.projectFolder = "/from/path";
    v.text1 = "kept one";
    v.text2 = "kept two";
    v.record.word9 = 1;
    v.record.word10 = 1;
    v.record.word11 = 1;
    v.record.word12 = 3;
    zor::platform::SetFieldText(v.record.path4, "kept four");
    v.record.extra[0] = 0x5A;
    ASSERT_EQ(ReadCause(tmp, BuildOldFile(version, content), v), -1);
    const sProjectSettingsRecord& r = v.record;
    EXPECT_EQ(v.fileState, 2);
    EXPECT_EQ(v.rootFolder, "/old/root");
    EXPECT_EQ(v.text3, "text three");
    EXPECT_EQ(v.folderMask, 0x0F0F0F0Fu);
    EXPECT_EQ(v.projectFolder, version == 1 ? "C:\\Old\\Project" : "/from/path");
    EXPECT_EQ(v.text1, version >= 3 ? "text one" : "kept one");
    EXPECT_EQ(v.fileFlag, version >= 3 ? 0 : 1);
    EXPECT_EQ(v.text2, version >= 4 ? "text two" : "kept two");
    // Words 1 to 8 are in every layout; 9 from version 4, 10 from version 5.
    EXPECT_EQ(r.word1, 5);
    EXPECT_EQ(r.word2, 7);
    EXPECT_EQ(r.word3, 1);
    EXPECT_EQ(r.word4, 0);
    EXPECT_EQ(r.word5, 99);
    EXPECT_EQ(r.word6, 2);
    EXPECT_EQ(r.word7, 1);
    EXPECT_EQ(r.word8, 0);
    EXPECT_EQ(r.word9, version >= 4 ? 3 : 1);
    EXPECT_EQ(r.word10, version >= 5 ? 2 : 1);
    EXPECT_EQ(r.word11, 1);
    EXPECT_EQ(r.word12, 3);
    // The single old path becomes path 1 (folder) and path 3 (name).
    EXPECT_STREQ(r.path1, "C:\\Data");
    EXPECT_STREQ(r.path3, "Survey.db");
    EXPECT_STREQ(r.path4, "kept four");
    EXPECT_EQ(r.extra[0], 0x5A);
    EXPECT_EQ(r.rangeFlag, 1u);
    for (int g = 0; g < kRangeGroupCount; ++g) {
      for (int k = 0; k < 6; ++k) EXPECT_STREQ(r.ranges[g][k].text, "Survey.db");
      EXPECT_STREQ(r.ranges[g][6].text, "");
    }
    for (int k : {0, 1, 2, 5}) {
      EXPECT_EQ(r.ranges[0][k].minimum, -(k + 1));
      EXPECT_EQ(r.ranges[0][k].maximum, k + 1);
    }
    EXPECT_EQ(r.ranges[0][3].minimum, kT0);
    EXPECT_EQ(r.ranges[0][4].maximum, 10);
    EXPECT_EQ(r.ranges[1][0].maximum, 655);  // other groups take their defaults
  }
}

TEST(ProjectSettingsFile, Version7KeepsPath4AndTheExtraBlock) {
  TempFolder tmp;
  ProjectSettingsValues source = Defaults();
  SetDistinctWords(source.record);
  zor::platform::SetFieldText(source.record.path2, "two");
  const std::string path = tmp.Path("v8.pst");
  WriteFile(path, source);
  std::string bytes = ReadAll(path);
  bytes[0] = 7;
  bytes.resize(bytes.size() - 260 - 2048);

  ProjectSettingsValues v = Defaults();
  zor::platform::SetFieldText(v.record.path4, "kept four");
  v.record.extra[2047] = 0x77;
  ASSERT_EQ(ReadCause(tmp, bytes, v), -1);
  EXPECT_EQ(v.fileState, 2);
  EXPECT_STREQ(v.record.path2, "two");
  EXPECT_EQ(v.record.word12, -12);
  EXPECT_STREQ(v.record.path4, "kept four");
  EXPECT_EQ(v.record.extra[2047], 0x77);
}

TEST(ProjectSettingsFile, OldPathsSplitAtEitherSeparatorAndLongFieldsAreCut) {
  TempFolder tmp;
  OldFileContent content;
  SetDistinctWords(content.words);
  struct Case {
    std::string oldPath, folder, name;
  };
  const Case cases[] = {
      {"/data/survey/line.db", "/data/survey", "line.db"},
      {"C:\\mixed/dir\\file", "C:\\mixed/dir", "file"},
      {"plain.db", "plain.db", "plain.db"},
      {std::string(260, 'B'), std::string(259, 'B'), std::string(259, 'B')},  // no zero byte
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.oldPath.substr(0, 30));
    content.oldPath = c.oldPath;
    ProjectSettingsValues v = Defaults();
    ASSERT_EQ(ReadCause(tmp, BuildOldFile(5, content), v), -1);
    EXPECT_EQ(zor::platform::FieldText(v.record.path1), c.folder);
    EXPECT_EQ(zor::platform::FieldText(v.record.path3), c.name);
    EXPECT_EQ(zor::platform::FieldText(v.record.ranges[4][5].text), c.name);
  }

  // Raw text fields of the current layout without a zero end inside it.
  ProjectSettingsValues source = Defaults();
  const std::string path = tmp.Path("v8.pst");
  WriteFile(path, source);
  std::string bytes = ReadAll(path);
  const std::size_t path1At = bytes.size() - 2048 - 260 - 10080 - 3 * 260;
  bytes.replace(path1At, 260, std::string(260, 'A'));
  ProjectSettingsValues v = Defaults();
  ASSERT_EQ(ReadCause(tmp, bytes, v), -1);
  EXPECT_EQ(std::strlen(v.record.path1), 259u);
}

TEST(ProjectSettingsFile, UnknownVersionsFailWithBadSchema) {
  TempFolder tmp;
  ProjectSettingsValues source = Defaults();
  const std::string path = tmp.Path("v8.pst");
  WriteFile(path, source);
  const std::string good = ReadAll(path);
  for (uint8_t version : {uint8_t{0}, uint8_t{9}, uint8_t{255}}) {
    SCOPED_TRACE(int{version});
    std::string bytes = good;
    bytes[0] = static_cast<char>(version);
    ProjectSettingsValues v = Defaults();
    std::string name;
    EXPECT_EQ(ReadCause(tmp, bytes, v, false, &name), ArchiveException::badSchema);
    EXPECT_EQ(name, "File " + tmp.Path("s.pst"));
    EXPECT_EQ(v.fileState, version == 0 ? 2 : 0);
    // Forced, any version byte is read as the current layout.
    v = Defaults();
    EXPECT_EQ(ReadCause(tmp, bytes, v, /*force=*/true), -1);
    EXPECT_EQ(v.fileState, 3);
  }
}

TEST(ProjectSettingsFile, EveryValidityBoundIsChecked) {
  TempFolder tmp;
  using Setter = std::function<void(ProjectSettingsValues&, int32_t)>;
  struct Bound {
    const char* what;
    Setter set;
    int32_t lo, hi;
  };
  auto word = [](int32_t sProjectSettingsRecord::*field) {
    return [field](ProjectSettingsValues& v, int32_t x) { v.record.*field = x; };
  };
  const Bound bounds[] = {
      {"file flag", [](ProjectSettingsValues& v, int32_t x) { v.fileFlag = x; }, 0, 1},
      {"range flag",
       [](ProjectSettingsValues& v, int32_t x) { v.record.rangeFlag = static_cast<uint32_t>(x); },
       0, 1},
      {"word 1", word(&sProjectSettingsRecord::word1), -1, 14},
      {"word 2", word(&sProjectSettingsRecord::word2), 0, 12},
      {"word 3", word(&sProjectSettingsRecord::word3), 0, 1},
      {"word 4", word(&sProjectSettingsRecord::word4), 0, 1},
      {"word 6", word(&sProjectSettingsRecord::word6), 0, 3},
      {"word 7", word(&sProjectSettingsRecord::word7), 0, 1},
      {"word 8", word(&sProjectSettingsRecord::word8), 0, 1},
      {"word 9", word(&sProjectSettingsRecord::word9), 0, 3},
      {"word 10", word(&sProjectSettingsRecord::word10), 0, 3},
      {"word 11", word(&sProjectSettingsRecord::word11), 0, 2},
      {"word 12", word(&sProjectSettingsRecord::word12), -12, 14},
  };
  const std::string path = tmp.Path("b.pst");
  for (const Bound& b : bounds) {
    SCOPED_TRACE(b.what);
    for (int32_t x : {b.lo - 1, b.lo, b.hi, b.hi + 1}) {
      ProjectSettingsValues source = Defaults();
      b.set(source, x);
      WriteFile(path, source);
      ProjectSettingsValues v = Defaults();
      const bool inside = x >= b.lo && x <= b.hi;
      try {
        ReadFile(path, v);
        EXPECT_TRUE(inside) << x;
      } catch (const ArchiveException& e) {
        EXPECT_FALSE(inside) << x;
        EXPECT_EQ(e.m_cause, ArchiveException::badIndex);
        EXPECT_EQ(e.m_strFileName, path);
      }
    }
  }
  // Word 5 is not checked.
  ProjectSettingsValues source = Defaults();
  source.record.word5 = INT32_MIN;
  WriteFile(path, source);
  ProjectSettingsValues v = Defaults();
  ReadFile(path, v);
  EXPECT_EQ(v.record.word5, INT32_MIN);
}

TEST(ProjectSettingsFile, ShortFilesAndHugeLengthsRaiseEndOfFile) {
  TempFolder tmp;
  ProjectSettingsValues source = Defaults();
  source.rootFolder = "root";
  const std::string path = tmp.Path("v8.pst");
  WriteFile(path, source);
  const std::string good = ReadAll(path);
  OldFileContent content;
  const std::string v2 = BuildOldFile(2, content);
  const std::string v6 = BuildOldFile(6, content);
  for (const std::string* file : {&good, &v2, &v6}) {
    for (std::size_t cut = 0; cut < file->size(); cut += cut < 80 ? 1 : 97) {
      ProjectSettingsValues v = Defaults();
      ASSERT_EQ(ReadCause(tmp, file->substr(0, cut), v), ArchiveException::endOfFile) << cut;
    }
  }
  // A root-folder length of almost 4 GB in a file of a few hundred bytes.
  std::string huge = good;
  huge.replace(1, 5, std::string("\xFF\xFF\xFF\xF0\xFF\xFF\xFF", 7));
  ProjectSettingsValues v = Defaults();
  EXPECT_EQ(ReadCause(tmp, huge, v), ArchiveException::endOfFile);
}

}  // namespace
