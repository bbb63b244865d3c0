// The suite's one rule for path separators, for every path it builds,
// creates, tests and searches.
//
//   ToNativePath("Geo\\Geoid\\Egm\\2008")   // "Geo/Geoid/Egm/2008"
//   IsPathSeparator('\\')                   // true
//   ToNativeSubPath("Egm\\2008")            // "Egm/2008", no look at the disk
//
// The suite's Windows programs, its settings and files written by earlier
// versions write paths with '\'; Linux takes '/'. Both count as separators,
// and a separator the suite inserts is '/'. Linux allows '\' inside a name,
// and a folder the system names (the current folder, a shell folder) may hold
// one: "/data/run\" is then a real folder, not "/data/run/". So ToNativePath
// takes the longest leading part of a path that exists as written (and holds
// a '\') as written, and reads every later '\' as '/'; when that part is a
// folder (or a symbolic link to one) whose name ends in '\', the '\' also
// separates it from what follows ("/data/run\Settings" is "Settings" inside
// "run\"). Paths without '\' are returned unchanged without touching the
// disk.
#pragma once

#include <string>
#include <string_view>

namespace zor::platform {

constexpr bool IsPathSeparator(char c) { return c == '/' || c == '\\'; }

constexpr bool EndsWithPathSeparator(std::string_view path) {
  return !path.empty() && IsPathSeparator(path.back());
}

// Every '\' read as '/', for text the suite writes itself (sub-folder names,
// patterns), which never names a folder of the system.
std::string ToNativeSubPath(std::string_view path);

// The form Linux calls take, by the rule above.
std::string ToNativePath(std::string_view path);

}  // namespace zor::platform
