#include "database/definitions/hdr_upgrade_chain.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "database/catalogue/record_type_size.h"
#include "database/definitions/hdr_list.h"

namespace {

// Each step appends a record of its own RecId, so the list shows which
// steps ran and in what order.
void Mark(CHdrList& list, int32_t recId) { list.AddEntry(recId, 0, nullptr, -1); }

constexpr HdrUpgradeStep kFakeSteps[] = {
    {0, "first", kHdrUpgradeAlways, {},
     [](CHdrList& list, const HdrUpgradeContext&) { Mark(list, 901); }},
    {1, "needs 25 or 26", kHdrUpgradeAlways, {25, 26},
     [](CHdrList& list, const HdrUpgradeContext&) { Mark(list, 902); }},
    {2, "conditional", kHdrUpgradeNoEventsOrLevel2, {},
     [](CHdrList& list, const HdrUpgradeContext&) { Mark(list, 903); }},
    {3, "not built yet", kHdrUpgradeAlways, {}, nullptr},
    {4, "last", kHdrUpgradeAlways, {},
     [](CHdrList& list, const HdrUpgradeContext&) { Mark(list, 904); }},
};

// The list starts with whole records of the RecIds, or records one byte
// short of their catalogue size.
std::vector<uint32_t> RunOn(std::vector<int32_t> recIds, int32_t level, bool events,
                            bool cutShort = false) {
  CHdrList list;
  for (int32_t r : recIds) {
    const std::vector<uint8_t> payload(RecordTypeSize(r) - (cutShort ? 1 : 0), 0);
    list.AddEntry(r, static_cast<uint32_t>(payload.size()), payload.data(), -1);
  }
  RunHdrUpgradeSteps(kFakeSteps, list, HdrUpgradeContext{level, events});
  std::vector<uint32_t> out;
  for (const sHdrEntry& e : list) out.push_back(e.recId);
  return out;
}

TEST(HdrUpgradeChain, RunsStepsInOrderByLevelConditionAndInput) {
  using V = std::vector<uint32_t>;
  EXPECT_EQ(RunOn({26}, 0, false), V({26}));
  EXPECT_EQ(RunOn({26}, 1, false), V({26, 901, 902, 903, 904}));
  EXPECT_EQ(RunOn({26}, 1, true), V({26, 901, 902, 904}));
  EXPECT_EQ(RunOn({26}, 2, true), V({26, 901, 902, 903, 904}));
  EXPECT_EQ(RunOn({139}, 1, true), V({139, 901, 904}));
  // A record too short to be read as its type starts no step.
  EXPECT_EQ(RunOn({26}, 1, true, /*cutShort=*/true), V({26, 901, 904}));
  EXPECT_EQ(RunOn({26, 25}, 1, true, /*cutShort=*/true), V({26, 25, 901, 904}));
}

TEST(HdrUpgradeChain, TheChainLeavesACurrentListAlone) {
  CHdrList list;
  const float offset = 18.0f;
  list.AddEntry(139, 4, &offset, -1);
  for (int32_t level : {0, 1, 2}) RunHdrUpgradeChain(list, HdrUpgradeContext{level, false});
  ASSERT_EQ(list.GetCount(), 1u);
  EXPECT_EQ(list.begin()->recId, 139u);
  for (const HdrUpgradeStep& step : GetHdrUpgradeSteps()) EXPECT_NE(step.name, nullptr);
}

}  // namespace
