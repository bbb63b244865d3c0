// Header lists whose entries say who they are, for the storage tests.
//
//   CHdrList list = NumberedList(1700);          // more than one entry chunk
//   EXPECT_EQ(list.GetEntry(83, 4)->payload, NumberedPayload(4));
//   SaveAfterEvents(db, list);                   // block 33 of a new file
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "database/blockfile/block_file.h"
#include "database/blockfile/block_types.h"
#include "database/definitions/hdr_list.h"

// Payload n: n % 37 + 1 bytes (sizes 1, 2, 3 ... catch alignment slips),
// every byte telling its entry.
inline std::vector<uint8_t> NumberedPayload(int n) {
  return std::vector<uint8_t>(static_cast<std::size_t>(n % 37 + 1), static_cast<uint8_t>(n));
}

// `count` entries of RecId 83 (no fixed size), entry n with link n and
// payload n; 1,700 entries take more than one chunk of the entry store.
inline CHdrList NumberedList(int count) {
  CHdrList list;
  for (int n = 0; n < count; ++n) {
    const std::vector<uint8_t> p = NumberedPayload(n);
    list.AddEntry(83, static_cast<uint32_t>(p.size()), p.data(), n);
  }
  return list;
}

// Writes an events block and then `list` as block 33 into the newly opened
// `db`: the events are what keep the entries' links.
inline void SaveAfterEvents(CBlockFile& db, CHdrList& list) {
  db.SetBlockCount(1);
  const uint64_t start = db.BeginBlock();
  db.Write("events", 6);
  db.WriteBlockHeader(start, 6, kBlockObservationEvents);
  list.Save(db, 0);
  db.SetBlockCount(2);
}
