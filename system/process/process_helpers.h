// Starting programs and waiting on many handles at once.
//
//   ProcessHandle viewer = StartProcess("/opt/zor/bin/viewer", "survey 12.db", nullptr);
//   // viewer's arguments: {"survey 12.db"}
//   ProcessHandle tool = StartProcessWithArgs("zortool", {"--mode=export", "a b"}, nullptr);
//   int handles[] = {viewer.Fd(), tool.Fd()};
//   uint32_t which = WaitForManyObjects(2, handles, 10000);   // 0, 1 or 258 (time-out)
//
// Programs start through posix_spawn with an argument vector, never through a
// shell: what Windows wrote as a quoted command line is the program followed
// by its arguments, each passed whole. A program name without '/' is looked
// for in PATH. The child keeps standard input, output and error and inherits
// no other descriptor; its signal mask is empty and every signal has its
// default action.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "system/process/process_handle.h"

// Starts the program with the argument text as one argument (none when null).
// `environment` ("NAME=value" entries) replaces the caller's when given.
// An empty handle when nothing started; the thread's last error tells why.
ProcessHandle StartProcess(const std::string& program, const std::string* arguments,
                           const std::vector<std::string>* environment);
ProcessHandle StartProcess(const std::string& program, const std::string& arguments,
                           const std::vector<std::string>* environment);

// Starts the program with each text of `arguments` as one argument, in order.
ProcessHandle StartProcessWithArgs(const std::string& program,
                                   const std::vector<std::string>& arguments,
                                   const std::vector<std::string>* environment);

// Waits until one of `count` pollable descriptors (process handles' Fd(),
// pipes, event descriptors) is signalled, i.e. readable or hung up, for at
// most `timeoutMs` (kInfinite: no limit). Returns kWaitObject0 plus the
// lowest index of a signalled descriptor, kWaitTimeout, or kWaitFailed (last
// error 87 for no descriptors, 6 for one that is not open); the constants are
// those of platform/named_event.h. All descriptors are watched for the whole
// wait, however many there are.
uint32_t WaitForManyObjects(uint32_t count, const int* handles, uint32_t timeoutMs);
