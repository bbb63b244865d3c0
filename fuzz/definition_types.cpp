// Definition records and header payloads from untrusted bytes through the
// type texts, predicates, unit conversions and record checks.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <span>

#include "database/catalogue/definition_records.h"
#include "database/catalogue/object_record.h"
#include "database/types/definition_units.h"
#include "database/types/enum_texts.h"
#include "database/types/obs_defaults.h"
#include "database/types/record_checks.h"
#include "database/types/type_predicates.h"
#include "database/types/type_vocabulary.h"

namespace {

// A record filled from the input's front, zero beyond it.
template <typename Record>
Record FromBytes(std::span<const uint8_t> data) {
  Record r{};
  std::memcpy(&r, data.data(), data.size() < sizeof r ? data.size() : sizeof r);
  return r;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::span<const uint8_t> bytes(data, size);
  const std::size_t half = size / 2;
  IsTimeInsideWindow(bytes);
  IsSameEllipsoidAndName(bytes.first(half), bytes.subspan(half));
  IsOffsetSetF(bytes);

  const sObsDef obs = FromBytes<sObsDef>(bytes);
  sObsDef converted{};
  ConvertObsDefUnits(&converted, &obs, obs.word92);
  sObsDef filled = obs;
  SetObsDefaults(&filled, true);
  GetObsUnitFactor(&obs, true, true);
  ObsDisplayText(&obs);
  ObservationTypeText(obs.type, obs.number & 1, obs.toNodeId);
  GetObsTypeIcon(obs.type);
  GetDefaultObsPrecisionInUnits(obs.type, obs.word88, obs.value104);
  GetDefaultObsTimeout(obs.type);
  GetObsQuantity(obs.type);
  IsInterpolatableObs(obs.type, obs.toNodeId);
  IsComputationObs(&obs);
  IsUnnumberedAttitudeObs(&obs);

  const sNodeDef node = FromBytes<sNodeDef>(bytes);
  sNodeDef movedNode{};
  ConvertNodeDefUnits(&movedNode, &node, node.word84);
  double xyz[3];
  GetNodeOffset(xyz, &node);
  GetNodeOffsetInUnits(xyz, &node, node.number, node.systemId);
  NodeDisplayText(&node);

  const sSysDef sys = FromBytes<sSysDef>(bytes);
  SysDisplayText(&sys);
  SystemTypeText(sys.type);
  IsGenericSensorSystem(&sys);

  const sObjDef object = FromBytes<sObjDef>(bytes);
  VesselObjectText(&object);
  ObjectTypeText(object.kind);
  DatumChoiceText(object.id, true);
  HeightReferenceText(object.referenceNodeId, false);
  return 0;
}
