// The drawing and model files of the suite: one family of files told apart
// by extension, each kind with a one-bit flag.
//
//   FileTypeExtension(8);                              // "xvfanno"
//   FileTypeFromPath("/data/site.XVFCONT");           // 128
//   std::string filter = FileTypeFilter(8, true, "Annotation");
//   // "Annotation (*.xvfanno)|*.xvfanno||"
//
// Every value that is not one of the eight flags (0, combinations, negative
// values, values above 128) stands for the family's own extension "xvf".
#pragma once

#include <boost/filesystem/path.hpp>
#include <string>

// The extension without its dot, in lower case.
std::string FileTypeExtension(const int& flag);

// The flag of the path's extension, compared without regard to case: 0 for
// ".xvf", a single flag for a kind's extension, 4096 for no or any other
// extension.
int FileTypeFromPath(const boost::filesystem::path& path);

// description + " (*.ext)|*.ext|", with one more "|" for the last filter of
// a list.
std::string FileTypeFilter(const int& flag, bool lastFilter, std::string description);
