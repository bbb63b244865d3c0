// Feeds arbitrary file contents to the event chain queries and arbitrary
// edit sequences to the generic event lists. The queries must not crash,
// must end (chains that loop back or point outside their block stop) and
// must never allocate more than the file holds; the lists must keep their
// promises: ids 1..n after renumbering, no link twice, no dangling link
// after RemoveDanglingLinks, links mirrored after LinkBothWays.
#include <sanitizer/allocator_interface.h>
#include <unistd.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <memory>
#include <set>
#include <string>

#include "database/blockfile/block_file.h"
#include "database/definitions/hdr_list.h"
#include "database/events/event_chain.h"
#include "database/events/generic_events.h"

#include "fuzz/fuzz_support.h"

namespace {

using namespace zor::fuzz;

using zor::platform::File;
using zor::platform::SYSTEMTIME;

const std::string& DbPath() {
  static const std::string path = [] {
    const char* base = std::getenv("ZOR_TEST_TMP");
    return std::string(base && *base ? base : "/tmp") + "/zor_fuzz_event_chains_" +
           std::to_string(::getpid()) + ".zdb";
  }();
  return path;
}

// Reads little-endian words from the input, zeros once it runs out.
class Reader {
 public:
  Reader(const uint8_t* data, size_t size) : data_(data), size_(size) {}
  bool More() const { return at_ < size_; }
  uint8_t Byte() { return at_ < size_ ? data_[at_++] : 0; }
  int32_t Word() {
    uint32_t w = 0;
    for (int i = 0; i < 4; ++i) w |= uint32_t{Byte()} << (8 * i);
    return static_cast<int32_t>(w);
  }

 private:
  const uint8_t* data_;
  size_t size_;
  size_t at_ = 0;
};

void QueryChains(CBlockFile& db, const CHdrList& header) {
  int32_t firstValue = 0, lastValue = 0;
  SYSTEMTIME first{}, last{};
  GetFixRecordTimes(db, header, firstValue, first, lastValue, last);
  GetHeartbeatTimes(db, header, first, last);
  GetFixEventTimes(db, firstValue, first, lastValue, last);
  GetNodeEventTimes(db, first, last);
  GetMetaDataDuration(header);
}

void CheckLinksUnique(const CGenericEventList& list) {
  for (const CGenericEvent& e : list) {
    std::set<uint32_t> seen(e.m_linkedIds.begin(), e.m_linkedIds.end());
    Check(seen.size() == e.m_linkedIds.size());
  }
}

void EditEvents(Reader& in) {
  CGenericEventClassList classes;
  CGenericEventList list;
  for (int steps = 0; steps < 256 && in.More(); ++steps) {
    const uint8_t op = in.Byte() % 12;
    const int32_t id = in.Byte() % 16 - 1;
    switch (op) {
      case 0:
      case 1: {
        auto e = std::make_unique<CGenericEvent>();
        e->m_id = id;
        e->m_class = in.Byte() % 4;
        e->m_type = in.Byte();
        e->m_sequenceNr = in.Byte() % 5;
        for (int n = in.Byte() % 4; n > 0; --n) e->AddLinkedId(in.Byte() % 16);
        if (list.GetCount() < 32) list.AddEvent(std::move(e));
        break;
      }
      case 2: {
        auto c = std::make_unique<CGenericEventClass>();
        c->m_id = id % 4;
        c->m_sequential = in.Byte() & 1;
        if (classes.GetCount() < 8) classes.AddClass(std::move(c));
        break;
      }
      case 3: {
        list.RemoveEvent(id);
        std::size_t i = 0;
        for (const CGenericEvent& e : list) Check(e.m_id == static_cast<int32_t>(++i));
        break;
      }
      case 4:
        list.RenumberEvents();
        CheckLinksUnique(list);
        break;
      case 5:
        list.MoveEventUp(id);
        break;
      case 6:
        list.MoveEventDown(id);
        break;
      case 7: {
        list.RemoveDanglingLinks();
        std::set<uint32_t> ids;
        for (const CGenericEvent& e : list) ids.insert(static_cast<uint32_t>(e.m_id));
        for (const CGenericEvent& e : list)
          for (uint32_t link : e.m_linkedIds) Check(ids.count(link) == 1);
        break;
      }
      case 8: {
        const CGenericEvent* e = list.FindEvent(id);
        if (e == nullptr || e->m_id == 0) break;
        const CGenericEvent copy(*e);
        list.LinkBothWays(copy);
        for (const CGenericEvent& x : list) {
          if (x.m_id == copy.m_id) continue;
          // Duplicated ids make "links x" ambiguous; mirror only the rest.
          if (std::count_if(list.begin(), list.end(),
                            [&](const CGenericEvent& y) { return y.m_id == x.m_id; }) > 1)
            continue;
          if (copy.HasLinkedId(static_cast<uint32_t>(x.m_id)))
            Check(x.HasLinkedId(static_cast<uint32_t>(copy.m_id)));
        }
        break;
      }
      case 9:
        list.RenumberSequences(classes);
        break;
      case 10:
        list.FindNextInSequence(id % 4, in.Word());
        break;
      case 11: {
        int32_t bad = 0;
        if (list.CheckStartEndLinks(bad)) Check(bad == 0);
        CGenericEventList copy;
        copy.CopyFrom(list);
        Check(copy.GetCount() == list.GetCount());
        break;
      }
    }
  }
  list.HasAnyAction();
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  Check(__sanitizer_install_malloc_and_free_hooks(OnMalloc, OnFree) != 0);
  DbPath();
  std::atexit([] { ::unlink(DbPath().c_str()); });
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::ofstream(DbPath(), std::ios::binary | std::ios::trunc)
      .write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));

  // Chain heads from the input's last bytes (the walkers follow the block
  // count, so the tail is free), so the walks start anywhere, not only where
  // a valid header block says; a meta data record from the first bytes.
  const size_t tailSize = std::min<size_t>(size, 13);
  Reader tail(data + size - tailSize, tailSize);
  CHdrList header;
  const uint8_t which = tail.Byte();
  if (which & 1) header.AddEntry(kRecIdFixChain, 4, nullptr, tail.Word());
  if (which & 2) header.AddEntry(kRecIdFixChainOld, 4, nullptr, tail.Word());
  if (which & 4) header.AddEntry(kRecIdHeartbeat, 4, nullptr, tail.Word());
  if (which & 8) {
    uint8_t meta[72] = {};
    std::memcpy(meta, data, std::min(size, sizeof meta));
    header.AddEntry(kRecIdMetaData, (which & 16) ? 72 : 40, meta, -1);
  }
  {
    CBlockFile db;
    if (!db.Open(DbPath(), File::modeRead)) return 0;
    const size_t limit = std::max<size_t>(size, 4096) + 4096;
    g_largest = 0;
    QueryChains(db, header);
    CHdrList stored;
    stored.Load(db, false, 0);
    QueryChains(db, stored);
    Check(g_largest <= limit);
  }
  Reader edits(data, size);
  EditEvents(edits);
  return 0;
}
