// Header records grouped by record type (RecId), for code that walks the
// project's header one kind of record at a time.
//
//   std::map<int32_t, std::vector<const uint8_t*>> groups = GroupHeaderPayloads(header);
//   for (const uint8_t* datum : groups[13]) ...   // "Datum Ellipsoid" payloads
//
// Payloads keep their list order inside a group; entries without a payload
// are left out. The pointers belong to the list and stay valid until it
// changes.
#pragma once

#include <cstdint>
#include <map>
#include <vector>

class CHdrList;

using HeaderPayloadGroups = std::map<int32_t, std::vector<const uint8_t*>>;

// Every entry of the list.
HeaderPayloadGroups GroupHeaderPayloads(const CHdrList& list);
// The entries of the project's geodetic and unit set-up: RecIds 11, 12, 13,
// 15-23, 139, 153, 188, 206, 228, 236, 237, 246 and 247.
HeaderPayloadGroups GroupProjectHeaderPayloads(const CHdrList& list);
