#include "database/definitions/object_defaults.h"

#include <cstring>

int32_t DefaultObjectKind(int32_t id) noexcept {
  if (id == kObjectIdEarth) return kObjectKindEarth;
  if (id == kObjectIdSpace) return kObjectKindSpace;
  if (id >= 200 && id <= 299) return 1;
  if (id >= 300 && id <= 399) return 2;
  if (id >= 400 && id <= 499) return 3;
  return kObjectKindNone;
}

void SetObjectDefaults(sObjDef& obj) noexcept {
  obj = sObjDef{};
  obj.size = kObjDefSize;
  obj.version = kObjDefVersion;
  obj.sharedMode = -1;
  obj.sharedWord176 = -1;
  obj.squatModel = -1;
  for (int32_t& w : obj.settingWords) w = -1;
  obj.displayOrder = -1;
  obj.word1284 = -1;
  obj.referencePointState = 0;
  obj.word1292 = 5;
  obj.value1352 = 1.01325f;
  obj.value1360 = 1000.0f;
  obj.sharedValue1384 = 10.0f;
  obj.sharedWord1388 = 1;
  obj.vesselObjectRef = -1;
}

sObjDef MakeDefaultObject(int32_t id) noexcept {
  sObjDef obj;
  SetObjectDefaults(obj);
  obj.id = id;
  obj.kind = DefaultObjectKind(id);
  return obj;
}

void NormaliseSharedSettings(sObjDef& obj) noexcept {
  if (obj.sharedMode == -1 || obj.sharedMode == -9) {
    obj.sharedWord184 = 0;
  } else if (obj.sharedWord184 < 0 || obj.sharedWord184 > 2) {
    obj.sharedMode = -1;
    obj.sharedWord184 = 0;
  }
  if (obj.sharedWord184 != 0) return;
  obj.sharedWord176 = -1;
  obj.sharedValue180 = 0.0f;
  std::memset(obj.sharedFileFlags, 0, sizeof obj.sharedFileFlags);
  std::memset(obj.sharedFilePaths, 0, sizeof obj.sharedFilePaths);
}
