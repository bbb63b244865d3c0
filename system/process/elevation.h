// The user's rights, and starting a program with full rights.
//
//   if (!HasRequiredPrivileges()) {
//     ProcessHandle setup;
//     if (!RunElevated("/opt/zor/bin/setclock", "--sync", &setup)) ...
//   }
//
// On Linux, elevated means running as root: the administrators' membership is
// an effective user id of 0, and the two privileges the suite needs (setting
// the system time, raising priorities) are the capabilities CAP_SYS_TIME and
// CAP_SYS_NICE.
#pragma once

#include <string>

#include "system/process/process_handle.h"

// True when the process runs with the effective user id 0. Never throws here.
bool IsUserAdministrator();

// True when both capabilities are in the process's permitted set (in effect
// or not); false when they cannot be read.
bool HasRequiredPrivileges();

// With the required privileges, starts the program directly with the
// parameter text split into arguments (SplitParameters), so it inherits
// them; the handle is stored in `process` when one is wanted. Without them,
// false: asking the user to elevate has no Linux form.
bool RunElevated(const std::string& program, const std::string& parameters, ProcessHandle* process);
