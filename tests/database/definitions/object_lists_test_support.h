// A project database file in a scratch folder for the object, ES-DTM, height
// and anchor list tests, and records of random bytes.
//
//   ScratchDb db(DbBytes().Count(1).Block(31, data).bytes());
//   ASSERT_TRUE(db.file().FindBlock(31));
//   heights.Load(db.file());
//   std::string bytes = db.Bytes();   // the file as it stands, flushed
#pragma once

#include <cstdint>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "database/blockfile/block_file.h"
#include "tests/database/blockfile/db_bytes.h"
#include "tests/support/temp_folder.h"

class ScratchDb {
 public:
  explicit ScratchDb(const std::vector<uint8_t>& bytes = DbBytes().Count(0).bytes()) {
    path_ = tmp_.Write("project.zdb", std::string(bytes.begin(), bytes.end()));
    if (!file_.Open(path_, zor::platform::File::modeReadWrite)) std::abort();
  }
  ~ScratchDb() { file_.Close(); }

  CBlockFile& file() { return file_; }
  std::string Bytes() {
    file_.Flush();
    return ReadAll(path_);
  }

 private:
  TempFolder tmp_;
  std::string path_;
  CBlockFile file_;
};

// A record whose every byte, padding included, is random.
template <typename Record>
Record RandomBytes(std::mt19937& rng) {
  uint8_t bytes[sizeof(Record)];
  for (uint8_t& b : bytes) b = static_cast<uint8_t>(rng());
  Record r;
  std::memcpy(&r, bytes, sizeof r);
  return r;
}

template <typename Record>
std::vector<uint8_t> BytesOf(const Record& r) {
  const auto* p = reinterpret_cast<const uint8_t*>(&r);
  return std::vector<uint8_t>(p, p + sizeof r);
}

template <typename Record>
bool SameBytes(const Record* a, const Record* b) {
  return a != nullptr && b != nullptr && std::memcmp(a, b, sizeof(Record)) == 0;
}
