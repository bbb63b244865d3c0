// A small project database written by this library's own writers: the
// sample that the zordb tool shows and that examples/sample.zdb holds.
//
//   zor::platform::FileException error;
//   if (!WriteSampleDatabase("/tmp/sample.zdb", &error)) ...   // error.m_cause
//
// Four blocks, always the same bytes (no clock is read):
//   33 "Header Definitions"  "UTC to GPS" (18 s), "Survey Unit" (metre) and
//                            "Fix", whose link word heads the fix chain
//                            (CHdrList::Save)
//   35 "History Information" action 1 by "surveyor", with start and end time
//                            (CHisList::Save)
//   27 "System Definitions"  a satellite receiver and a motion sensor, the
//                            512-byte records back to back
//   7  "Observation Events"  three fix records linked into one chain
//                            (CBlockFile::AppendChainedRecord)
// A test rebuilds the file and compares it byte for byte with the copy in
// examples/, so the sample follows every change of the writers.
#pragma once

#include <string>

#include "platform/file.h"

// Writes the sample to a fresh temporary file beside `path` and puts it
// under the name only when it is whole, so that a full disk or a killed
// writer leaves no partial sample (and an old file stays as it was). With
// `replace` an existing regular file is replaced (its permissions kept);
// without, the sample goes only where nothing has the name (EEXIST). A
// folder (EISDIR), anything else that is neither a regular file nor a link
// (ENXIO), a link (ELOOP) or a file this user may not write is never
// replaced. False, with the reason in `error` when given (the errno in
// m_lOsError); write errors throw zor::platform::FileException.
bool WriteSampleDatabase(const std::string& path, zor::platform::FileException* error = nullptr,
                         bool replace = true);
