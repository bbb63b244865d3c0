#include "database/definitions/es_dtm_def_list.h"

#include <cstring>

#include "database/blockfile/block_file.h"
#include "database/definitions/hdr_list.h"
#include "database/definitions/record_block.h"

namespace {

constexpr int32_t kRecIdSoundVelocity = 193;
constexpr int32_t kMaxWord12 = 1000000;
constexpr double kMaxCellSize = 10000.0;
constexpr double kDefaultCellSize = 1.0;
constexpr double kMaxValue32 = 1000.0;
constexpr double kDefaultValue32 = 0.5;

// In (0, most]; a NaN is not.
bool InRange(double v, double most) { return v > 0.0 && v <= most; }

}  // namespace

sEsDtmDef* CEsDtmDefList::FindById(int32_t id) const {
  return FindFirst([id](const sEsDtmDef& r) { return r.id == id; });
}

void CEsDtmDefList::Validate(const CHdrList& header) {
  const bool soundVelocity = header.CountEntries(kRecIdSoundVelocity) > 0;
  for (sEsDtmDef* r : *this) {
    if (!soundVelocity) r->word460 = 0;
    if (r->colour[0] > 255 || r->colour[1] > 255 || r->colour[2] > 255)
      std::memset(r->colour, 0, sizeof r->colour);
    if (!InRange(r->cellSize, kMaxCellSize)) r->cellSize = kDefaultCellSize;
    if (!InRange(r->value32, kMaxValue32)) r->value32 = kDefaultValue32;
  }
}

void CEsDtmDefList::SetFlags(sEsDtmDef* record, int a, int b, int c) {
  if (record == nullptr) return;
  if (a == 0) record->word500 = 0;
  if (b == 0) record->flags &= ~1u;
  if (c == 0) record->flags &= ~2u;
}

void CEsDtmDefList::ResetLinks(sEsDtmDef* record, bool all) {
  if (record == nullptr) return;
  if (all) {
    record->word512 = 0;
  } else {
    for (int32_t link : record->links)
      if (link != 0) return;
  }
  for (int32_t& link : record->links) link = -1;
}

int CEsDtmDefList::Save(CBlockFile& file) {
  RecordBlockWriter out(file);
  for (sEsDtmDef* r : *this) {
    r->size = kEsDtmDefSize;
    out.Write(r, sizeof *r);
  }
  out.Finish(kBlockEsDtmDefinitions);
  return 1;
}

int CEsDtmDefList::Load(CBlockFile& file) {
  RecordBlockReader in(file);
  sEsDtmDef record;
  while (in.Read(&record, sizeof record)) {
    record.word60 = 0;
    record.byte426 = 0;
    if (record.word12 > kMaxWord12) record.word12 = 0;
    if (record.enabled != 0 && record.enabled != 1) record.enabled = 1;
    AddCopy(record);
  }
  return in.Finish("ES-DTM definitions") ? 1 : 0;
}
