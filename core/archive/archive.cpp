#include "core/archive/archive.h"

#include <cstring>

namespace Zor {
namespace {
constexpr const char* kOutsideBlock = "Tried to serialize outside block";
}

IArchiveException::IArchiveException(int32_t code, const std::string& text)
    : m_code(code),
      m_message("Zor archive exception: " + text + " - code: \"" + std::to_string(code) + "\"") {}

IArchive& ByteVectorArchive::WriteString(const std::string& s) {
  // The length field is 32 bits wide; longer texts cannot be represented.
  Write32(static_cast<uint32_t>(s.size()));
  m_buffer->Append(s.data(), s.size());
  return *this;
}

IArchive& ByteVectorArchive::WriteBytes(const void* p, uint32_t count) {
  m_buffer->Append(p, count);
  return *this;
}

uint64_t ByteVectorArchive::Remaining() const {
  return m_position >= m_buffer->size() ? 0 : m_buffer->size() - m_position;
}

void ByteVectorArchive::CopyOut(void* p, uint64_t n) {
  if (n > Remaining()) Fail(kArchiveErrorOutsideBlock, kOutsideBlock);
  if (n == 0) return;
  std::memcpy(p, m_buffer->data() + m_position, n);
  m_position += static_cast<uint32_t>(n);
}

IArchive& ByteVectorArchive::ReadString(std::string& s) {
  s.clear();
  const uint32_t start = m_position;
  uint32_t length = 0;
  Read32(length);
  if (length == 0) return *this;
  if (length > Remaining()) {
    m_position = start;
    Fail(kArchiveErrorOutsideBlock, kOutsideBlock);
  }
  s.assign(reinterpret_cast<const char*>(m_buffer->data() + m_position), length);
  m_position += length;
  return *this;
}

IArchive& ByteVectorArchive::Read8(bool& v) {
  uint8_t byte = 0;
  CopyOut(&byte, 1);
  v = byte != 0;
  return *this;
}

IArchive& ByteVectorArchive::ReadBytes(void* p, int32_t count) {
  if (count > 0 && static_cast<uint64_t>(count) > Remaining())
    Fail(kArchiveErrorOutsideBlock, kOutsideBlock);
  if (count <= 0) return *this;
  CopyOut(p, static_cast<uint64_t>(count));
  return *this;
}

void ByteVectorArchive::Fail(int32_t code, const std::string& text) {
  throw IArchiveException(code, text);
}

bool SerializeToBytes(const ISerializable& object, ByteVector& buffer, uint32_t reserve) {
  buffer.clear();
  if (buffer.capacity() < reserve) buffer.reserve(reserve);
  ByteVectorArchive archive(buffer);
  object.Serialize(archive, 0);
  return true;
}

bool DeserializeFromBytes(ISerializable& object, const ByteVector& buffer) {
  if (buffer.empty()) return true;
  // The archive reads only; it needs a mutable buffer because it can also write.
  ByteVectorArchive archive(const_cast<ByteVector&>(buffer));
  object.Deserialize(archive);
  return true;
}

}  // namespace Zor
