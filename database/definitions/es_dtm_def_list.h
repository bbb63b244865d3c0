// The ES-DTM definitions of a survey set-up, stored in block 23 of the
// project database and in a table of the settings buffer.
//
//   CEsDtmDefList dtms;
//   if (db.FindBlock(kBlockEsDtmDefinitions)) dtms.Load(db);   // repairs fields
//   dtms.Validate(header);                  // ranges and the sound-velocity link
//   if (sEsDtmDef* d = dtms.FindById(3)) CEsDtmDefList::ResetLinks(d, false);
//   dtms.RemoveAll();
//
// Look-ups return the first match in list order; any id is a key, 0 and
// negative ids included.
#pragma once

#include <cstdint>

#include "database/catalogue/es_dtm_record.h"
#include "database/definitions/definition_list.h"

class CBlockFile;
class CHdrList;

class CEsDtmDefList : public DefinitionList<sEsDtmDef> {
 public:
  CEsDtmDefList() = default;
  // An empty list, then CopyFrom(source).
  explicit CEsDtmDefList(const CEsDtmDefList* source) { CopyFrom(source); }
  // Replaces the content with copies of the source's records; nothing for a
  // null source or this list itself.
  void CopyFrom(const CEsDtmDefList* source) { DefinitionList::CopyFrom(source); }

  sEsDtmDef* FindById(int32_t id) const;

  // Without a "Sound Velocity" header record (RecId 193) the word at 460 of
  // every record becomes 0. A colour component above 255 zeroes all three; a
  // cell size not above 0 or above 10000 becomes 1.0, a value at 32 not
  // above 0 or above 1000 becomes 0.5 (NaN included).
  void Validate(const CHdrList& header);

  // a = 0 clears the word at 500, b = 0 bit 0 and c = 0 bit 1 of the flags.
  // Nothing for a null record.
  static void SetFlags(sEsDtmDef* record, int a, int b, int c);
  // all: the word at 512 becomes 0 and the four links -1. Otherwise the
  // links become -1 only when all four are 0. Nothing for a null record.
  static void ResetLinks(sEsDtmDef* record, bool all);

  // Writes block 23 at the file's position, each record's size set to 568;
  // the caller raises the block count. Returns 1.
  int Save(CBlockFile& file);
  // Appends the 568-byte records of the block whose header the file stands
  // at, repairing each: the words at 60 and 426 become 0, a word at 12 above
  // 1,000,000 becomes 0, a switch other than 0 or 1 becomes 1. 1 when the
  // whole block was read; 0, keeping the records read and logging one
  // warning, when it ends inside a record or runs past the end of the file.
  int Load(CBlockFile& file);
};
