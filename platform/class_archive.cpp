#include "platform/class_archive.h"

#include <algorithm>
#include <cstring>

namespace zor::platform {

const char* ArchiveException::what() const noexcept {
  switch (m_cause) {
    case none: return "No error occurred.";
    case readOnly: return "Tried to write to an archive opened for loading.";
    case endOfFile: return "Reached the end of the file while reading.";
    case writeOnly: return "Tried to read from an archive opened for storing.";
    case badIndex: return "The file holds values out of their range.";
    case badClass: return "The file holds an object of an unexpected class.";
    case badSchema: return "The file holds an unknown version of its data.";
    default: return "An unspecified error occurred.";
  }
}

std::string ArchiveException::GetErrorMessage() const {
  if (m_strFileName.empty()) return what();
  return m_strFileName + ": " + what();
}

ClassArchive::ClassArchive(File& file, unsigned mode, uint32_t bufferSize)
    : m_file(&file), m_loading((mode & load) != 0), m_buffer(std::max<uint32_t>(bufferSize, 16)) {}

void ClassArchive::Throw(int cause) const {
  throw ArchiveException(cause, m_file ? m_file->GetFilePath() : std::string());
}

void ClassArchive::CheckFile() const {
  if (m_file == nullptr) throw ArchiveException(ArchiveException::genericException, {});
}

uint32_t ClassArchive::Read(void* buffer, uint32_t count) {
  CheckFile();
  if (!m_loading) Throw(ArchiveException::writeOnly);
  auto* out = static_cast<uint8_t*>(buffer);
  uint32_t done = 0;
  while (done < count) {
    if (m_begin == m_end) {
      // Large reads bypass the buffer; small ones refill it.
      const uint32_t left = count - done;
      if (left >= m_buffer.size()) {
        const uint32_t n = m_file->Read(out + done, left);
        done += n;
        break;
      }
      m_begin = 0;
      m_end = m_file->Read(m_buffer.data(), static_cast<uint32_t>(m_buffer.size()));
      if (m_end == 0) break;
    }
    const uint32_t n = std::min(count - done, m_end - m_begin);
    std::memcpy(out + done, m_buffer.data() + m_begin, n);
    m_begin += n;
    done += n;
  }
  return done;
}

void ClassArchive::ReadBlock(void* buffer, uint32_t count) {
  if (Read(buffer, count) != count) Throw(ArchiveException::endOfFile);
}

void ClassArchive::Write(const void* buffer, uint32_t count) {
  CheckFile();
  if (m_loading) Throw(ArchiveException::readOnly);
  const auto* in = static_cast<const uint8_t*>(buffer);
  if (m_end + static_cast<uint64_t>(count) > m_buffer.size()) {
    Flush();
    if (count >= m_buffer.size()) {
      m_file->Write(in, count);
      return;
    }
  }
  std::memcpy(m_buffer.data() + m_end, in, count);
  m_end += count;
}

void ClassArchive::Flush() {
  CheckFile();
  if (m_loading || m_end == 0) return;
  const uint32_t n = m_end;
  m_end = 0;  // a failed write is not repeated by a later flush
  m_file->Write(m_buffer.data(), n);
}

void ClassArchive::Close() {
  if (m_file == nullptr) return;
  Flush();
  m_file = nullptr;
}

void ClassArchive::Abort() noexcept {
  m_file = nullptr;
  m_begin = m_end = 0;
}

uint64_t ClassArchive::Remaining() const {
  CheckFile();
  if (!m_loading) return 0;
  const uint64_t length = m_file->GetLength();
  const uint64_t position = m_file->GetPosition();
  return (m_end - m_begin) + (length > position ? length - position : 0);
}

void ClassArchive::WriteStringLength(uint32_t length) {
  if (length < 0xFF) {
    *this << static_cast<uint8_t>(length);
    return;
  }
  *this << uint8_t{0xFF};
  if (length < 0xFFFE) {
    *this << static_cast<uint16_t>(length);
    return;
  }
  *this << uint16_t{0xFFFF} << length;
}

uint32_t ClassArchive::ReadStringLength(bool& wide) {
  wide = false;
  uint8_t b = 0;
  *this >> b;
  if (b < 0xFF) return b;
  uint16_t w = 0;
  *this >> w;
  if (w == 0xFFFE) {
    // The marker of 16-bit characters; the length follows in the same form,
    // where 0xFFFE is then a length like any other.
    wide = true;
    *this >> b;
    if (b < 0xFF) return b;
    *this >> w;
  }
  if (w < 0xFFFF) return w;
  uint32_t d = 0;
  *this >> d;
  return d;
}

void ClassArchive::WriteString(const std::string& text) {
  // 0xFFFFFFFF cannot be told apart from a longer length's marker.
  if (text.size() >= 0xFFFFFFFFu) Throw(ArchiveException::genericException);
  const auto n = static_cast<uint32_t>(text.size());
  WriteStringLength(n);
  Write(text.data(), n);
}

void ClassArchive::ReadString(std::string& text) {
  bool wide = false;
  const uint32_t n = ReadStringLength(wide);
  const uint64_t bytes = wide ? uint64_t{n} * 2 : n;
  // A hostile length must not allocate what the file cannot hold.
  if (bytes > Remaining()) Throw(ArchiveException::endOfFile);
  if (bytes > 0xFFFFFFFFu) Throw(ArchiveException::genericException);
  std::string result;
  if (!wide) {
    result.resize(n);
    ReadBlock(result.data(), n);
  } else {
    std::vector<uint16_t> units(n);
    ReadBlock(units.data(), static_cast<uint32_t>(bytes));
    result.reserve(n);
    for (uint16_t u : units) result.push_back(u <= 0xFF ? static_cast<char>(u) : '?');
  }
  text = std::move(result);
}

}  // namespace zor::platform
