// The text form of a registry hive file: human-readable, one line per key
// header and per value, keys in sorted order so that two versions diff well.
//
//   ; zor registry hive 1
//   [Software\Zor\Tridu\8.0\Drivers\Drv\Settings]
//   "Enable File Logging"=binary:01
//   "Count"=dword:0000002a
//   "Project"=sz:"C:\\Data\\North Sea"
//   "Folders"=multi_sz:"a","b"
//   "Raw"=sz:hex:61,62
//   ; end
//
//   std::string text = zor::platform::SerializeHive(root);
//   RegistryNode back;
//   std::string why;
//   if (!zor::platform::ParseHive(text, back, &why)) { /* damaged: why says where */ }
//
// Grammar: the first line is the magic line above, the last non-blank line is
// "; end" (so a cut-off file is noticed); other lines starting with ';' are
// comments. A key header names the full path below the hive root ("[]" is the
// root itself) and creates every key on it; bytes outside printable ASCII and
// '%' are written %HH. Headers are written for keys that hold values and for
// keys without sub-keys; the rest are implied by their sub-keys. A value line
// is a quoted name, '=', a type ("none", "sz", "expand_sz", "binary", "dword",
// "multi_sz", "qword" or "type<N>"), ':' and the data:
//   - "hex:" and comma-separated byte pairs: the exact bytes, for any type;
//     "binary" takes the byte pairs without the prefix;
//   - sz, expand_sz: a quoted text, stored with one terminating zero;
//   - multi_sz: quoted texts separated by ',', each stored with its zero, then
//     a closing zero;
//   - dword, qword: 8 or 16 hexadecimal digits of the little-endian number.
// Quoted texts escape '\\', '"', \n, \r, \t and every other byte outside
// printable ASCII as \xHH. The writer picks the text forms only where they
// give back the exact bytes, so every value keeps its type and byte width.
#pragma once

#include <string>
#include <string_view>

#include "platform/registry_tree.h"

namespace zor::platform {

inline constexpr std::string_view kHiveMagicLine = "; zor registry hive 1";
inline constexpr std::string_view kHiveEndLine = "; end";

std::string SerializeHive(const RegistryNode& root);

// Replaces `root` with the hive held in `text`. On a damaged text returns
// false, leaves `root` empty and, when `error` is given, says which line and
// why. Later duplicates of a value replace earlier ones; repeated headers
// merge.
bool ParseHive(std::string_view text, RegistryNode& root, std::string* error = nullptr);

}  // namespace zor::platform
