// The class library's file object over a POSIX descriptor, and its exception.
//
//   zor::platform::File f;
//   zor::platform::FileException error;
//   if (!f.Open("db.zdb", File::modeReadWrite | File::shareDenyWrite, &error)) {
//     // error.m_cause tells why (fileNotFound, accessDenied, ...)
//   }
//   uint32_t count = 0;
//   f.Read(&count, 4);            // returns the bytes read; 0 at the end
//   f.Seek(0, File::end);
//   f.Write(&count, 4);           // throws FileException on failure
//
// Positions and lengths are 64-bit. Read returns the count read (short at the
// end of the file); Write, Seek, SetLength and Flush throw FileException.
// Share modes of regular files (devices and pipes keep none) are kept
// between opens made through this class, in this process and in other
// programs built on this library, as Windows keeps them: an open whose
// access another open's share mode denies, or whose share mode denies an
// access another open holds, fails with
// sharingViolation and error 32 (kErrorSharingViolation), before anything is
// truncated. An open that truncates (modeCreate without modeNoTruncate) is
// a write while it is tested and cuts, whatever access it asks for, and
// needs write permission. Read access conflicts with a share mode that denies reading,
// write access with one that denies writing; compatibility mode is
// exclusive. Other programs' opens are not seen. An open's share mode ends
// with its last descriptor (a killed holder's at once); a child that
// inherits one keeps it. A file system without locks (NFS without its lock
// service) keeps no share modes; a kernel out of lock memory fails the open.
// The read-only attribute is the owner's write permission bit. Paths follow the suite's separator rule
// (platform/path_text.h): '\' separates as '/' does.
#pragma once

#include <cstdint>
#include <exception>
#include <string>

namespace zor::platform {

class FileException : public std::exception {
 public:
  enum Cause {
    none = 0,
    genericException = 1,
    fileNotFound = 2,
    badPath = 3,
    tooManyOpenFiles = 4,
    accessDenied = 5,
    invalidFile = 6,
    removeCurrentDir = 7,
    directoryFull = 8,
    badSeek = 9,
    hardIO = 10,
    sharingViolation = 11,
    lockViolation = 12,
    diskFull = 13,
    endOfFile = 14,
  };

  FileException() = default;
  FileException(int cause, int osError, std::string fileName)
      : m_cause(cause), m_lOsError(osError), m_strFileName(std::move(fileName)) {}

  const char* what() const noexcept override;
  // Maps an errno value to a cause.
  static int CauseFromErrno(int err) noexcept;

  int m_cause = none;
  int m_lOsError = 0;
  std::string m_strFileName;
};

class File {
 public:
  enum OpenFlags : unsigned {
    modeRead = 0x0000,
    modeWrite = 0x0001,
    modeReadWrite = 0x0002,
    shareCompat = 0x0000,
    shareExclusive = 0x0010,
    shareDenyWrite = 0x0020,
    shareDenyRead = 0x0030,
    shareDenyNone = 0x0040,
    modeNoInherit = 0x0080,
    modeCreate = 0x1000,
    modeNoTruncate = 0x2000,
    typeText = 0x4000,
    typeBinary = 0x8000,
  };
  enum SeekPosition { begin = 0x0, current = 0x1, end = 0x2 };

  File() = default;
  File(const File&) = delete;
  File& operator=(const File&) = delete;
  virtual ~File();

  virtual uint64_t GetPosition() const;
  // False with `error` filled (when given) and the last error set on
  // failure; never throws.
  virtual bool Open(const std::string& fileName, unsigned flags, FileException* error = nullptr);
  // Opens again, with `flags`, the file this object has open, through its
  // descriptor and never its name (modeCreate is ignored), then closes
  // the old descriptor; on failure the old one stays open. Needs /proc.
  bool Reopen(unsigned flags, FileException* error = nullptr);
  virtual uint64_t Seek(int64_t offset, int origin);
  virtual void SetLength(uint64_t length);
  virtual uint64_t GetLength() const;
  // Where bytes that may hold data begin, at or after `offset`: those from
  // `offset` up to it lie in a hole and read as zeros, so a reader may skip
  // them. `offset` itself where the file system keeps no holes or cannot
  // say; the file's length when only a hole follows. The position stays.
  uint64_t NextDataOffset(uint64_t offset) const;
  virtual uint32_t Read(void* buffer, uint32_t count);
  virtual void Write(const void* buffer, uint32_t count);
  // Drops the descriptor without reporting errors.
  virtual void Abort();
  virtual void Close();
  virtual void Flush();

  uint64_t SeekToEnd() { return Seek(0, end); }
  void SeekToBegin() { Seek(0, begin); }
  bool IsOpen() const noexcept { return m_fd >= 0; }
  const std::string& GetFilePath() const noexcept { return m_fileName; }
  // The name the file goes by in error reports, where it was opened by
  // another (its descriptor's).
  void SetFilePath(const std::string& fileName) { m_fileName = fileName; }

  // Read-only attribute: the owner's write bit is clear. SetReadOnly acts
  // on what it opened at the path without following a last link.
  static bool GetReadOnly(const std::string& path, bool& readOnly);
  static bool SetReadOnly(const std::string& path, bool readOnly);
  // The same of the file open here, by its descriptor, whatever its name
  // now names. SetOwnerWritable changes only the owner's write bit.
  bool GetReadOnlyOfOpen(bool& readOnly) const;
  bool SetOwnerWritable(bool writable);
  static bool Remove(const std::string& path);

 protected:
  [[noreturn]] void Throw(int err) const;

 private:
  bool OpenNative(const std::string& native, unsigned flags, FileException* error);

  int m_fd = -1;
  bool m_canRead = false;
  bool m_canWrite = false;
  std::string m_fileName;
};

}  // namespace zor::platform
