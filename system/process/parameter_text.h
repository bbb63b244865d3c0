// Parameter texts as the shell hands them to a program: environment
// references expanded, then split into arguments by the rules Windows
// programs use to read their command line, so parameter texts keep meaning
// what they meant there.
//
//   SplitParameters("/report \"C:\\My Files\\r.txt\" /wait");
//   // {"/report", "C:\\My Files\\r.txt", "/wait"}
//   ExpandEnvironmentText("%HOME%/reports");   // "/root/reports"
//
// Programs are started with these arguments directly, never through a shell,
// so no character of a parameter text has any meaning beyond these rules.
#pragma once

#include <string>
#include <vector>

// Blanks and tabs separate arguments outside double quotes; a double quote
// opens or closes a quoted run (two inside a run stand for one quote);
// 2n backslashes before a quote give n backslashes, 2n+1 give n and a literal
// quote; other backslashes are kept.
std::vector<std::string> SplitParameters(const std::string& text);

// Replaces every %NAME% whose variable is set by its value. A '%' that does
// not open such a reference is kept, and the next '%' may open one:
// "%UNSET%HOME%" gives "%UNSET" and the value of HOME.
std::string ExpandEnvironmentText(const std::string& text);
