#include "database/header/hdr_upgrade_chain.h"

#include "database/header/hdr_list.h"

namespace {

// The steps in calling order. The header list's own steps (the survey unit
// pushed to the unit library first, its two clean-ups between steps 29 and
// 30) and the record upgrades join here as they are built.
constexpr std::array<HdrUpgradeStep, 0> kSteps = {};

bool HasInput(const CHdrList& list, const HdrUpgradeStep& step) {
  if (step.inputRecIds[0] == 0) return true;
  for (int32_t recId : step.inputRecIds) {
    if (recId == 0) break;
    if (list.CountEntries(recId) > 0) return true;
  }
  return false;
}

}  // namespace

bool HdrUpgradeConditionHolds(HdrUpgradeCondition condition,
                              const HdrUpgradeContext& context) noexcept {
  if (condition == kHdrUpgradeAlways) return true;
  return !context.fileHasEventBlock || context.upgradeLevel == 2;
}

std::span<const HdrUpgradeStep> GetHdrUpgradeSteps() noexcept { return kSteps; }

void RunHdrUpgradeSteps(std::span<const HdrUpgradeStep> steps, CHdrList& list,
                        const HdrUpgradeContext& context) {
  if (context.upgradeLevel < 1) return;
  for (const HdrUpgradeStep& step : steps) {
    if (step.run == nullptr) continue;
    if (!HdrUpgradeConditionHolds(step.condition, context)) continue;
    if (!HasInput(list, step)) continue;
    step.run(list, context);
  }
}

void RunHdrUpgradeChain(CHdrList& list, const HdrUpgradeContext& context) {
  RunHdrUpgradeSteps(GetHdrUpgradeSteps(), list, context);
}
