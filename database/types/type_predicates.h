// Whether a definition is of a given kind, decided by its type code: the one
// place where sets of observation, system, node and object types are fixed.
//
//   for (const sObsDef* obs : observations)
//     if (IsBearingObs(obs)) value = NormaliseTo360(value);
//   if (IsInterpolatableObs(obs->type, obs->toNodeId)) buffers.AddTimeRing(obs);
//   int sign = GetObsVerticalSign(obs);          // +1, -1 or 0: no correction
//
// Codes read from the records: the observation type, to-node id and number of
// an sObsDef, the system type of an sSysDef, the node type of an sNodeDef and
// the object type (kind) of an sObjDef. Every predicate over a record is false
// for a null record unless its comment says otherwise.
#pragma once

struct sObsDef;
struct sNodeDef;
struct sSysDef;
struct sObjDef;

// ---- Observations ----------------------------------------------------------

// Whether the driver keeps a time ring buffer for the observation: types 1, 8,
// 9, 46-48, 51, 56, 61, 77, 81-83, 85-88, 91-94, 97, 99-109; the bearings
// 10-13 only when they point to no node (toNode 0).
bool IsInterpolatableObs(int obsType, int toNode);

bool IsBearingObs(const sObsDef* obs);        // 8-13, 57: values 0..360
bool IsSignedAngleObs(const sObsDef* obs);    // 49, 92-94: values -180..180
bool IsPitchRollHeaveObs(const sObsDef* obs); // 46-48
bool IsMbeObs(const sObsDef* obs);            // 50, 54, 73, 76, 80, 113
bool IsMagneticOrTrueBearingObs(const sObsDef* obs);  // 10-12
bool IsGridBearingOrCourseObs(const sObsDef* obs);    // 13, 57
bool IsUnnumberedObs(const sObsDef* obs);     // number below 0
bool IsObservationRecordObs(const sObsDef* obs);
bool IsGpsRawObs(const sObsDef* obs);         // 20-23
bool IsDiffCorrectionObs(const sObsDef* obs); // 33
bool IsUsblObs(const sObsDef* obs);           // 43-45
bool IsPositionObs(const sObsDef* obs);       // 30-32, 68, 69
bool IsRotationObs(const sObsDef* obs);       // 92-94
bool IsHeaveObs(const sObsDef* obs);          // 48
bool IsRangeOrLaybackObs(const sObsDef* obs); // 1, 97
bool IsAngleObs(const sObsDef* obs);          // 8-13, 49, 57, 92-94
// Bearings 10-13 to a node (to-node above 0).
bool IsBearingToNodeObs(const sObsDef* obs);
// Bearings 10-13 and course 57 to no node (to-node below 1).
bool IsBearingWithoutNodeObs(const sObsDef* obs);
// To no node and numbered (number 1 or more): directions 8, 11, 13; speeds
// 56, 67; vertical speed 77; any of these six.
bool IsNumberedDirectionObs(const sObsDef* obs);
bool IsNumberedSpeedObs(const sObsDef* obs);
bool IsNumberedVerticalSpeedObs(const sObsDef* obs);
bool IsNumberedSensorObs(const sObsDef* obs);
// Bearings 10-13 and course 57 to no node, or rotation (Z) 94.
bool IsHeadingObs(const sObsDef* obs);
bool IsTiltObs(const sObsDef* obs);           // 46, 92, 93
bool IsHeaveOrRovDepthObs(const sObsDef* obs);  // 48, 51
bool IsHeightCorrectionObs(const sObsDef* obs); // 40, 71, 72
bool IsVerticalInputObs(const sObsDef* obs);  // 45, 49, 60
bool IsHeightSourceObs(const sObsDef* obs);   // 20, 32, 40
bool IsOffsetObs(const sObsDef* obs);         // 37-39
bool IsGenericObs(const sObsDef* obs);        // 61
bool IsTargetObs(const sObsDef* obs);         // 78, 79
bool IsSidescanObs(const sObsDef* obs);       // 62, 74
bool IsEchoObs(const sObsDef* obs);           // 50, 54, 62, 73, 74, 113
bool IsPpsObs(const sObsDef* obs);            // 110, 111
bool IsAdcpObs(const sObsDef* obs);           // 113
// IsHeadingObs without 94, or attitude 46-48, 51, 92-94.
bool IsAttitudeOrHeadingObs(const sObsDef* obs);
// Unnumbered (number below 0) of 10-13, 46-48, 51, 57, 88, 91-94.
bool IsUnnumberedAttitudeObs(const sObsDef* obs);
bool IsTideObs(const sObsDef* obs);           // 59
// Observations of the positioning network, angles 8, 10-13, 49 only between
// two nodes (to-node above 0).
bool IsNetworkObs(const sObsDef* obs);
// Network, attitude or heading, multibeam-type or sidescan observations.
bool IsComputationObs(const sObsDef* obs);

// The first member of a combined group carries the group's size: latitude
// 30 and easting 68 give 2; offset 37, USBL 43 and pitch 46 give 3; else 0.
int GetObsGroupSize(const sObsDef* obs);

// The sign with which a vertical lever-arm correction applies to the value:
// +1 for 32, 40, 46-48, 52, 59; -1 for 50, 51, 73; 0 (none) otherwise and for
// a null record.
int GetObsVerticalSign(const sObsDef* obs);

// ---- Systems ---------------------------------------------------------------

bool IsMbeSystem(const sSysDef* sys);           // 1, 20, 26, 29, 35, 45
bool IsMagnetometerSystem(const sSysDef* sys);  // 35
bool IsComputedSystem(const sSysDef* sys);      // 0, 16, 41, 46
bool IsGenericSensorSystem(const sSysDef* sys); // 5, 10, 22-24, 30, 31, 36-42, 46
bool IsPositioningSystem(const sSysDef* sys);   // 2, 10-12, 24
bool IsNavigationSystem(const sSysDef* sys);    // 10-12, 31
bool IsRelativePositionSystem(const sSysDef* sys);  // 2, 24
bool IsPositionSourceSystem(const sSysDef* sys);    // 10-12, 24, 31, 38
bool IsAttitudeSystem(const sSysDef* sys);      // 3, 5, 40
bool IsBundleSystem(const sSysDef* sys);        // 37-39
bool IsSonarSystem(const sSysDef* sys);         // 1, 20, 25-27
bool IsMultibeamSystem(const sSysDef* sys);     // 20
bool IsSidescanSystem(const sSysDef* sys);      // 25, 27
bool IsDredgingSystem(const sSysDef* sys);      // 29
bool IsAdcpSystem(const sSysDef* sys);          // 45
bool IsTimeSystem(const sSysDef* sys);          // 18, 43
bool IsOutputSystem(const sSysDef* sys);        // 15
bool IsComputedAttitudeSystem(const sSysDef* sys);  // 41
bool IsComputedHeightSystem(const sSysDef* sys);    // 46

// ---- Nodes -----------------------------------------------------------------

bool IsKnownPositionNode(const sNodeDef* node);  // 1, 2, 5
bool IsMovingNode(const sNodeDef* node);         // 3, 4
bool IsSurveyNode(const sNodeDef* node);         // 2, 3, 4

// ---- Objects ---------------------------------------------------------------

bool IsReferenceObject(const sObjDef* object);      // 101, 102
bool IsVesselObject(const sObjDef* object);         // 0, 10
bool IsVesselOrTowedObject(const sObjDef* object);  // 0, 3, 10
bool IsDependentObject(const sObjDef* object);      // 1, 2, 11, 13, 14, 20, 21
bool IsPipeBundleObject(const sObjDef* object);     // 13
bool IsStreamerLikeObject(const sObjDef* object);   // 1, 13
// The negation of IsStreamerLikeObject: true for null.
bool IsNotStreamerLikeObject(const sObjDef* object);
// The signed word after the object type is above 0.
bool HasObjectLink(const sObjDef* object);
// Neither 101 nor 102.
bool IsPhysicalObject(const sObjDef* object);
// Over a code, or over a record (a null record tests the code -1).
bool IsShapeObjectType(int code);                   // 0-3, 10-15
bool IsShapeObjectType(const sObjDef* object);
bool IsOffsetObjectType(int code);                  // 0-3, 10-14
bool IsOffsetObjectType(const sObjDef* object);
bool IsPositionedObjectType(int code);              // 0, 2, 3, 10-12, 14, 15, 20
bool IsPositionedObjectType(const sObjDef* object);
