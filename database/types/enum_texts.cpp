#include "database/types/enum_texts.h"

#include <cstdint>
#include <locale>
#include <string>

#include <boost/algorithm/string/case_conv.hpp>

#include "database/catalogue/definition_records.h"
#include "database/catalogue/object_record.h"
#include "database/catalogue/older_definition_records.h"
#include "database/catalogue/sysdef_old_layouts.h"
#include "platform/bytes.h"

namespace {

using zor::platform::FieldText;

std::string Cased(std::string text, bool upper) {
  if (upper) boost::algorithm::to_upper(text, std::locale::classic());
  return text;
}

}  // namespace

std::string ObsDisplayText(const sObsDef* obs) {
  return obs ? FieldText(obs->name) : std::string();
}

std::string NodeDisplayText(const sNodeDef* node) {
  return node ? FieldText(node->name) : std::string();
}

std::string ObjectDisplayText(const sObjDef* object) {
  return object ? FieldText(object->name) : std::string();
}

std::string SysDisplayText(const sSysDef* sys) {
  return sys ? FieldText(sys->name) : std::string();
}

std::string ObsBlock37DisplayText(const sObsDefOld37* obs) {
  return obs ? FieldText(obs->name) : std::string();
}

std::string ObsBlock4DisplayText(const sObsDefOld4* obs) {
  return obs ? FieldText(obs->name) : std::string();
}

std::string NodeBlock6DisplayText(const sNodeDefOld6* node) {
  return node ? FieldText(node->name) : std::string();
}

std::string SysBlock2DisplayText(const sSysDefOld* sys) {
  return sys ? FieldText(sys->name) : std::string();
}

std::string CoordinateKindText(int kind, bool upper) {
  const char* text = "Undefined";
  switch (kind) {
    case 0: text = "Geographic"; break;
    case 1: text = "Local Grid"; break;
    case 2: text = "ECEF X,Y,Z"; break;
    case 9: text = "Projection"; break;
    default: break;
  }
  return Cased(text, upper);
}

std::string CoordinateKindShortText(int kind, bool upper) {
  const char* text = "???";
  switch (kind) {
    case 0: text = "Geo"; break;
    case 1: text = "Grid"; break;
    case 2: text = "ECEF"; break;
    case 9: text = "Proj"; break;
    default: break;
  }
  return Cased(text, upper);
}

std::string DatumChoiceText(int choice, bool upper) {
  switch (choice) {
    case -3: return Cased("GRS80", upper);
    case -2: return Cased("WGS84", upper);
    case -1: return Cased("Auto", upper);
    case 0: return Cased("Survey", upper);
    default: break;
  }
  // Datums are numbered from 1 while choices count from 0; widened so that
  // the largest choice does not wrap around.
  return Cased("Datum" + std::to_string(int64_t{choice} + 1), upper);
}

std::string HeightReferenceText(int reference, bool upper) {
  switch (reference) {
    case 0: return Cased("Datum", upper);
    case 1: return Cased("Geoid", upper);
    case 2: return Cased("Level", upper);
    case 9: return Cased("Setup", upper);
    default: break;
  }
  return Cased("Height" + std::to_string(reference), upper);
}

std::string TideModeText(int mode) {
  switch (mode) {
    case -9: return "Mean Water Level Model";
    case -3: return "RTK Tide";
    case -2: return "Tide File";
    case -1: return "Disabled";
    case 0: return "Manual Tide";
    case 1: return "Tide Gauge";
    case 2: return "Tide Gauge (Auto Select)";
    default: return "Undefined";
  }
}

std::string FilterText(int filter) {
  switch (filter) {
    case 0: return "Mean Filter";
    case 1: return "Median Filter";
    case 2: return "Gate Filter";
    default: return "Undefined";
  }
}

std::string VesselObjectChoiceText(int choice) {
  switch (choice) {
    case -2: return "Mean of All Objects";
    case -1: return "Master Vessel Object";
    case 0: return "Own Vessel Object";
    case 1: return "Vessel Object Id";
    default: return "Undefined";
  }
}

std::string VesselObjectText(const sObjDef* object) {
  if (!object) return "???";
  const int32_t ref = object->vesselObjectRef;
  if (ref == 0 || ref == object->id) return ObjectDisplayText(object);
  if (ref >= 1) return "Vessel Object " + std::to_string(ref);
  return VesselObjectChoiceText(ref);
}
