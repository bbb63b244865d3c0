// The upgrade chain that brings the header records of an older project
// database to the current record types while the header list is loaded.
//
//   // Inside the header list's loader, after the entries are read:
//   RunHdrUpgradeChain(list, HdrUpgradeContext{upgradeLevel, fileHasEventBlock});
//
//   // Adding a step: one row in the table of hdr_upgrade_chain.cpp, in
//   // calling order (the steps themselves: database/definitions/hdr_upgrades.h).
//   {1, "Line Name 1 -> 176", kAlways, {1}, Run<UpgradeHdrLineNames>},
//
// Level 0 loads a list as it was stored: nothing runs. From level 1 on the
// steps run in the order of the table. A step marked
// kHdrUpgradeNoEventsOrLevel2 runs only when the file has no "Observation
// Events" block (7) or the level is 2: it rewrites records that an event
// block may point to. A step whose row names input RecIds runs only when
// the list holds an entry of one of them at least as long as the record
// type's catalogue size (a current database then passes the chain without
// work, and entries too short to convert never start a step, so a second
// run changes nothing); it must name every RecId whose presence makes it do
// anything, or none to run always.
//
// The table is the one place the steps are listed, so their order is read
// in one glance and no step depends on static initialisation order.
#pragma once

#include <array>
#include <cstdint>
#include <span>

class CHdrList;

struct HdrUpgradeContext {
  int32_t upgradeLevel = 0;       // 0: none; 1: the usual; 2: also the conditional steps
  bool fileHasEventBlock = false; // the file holds block 7
};

enum HdrUpgradeCondition : uint8_t {
  kHdrUpgradeAlways = 0,
  kHdrUpgradeNoEventsOrLevel2 = 1,
};

using HdrUpgradeFunction = void (*)(CHdrList& list, const HdrUpgradeContext& context);

struct HdrUpgradeStep {
  int32_t number;             // the step's number; 0 for the list's own steps
  const char* name;           // for logs and tests
  HdrUpgradeCondition condition;
  std::array<int32_t, 6> inputRecIds;  // 0 ends the set; all 0: always run
  HdrUpgradeFunction run;
};

// Whether a step of this condition runs in this context (level 1 or more).
bool HdrUpgradeConditionHolds(HdrUpgradeCondition condition,
                              const HdrUpgradeContext& context) noexcept;

// The chain in calling order.
std::span<const HdrUpgradeStep> GetHdrUpgradeSteps() noexcept;

// Runs the chain over the list; nothing at level 0 or below.
void RunHdrUpgradeChain(CHdrList& list, const HdrUpgradeContext& context);
// Runs the given steps the same way (for tests and tools).
void RunHdrUpgradeSteps(std::span<const HdrUpgradeStep> steps, CHdrList& list,
                        const HdrUpgradeContext& context);
