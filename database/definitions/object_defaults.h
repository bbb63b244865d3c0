// The defaults of a new object record, the object kind its id implies, and
// the rule that keeps an object's shared settings consistent.
//
//   sObjDef obj = MakeDefaultObject(250);   // kind 1, order -1, ...
//   obj.sharedMode = 4;                     // mode 4 with word 184 outside 0..2
//   NormaliseSharedSettings(obj);           // mode -1, shared files cleared
//
// Object kinds (the object type codes): 0 "Vessel" and 10 "Survey Vessel"
// are the vessel kinds the main object is chosen from; 11, 12 and 14 are the
// subsea tools and towed bodies; 101 and 102 the special objects earth and
// space.
#pragma once

#include <cstdint>

#include "database/catalogue/object_record.h"

inline constexpr int32_t kObjectKindNone = 0;
inline constexpr int32_t kObjectKindEarth = 101;
inline constexpr int32_t kObjectKindSpace = 102;

// 1, 2 and 3 for ids 200..299, 300..399 and 400..499; 101 for id -2, 102
// for id -1; 0 for every other id.
int32_t DefaultObjectKind(int32_t id) noexcept;

// Kind 11, 12 or 14: the subsea tools and towed bodies (the vessel kinds 0
// and 10 are IsVesselObject of database/types/type_predicates.h). False for
// null.
inline bool IsSubseaObject(const sObjDef* object) noexcept {
  return object != nullptr && (object->kind == 11 || object->kind == 12 || object->kind == 14);
}

// Every field at its default: size 1424, version 4, shared mode and words
// -1, squat model -1, setting words -1, order -1, the constants the suite
// starts an object with; id 0, kind 0, name empty.
void SetObjectDefaults(sObjDef& obj) noexcept;
// The defaults with the id and the kind the id implies.
sObjDef MakeDefaultObject(int32_t id) noexcept;

// A shared mode of -1 or -9 sets the word at 184 to 0; any other mode whose
// word at 184 lies outside 0..2 becomes -1 with that word 0. When the word
// at 184 is then 0, the word at 176 becomes -1, the value at 180 0 and the
// four shared file flags and paths are cleared.
void NormaliseSharedSettings(sObjDef& obj) noexcept;
