// Finding files whose full path matches a wildcard pattern.
//
//   std::vector<std::string> found;
//   if (FindFilesByPattern(found, folder, "*\\DRIVERS.IO", /*recursive=*/true,
//                          /*fullPath=*/true)) { ... }
//
// "*" stands for any run of characters and "?" for one; every other character
// stands for itself, compared without regard to case. The pattern is matched
// against the whole full path of a file, not only its name, so a file of a
// given name in any folder is "*\" followed by the name; '\' and '/' in a
// pattern each match either separator.
//
// Results are appended to the caller's vector, which is never cleared. Each
// folder's entries are visited in name order, ignoring case, so results do not
// depend on the order in which the system lists a folder. A missing folder is
// not an error; an error while reading a path that exists (a file given as
// the folder, an unreadable folder or entry) is thrown as
// boost::filesystem::filesystem_error, and what was appended before stays.
#pragma once

#include <string>
#include <string_view>
#include <vector>

// Whether the whole of `text` matches the wildcard `pattern` as the search
// matches paths: '*' any run, '?' one character, '\' or '/' either
// separator, letters without regard to (ASCII) case. An empty pattern matches
// nothing but the empty text; the search itself reads it as "*". Each
// segment between stars is found in one pass over the text: in linear time
// when it holds no '?' between its letters, else at a cost of its length / 64
// words per text character, so no pattern or path is too hard.
bool MatchesWildcard(std::string_view text, std::string_view pattern);

// The regular expression (Perl syntax) of a wildcard pattern, for callers
// that want one; the search matches with MatchesWildcard instead, which
// agrees with it and cannot run out of regular expression budget: '*' becomes
// ".*", '?' becomes ".", a separator becomes "[\\/]" and every other regular
// expression character is escaped. "*.log" gives ".*\.log"; "" gives ".*".
std::string WildcardToRegex(const std::string& pattern);

// Appends the files of `folder` (and, with `recursive`, of every folder below
// it, depth first) whose full path matches `pattern`: the full path with
// `fullPath`, else the file name. True when this call appended anything.
// A folder reached again through a link to one of its own parents is not
// searched a second time.
bool FindFilesByPattern(std::vector<std::string>& found, const std::string& folder,
                        const std::string& pattern, bool recursive, bool fullPath);

// Runs FindFilesByPattern on each folder in order; with `stopAtFirst` it stops
// after the first folder that gave a match. False for an empty list, else
// true when anything was appended.
bool FindFilesInFolders(std::vector<std::string>& found,
                        const std::vector<std::string>& folders, const std::string& pattern,
                        bool recursive, bool fullPath, bool stopAtFirst);
