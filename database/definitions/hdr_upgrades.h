// The steps that bring the header records of an older project database to
// the current record types. Each step finds the entries of one or more old
// RecIds, appends records of the current RecId built from them and removes
// the old entries; a list without old entries passes unchanged.
//
//   // The header list's loader runs them through the upgrade chain:
//   RunHdrUpgradeChain(list, HdrUpgradeContext{1, fileHasEventBlock});
//
//   // A tool may run one step on its own:
//   UpgradeHdrLineNames(list);     // RecId 1 -> RecId 176
//
// Common rules:
// - Entries are read with their layout's size. An entry whose payload is
//   shorter than its record type's size, old or current, is left to itself
//   by every step: it is not converted, changed, moved or removed, and
//   nothing is built from it.
// - New records start zero-filled; appended entries have link and reserved
//   word -1 and flag 0. Where a step keeps the word, the new entry takes the
//   old entry's link.
// - Texts are copied up to their old width and stop at a zero byte; the new
//   field always ends with one.
// - Counts read from a payload (outline points) are bounded by what the old
//   and the new payload can hold.
#pragma once

class CHdrList;

void UpgradeHdrLineNames(CHdrList& list);              // 1 -> 176
void UpgradeHdrObjects(CHdrList& list);                // 25 -> 166
void UpgradeHdrObjectOutlines(CHdrList& list);         // 166 -> 267 and a shape
void UpgradeHdrStreamers(CHdrList& list);              // 26 -> 167
void UpgradeHdrGunArrays(CHdrList& list);              // 27 -> 168
void UpgradeHdrTowedBuoys(CHdrList& list);             // 28 -> 169
void UpgradeHdrDatumShifts(CHdrList& list);            // 14 -> 206
void UpgradeHdrChartDatums(CHdrList& list);            // 160, 179, 184, 198, 203 -> 228
void UpgradeHdrFixes(CHdrList& list);                  // 125 -> 215
void UpgradeHdrReferencePoints(CHdrList& list);        // 29, 182 -> 197
void UpgradeHdrSquatModels(CHdrList& list);            // 162, 163 -> 213, 214
void UpgradeHdrSoundVelocities(CHdrList& list);        // 35, 36 -> 193, 194
void UpgradeHdrFixedNodes(CHdrList& list);             // 63, 142, 180 -> 204
void UpgradeHdrVariableNodes(CHdrList& list);          // 64 -> 201
void UpgradeHdrGnssData(CHdrList& list);               // 76 -> 200
void UpgradeHdrUsblSystems(CHdrList& list);            // 37, 38 -> 202, 195
void UpgradeHdrUsbl(CHdrList& list);                   // 128 -> 260
void UpgradeHdrGnssPositions73(CHdrList& list);        // 73 -> 205
void UpgradeHdrOldGnssPositions(CHdrList& list);       // 164, 181, 199 -> 205
void UpgradeHdrGnssPositions258(CHdrList& list);       // 73, 205 -> 258
void UpgradeHdrSinglebeams(CHdrList& list);            // 34, 183, 190 -> 219
void UpgradeHdrPrhSensors(CHdrList& list);             // 40, 196, 218 (41, 154) -> 226
void UpgradeHdrMultibeams(CHdrList& list);             // 144, 191 -> 220
void UpgradeHdrMultitransducers(CHdrList& list);       // 170, 192 -> 221
void UpgradeHdrRawData(CHdrList& list);                // 157 -> 238
void UpgradeHdrEventing(CHdrList& list);               // 177 -> 254
void UpgradeHdrSubBottomProfiling(CHdrList& list);     // 257 -> 265, 266
void UpgradeHdrDredging(CHdrList& list);               // 207, 208, 210 in place
void UpgradeHdrGnssHeights(CHdrList& list);            // 65 of type 60 -> 78
void UpgradeHdrDatumShiftCompanions(CHdrList& list);   // 188, 246, 247 beside 206
void UpgradeHdrQuality(CHdrList& list);                // 129 in place
