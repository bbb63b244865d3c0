#include "database/definitions/output_def_list.h"

#include <gtest/gtest.h>

#include <initializer_list>
#include <string>

#include "platform/class_archive.h"
#include "tests/database/definitions/archive_test_support.h"

namespace {

using zor::platform::ArchiveException;
using zor::platform::ClassArchive;

COutputDef Def(uint32_t id, uint32_t v1, uint32_t v2, uint32_t v3) {
  COutputDef d;
  d.m_id = id;
  d.m_value1 = v1;
  d.m_value2 = v2;
  d.m_value3 = v3;
  return d;
}

// A version byte followed by u32 words.
std::string Stream(int version, std::initializer_list<uint32_t> words) {
  DbBytes b;
  if (version >= 0) b.Put(static_cast<uint8_t>(version));
  for (uint32_t w : words) b.Put(w);
  return b.str();
}

TEST(OutputDefListTest, SavedListLoadsEqual) {
  COutputDefList list;
  list.Add(Def(1, 10, 11, 12));
  list.Add(Def(2, 20, 21, 22));
  const std::string bytes = StoredArchive([&](ClassArchive& ar) { list.Save(ar); });
  EXPECT_EQ(bytes, Stream(2, {2}) + Stream(1, {1, 10, 11, 12}) + Stream(1, {2, 20, 21, 22}));

  COutputDefList back;
  back.Add(Def(9, 9, 9, 9));  // replaced
  LoadedArchive in(bytes);
  back.Load(in.archive(), true);
  EXPECT_EQ(back, list);
  EXPECT_EQ(back.FindById(2)->m_value3, 22u);
  EXPECT_EQ(back.FindById(3), nullptr);
  back.GetAt(0)->m_value2 = 0;
  EXPECT_NE(back, list);
}

TEST(OutputDefListTest, VersionZeroDataHasNoThirdValue) {
  // Read without the version byte: three words per element.
  const std::string v0 = Stream(-1, {2, 1, 2, 3, 4, 5, 6});
  COutputDefList list;
  LoadedArchive in(v0);
  list.Load(in.archive(), false);
  ASSERT_EQ(list.GetCount(), 2);
  EXPECT_EQ(*list.GetAt(1), Def(4, 5, 6, 0));
  EXPECT_EQ(list.GetAt(2), nullptr);

  // List version 1 holds the same form behind its byte.
  LoadedArchive v1(Stream(1, {}) + v0);
  list.Load(v1.archive(), true);
  EXPECT_EQ(*list.GetAt(0), Def(1, 2, 3, 0));
}

TEST(OutputDefListTest, ElementVersionsAndHostileCounts) {
  // An element of a newer version reads nothing behind its byte.
  COutputDef d = Def(5, 5, 5, 5);
  LoadedArchive newer(Stream(2, {}) + "tail");
  d.Load(newer.archive(), true);
  EXPECT_EQ(d, Def(5, 5, 5, 5));
  EXPECT_EQ(newer.archive().Remaining(), 4u);

  // A count far beyond the data: the elements that are there, then the end
  // of the archive.
  COutputDefList list;
  LoadedArchive huge(Stream(2, {0xFFFFFFFF}) + Stream(1, {7, 1, 2, 3}) + Stream(1, {}));
  EXPECT_THROW(list.Load(huge.archive(), true), ArchiveException);
  ASSERT_EQ(list.GetCount(), 1);
  EXPECT_EQ(*list.FindById(7), Def(7, 1, 2, 3));
  EXPECT_EQ(list.FindById(0), nullptr);
}

// Output ids are unsigned words: 0 and ids of 2^31 and more are ids like
// any other.
TEST(OutputDefListTest, FindByIdTakesEveryUnsignedId) {
  COutputDefList list;
  for (uint32_t id : {5u, 0u, 0x80000000u, 0xFFFFFFFFu}) list.Add(Def(id, id ^ 1u, 0, 0));
  for (uint32_t id : {5u, 0u, 0x80000000u, 0xFFFFFFFFu}) {
    const COutputDef* d = list.FindById(id);
    ASSERT_NE(d, nullptr) << id;
    EXPECT_EQ(d->m_value1, id ^ 1u);
  }
  EXPECT_EQ(list.FindById(6), nullptr);
  const COutputDefList& constList = list;
  EXPECT_EQ(constList.FindById(0), list.GetAt(1));
}

}  // namespace
