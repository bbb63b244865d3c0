// Header payloads and data records from untrusted bytes through the record
// catalogue, the time tags, the chart datum parts, the datum look-ups and the
// datum shift reversal.
//
// Input: a little-endian RecId (2 bytes), a key (4 bytes), then the record.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <span>
#include <vector>

#include "database/catalogue/chart_datum_part.h"
#include "database/catalogue/definition_records.h"
#include "database/catalogue/record_catalogue.h"
#include "database/catalogue/record_time_tags.h"
#include "database/definitions/data_record_layout.h"
#include "database/definitions/datum_records.h"
#include "database/definitions/hdr_list.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 6) return 0;
  uint16_t rawId = 0;
  int32_t key = 0;
  std::memcpy(&rawId, data, 2);
  std::memcpy(&key, data + 2, 4);
  const int32_t recId = static_cast<int32_t>(rawId % 300) - 10;
  const std::span<const uint8_t> record(data + 6, size - 6);

  int32_t k1 = 0, k2 = 0, k3 = 0;
  GetRecordKeys(recId, record, &k1, &k2, &k3);
  RecordTitle(recId, record);
  RecordTypeText(recId, key);
  GetFirstWordOrZero(record);
  GetDataRecordVariantText(recId, key, key % 3 - 1);
  GetDataRecordSize(recId, record);
  GetRecordTimeTag(recId, record);
  GetChartDatumKind(record, key);

  std::vector<uint8_t> copy(record.begin(), record.end());
  SetRecordTimeTag(recId, copy, CZORTime(2024, 1, 1, 0, 0, 0.0));
  ClearRecordTimeTags(recId, copy);
  InitChartDatumPart(copy, key, k1, 1.0, 2.0);

  // Four records cut from the input for the reversal.
  std::vector<uint8_t> a(record.begin(), record.end()), b = a, c = a, d = a;
  const std::size_t q = a.size() / 4;
  ReverseDatumShift(std::span<uint8_t>(a).first(q), std::span<uint8_t>(b).subspan(q, q),
                    std::span<uint8_t>(c).subspan(2 * q, q), std::span<uint8_t>(d).subspan(3 * q));

  CHdrList list;
  sHdrEntry entry;
  entry.recId = static_cast<uint32_t>(recId);
  entry.payload.assign(record.begin(), record.end());
  GetEntryDataRecId(entry);
  for (int32_t r : {13, 71, 188, 206, 246, 247, 258, 205, 73})
    list.AddEntry(r, static_cast<uint32_t>(record.size()), record.data(), -1);
  int32_t id = 0;
  list.FindWgs84Datum(id);
  list.FindItrfDatum(id, "ITRF2014");
  list.GetDatumName(k1);
  list.FindDatumShift(k1, k2);
  sSysDef sys{};
  sys.type = 12;
  sys.link1 = k1;
  sys.link2 = k2;
  sys.link3 = k3;
  list.GetSystemDatumIndex(sys);
  list.SetDatumEpochs(2000.0 + (key & 0xFF), key < 0);
  return 0;
}
