// The header record that describes an observation definition: the
// "Observation" record of a plain observation, the GNSS, USBL, PRH,
// echosounder and other system records for the observations of those
// systems.
//
//   const sHdrEntry* e = FindObsHeaderEntry(obs, header, &systems, &nodes);
//   if (e != nullptr) int32_t dataRecId = GetEntryDataRecId(*e);
//
// The observation type decides which RecId is searched and how an entry is
// matched: by the observation number, by its system id, by the system the
// record's key words name (found in the system list by type and link
// words), or by the node numbers of the observation's nodes. The first
// matching entry in list order is the answer; an observation of a type
// without a header record, an unknown node or system, or a missing list
// gives null.
#pragma once

#include "database/catalogue/definition_records.h"

class CHdrList;
class CNodeDefList;
class CSysDefList;
struct sHdrEntry;

// Null for a null observation, an observation type outside 1..113 or a
// negative observation number. The system list is needed for the types
// whose records name their system by key words (30-32, 43-48, 50, 68, 69,
// 90), the node list for those matched by node (20-23, 30-33, 43-45).
const sHdrEntry* FindObsHeaderEntry(const sObsDef* obs, const CHdrList& header,
                                    const CSysDefList* systems, const CNodeDefList* nodes);
