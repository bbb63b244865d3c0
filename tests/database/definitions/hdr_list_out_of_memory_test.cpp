// Memory that runs out part way through a fill of the header list or a
// definition list: every allocation of the fill is made to fail in turn. The
// list must stay whole (entries it holds read back intact, it can be emptied
// and refilled) and nothing may leak (LeakSanitizer reports it).
#include <gtest/gtest.h>

#include <memory>
#include <new>
#include <string>
#include <vector>

#include "database/blockfile/block_file.h"
#include "database/definitions/hdr_list.h"
#include "database/definitions/sys_def_list.h"
#include "tests/support/failing_allocation.h"
#include "tests/database/definitions/numbered_list.h"
#include "tests/database/definitions/settings_block.h"
#include "tests/support/temp_folder.h"

namespace {

using Bytes = std::vector<uint8_t>;
using zor::platform::File;

// The list holds entries 0..k-1 for some k (a fill that stopped keeps a
// whole prefix), each intact.
void ExpectWholePrefix(const CHdrList& list, int prefix, const std::string& where) {
  int n = 0;
  for (const sHdrEntry& e : list) {
    ASSERT_EQ(e.link, n - prefix >= 0 ? n - prefix : n) << where;
    ASSERT_EQ(e.payload, NumberedPayload(e.link)) << where;
    ++n;
  }
}

// Runs fill with the k-th allocation failing, for k = 0, 1, ... until a run
// needs no more; check looks at the list after each run.
template <typename Fill, typename Check>
void FailEachAllocation(Fill fill, Check check) {
  for (long k = 0;; ++k) {
    bool fired = false;
    {
      FailingAllocation fail(k);
      try {
        fill();
      } catch (const std::bad_alloc&) {
      }
      fired = fail.Fired();
    }
    check("allocation " + std::to_string(k));
    if (!fired) break;
  }
}

TEST(HdrListOutOfMemory, FillsStopWithAWholeListAndLeakNothing) {
  const CHdrList source = NumberedList(1700);
  auto settings = EmptyBuffer(0, 0);
  ASSERT_TRUE(source.WriteToSettingsBuffer(settings.get(), 1));
  TempFolder tmp;
  {
    CHdrList saved(source);
    CBlockFile db;
    ASSERT_TRUE(db.Open(tmp.Path("h.zdb"), File::modeCreate | File::modeReadWrite));
    SaveAfterEvents(db, saved);
  }
  CBlockFile db;
  ASSERT_TRUE(db.Open(tmp.Path("h.zdb"), File::modeRead));

  // Each fill appends to (or replaces) a list that holds 3 entries already,
  // which must survive a fill that fails.
  CHdrList list;
  auto reset = [&] {
    list.RemoveAll();
    for (int n = 0; n < 3; ++n) list.AddEntry(83, static_cast<uint32_t>(NumberedPayload(n).size()), NumberedPayload(n).data(), n);
  };
  auto check = [&](const std::string& where) {
    ExpectWholePrefix(list, 3, where);
    reset();
  };
  reset();
  FailEachAllocation([&] { list.ReadFromSettingsBuffer(settings.get(), 1); }, check);
  FailEachAllocation([&] { list.Load(db, false, 0); }, check);
  FailEachAllocation([&] { list.CopyFrom(source); },
                     [&](const std::string& where) {
                       ExpectWholePrefix(list, 0, where);
                       reset();
                     });
  FailEachAllocation([&] { list.AddEntryCached(*source.GetEntry(83, 9)); },
                     [&](const std::string& where) {
                       ASSERT_GE(list.GetCount(), 3u) << where;
                       if (list.GetCount() == 4) {
                         EXPECT_EQ(list.GetEntry(83, 4)->payload, NumberedPayload(8)) << where;
                         list.RemoveEntry(83, 4);
                       }
                       check(where);
                     });
}

TEST(DefinitionListOutOfMemory, ACopyThatFailsLeavesTheListAsItWas) {
  CSysDefList source;
  for (int32_t id = 1; id <= 300; ++id) source.AddNew()->id = id;  // several slabs
  CSysDefList list;
  auto reset = [&] {
    list.RemoveAll();
    for (int32_t id = 1001; id <= 1003; ++id) list.AddNew()->id = id;
  };
  reset();
  FailEachAllocation([&] { list.CopyFrom(&source); },
                     [&](const std::string& where) {
                       // Either the whole copy or the list as it was.
                       if (list.GetCount() == 300) {
                         for (int32_t i = 0; i < 300; ++i) ASSERT_EQ(list.GetAt(i)->id, i + 1) << where;
                       } else {
                         ASSERT_EQ(list.GetCount(), 3) << where;
                         for (int32_t i = 0; i < 3; ++i) ASSERT_EQ(list.GetAt(i)->id, 1001 + i) << where;
                       }
                       reset();
                     });

  // A settings-buffer read: all its records or none.
  CIpcItemBuffer settings("Settings");
  settings.GetBuffer().AddBlock(19, sizeof(sSysDef), 300);
  ASSERT_EQ(source.WriteToSettingsBuffer(&settings, 1), 1);
  FailEachAllocation([&] { list.ReadFromSettingsBuffer(&settings, 1); },
                     [&](const std::string& where) {
                       const int32_t n = list.GetCount();
                       ASSERT_TRUE(n == 3 || n == 303) << where << " " << n;
                       for (int32_t i = 3; i < n; ++i) ASSERT_EQ(list.GetAt(i)->id, i - 2) << where;
                       reset();
                     });
  list.RemoveAll();
  source.RemoveAll();
}

}  // namespace
