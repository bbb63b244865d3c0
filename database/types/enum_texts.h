// Display texts of definition records and of the survey set-up's coded
// settings, as the suite shows them.
//
//   std::string name = ObsDisplayText(obs);            // "" for null
//   std::string kind = CoordinateKindText(1, true);    // "LOCAL GRID"
//   std::string datum = DatumChoiceText(3, false);     // "Datum4"
//   std::string vessel = VesselObjectText(object);     // "Vessel Object 2"
//
// A record's display text is its name field up to the first zero byte and
// never beyond the field's width, since records arrive from other processes
// and files. Functions with an `upper` flag return the text in upper case
// when it is set.
#pragma once

#include <string>

struct sObsDef;
struct sNodeDef;
struct sSysDef;
struct sObjDef;
struct sObsDefOld37;
struct sObsDefOld4;
struct sNodeDefOld6;
struct sSysDefOld;

// ---- Record display texts (empty for a null record) -----------------------

std::string ObsDisplayText(const sObsDef* obs);
std::string NodeDisplayText(const sNodeDef* node);
std::string ObjectDisplayText(const sObjDef* object);
std::string SysDisplayText(const sSysDef* sys);
// The same for the older records that files of earlier versions hold: the
// observation records of blocks 37 and 4 and the node records of block 6
// (names at byte 12), and the system records of block 2 (name at byte 72).
std::string ObsBlock37DisplayText(const sObsDefOld37* obs);
std::string ObsBlock4DisplayText(const sObsDefOld4* obs);
std::string NodeBlock6DisplayText(const sNodeDefOld6* node);
std::string SysBlock2DisplayText(const sSysDefOld* sys);

// ---- Coded settings -------------------------------------------------------

// 0 "Geographic", 1 "Local Grid", 2 "ECEF X,Y,Z", 9 "Projection", else
// "Undefined".
std::string CoordinateKindText(int kind, bool upper);
// 0 "Geo", 1 "Grid", 2 "ECEF", 9 "Proj", else "???".
std::string CoordinateKindShortText(int kind, bool upper);
// -3 "GRS80", -2 "WGS84", -1 "Auto", 0 "Survey"; any other n "Datum<n + 1>".
std::string DatumChoiceText(int choice, bool upper);
// 0 "Datum", 1 "Geoid", 2 "Level", 9 "Setup"; any other n "Height<n>".
std::string HeightReferenceText(int reference, bool upper);
// -9 "Mean Water Level Model", -3 "RTK Tide", -2 "Tide File", -1 "Disabled",
// 0 "Manual Tide", 1 "Tide Gauge", 2 "Tide Gauge (Auto Select)", else
// "Undefined".
std::string TideModeText(int mode);
// 0 "Mean Filter", 1 "Median Filter", 2 "Gate Filter", else "Undefined".
std::string FilterText(int filter);
// -2 "Mean of All Objects", -1 "Master Vessel Object", 0 "Own Vessel Object",
// 1 "Vessel Object Id", else "Undefined".
std::string VesselObjectChoiceText(int choice);

// The vessel object an object refers to: "???" for null; the object's own
// display text when the reference is 0 or its own id; "Vessel Object <n>" for
// a reference n >= 1; VesselObjectChoiceText of a negative reference.
std::string VesselObjectText(const sObjDef* object);
