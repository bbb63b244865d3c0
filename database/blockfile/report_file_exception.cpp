#include "database/blockfile/report_file_exception.h"

#include <cerrno>

#include "core/log/logger.h"

std::string FileExceptionText(const zor::platform::FileException& error) {
  return "Cannot access the file " + error.m_strFileName + ": " + error.what();
}

void ReportFileException(const zor::platform::FileException& error) {
  LogTo(kLogMaskMessageBox, LogLevel::Error, "%s", FileExceptionText(error).c_str());
}

zor::platform::FileException OpenExistingFailure(int err, const std::string& fileName) {
  using zor::platform::FileException;
  const bool irregular = err == ENXIO || err == EISDIR || err == ELOOP;
  return FileException(irregular ? FileException::accessDenied : FileException::CauseFromErrno(err),
                       err, fileName);
}
