#include "database/definitions/hdr_upgrade_chain.h"

#include <unordered_set>

#include "database/definitions/hdr_list.h"
#include "database/definitions/hdr_payload.h"
#include "database/definitions/hdr_upgrades.h"

namespace {

constexpr HdrUpgradeCondition kAlways = kHdrUpgradeAlways;
constexpr HdrUpgradeCondition kNoEvents = kHdrUpgradeNoEventsOrLevel2;

// Adapts a step that needs only the list.
template <void (*Step)(CHdrList&)>
void Run(CHdrList& list, const HdrUpgradeContext&) {
  Step(list);
}

// The steps in calling order: the survey unit pushed to the unit library
// first, the record upgrades, and the header list's two clean-ups between
// the GNSS heights and the datum shift companions.
constexpr HdrUpgradeStep kSteps[] = {
    {0, "Survey unit to the unit library", kAlways, {},
     [](CHdrList& list, const HdrUpgradeContext&) { list.ApplySurveyUnits(); }},
    {1, "Line Name 1 -> 176", kAlways, {1}, Run<UpgradeHdrLineNames>},
    {2, "Object 25 -> 166", kAlways, {25}, Run<UpgradeHdrObjects>},
    {3, "Object 166 -> 267 and shape", kNoEvents, {166}, Run<UpgradeHdrObjectOutlines>},
    {4, "Streamer 26 -> 167", kAlways, {26}, Run<UpgradeHdrStreamers>},
    {5, "Gun Array 27 -> 168", kAlways, {27}, Run<UpgradeHdrGunArrays>},
    {6, "Towed Buoy 28 -> 169", kAlways, {28}, Run<UpgradeHdrTowedBuoys>},
    {7, "Datum Shift 14 -> 206", kAlways, {14}, Run<UpgradeHdrDatumShifts>},
    {8, "Chart Datum -> 228", kAlways, {160, 179, 184, 198, 203}, Run<UpgradeHdrChartDatums>},
    {9, "Fix 125 -> 215", kAlways, {125}, Run<UpgradeHdrFixes>},
    {10, "Reference Point 29, 182 -> 197", kAlways, {29, 182}, Run<UpgradeHdrReferencePoints>},
    {11, "Squat Model 162, 163 -> 213, 214", kAlways, {162, 163}, Run<UpgradeHdrSquatModels>},
    {12, "Sound Velocity 35, 36 -> 193, 194", kAlways, {35, 36},
     Run<UpgradeHdrSoundVelocities>},
    {13, "Fixed Node 63, 142, 180 -> 204", kAlways, {63, 142, 180}, Run<UpgradeHdrFixedNodes>},
    {14, "Variable Node 64 -> 201", kAlways, {64}, Run<UpgradeHdrVariableNodes>},
    {15, "GNSS Data 76 -> 200", kAlways, {76}, Run<UpgradeHdrGnssData>},
    {16, "USBL System 37, 38 -> 202, 195", kAlways, {37, 38}, Run<UpgradeHdrUsblSystems>},
    {17, "USBL 128 -> 260", kNoEvents, {128}, Run<UpgradeHdrUsbl>},
    {18, "GNSS Position 73 -> 205", kAlways, {73}, Run<UpgradeHdrGnssPositions73>},
    {19, "GNSS Position 164, 181, 199 -> 205", kAlways, {164, 181, 199},
     Run<UpgradeHdrOldGnssPositions>},
    {20, "GNSS Position 73, 205 -> 258", kNoEvents, {73, 205}, Run<UpgradeHdrGnssPositions258>},
    {21, "Singlebeam 34, 183, 190 -> 219", kAlways, {34, 183, 190}, Run<UpgradeHdrSinglebeams>},
    {22, "PRH Sensor 40, 196, 218 -> 226", kAlways, {40, 196, 218, 41, 154},
     Run<UpgradeHdrPrhSensors>},
    {23, "Multibeam 144, 191 -> 220", kAlways, {144, 191}, Run<UpgradeHdrMultibeams>},
    {24, "Multitransducer 170, 192 -> 221", kAlways, {170, 192},
     Run<UpgradeHdrMultitransducers>},
    {25, "Raw Data 157 -> 238", kAlways, {157, 238}, Run<UpgradeHdrRawData>},
    {26, "Eventing 177 -> 254", kAlways, {177, 254}, Run<UpgradeHdrEventing>},
    {27, "Sub Bottom Profiling 257 -> 265, 266", kAlways, {257},
     Run<UpgradeHdrSubBottomProfiling>},
    {28, "Dredging systems", kAlways, {207}, Run<UpgradeHdrDredging>},
    {29, "Manual layback observations -> GNSS Height 78", kAlways, {65},
     Run<UpgradeHdrGnssHeights>},
    {0, "Lambert 19 -> 20, 21", kAlways, {19},
     [](CHdrList& list, const HdrUpgradeContext&) { list.UpgradeLambertRecord(); }},
    {0, "Chart datum codes", kAlways, {228},
     [](CHdrList& list, const HdrUpgradeContext&) { list.UpgradeChartDatumCodes(); }},
    {30, "Datum shift companions", kAlways, {188, 206, 246, 247},
     Run<UpgradeHdrDatumShiftCompanions>},
    {31, "Quality 129", kAlways, {129}, Run<UpgradeHdrQuality>},
};

// Whether the list holds an entry of one of the step's input RecIds that is
// long enough to be read as its record type. Entries too short for their
// layout are never converted; were they to start a step, the step would run
// again on every load for nothing but them and redo what depends on the
// step having converted nothing (the word fix-ups).
bool HasInput(const CHdrList& list, const HdrUpgradeStep& step) {
  if (step.inputRecIds[0] == 0) return true;
  std::unordered_set<uint32_t> inputs;
  for (int32_t recId : step.inputRecIds) {
    if (recId == 0) break;
    inputs.insert(static_cast<uint32_t>(recId));
  }
  for (const sHdrEntry& e : list) {
    if (inputs.count(e.recId) != 0 && hdr_payload::IsWhole(e)) return true;
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
