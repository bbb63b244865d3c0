#include "database/definitions/obs_header_entry.h"

#include <cstddef>

#include "database/definitions/hdr_list.h"
#include "database/definitions/node_def_list.h"
#include "database/definitions/sys_def_list.h"

namespace {

// How an entry of the searched RecId is matched.
enum class Match {
  kNone,
  kNumberAtWord1,     // word 1 = observation number
  kSystemAtWord,      // word `word` = the observation's system id
  kSatellite129,      // word 0 = number, word 1 = satellite system of the to-node
  kSatellite134,      // word 0 = from-node number, word 2 = satellite system of the to-node
  kGnssPosition,      // 258 / 205: named system and from-node number
  kUsbl,              // 260 / 128: named system and to-node number
  kNamedSystem,       // the system the record's key words name
};

struct Rule {
  Match match = Match::kNone;
  int32_t recIds[2] = {0, 0};
  std::size_t word = 0;
};

Rule RuleFor(int32_t type) {
  switch (type) {
    case 20: case 21: case 22: case 23: return {Match::kSatellite129, {129, 0}};
    case 30: case 31: case 32: case 68: case 69: return {Match::kGnssPosition, {258, 205}};
    case 33: return {Match::kSatellite134, {134, 0}};
    case 43: case 44: case 45: return {Match::kUsbl, {260, 128}};
    case 46: case 47: case 48: return {Match::kNamedSystem, {226, 0}};
    case 50: return {Match::kNamedSystem, {219, 0}};
    case 90: return {Match::kNamedSystem, {234, 0}};
    case 53: return {Match::kSystemAtWord, {143, 0}, 0};
    case 54: return {Match::kSystemAtWord, {220, 0}, 1};
    case 55: return {Match::kSystemAtWord, {147, 0}, 0};
    case 62: return {Match::kSystemAtWord, {155, 0}, 0};
    case 63: return {Match::kSystemAtWord, {238, 0}, 1};
    case 73: return {Match::kSystemAtWord, {221, 0}, 1};
    // Sidescan records are found by their system as the other per-system
    // records are; the observation number plays no part.
    case 74: return {Match::kSystemAtWord, {173, 0}, 0};
    case 75: return {Match::kSystemAtWord, {254, 0}, 1};
    case 76: return {Match::kSystemAtWord, {207, 0}, 0};
    case 78: case 79: return {Match::kSystemAtWord, {185, 0}, 0};
    case 96: return {Match::kSystemAtWord, {240, 0}, 1};
    case 98: return {Match::kSystemAtWord, {243, 0}, 1};
    case 110: return {Match::kSystemAtWord, {249, 0}, 1};
    case 111: return {Match::kSystemAtWord, {251, 0}, 1};
    case 112: return {Match::kSystemAtWord, {257, 0}, 1};
    case 113: return {Match::kSystemAtWord, {262, 0}, 1};
    default: break;
  }
  if ((type >= 1 && type <= 12) || type == 49 || type == 51 || type == 52 || type == 56 ||
      (type >= 59 && type <= 61) || type == 70 || type == 77 || (type >= 81 && type <= 88) ||
      (type >= 91 && type <= 95) || type == 97 || (type >= 99 && type <= 109)) {
    return {Match::kNumberAtWord1, {65, 0}};
  }
  return {};
}

// Number of the node of that id, or -1 when it is not in the list.
int32_t NodeNumber(const CNodeDefList* nodes, int32_t nodeId) {
  if (nodes == nullptr) return -1;
  const sNodeDef* node = nodes->FindById(nodeId);
  return node != nullptr ? node->number : -1;
}

// The satellite system of a type-5 node, or -1.
int32_t SatelliteSystem(const CNodeDefList* nodes, int32_t nodeId) {
  if (nodes == nullptr) return -1;
  const int32_t id = nodes->GetSatelliteSystemId(nodeId);
  return id >= 1 ? id : -1;
}

}  // namespace

const sHdrEntry* FindObsHeaderEntry(const sObsDef* obs, const CHdrList& header,
                                    const CSysDefList* systems, const CNodeDefList* nodes) {
  if (obs == nullptr || obs->type < 1 || obs->type > 113 || obs->number < 0) return nullptr;
  const Rule rule = RuleFor(obs->type);
  if (rule.match == Match::kNone) return nullptr;

  const int32_t systemId = obs->systemId;
  int32_t satellite = -1, nodeNumber = -1;
  switch (rule.match) {
    case Match::kSystemAtWord:
      if (systemId < 1) return nullptr;
      break;
    case Match::kNamedSystem:
      if (systemId < 1 || systems == nullptr) return nullptr;
      break;
    case Match::kSatellite129:
      satellite = SatelliteSystem(nodes, obs->toNodeId);
      if (satellite < 0) return nullptr;
      break;
    case Match::kSatellite134:
      nodeNumber = NodeNumber(nodes, obs->fromNodeId);
      satellite = SatelliteSystem(nodes, obs->toNodeId);
      if (nodeNumber < 0 || satellite < 0) return nullptr;
      break;
    case Match::kGnssPosition:
    case Match::kUsbl:
      if (systemId < 1 || systems == nullptr) return nullptr;
      nodeNumber = NodeNumber(
          nodes, rule.match == Match::kGnssPosition ? obs->fromNodeId : obs->toNodeId);
      if (nodeNumber < 0) return nullptr;
      break;
    default:
      break;
  }

  for (const sHdrEntry& e : header) {
    const int32_t recId = static_cast<int32_t>(e.recId);
    if (recId < 1 || (recId != rule.recIds[0] && recId != rule.recIds[1])) continue;
    bool found = false;
    switch (rule.match) {
      case Match::kNumberAtWord1:
        found = e.WordIs(1, obs->number);
        break;
      case Match::kSystemAtWord:
        found = e.WordIs(rule.word, systemId);
        break;
      case Match::kSatellite129:
        found = e.WordIs(0, obs->number) && e.WordIs(1, satellite);
        break;
      case Match::kSatellite134:
        found = e.WordIs(0, nodeNumber) && e.WordIs(2, satellite);
        break;
      case Match::kGnssPosition:
        found = systems->GetSystemIdOfHeader(&e) == systemId &&
                e.WordIs(recId == 258 ? 3 : 1, nodeNumber);
        break;
      case Match::kUsbl:
        found = systems->GetSystemIdOfHeader(&e) == systemId &&
                e.WordIs(recId == 260 ? 3 : 2, nodeNumber);
        break;
      case Match::kNamedSystem:
        found = systems->GetSystemIdOfHeader(&e) == systemId;
        break;
      case Match::kNone:
        break;
    }
    if (found) return &e;
  }
  return nullptr;
}
