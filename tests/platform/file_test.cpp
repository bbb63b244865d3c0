#include "platform/file.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <utility>

#include "platform/file_find.h"
#include "tests/support/temp_folder.h"

namespace zor::platform {
namespace {

TEST(File, OpenModesReadWriteSeekAndLength) {
  TempFolder tmp;
  const std::string path = tmp.Path("f.bin");
  File f;
  FileException error;
  EXPECT_FALSE(f.Open(path, File::modeRead, &error));
  EXPECT_EQ(error.m_cause, FileException::fileNotFound);
  EXPECT_EQ(error.m_strFileName, path);

  ASSERT_TRUE(f.Open(path, File::modeCreate | File::modeReadWrite | File::shareExclusive));
  f.Write("abcdef", 6);
  EXPECT_EQ(f.GetLength(), 6u);
  EXPECT_EQ(f.GetPosition(), 6u);
  f.SeekToBegin();
  char buf[10] = {};
  EXPECT_EQ(f.Read(buf, 10), 6u);  // short read at the end, no exception
  EXPECT_EQ(std::string(buf, 6), "abcdef");
  EXPECT_EQ(f.Read(buf, 1), 0u);
  EXPECT_EQ(f.Seek(-2, File::end), 4u);
  f.SetLength(uint64_t{5} << 32);  // positions and lengths are 64-bit
  EXPECT_EQ(f.GetLength(), uint64_t{5} << 32);
  EXPECT_EQ(f.Seek(int64_t{1} << 33, File::begin), uint64_t{1} << 33);
  // The holes around one byte at 8 GiB: skipped where the file system
  // keeps them, never past data, and the position stays.
  f.Write("x", 1);
  const uint64_t x = uint64_t{1} << 33;
  EXPECT_EQ(f.NextDataOffset(2), 2u);
  for (const auto& [from, holeEnd] : {std::pair{uint64_t{1} << 20, x},
                                      std::pair{x + (1 << 20), uint64_t{5} << 32}}) {
    const uint64_t data = f.NextDataOffset(from);
    EXPECT_TRUE(data == from || data == holeEnd) << from << " " << data;
  }
  EXPECT_EQ(f.NextDataOffset(uint64_t{6} << 32), uint64_t{6} << 32);
  EXPECT_EQ(f.GetPosition(), x + 1);
  f.SetLength(3);
  EXPECT_THROW(f.Seek(-10, File::begin), FileException);
  f.Close();
  EXPECT_FALSE(f.IsOpen());

  // modeNoTruncate keeps the content; a second opener is never refused.
  File a, b;
  ASSERT_TRUE(a.Open(path, File::modeCreate | File::modeNoTruncate | File::modeReadWrite |
                               File::shareExclusive));
  ASSERT_TRUE(b.Open(path, File::modeRead | File::shareExclusive));
  EXPECT_EQ(a.GetLength(), 3u);
  EXPECT_FALSE(f.Open(tmp.path(), File::modeRead, &error));
  EXPECT_EQ(error.m_cause, FileException::accessDenied);
}

TEST(File, WriteFailureThrowsWithCauseAndName) {
  TempFolder tmp;
  File f;
  ASSERT_TRUE(f.Open(tmp.Write("r.txt", "x"), File::modeRead));
  try {
    f.Write("y", 1);
    FAIL() << "no exception";
  } catch (const FileException& e) {
    EXPECT_EQ(e.m_cause, FileException::invalidFile);
    EXPECT_EQ(e.m_strFileName, tmp.Path("r.txt"));
  }
}

TEST(File, ReadOnlyAttributeIsTheOwnerWriteBit) {
  TempFolder tmp;
  const std::string path = tmp.Write("ro.txt", "x");
  bool ro = true;
  ASSERT_TRUE(File::GetReadOnly(path, ro));
  EXPECT_FALSE(ro);
  ASSERT_TRUE(File::SetReadOnly(path, true));
  ASSERT_TRUE(File::GetReadOnly(path, ro));
  EXPECT_TRUE(ro);
  if (::geteuid() != 0) {
    File f;
    FileException error;
    EXPECT_FALSE(f.Open(path, File::modeWrite, &error));
    EXPECT_EQ(error.m_cause, FileException::accessDenied);
  }
  ASSERT_TRUE(File::SetReadOnly(path, false));
  EXPECT_FALSE(File::GetReadOnly(tmp.Path("none"), ro));
}

TEST(FileFind, WindowsWildcardRules) {
  EXPECT_TRUE(WildcardMatch("*.*", "noextension"));
  EXPECT_TRUE(WildcardMatch("*", ".hidden"));
  EXPECT_TRUE(WildcardMatch("*.io", "DRIVERS.IO"));
  EXPECT_TRUE(WildcardMatch("d?ivers.*", "Drivers.io"));
  EXPECT_FALSE(WildcardMatch("?.io", "ab.io"));
  EXPECT_TRUE(WildcardMatch("a*b*c*d", "axxbyyczzd"));
  EXPECT_FALSE(WildcardMatch("a*b*c*d", "axxbyyczz"));
  EXPECT_TRUE(WildcardMatch("[x]{1}.io", "[X]{1}.IO"));  // no regex meaning
  // Many stars against a long name must stay fast.
  EXPECT_FALSE(WildcardMatch("*a*a*a*a*a*a*a*a*b", std::string(5000, 'a')));
}

TEST(FileFind, EntriesAreSortedWithoutCaseAndIncludeDots) {
  TempFolder tmp;
  tmp.Write("b.txt", "");
  tmp.Write("A.txt", "12");
  tmp.Write("c/d.txt", "");
  const auto all = FindEntries(tmp.path() + "\\*.*");
  ASSERT_EQ(all.size(), 5u);
  EXPECT_EQ(all[0].name, ".");
  EXPECT_EQ(all[1].name, "..");
  EXPECT_EQ(all[2].name, "A.txt");
  EXPECT_EQ(all[2].size, 2u);
  EXPECT_EQ(all[2].path, tmp.Path("A.txt"));
  EXPECT_EQ(all[3].name, "b.txt");
  EXPECT_TRUE(all[4].isDirectory);
  EXPECT_TRUE(FindEntries(tmp.Path("missing/*")).empty());

  FileFinder finder;
  ASSERT_TRUE(finder.FindFile(tmp.Path("*.TXT")));
  EXPECT_TRUE(finder.FindNextFile());
  EXPECT_EQ(finder.GetFileName(), "A.txt");
  EXPECT_FALSE(finder.FindNextFile());  // b.txt is the last
  EXPECT_EQ(finder.GetFileName(), "b.txt");
  EXPECT_FALSE(finder.IsDots());
}

}  // namespace
}  // namespace zor::platform
