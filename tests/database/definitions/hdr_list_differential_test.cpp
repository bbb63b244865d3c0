// The header list's bulk fills against a plain reader that keeps one vector
// per entry: thousands of generated blocks, mostly well formed, some with a
// Size that lies, a count that lies or bytes cut short, must give the same
// entries, caches and result. Each list is then changed and copied further
// (payloads resized in and out of the list's block, entries removed and
// added, RemoveAll and refills) and must keep matching a plain model.
#include <gtest/gtest.h>

#include <bit>
#include <cstring>
#include <random>
#include <string>
#include <tuple>
#include <vector>

#include "database/blockfile/block_file.h"
#include "database/catalogue/record_type_size.h"
#include "database/definitions/hdr_list.h"
#include "tests/database/blockfile/db_bytes.h"
#include "tests/database/definitions/settings_block.h"
#include "tests/support/temp_folder.h"

namespace {

using Bytes = std::vector<uint8_t>;
using zor::platform::File;

struct Ref {
  uint32_t recId = 0;
  int32_t link = -1;
  int32_t reserved = -1;
  uint8_t flag = 0;
  int64_t filePos = -1;
  Bytes payload;
  bool operator==(const Ref&) const = default;
};

// The plain model of a list: entries and the two cached values.
struct Model {
  std::vector<Ref> entries;
  double gpsUtc = kDefaultGpsUtcOffset;
  double unit = kDefaultSurveyUnitFactor;

  void Cache(const Ref& r) {
    if (r.recId == 139 && r.payload.size() >= 4) {
      float f;
      std::memcpy(&f, r.payload.data(), 4);
      gpsUtc = f;
    } else if (r.recId == 153 && r.payload.size() >= 48) {
      std::memcpy(&unit, r.payload.data() + 40, 8);
    }
  }
  void Append(Ref r) {
    Cache(r);
    entries.push_back(std::move(r));
  }
};

template <typename T>
T At(const Bytes& b, std::size_t at) {
  T v;
  std::memcpy(&v, b.data() + at, sizeof v);
  return v;
}

// The settings-buffer block read the plain way; false where it stops.
bool RefReadSettings(const Bytes& block, uint32_t count, Model& m) {
  std::size_t at = 0;
  for (uint32_t i = 0; i < count; ++i) {
    if (block.size() < at + kHdrEntryImageSize) return false;
    Ref r;
    r.recId = At<uint32_t>(block, at + 4);
    const uint32_t size = At<uint32_t>(block, at + 8);
    r.link = At<int32_t>(block, at + 12);
    r.reserved = At<int32_t>(block, at + 16);
    const uint32_t pos = At<uint32_t>(block, at + 20);
    r.filePos = pos == 0xFFFFFFFFu ? -1 : int64_t{pos};
    r.flag = block[at + 24];
    at += kHdrEntryImageSize;
    if (block.size() - at < size) return false;
    r.payload.assign(block.begin() + static_cast<std::ptrdiff_t>(at),
                     block.begin() + static_cast<std::ptrdiff_t>(at + size));
    at += size;
    m.Append(std::move(r));
  }
  return true;
}

// Block 33 (or the older block 1) read the plain way; `start` is the file
// offset of the block's first data byte.
bool RefLoad(const Bytes& block, bool old, uint64_t start, Model& m) {
  std::size_t at = 0;
  while (block.size() - at >= 4) {
    Ref r;
    uint32_t size = 0;
    std::size_t p = at;
    if (old) {
      r.recId = At<uint32_t>(block, p);
      p += 4;
      size = RecordTypeSize(static_cast<int32_t>(r.recId > 100000 ? 0 : r.recId));
      if (size == 0) return false;
    } else {
      if (block.size() - at < 9) return false;
      size = At<uint32_t>(block, p);
      r.flag = block[p + 4];
      r.recId = At<uint32_t>(block, p + 5);
      p += 9;
      const uint32_t fixed =
          r.recId > static_cast<uint32_t>(kLastRecId) ? 0 : RecordTypeSize(static_cast<int32_t>(r.recId));
      if (fixed != 0 && fixed != size) return false;
    }
    const std::size_t tail = old ? 8 : 4;
    if (block.size() - p < uint64_t{size} + tail) return false;
    r.payload.assign(block.begin() + static_cast<std::ptrdiff_t>(p),
                     block.begin() + static_cast<std::ptrdiff_t>(p + size));
    p += size;
    r.filePos = static_cast<int64_t>(start + p);
    r.link = At<int32_t>(block, p);
    if (old) r.reserved = At<int32_t>(block, p + 4);
    at = p + tail;
    m.Append(std::move(r));
  }
  return true;
}

void ExpectSame(const CHdrList& list, const Model& m, const std::string& where) {
  std::vector<Ref> got;
  for (const sHdrEntry& e : list) {
    got.push_back({e.recId, e.link, e.reserved, e.flag, e.filePos, Bytes(e.payload)});
  }
  ASSERT_EQ(got.size(), m.entries.size()) << where;
  for (std::size_t i = 0; i < got.size(); ++i) ASSERT_EQ(got[i], m.entries[i]) << where << " #" << i;
  // Bit for bit: random payloads give NaNs too.
  EXPECT_EQ(std::bit_cast<uint64_t>(list.GetGpsUtcOffset()), std::bit_cast<uint64_t>(m.gpsUtc)) << where;
  EXPECT_EQ(std::bit_cast<uint64_t>(list.GetSurveyUnitFactor()), std::bit_cast<uint64_t>(m.unit))
      << where;
}

// Generated entries: record types with and without a fixed size, the two
// cached ones among them.
class Gen {
 public:
  explicit Gen(uint32_t seed) : rng_(seed) {}
  uint32_t Below(uint32_t n) { return std::uniform_int_distribution<uint32_t>(0, n - 1)(rng_); }
  bool OneIn(uint32_t n) { return Below(n) == 0; }

  uint32_t RecId() {
    static const uint32_t kIds[] = {139, 153, 16, 13, 83, 84, 210, 230, 2, 300, 0xFFFFFFFFu};
    return kIds[Below(std::size(kIds))];
  }
  Bytes Payload(uint32_t recId) {
    uint32_t n = recId <= static_cast<uint32_t>(kLastRecId) ? RecordTypeSize(static_cast<int32_t>(recId)) : 0;
    if (n == 0) n = Below(OneIn(20) ? 3000 : 40);
    Bytes b(n);
    for (uint8_t& x : b) x = static_cast<uint8_t>(Below(256));
    return b;
  }
  // A settings block of `count` images with payloads, then spoiled now and then.
  Bytes SettingsBlock(uint32_t& count) {
    DbBytes w;
    count = Below(30);
    for (uint32_t i = 0; i < count; ++i) {
      const uint32_t id = RecId();
      Bytes p = Payload(id);
      uint32_t size = static_cast<uint32_t>(p.size());
      if (OneIn(60)) size = OneIn(2) ? 0xFFFFFFFFu - Below(40) : size + 1 + Below(100);
      w.Put(Below(1u << 31)).Put(id).Put(size).Put(static_cast<int32_t>(Below(9)) - 1)
          .Put(static_cast<int32_t>(Below(9)) - 1).Put(OneIn(3) ? 0xFFFFFFFFu : Below(1u << 31))
          .Put(static_cast<uint8_t>(Below(256))).Put<uint8_t>(0).Put<uint8_t>(0).Put<uint8_t>(0);
      w.Raw(p);
    }
    Bytes block = w.bytes();
    if (OneIn(8) && !block.empty()) block.resize(Below(static_cast<uint32_t>(block.size())));
    if (OneIn(10)) count += 1 + Below(OneIn(2) ? 5 : 0x7FFFFFFF);
    return block;
  }
  Bytes FileBlock(bool old) {
    DbBytes w;
    const uint32_t n = Below(30);
    for (uint32_t i = 0; i < n; ++i) {
      const uint32_t id = RecId();
      Bytes p = Payload(id);
      if (old) {
        if (RecordTypeSize(static_cast<int32_t>(id > 100000 ? 0 : id)) == 0 && !OneIn(10)) continue;
        w.Put(id).Raw(p).Put(static_cast<int32_t>(Below(9)) - 1).Put(static_cast<int32_t>(Below(9)));
        continue;
      }
      uint32_t size = static_cast<uint32_t>(p.size());
      if (OneIn(60)) size = OneIn(2) ? 0xFFFFFFFFu - Below(40) : size + 1 + Below(100);
      w.Put(size).Put(static_cast<uint8_t>(Below(256))).Put(id).Raw(p).Put(static_cast<int32_t>(Below(9)) - 1);
    }
    Bytes block = w.bytes();
    if (OneIn(8) && !block.empty()) block.resize(Below(static_cast<uint32_t>(block.size())));
    return block;
  }

 private:
  std::mt19937 rng_;
};

// Changes both the list and its model the same way; everything a caller may
// do to entries that may live in the list's block.
void Mutate(Gen& g, CHdrList& list, Model& m) {
  for (int step = 0, steps = static_cast<int>(g.Below(6)); step < steps; ++step) {
    const std::size_t n = m.entries.size();
    switch (g.Below(6)) {
      case 0: {  // a payload changes length
        if (n == 0) break;
        const std::size_t i = g.Below(static_cast<uint32_t>(n));
        const std::size_t len = g.Below(60);
        auto it = list.begin() + static_cast<std::ptrdiff_t>(i);
        it->payload.resize(len);
        m.entries[i].payload.resize(len);
        break;
      }
      case 1: {  // a payload written in place and reassigned its own length
        if (n == 0) break;
        const std::size_t i = g.Below(static_cast<uint32_t>(n));
        auto it = list.begin() + static_cast<std::ptrdiff_t>(i);
        const Bytes fresh(m.entries[i].payload.size(), static_cast<uint8_t>(g.Below(256)));
        it->payload = fresh;
        m.entries[i].payload = fresh;
        break;
      }
      case 2: {  // one removed
        const uint32_t id = g.RecId();
        const int32_t k = static_cast<int32_t>(g.Below(3)) + 1;
        int32_t seen = 0;
        std::size_t at = n;
        for (std::size_t i = 0; i < n; ++i) {
          if (static_cast<int32_t>(id) >= 1 && m.entries[i].recId == id && ++seen == k) {
            at = i;
            break;
          }
        }
        EXPECT_EQ(list.RemoveEntry(static_cast<int32_t>(id), k), at != n);
        if (at != n) m.entries.erase(m.entries.begin() + static_cast<std::ptrdiff_t>(at));
        break;
      }
      case 3: {  // one added
        const uint32_t id = g.RecId() & 0x7FFFFFFF;
        const Bytes p = g.Payload(id);
        list.AddEntry(static_cast<int32_t>(id), static_cast<uint32_t>(p.size()), p.data(), 5);
        m.Append({id, 5, -1, 0, -1, p});
        break;
      }
      case 4: {  // an entry moved out and added back through AddEntryCached
        if (n == 0) break;
        const std::size_t i = g.Below(static_cast<uint32_t>(n));
        sHdrEntry moved = std::move(*(list.begin() + static_cast<std::ptrdiff_t>(i)));
        list.AddEntryCached(std::move(moved));
        Ref r = m.entries[i];
        m.entries[i].payload.clear();
        m.Append(std::move(r));
        break;
      }
      default: {  // a copy of an entry's payload swapped with another's
        if (n < 2) break;
        const std::size_t i = g.Below(static_cast<uint32_t>(n));
        const std::size_t j = g.Below(static_cast<uint32_t>(n));
        auto a = list.begin() + static_cast<std::ptrdiff_t>(i);
        auto b = list.begin() + static_cast<std::ptrdiff_t>(j);
        std::swap(a->payload, b->payload);
        std::swap(m.entries[i].payload, m.entries[j].payload);
        break;
      }
    }
  }
}

TEST(HdrListDifferential, SettingsReadsMatchAPlainReader) {
  Gen g(20261207);
  CHdrList list;  // refilled like the driver's, with RemoveAll between some
  Model m;
  for (int round = 0; round < 1500; ++round) {
    if (g.OneIn(3)) {
      list.RemoveAll();
      m.entries.clear();
    }
    uint32_t count = 0;
    const Bytes block = g.SettingsBlock(count);
    auto settings = BlockBuffer(block, count, 0);
    const bool ok = RefReadSettings(block, count, m);
    ASSERT_EQ(list.ReadFromSettingsBuffer(settings.get(), 1), ok) << round;
    settings.reset();  // nothing may point into the buffer
    ExpectSame(list, m, "read " + std::to_string(round));
    Mutate(g, list, m);
    ExpectSame(list, m, "changed " + std::to_string(round));

    // A copy outlives its source, and a copy of a copy still matches.
    auto copy = std::make_unique<CHdrList>();
    copy->CopyFrom(list);
    CHdrList second(*copy);
    copy.reset();
    Model cm;  // a new list: its caches come from the entries copied
    for (const Ref& r : m.entries) cm.Append(r);
    ExpectSame(second, cm, "copy " + std::to_string(round));
    Mutate(g, second, cm);
    ExpectSame(second, cm, "copy changed " + std::to_string(round));
    ExpectSame(list, m, "source after copy " + std::to_string(round));
    second = second;  // copying a list into itself changes nothing
    ExpectSame(second, cm, "self copy " + std::to_string(round));

    // Round trip: what the list writes reads back the same.
    auto out = EmptyBuffer(0, 0);
    ASSERT_TRUE(second.WriteToSettingsBuffer(out.get(), 1));
    CHdrList back;
    ASSERT_TRUE(back.ReadFromSettingsBuffer(out.get(), 1));
    Model bm;
    ASSERT_TRUE(RefReadSettings(BlockBytes(*out, 1), static_cast<uint32_t>(cm.entries.size()), bm));
    ExpectSame(back, bm, "round trip " + std::to_string(round));
  }
}

TEST(HdrListDifferential, ASettingsBlockCutAtEveryByteKeepsTheWholeEntriesBeforeTheCut) {
  Gen g(42);
  uint32_t count = 0;
  Bytes block;
  do {
    block = g.SettingsBlock(count);
  } while (count < 8 || count > 40 || block.size() > 4000);
  Model whole;
  const bool wholeOk = RefReadSettings(block, count, whole);
  for (std::size_t cut = 0; cut <= block.size(); ++cut) {
    const Bytes part(block.begin(), block.begin() + static_cast<std::ptrdiff_t>(cut));
    auto settings = BlockBuffer(part, count, 0);
    Model m;
    const bool ok = RefReadSettings(part, count, m);
    CHdrList list;
    ASSERT_EQ(list.ReadFromSettingsBuffer(settings.get(), 1), ok) << cut;
    ASSERT_EQ(ok, cut == block.size() && wholeOk) << cut;
    ExpectSame(list, m, "cut " + std::to_string(cut));
  }
}

TEST(HdrListDifferential, LoadsMatchAPlainReader) {
  Gen g(7122026);
  TempFolder tmp;
  const std::string path = tmp.Path("d.zdb");
  CHdrList list;
  Model m;
  for (int round = 0; round < 300; ++round) {
    if (g.OneIn(3)) {
      list.RemoveAll();
      m.entries.clear();
    }
    const bool old = g.OneIn(4);
    const Bytes block = g.FileBlock(old);
    // Events first (links kept), the header block last, so that a Size that
    // lies may also point past the end of the file.
    const DbBytes file = DbBytes().Count(2).Block(7, Bytes(4, 0)).Block(old ? 1 : 33, block);
    tmp.Write("d.zdb", file.str());
    CBlockFile db;
    ASSERT_TRUE(db.Open(path, File::modeRead));
    const uint64_t start = 4 + 8 + 4 + 8;
    const bool ok = RefLoad(block, old, start, m);
    ASSERT_EQ(list.Load(db, false, 0), ok) << round;
    db.Close();
    ExpectSame(list, m, "load " + std::to_string(round));
    Mutate(g, list, m);
    ExpectSame(list, m, "changed " + std::to_string(round));
  }
}

}  // namespace
