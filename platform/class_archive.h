// The class library's archive: values and texts written one after another
// through a buffer onto a File, in the byte form the suite's older files use.
//
//   File file;
//   file.Open(path, File::modeCreate | File::modeWrite);
//   {
//     ClassArchive out(file, ClassArchive::store);
//     out << uint8_t{8} << std::string("root") << uint32_t{0xF9FFFFFF};
//     out.Write(&record, sizeof record);     // raw block, as it stands
//     out.Close();                           // flushes; without it nothing is kept
//   }
//
//   ClassArchive in(file, ClassArchive::load);
//   uint8_t version = 0;
//   std::string root;
//   in >> version >> root;                   // throws ArchiveException at the end
//
// Byte form: integers and doubles little-endian; a text is its length prefix
// (one byte below 255; else 0xFF and a 16-bit length below 0xFFFE; else 0xFF,
// 0xFFFF and a 32-bit length), then its 8-bit characters. A text stored in
// 16-bit characters (0xFF 0xFFFE, then a length of 16-bit units in the same
// form) is read too; a unit above 0xFF becomes '?'.
//
// Reading past the end raises ArchiveException(endOfFile) naming the file. A
// text length is checked against the bytes left in the file before anything
// is allocated. Reading from a storing archive or writing to a loading one
// raises writeOnly / readOnly. The archive does not own the file.
#pragma once

#include <cstdint>
#include <exception>
#include <string>
#include <vector>

#include "platform/file.h"

namespace zor::platform {

class ArchiveException : public std::exception {
 public:
  enum Cause {
    none = 0,
    genericException = 1,
    readOnly = 2,
    endOfFile = 3,
    writeOnly = 4,
    badIndex = 5,
    badClass = 6,
    badSchema = 7,
  };

  ArchiveException() = default;
  ArchiveException(int cause, std::string archiveName)
      : m_cause(cause), m_strFileName(std::move(archiveName)) {}

  // The cause's text.
  const char* what() const noexcept override;
  // "<name>: <cause text>", or the cause text alone without a name.
  std::string GetErrorMessage() const;

  int m_cause = none;
  std::string m_strFileName;
};

class ClassArchive {
 public:
  enum Mode : unsigned { store = 0, load = 1 };

  ClassArchive(File& file, unsigned mode, uint32_t bufferSize = 4096);
  // Drops bytes not yet written: only Close or Flush keep them, so an
  // archive left by an exception never writes half a file.
  ~ClassArchive() = default;
  ClassArchive(const ClassArchive&) = delete;
  ClassArchive& operator=(const ClassArchive&) = delete;

  bool IsLoading() const noexcept { return m_loading; }
  bool IsStoring() const noexcept { return !m_loading; }
  File* GetFile() const noexcept { return m_file; }

  // Raw bytes. Read returns the count read (short at the end of the file);
  // ReadBlock raises endOfFile instead of reading short.
  uint32_t Read(void* buffer, uint32_t count);
  void ReadBlock(void* buffer, uint32_t count);
  void Write(const void* buffer, uint32_t count);

  // Storing: writes the buffered bytes to the file.
  void Flush();
  // Storing: flushes. Either way the archive is detached from its file.
  void Close();
  // Detaches without writing anything.
  void Abort() noexcept;

  // Loading: bytes left to read (buffered and in the file).
  uint64_t Remaining() const;

  ClassArchive& operator<<(uint8_t v) { return Put(v); }
  ClassArchive& operator<<(uint16_t v) { return Put(v); }
  ClassArchive& operator<<(int32_t v) { return Put(v); }
  ClassArchive& operator<<(uint32_t v) { return Put(v); }
  ClassArchive& operator<<(double v) { return Put(v); }
  ClassArchive& operator<<(const std::string& text) {
    WriteString(text);
    return *this;
  }
  ClassArchive& operator>>(uint8_t& v) { return Get(v); }
  ClassArchive& operator>>(uint16_t& v) { return Get(v); }
  ClassArchive& operator>>(int32_t& v) { return Get(v); }
  ClassArchive& operator>>(uint32_t& v) { return Get(v); }
  ClassArchive& operator>>(double& v) { return Get(v); }
  ClassArchive& operator>>(std::string& text) {
    ReadString(text);
    return *this;
  }

  void WriteString(const std::string& text);
  // `text` is replaced only when the whole text was read.
  void ReadString(std::string& text);
  void WriteStringLength(uint32_t length);
  // The length and whether the text is stored in 16-bit units.
  uint32_t ReadStringLength(bool& wide);

  [[noreturn]] void Throw(int cause) const;

 private:
  template <typename T>
  ClassArchive& Put(T v) {
    Write(&v, sizeof v);
    return *this;
  }
  template <typename T>
  ClassArchive& Get(T& v) {
    T tmp{};
    ReadBlock(&tmp, sizeof tmp);
    v = tmp;
    return *this;
  }
  void CheckFile() const;

  File* m_file;
  bool m_loading;
  std::vector<uint8_t> m_buffer;
  uint32_t m_begin = 0;  // loading: next unread byte of m_buffer
  uint32_t m_end = 0;    // loading: bytes held; storing: bytes waiting
};

}  // namespace zor::platform
