// Tells the user why a file could not be opened or written, as the
// platform's standard file-error report does.
//
//   FileException error;
//   if (!file.Open(path, File::modeReadWrite, &error)) {
//     ReportFileException(error);   // "Cannot access the file ...: <reason>"
//     return false;
//   }
//
// The report is an error message of the message log addressed to the user
// (message box destination), so it reaches a box, the console or the log
// file as the log's settings say.
#pragma once

#include <string>

#include "platform/file.h"

// The report's text: the file name and the reason.
std::string FileExceptionText(const zor::platform::FileException& error);
void ReportFileException(const zor::platform::FileException& error);

// The exception for an open by the platform's OpenExisting that failed with
// `err`: a name that is no regular file (a folder, a link, a FIFO) is refused
// as access denied; other errors keep their own cause.
zor::platform::FileException OpenExistingFailure(int err, const std::string& fileName);
