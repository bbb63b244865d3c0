#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <string>

#include "database/definitions/obj_def_list.h"
#include "database/definitions/object_defaults.h"
#include "tests/database/definitions/archive_test_support.h"
#include "tests/database/definitions/object_lists_test_support.h"

namespace {

using zor::platform::ArchiveException;
using zor::platform::ClassArchive;

// The bytes of one object's settings behind its id.
constexpr std::size_t kElementBytes = 1368;

// Byte ranges an applied element leaves alone: the record head, the id, the
// name and reference node, alignment, and what the project itself decides.
constexpr std::pair<std::size_t, std::size_t> kKept[] = {{0, 52},      {1260, 1272}, {1340, 1348},
                                                         {1357, 1360}, {1364, 1384}, {1396, 1424}};

bool Kept(std::size_t offset) {
  for (auto [from, to] : kKept)
    if (offset >= from && offset < to) return true;
  return false;
}

sObjDef RandomObject(uint32_t seed, int32_t id) {
  std::mt19937 rng(seed);
  sObjDef o = RandomBytes<sObjDef>(rng);
  o.id = id;
  return o;
}

class ObjSettingsTest : public testing::Test {
 protected:
  void TearDown() override {
    from_.RemoveAll();
    to_.RemoveAll();
  }
  // Every byte of `got` is the source's where settings apply and the
  // untouched record's elsewhere.
  static void ExpectApplied(const sObjDef& got, const sObjDef& source, const sObjDef& original,
                            std::size_t appliedEnd = sizeof(sObjDef)) {
    const auto* g = reinterpret_cast<const uint8_t*>(&got);
    const auto* s = reinterpret_cast<const uint8_t*>(&source);
    const auto* o = reinterpret_cast<const uint8_t*>(&original);
    int wrong = 0;
    for (std::size_t i = 0; i < sizeof(sObjDef); ++i) {
      const bool applied = !Kept(i) && i < appliedEnd;
      if (g[i] != (applied ? s[i] : o[i]) && wrong++ < 3) ADD_FAILURE() << "byte " << i;
    }
  }

  CObjDefList from_, to_;
};

TEST_F(ObjSettingsTest, RoundTripAppliesTheSharedFieldsById) {
  from_.AddCopy(RandomObject(1, 4));
  from_.AddCopy(RandomObject(2, 9));
  from_.AddCopy(RandomObject(3, 0));  // no id: an unknown element
  const std::string bytes = StoredArchive([&](ClassArchive& ar) { from_.SaveSettings(ar); });
  ASSERT_EQ(bytes.size(), 1 + 4 + 3 * (4 + kElementBytes));
  EXPECT_EQ(bytes[0], kObjSettingsVersion);
  EXPECT_EQ(ValueAt<uint32_t>(bytes, 1), 3u);
  EXPECT_EQ(ValueAt<int32_t>(bytes, 5), 4);

  // The target holds the objects in another order, one of them unknown to
  // the archive; the element of id 0 is read and dropped.
  to_.AddCopy(MakeDefaultObject(9));
  to_.AddCopy(MakeDefaultObject(7));
  to_.AddCopy(MakeDefaultObject(4));
  const sObjDef nine = *to_.GetAt(0), seven = *to_.GetAt(1), four = *to_.GetAt(2);
  LoadedArchive in(bytes);
  to_.ApplySettings(in.archive(), true);
  EXPECT_EQ(in.archive().Remaining(), 0u);
  ExpectApplied(*to_.GetAt(0), *from_.GetAt(1), nine);
  ExpectApplied(*to_.GetAt(2), *from_.GetAt(0), four);
  EXPECT_EQ(std::memcmp(to_.GetAt(1), &seven, sizeof seven), 0);
}

TEST_F(ObjSettingsTest, OlderVersionsReadTheirFieldsOnly) {
  from_.AddCopy(RandomObject(4, 2));
  const std::string saved = StoredArchive([&](ClassArchive& ar) { from_.SaveSettings(ar); });
  // The element of version 1 ends behind 1272, of version 2 behind 1284.
  for (auto [version, size, end] : {std::tuple{1, 4 + 1228, 1280}, std::tuple{2, 4 + 1236, 1288}}) {
    std::string bytes = saved.substr(0, 5 + size);
    bytes[0] = static_cast<char>(version);
    to_.AddCopy(MakeDefaultObject(2));
    const sObjDef before = *to_.GetHead();
    LoadedArchive in(bytes + "tail");
    to_.ApplySettings(in.archive(), true);
    EXPECT_EQ(in.archive().Remaining(), 4u) << version;
    ExpectApplied(*to_.GetHead(), *from_.GetHead(), before, static_cast<std::size_t>(end));
    to_.RemoveAll();
  }

  // Version 0 (no version byte) skips four words per element; a version
  // above 4 reads nothing behind the count.
  to_.AddCopy(MakeDefaultObject(2));
  const sObjDef before = *to_.GetHead();
  std::string v0 = DbBytes().Put(uint32_t{2}).Raw(std::vector<uint8_t>(32, 0x11)).str();
  LoadedArchive zero(v0 + "tail");
  to_.ApplySettings(zero.archive(), false);
  EXPECT_EQ(zero.archive().Remaining(), 4u);
  LoadedArchive five(DbBytes().Put(uint8_t{5}).Put(uint32_t{3}).str() + "tail");
  to_.ApplySettings(five.archive(), true);
  EXPECT_EQ(five.archive().Remaining(), 4u);
  EXPECT_EQ(std::memcmp(to_.GetHead(), &before, sizeof before), 0);
}

TEST_F(ObjSettingsTest, AnElementCutShortChangesNothing) {
  from_.AddCopy(RandomObject(5, 3));
  const std::string saved = StoredArchive([&](ClassArchive& ar) { from_.SaveSettings(ar); });
  to_.AddCopy(MakeDefaultObject(3));
  const sObjDef before = *to_.GetHead();
  LoadedArchive in(saved.substr(0, saved.size() - 10));
  EXPECT_THROW(to_.ApplySettings(in.archive(), true), ArchiveException);
  EXPECT_EQ(std::memcmp(to_.GetHead(), &before, sizeof before), 0);

  // A hostile count ends at the end of the archive.
  LoadedArchive huge(DbBytes().Put(uint8_t{4}).Put(uint32_t{0xFFFFFFFF}).Put(int32_t{3}).str());
  EXPECT_THROW(to_.ApplySettings(huge.archive(), true), ArchiveException);
}

}  // namespace
