// The running program's own version record: the "ProductVersion" and
// "FileVersion" entries its file carries on Windows. On Linux
// they come from the record compiled into the program
// (platform/version_resource.h).
//
//   ProgramVersionRecord record;
//   if (GetProgramVersionRecord(record)) ...   // "8.0.0.0", "8.0.0.0"
//
//   // In a test, or a program carrying another record:
//   OverrideProgramVersionRecord(ProgramVersionRecord{"8.0", "8.0.3.12"});
//   OverrideProgramVersionRecord(std::nullopt);   // as if there were none
//   ResetProgramVersionRecord();                  // the compiled-in one again
#pragma once

#include <optional>
#include <string>

struct ProgramVersionRecord {
  std::string productVersion;
  std::string fileVersion;
};

// False when the program has no version record (or it lacks either entry).
bool GetProgramVersionRecord(ProgramVersionRecord& record);
void OverrideProgramVersionRecord(std::optional<ProgramVersionRecord> record);
void ResetProgramVersionRecord();
