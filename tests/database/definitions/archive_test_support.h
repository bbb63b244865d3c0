// Class archives in a scratch folder for the settings and output definition
// tests.
//
//   std::string bytes = StoredArchive([&](ClassArchive& ar) { list.Save(ar); });
//   LoadedArchive in(bytes);
//   back.Load(in.archive(), true);
//   EXPECT_EQ(in.archive().Remaining(), 0u);
#pragma once

#include <memory>
#include <string>

#include "platform/class_archive.h"
#include "platform/file.h"
#include "tests/database/blockfile/db_bytes.h"
#include "tests/support/temp_folder.h"

// The bytes a storing archive leaves in its file.
template <typename Fill>
std::string StoredArchive(Fill&& fill) {
  TempFolder tmp;
  const std::string path = tmp.Path("settings.bin");
  zor::platform::File f;
  if (!f.Open(path, zor::platform::File::modeCreate | zor::platform::File::modeWrite)) std::abort();
  zor::platform::ClassArchive ar(f, zor::platform::ClassArchive::store);
  fill(ar);
  ar.Close();
  f.Close();
  return ReadAll(path);
}

// A loading archive over the given bytes.
class LoadedArchive {
 public:
  explicit LoadedArchive(const std::string& bytes) {
    if (!file_.Open(tmp_.Write("settings.bin", bytes), zor::platform::File::modeRead)) std::abort();
    archive_ =
        std::make_unique<zor::platform::ClassArchive>(file_, zor::platform::ClassArchive::load);
  }
  zor::platform::ClassArchive& archive() { return *archive_; }

 private:
  TempFolder tmp_;
  zor::platform::File file_;
  std::unique_ptr<zor::platform::ClassArchive> archive_;
};
