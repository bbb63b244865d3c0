#include "database/types/type_predicates.h"

#include <initializer_list>

#include "database/catalogue/definition_records.h"
#include "database/catalogue/object_record.h"

namespace {

constexpr bool Between(int t, int first, int last) { return t >= first && t <= last; }

constexpr bool OneOf(int t, std::initializer_list<int> set) {
  for (int v : set)
    if (t == v) return true;
  return false;
}

// Applies a test to the observation type of a record; false for null.
template <typename Test>
bool ObsType(const sObsDef* obs, Test test) {
  return obs && test(obs->type);
}
template <typename Test>
bool SysType(const sSysDef* sys, Test test) {
  return sys && test(sys->type);
}
template <typename Test>
bool NodeType(const sNodeDef* node, Test test) {
  return node && test(node->type);
}
template <typename Test>
bool ObjType(const sObjDef* object, Test test) {
  return object && test(object->kind);
}

bool IsBearing10To13(int t) { return Between(t, 10, 13); }
bool IsAnyBearingOrCourse(int t) { return Between(t, 10, 13) || t == 57; }

bool IsNumbered(const sObsDef& obs) { return obs.toNodeId < 1 && obs.number >= 1; }

}  // namespace

// ---- Observations ------------------------------------------------------------

bool IsInterpolatableObs(int obsType, int toNode) {
  if (IsBearing10To13(obsType)) return toNode == 0;
  return OneOf(obsType, {1, 8, 9, 46, 47, 48, 51, 56, 61, 77, 81, 82, 83, 85, 86, 87, 88, 91, 92,
                         93, 94, 97}) ||
         Between(obsType, 99, 109);
}

bool IsBearingObs(const sObsDef* obs) {
  return ObsType(obs, [](int t) { return Between(t, 8, 13) || t == 57; });
}
bool IsSignedAngleObs(const sObsDef* obs) {
  return ObsType(obs, [](int t) { return t == 49 || Between(t, 92, 94); });
}
bool IsPitchRollHeaveObs(const sObsDef* obs) {
  return ObsType(obs, [](int t) { return Between(t, 46, 48); });
}
bool IsMbeObs(const sObsDef* obs) {
  return ObsType(obs, [](int t) { return OneOf(t, {50, 54, 73, 76, 80, 113}); });
}
bool IsMagneticOrTrueBearingObs(const sObsDef* obs) {
  return ObsType(obs, [](int t) { return Between(t, 10, 12); });
}
bool IsGridBearingOrCourseObs(const sObsDef* obs) {
  return ObsType(obs, [](int t) { return t == 13 || t == 57; });
}
bool IsUnnumberedObs(const sObsDef* obs) { return obs && obs->number < 0; }
bool IsObservationRecordObs(const sObsDef* obs) {
  return ObsType(obs, [](int t) {
    return Between(t, 1, 13) || OneOf(t, {49, 51, 52, 56, 59, 61, 70, 77, 97}) ||
           Between(t, 81, 88) || Between(t, 91, 95) || Between(t, 99, 109);
  });
}
bool IsGpsRawObs(const sObsDef* obs) {
  return ObsType(obs, [](int t) { return Between(t, 20, 23); });
}
bool IsDiffCorrectionObs(const sObsDef* obs) {
  return ObsType(obs, [](int t) { return t == 33; });
}
bool IsUsblObs(const sObsDef* obs) {
  return ObsType(obs, [](int t) { return Between(t, 43, 45); });
}
bool IsPositionObs(const sObsDef* obs) {
  return ObsType(obs, [](int t) { return OneOf(t, {30, 31, 32, 68, 69}); });
}
bool IsRotationObs(const sObsDef* obs) {
  return ObsType(obs, [](int t) { return Between(t, 92, 94); });
}
bool IsHeaveObs(const sObsDef* obs) {
  return ObsType(obs, [](int t) { return t == 48; });
}
bool IsRangeOrLaybackObs(const sObsDef* obs) {
  return ObsType(obs, [](int t) { return t == 1 || t == 97; });
}
bool IsAngleObs(const sObsDef* obs) {
  return ObsType(obs, [](int t) {
    return Between(t, 8, 13) || t == 49 || t == 57 || Between(t, 92, 94);
  });
}
bool IsBearingToNodeObs(const sObsDef* obs) {
  return obs && IsBearing10To13(obs->type) && obs->toNodeId > 0;
}
bool IsBearingWithoutNodeObs(const sObsDef* obs) {
  return obs && IsAnyBearingOrCourse(obs->type) && obs->toNodeId < 1;
}
bool IsNumberedDirectionObs(const sObsDef* obs) {
  return obs && OneOf(obs->type, {8, 11, 13}) && IsNumbered(*obs);
}
bool IsNumberedSpeedObs(const sObsDef* obs) {
  return obs && OneOf(obs->type, {56, 67}) && IsNumbered(*obs);
}
bool IsNumberedVerticalSpeedObs(const sObsDef* obs) {
  return obs && obs->type == 77 && IsNumbered(*obs);
}
bool IsNumberedSensorObs(const sObsDef* obs) {
  return obs && OneOf(obs->type, {8, 11, 13, 56, 67, 77}) && IsNumbered(*obs);
}
bool IsHeadingObs(const sObsDef* obs) {
  return IsBearingWithoutNodeObs(obs) || (obs && obs->type == 94);
}
bool IsTiltObs(const sObsDef* obs) {
  return ObsType(obs, [](int t) { return OneOf(t, {46, 92, 93}); });
}
bool IsHeaveOrRovDepthObs(const sObsDef* obs) {
  return ObsType(obs, [](int t) { return t == 48 || t == 51; });
}
bool IsHeightCorrectionObs(const sObsDef* obs) {
  return ObsType(obs, [](int t) { return OneOf(t, {40, 71, 72}); });
}
bool IsVerticalInputObs(const sObsDef* obs) {
  return ObsType(obs, [](int t) { return OneOf(t, {45, 49, 60}); });
}
bool IsHeightSourceObs(const sObsDef* obs) {
  return ObsType(obs, [](int t) { return OneOf(t, {20, 32, 40}); });
}
bool IsOffsetObs(const sObsDef* obs) {
  return ObsType(obs, [](int t) { return Between(t, 37, 39); });
}
bool IsGenericObs(const sObsDef* obs) {
  return ObsType(obs, [](int t) { return t == 61; });
}
bool IsTargetObs(const sObsDef* obs) {
  return ObsType(obs, [](int t) { return Between(t, 78, 79); });
}
bool IsSidescanObs(const sObsDef* obs) {
  return ObsType(obs, [](int t) { return t == 62 || t == 74; });
}
bool IsEchoObs(const sObsDef* obs) {
  return ObsType(obs, [](int t) { return OneOf(t, {50, 54, 62, 73, 74, 113}); });
}
bool IsPpsObs(const sObsDef* obs) {
  return ObsType(obs, [](int t) { return Between(t, 110, 111); });
}
bool IsAdcpObs(const sObsDef* obs) {
  return ObsType(obs, [](int t) { return t == 113; });
}
bool IsAttitudeOrHeadingObs(const sObsDef* obs) {
  return IsBearingWithoutNodeObs(obs) ||
         ObsType(obs, [](int t) { return OneOf(t, {46, 47, 48, 51, 92, 93, 94}); });
}
bool IsUnnumberedAttitudeObs(const sObsDef* obs) {
  return IsUnnumberedObs(obs) && ObsType(obs, [](int t) {
           return Between(t, 10, 13) || Between(t, 46, 48) || Between(t, 91, 94) ||
                  OneOf(t, {51, 57, 88});
         });
}
bool IsTideObs(const sObsDef* obs) {
  return ObsType(obs, [](int t) { return t == 59; });
}
bool IsNetworkObs(const sObsDef* obs) {
  if (!obs) return false;
  const int t = obs->type;
  if (OneOf(t, {1, 20, 60, 68, 69, 97}) || Between(t, 30, 33) || Between(t, 37, 40) ||
      Between(t, 43, 45))
    return true;
  return (t == 8 || t == 49 || IsBearing10To13(t)) && obs->toNodeId > 0;
}
bool IsComputationObs(const sObsDef* obs) {
  return IsNetworkObs(obs) || IsAttitudeOrHeadingObs(obs) || IsMbeObs(obs) ||
         IsSidescanObs(obs);
}

int GetObsGroupSize(const sObsDef* obs) {
  if (!obs) return 0;
  switch (obs->type) {
    case 30:
    case 68: return 2;
    case 37:
    case 43:
    case 46: return 3;
    default: return 0;
  }
}

int GetObsVerticalSign(const sObsDef* obs) {
  if (!obs) return 0;
  if (OneOf(obs->type, {32, 40, 46, 47, 48, 52, 59})) return 1;
  if (OneOf(obs->type, {50, 51, 73})) return -1;
  return 0;
}

// ---- Systems -------------------------------------------------------------------

bool IsMbeSystem(const sSysDef* sys) {
  return SysType(sys, [](int s) { return OneOf(s, {1, 20, 26, 29, 35, 45}); });
}
bool IsMagnetometerSystem(const sSysDef* sys) {
  return SysType(sys, [](int s) { return s == 35; });
}
bool IsComputedSystem(const sSysDef* sys) {
  return SysType(sys, [](int s) { return OneOf(s, {0, 16, 41, 46}); });
}
bool IsGenericSensorSystem(const sSysDef* sys) {
  return SysType(sys, [](int s) {
    return OneOf(s, {5, 10, 22, 23, 24, 30, 31, 46}) || Between(s, 36, 42);
  });
}
bool IsPositioningSystem(const sSysDef* sys) {
  return SysType(sys, [](int s) { return OneOf(s, {2, 10, 11, 12, 24}); });
}
bool IsNavigationSystem(const sSysDef* sys) {
  return SysType(sys, [](int s) { return OneOf(s, {10, 11, 12, 31}); });
}
bool IsRelativePositionSystem(const sSysDef* sys) {
  return SysType(sys, [](int s) { return s == 2 || s == 24; });
}
bool IsPositionSourceSystem(const sSysDef* sys) {
  return SysType(sys, [](int s) { return OneOf(s, {10, 11, 12, 24, 31, 38}); });
}
bool IsAttitudeSystem(const sSysDef* sys) {
  return SysType(sys, [](int s) { return OneOf(s, {3, 5, 40}); });
}
bool IsBundleSystem(const sSysDef* sys) {
  return SysType(sys, [](int s) { return Between(s, 37, 39); });
}
bool IsSonarSystem(const sSysDef* sys) {
  return SysType(sys, [](int s) { return OneOf(s, {1, 20, 25, 26, 27}); });
}
bool IsMultibeamSystem(const sSysDef* sys) {
  return SysType(sys, [](int s) { return s == 20; });
}
bool IsSidescanSystem(const sSysDef* sys) {
  return SysType(sys, [](int s) { return s == 25 || s == 27; });
}
bool IsDredgingSystem(const sSysDef* sys) {
  return SysType(sys, [](int s) { return s == 29; });
}
bool IsAdcpSystem(const sSysDef* sys) {
  return SysType(sys, [](int s) { return s == 45; });
}
bool IsTimeSystem(const sSysDef* sys) {
  return SysType(sys, [](int s) { return s == 18 || s == 43; });
}
bool IsOutputSystem(const sSysDef* sys) {
  return SysType(sys, [](int s) { return s == 15; });
}
bool IsComputedAttitudeSystem(const sSysDef* sys) {
  return SysType(sys, [](int s) { return s == 41; });
}
bool IsComputedHeightSystem(const sSysDef* sys) {
  return SysType(sys, [](int s) { return s == 46; });
}

// ---- Nodes ---------------------------------------------------------------------

bool IsKnownPositionNode(const sNodeDef* node) {
  return NodeType(node, [](int k) { return OneOf(k, {1, 2, 5}); });
}
bool IsMovingNode(const sNodeDef* node) {
  return NodeType(node, [](int k) { return k == 3 || k == 4; });
}
bool IsSurveyNode(const sNodeDef* node) {
  return NodeType(node, [](int k) { return Between(k, 2, 4); });
}

// ---- Objects -------------------------------------------------------------------

bool IsReferenceObject(const sObjDef* object) {
  return ObjType(object, [](int o) { return o == 101 || o == 102; });
}
bool IsVesselObject(const sObjDef* object) {
  return ObjType(object, [](int o) { return o == 0 || o == 10; });
}
bool IsVesselOrTowedObject(const sObjDef* object) {
  return ObjType(object, [](int o) { return OneOf(o, {0, 3, 10}); });
}
bool IsDependentObject(const sObjDef* object) {
  return ObjType(object, [](int o) { return OneOf(o, {1, 2, 11, 13, 14, 20, 21}); });
}
bool IsPipeBundleObject(const sObjDef* object) {
  return ObjType(object, [](int o) { return o == 13; });
}
bool IsStreamerLikeObject(const sObjDef* object) {
  return ObjType(object, [](int o) { return o == 1 || o == 13; });
}
bool IsNotStreamerLikeObject(const sObjDef* object) { return !IsStreamerLikeObject(object); }
bool HasObjectLink(const sObjDef* object) { return object && object->link1344 > 0; }
bool IsPhysicalObject(const sObjDef* object) {
  return ObjType(object, [](int o) { return o != 101 && o != 102; });
}

bool IsShapeObjectType(int code) { return Between(code, 0, 3) || Between(code, 10, 15); }
bool IsShapeObjectType(const sObjDef* object) {
  return IsShapeObjectType(object ? object->kind : -1);
}
bool IsOffsetObjectType(int code) { return Between(code, 0, 3) || Between(code, 10, 14); }
bool IsOffsetObjectType(const sObjDef* object) {
  return IsOffsetObjectType(object ? object->kind : -1);
}
bool IsPositionedObjectType(int code) {
  return OneOf(code, {0, 2, 3, 10, 11, 12, 14, 15, 20});
}
bool IsPositionedObjectType(const sObjDef* object) {
  return IsPositionedObjectType(object ? object->kind : -1);
}
