// The fixed payload size of each record type (RecId 0..271) of the project
// database's header and data records.
//
//   uint32_t size = RecordTypeSize(139);   // 4: "UTC to GPS"
//   if (size != 0 && size != stored) ...   // a damaged header record
//
// 0 means the type has no fixed size (the event and data records of
// variable length), and is also the answer for RecIds outside 1..271.
#pragma once

#include <cstdint>

inline constexpr int32_t kLastRecId = 271;

uint32_t RecordTypeSize(int32_t recId) noexcept;
