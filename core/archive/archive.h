// Binary serialisation: values written raw in native little-endian form, one
// after another, without tags or alignment. The reader must read exactly the
// sequence that was written.
//
//   Zor::ByteVector buf;
//   Zor::ByteVectorArchive out(buf);
//   out.Write32(int32_t{1}).Write64(2.5).WriteString("ab");   // 18 bytes
//
//   Zor::ByteVectorArchive in(buf);
//   int32_t version = 0; double x = 0; std::string s;
//   in.Read32(version).Read64(x).ReadString(s);               // throws on short data
//
// Every failure raises Zor::IArchiveException; reading past the end gives code
// 7 ("Tried to serialize outside block") and leaves both the read position and
// the destination as they were.
#pragma once

#include <cstdint>
#include <exception>
#include <string>

#include "core/archive/byte_vector.h"

namespace Zor {

// Raised by every archive failure. The message reads
//   Zor archive exception: <text> - code: "<code>"
class IArchiveException : public std::exception {
 public:
  IArchiveException(int32_t code, const std::string& text);
  const char* what() const noexcept override { return m_message.c_str(); }
  int32_t Code() const noexcept { return m_code; }

 private:
  int32_t m_code;
  std::string m_message;
};

// Code of a read outside the buffer and of a version a reader does not know.
inline constexpr int32_t kArchiveErrorOutsideBlock = 7;

class IArchive {
 public:
  virtual IArchive& WriteString(const std::string& s) = 0;
  virtual IArchive& Write8(bool v) = 0;
  virtual IArchive& Write64(double v) = 0;
  virtual IArchive& Write32(float v) = 0;
  virtual IArchive& Write64(int64_t v) = 0;
  virtual IArchive& Write64(uint64_t v) = 0;
  virtual IArchive& Write32(int32_t v) = 0;
  virtual IArchive& Write32(uint32_t v) = 0;
  virtual IArchive& Write16(int16_t v) = 0;
  virtual IArchive& Write16(uint16_t v) = 0;
  virtual IArchive& Write8(int8_t v) = 0;
  virtual IArchive& Write8(uint8_t v) = 0;
  virtual IArchive& WriteBytes(const void* p, uint32_t count) = 0;
  virtual IArchive& ReadString(std::string& s) = 0;
  virtual IArchive& Read8(bool& v) = 0;
  virtual IArchive& Read64(double& v) = 0;
  virtual IArchive& Read32(float& v) = 0;
  virtual IArchive& Read64(int64_t& v) = 0;
  virtual IArchive& Read64(uint64_t& v) = 0;
  virtual IArchive& Read32(int32_t& v) = 0;
  virtual IArchive& Read32(uint32_t& v) = 0;
  virtual IArchive& Read16(int16_t& v) = 0;
  virtual IArchive& Read16(uint16_t& v) = 0;
  virtual IArchive& Read8(int8_t& v) = 0;
  virtual IArchive& Read8(uint8_t& v) = 0;
  virtual IArchive& ReadBytes(void* p, int32_t count) = 0;
  [[noreturn]] virtual void Fail(int32_t code, const std::string& text) = 0;

  // Bytes left to read. Readers of counted data check a length against it
  // before they allocate anything.
  virtual uint64_t Remaining() const = 0;
  // The read position, so a reader of several values can undo a failed read.
  virtual uint32_t GetPosition() const = 0;
  virtual void SetPosition(uint32_t position) = 0;

 protected:
  ~IArchive() = default;
};

// Appends to and reads from a byte buffer it does not own.
class ByteVectorArchive final : public IArchive {
 public:
  explicit ByteVectorArchive(ByteVector& buffer) noexcept : m_buffer(&buffer) {}

  IArchive& WriteString(const std::string& s) override;
  IArchive& Write8(bool v) override { return Put(static_cast<uint8_t>(v ? 1 : 0)); }
  IArchive& Write64(double v) override { return Put(v); }
  IArchive& Write32(float v) override { return Put(v); }
  IArchive& Write64(int64_t v) override { return Put(v); }
  IArchive& Write64(uint64_t v) override { return Put(v); }
  IArchive& Write32(int32_t v) override { return Put(v); }
  IArchive& Write32(uint32_t v) override { return Put(v); }
  IArchive& Write16(int16_t v) override { return Put(v); }
  IArchive& Write16(uint16_t v) override { return Put(v); }
  IArchive& Write8(int8_t v) override { return Put(v); }
  IArchive& Write8(uint8_t v) override { return Put(v); }
  IArchive& WriteBytes(const void* p, uint32_t count) override;

  IArchive& ReadString(std::string& s) override;
  IArchive& Read8(bool& v) override;
  IArchive& Read64(double& v) override { return Get(v); }
  IArchive& Read32(float& v) override { return Get(v); }
  IArchive& Read64(int64_t& v) override { return Get(v); }
  IArchive& Read64(uint64_t& v) override { return Get(v); }
  IArchive& Read32(int32_t& v) override { return Get(v); }
  IArchive& Read32(uint32_t& v) override { return Get(v); }
  IArchive& Read16(int16_t& v) override { return Get(v); }
  IArchive& Read16(uint16_t& v) override { return Get(v); }
  IArchive& Read8(int8_t& v) override { return Get(v); }
  IArchive& Read8(uint8_t& v) override { return Get(v); }
  IArchive& ReadBytes(void* p, int32_t count) override;
  [[noreturn]] void Fail(int32_t code, const std::string& text) override;

  uint64_t Remaining() const override;
  uint32_t GetPosition() const override { return m_position; }
  void SetPosition(uint32_t position) override { m_position = position; }

 private:
  template <typename T>
  IArchive& Put(T v) {
    m_buffer->Append(&v, sizeof v);
    return *this;
  }
  template <typename T>
  IArchive& Get(T& v) {
    CopyOut(&v, sizeof v);
    return *this;
  }
  // Copies n bytes at the read position into p and advances, or fails with
  // code 7 without touching p or the position.
  void CopyOut(void* p, uint64_t n);

  ByteVector* m_buffer;
  uint32_t m_position = 0;
};

// Objects that write and read themselves through an archive.
class ISerializable {
 public:
  virtual ~ISerializable() = default;
  // `flags` is ignored by every implementation; callers pass 0.
  virtual void Serialize(IArchive& archive, uint32_t flags) const = 0;
  virtual void Deserialize(IArchive& archive) = 0;
};

// Empties `buffer`, reserves `reserve` bytes and serialises the object into it.
bool SerializeToBytes(const ISerializable& object, ByteVector& buffer, uint32_t reserve);
// Deserialises the object from `buffer`; an empty buffer leaves it alone.
// Archive failures pass to the caller as IArchiveException.
bool DeserializeFromBytes(ISerializable& object, const ByteVector& buffer);

}  // namespace Zor
