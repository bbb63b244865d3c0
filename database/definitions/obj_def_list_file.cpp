// The object list in the project database file: block 5 "Object
// Definitions", with the older record layouts converted as they are read.
#include <array>
#include <vector>

#include "database/blockfile/block_file.h"
#include "database/definitions/obj_def_list.h"
#include "database/definitions/object_defaults.h"
#include "database/definitions/object_record_upgrade.h"
#include "database/definitions/record_block.h"

int CObjDefList::Save(CBlockFile& file) {
  RecordBlockWriter out(file);
  for (sObjDef* o : *this) {
    o->size = kObjDefSize;
    o->version = kObjDefVersion;
    out.Write(o, sizeof *o);
  }
  out.Finish(kBlockObjectDefinitions);
  return 1;
}

int CObjDefList::Load(CBlockFile& file, bool checkHeader) {
  RecordBlockReader in(file);
  std::vector<uint8_t> record;
  while (in.HasHeader() && !in.AtEnd()) {
    ObjectRecordLayout layout = ObjectRecordLayout::kVersion2;
    if (checkHeader) {
      std::array<uint8_t, kObjDefHeadSize> head{};
      if (!in.Peek(head.data(), head.size())) break;
      layout = ObjectLayoutOfHead(head);
    }
    if (!in.Read(record, ObjectRecordSize(layout))) break;
    sObjDef* obj = AddNew();
    SetObjectDefaults(*obj);
    ConvertObjectRecord(record, layout, *obj);
    FinishLoadedObject(*obj);
  }
  return in.Finish("object definitions") ? 1 : 0;
}
