// Feeds arbitrary bytes to the project settings file reader, as a file that
// another program (or a damaged disk) left. Input: the file's bytes; the
// first byte's low bit also picks the forced read. A file that reads and
// checks is written back and must read back to the same values.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "database/project/project_settings_file.h"
#include "platform/class_archive.h"
#include "platform/file.h"

namespace {

using zor::platform::ArchiveException;
using zor::platform::ClassArchive;
using zor::platform::File;
using zor::platform::FileException;

// A file held in memory, so that each input costs no disk traffic.
class MemoryFile : public File {
 public:
  explicit MemoryFile(std::vector<uint8_t> bytes) : m_bytes(std::move(bytes)) {}
  uint64_t GetPosition() const override { return m_position; }
  uint64_t Seek(int64_t offset, int origin) override {
    const int64_t base = origin == current ? static_cast<int64_t>(m_position)
                         : origin == end   ? static_cast<int64_t>(m_bytes.size())
                                           : 0;
    if (offset < -base) throw FileException(FileException::badSeek, 22, "memory");
    m_position = static_cast<uint64_t>(base + offset);
    return m_position;
  }
  uint64_t GetLength() const override { return m_bytes.size(); }
  uint32_t Read(void* buffer, uint32_t count) override {
    if (m_position >= m_bytes.size()) return 0;
    const auto n = static_cast<uint32_t>(
        std::min<uint64_t>(count, m_bytes.size() - m_position));
    std::memcpy(buffer, m_bytes.data() + m_position, n);
    m_position += n;
    return n;
  }
  void Write(const void* buffer, uint32_t count) override {
    if (m_bytes.size() < m_position + count) m_bytes.resize(m_position + count);
    std::memcpy(m_bytes.data() + m_position, buffer, count);
    m_position += count;
  }
  void Abort() override {}
  void Close() override {}
  void Flush() override {}
  const std::vector<uint8_t>& bytes() const { return m_bytes; }

 private:
  std::vector<uint8_t> m_bytes;
  uint64_t m_position = 0;
};

ProjectSettingsValues Fresh() {
  ProjectSettingsValues v;
  v.folderMask = DefaultFolderMask(0);
  ResetProjectSettingsRecord(v.record);
  return v;
}

bool SameFileFields(const ProjectSettingsValues& a, const ProjectSettingsValues& b) {
  return a.rootFolder == b.rootFolder && a.text1 == b.text1 && a.text2 == b.text2 &&
         a.text3 == b.text3 && a.folderMask == b.folderMask && a.fileFlag == b.fileFlag &&
         std::memcmp(&a.record, &b.record, sizeof a.record) == 0;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  const bool force = size > 0 && (data[0] & 1) != 0;
  ProjectSettingsValues values = Fresh();
  MemoryFile in(std::vector<uint8_t>(data, data + size));
  try {
    ClassArchive ar(in, ClassArchive::load);
    ReadProjectSettingsFile(ar, values, force);
  } catch (const ArchiveException&) {
    return 0;
  }

  MemoryFile out({});
  ClassArchive writer(out, ClassArchive::store);
  WriteProjectSettingsFile(writer, values);
  writer.Close();
  MemoryFile again(out.bytes());
  ClassArchive reader(again, ClassArchive::load);
  ProjectSettingsValues back = Fresh();
  ReadProjectSettingsFile(reader, back, false);  // must not throw
  if (!SameFileFields(values, back) || back.fileState != 1) std::abort();
  return 0;
}
