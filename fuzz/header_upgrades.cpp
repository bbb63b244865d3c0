// Runs the header upgrade chain over arbitrary header records: once through
// the loader (a project file whose block 33 holds the records, loaded at
// upgrade level 1 or 2) and once directly over a list whose payloads may be
// shorter than their record types say. Nothing may crash or read past a
// payload (each payload is its own heap block, so AddressSanitizer sees
// every over-read), every entry the chain leaves has a payload of at most
// the largest record size, the entries cut short stay as they were, and a
// second run over the direct list changes nothing.
//
// Input: one flag byte (bit 0: level 2, bit 1: the file has an "Observation
// Events" block), then per record: a byte choosing the RecId from the table
// below, a link byte (odd: -1, else half of it), a byte that cuts the
// directly listed copy's payload to that share of its size, and the payload
// bytes (zeros once the input ends).
#include <unistd.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "database/blockfile/block_file.h"
#include "database/catalogue/record_type_size.h"
#include "database/definitions/hdr_list.h"
#include "database/definitions/hdr_upgrade_chain.h"

namespace {

using zor::platform::File;

// The old record types and the current ones the steps read or change.
constexpr int32_t kRecIds[] = {
    1,   14,  16,  19,  24,  25,  26,  27,  28,  29,  34,  35,  36,  37,  38,  40,  41,  57,  63,
    64,  65,  68,  73,  76,  125, 128, 129, 142, 144, 153, 154, 157, 160, 162, 163, 164, 166, 170,
    177, 179, 180, 181, 182, 183, 184, 188, 190, 191, 192, 196, 197, 198, 199, 201, 203, 205, 206,
    207, 208, 210, 218, 228, 238, 246, 247, 254, 257, 258, 265, 267, 268, 269, 270};

struct Record {
  int32_t recId;
  int32_t link;
  std::vector<uint8_t> payload;
  std::size_t cut;  // the direct copy's size
};

std::vector<Record> Parse(const uint8_t* data, size_t size, size_t& at) {
  std::vector<Record> records;
  while (at + 3 <= size && records.size() < 64) {
    Record r;
    r.recId = kRecIds[data[at] % std::size(kRecIds)];
    r.link = (data[at + 1] & 1) != 0 ? -1 : data[at + 1] >> 1;
    const uint8_t share = data[at + 2];
    at += 3;
    const uint32_t full = RecordTypeSize(r.recId);
    r.payload.assign(full, 0);
    const size_t n = std::min<size_t>(full, size - at);
    std::copy_n(data + at, n, r.payload.begin());
    at += n;
    r.cut = static_cast<size_t>(uint64_t{full} * share / 255);
    records.push_back(std::move(r));
  }
  return records;
}

template <typename T>
void Put(std::string& out, T value) {
  out.append(reinterpret_cast<const char*>(&value), sizeof value);
}

std::string FileBytes(const std::vector<Record>& records, bool events) {
  std::string block;
  for (const Record& r : records) {
    Put(block, static_cast<uint32_t>(r.payload.size()));
    Put(block, uint8_t{0});
    Put(block, static_cast<uint32_t>(r.recId));
    block.append(reinterpret_cast<const char*>(r.payload.data()), r.payload.size());
    Put(block, r.link);
  }
  std::string file;
  Put(file, int32_t{events ? 2 : 1});
  if (events) {
    Put(file, uint32_t{7});
    Put(file, uint32_t{0});
  }
  Put(file, uint32_t{33});
  Put(file, static_cast<uint32_t>(block.size()));
  return file + block;
}

std::string TempPath() {
  const char* base = std::getenv("ZOR_TEST_TMP");
  return std::string(base && *base ? base : "/tmp") + "/zor_fuzz_header_upgrades_" +
         std::to_string(::getpid()) + ".zdb";
}

void Check(bool ok) {
  if (!ok) __builtin_trap();
}

bool Same(const CHdrList& a, const CHdrList& b) {
  if (a.GetCount() != b.GetCount()) return false;
  return std::equal(a.begin(), a.end(), b.begin(), [](const sHdrEntry& x, const sHdrEntry& y) {
    return x.recId == y.recId && x.link == y.link && x.flag == y.flag && x.payload == y.payload;
  });
}

void CheckSizes(const CHdrList& list) {
  for (const sHdrEntry& e : list) Check(e.Size() <= 28080);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  const int32_t level = (data[0] & 1) != 0 ? 2 : 1;
  const bool events = (data[0] & 2) != 0;
  size_t at = 1;
  const std::vector<Record> records = Parse(data, size, at);

  static const std::string path = TempPath();
  {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    const std::string bytes = FileBytes(records, events);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  }
  {
    CBlockFile db;
    Check(db.Open(path, File::modeRead));
    CHdrList list;
    Check(list.Load(db, /*report=*/false, level));
    CheckSizes(list);
  }

  CHdrList direct;
  for (const Record& r : records) {
    direct.AddEntry(r.recId, static_cast<uint32_t>(r.cut), r.cut == 0 ? nullptr : r.payload.data(),
                    r.link);
  }
  RunHdrUpgradeChain(direct, HdrUpgradeContext{level, events});
  CheckSizes(direct);
  // The entries cut short stay as they were, in order. Pieces of a binary
  // object (RecIds 269, 270) are the exception: an outline stored under
  // their id replaces the whole object, every piece of it.
  {
    const auto kept = [](int32_t recId) { return recId != 269 && recId != 270; };
    std::vector<const Record*> cut;
    for (const Record& r : records)
      if (kept(r.recId) && r.cut < r.payload.size()) cut.push_back(&r);
    std::size_t next = 0;
    for (const sHdrEntry& e : direct) {
      const auto recId = static_cast<int32_t>(e.recId);
      if (!kept(recId) || e.Size() >= RecordTypeSize(recId)) continue;
      Check(next < cut.size());
      const Record& r = *cut[next++];
      Check(e.recId == static_cast<uint32_t>(r.recId) && e.link == r.link &&
            std::equal(e.payload.begin(), e.payload.end(), r.payload.begin()) &&
            e.Size() == r.cut);
    }
    Check(next == cut.size());
  }
  // A second run over the result changes nothing.
  const CHdrList once = direct;
  RunHdrUpgradeChain(direct, HdrUpgradeContext{level, events});
  Check(Same(once, direct));
  return 0;
}
