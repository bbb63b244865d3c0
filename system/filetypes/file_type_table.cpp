#include "system/filetypes/file_type_table.h"

#include <boost/algorithm/string/predicate.hpp>
#include <locale>

namespace {

constexpr int kNoFileType = 4096;
constexpr const char* kFamilyExtension = "xvf";

struct FileKind {
  int flag;
  const char* extension;
};

constexpr FileKind kKinds[] = {
    {1, "xvfline"}, {2, "xvfback"}, {4, "xvfdes"},   {8, "xvfanno"},
    {16, "xvfvom"}, {32, "xvdhom"}, {64, "xvfarea"}, {128, "xvfcont"},
};

}  // namespace

std::string FileTypeExtension(const int& flag) {
  for (const FileKind& kind : kKinds)
    if (kind.flag == flag) return kind.extension;
  return kFamilyExtension;
}

int FileTypeFromPath(const boost::filesystem::path& path) {
  const std::string extension = path.extension().string();
  if (extension.empty()) return kNoFileType;
  // The first value from 0 on whose extension matches. 0 stands for every
  // value that is not a flag, so 0 and the flags are all there is to ask.
  const std::locale locale;
  if (boost::iequals(extension, std::string(".") + kFamilyExtension, locale)) return 0;
  for (const FileKind& kind : kKinds)
    if (boost::iequals(extension, std::string(".") + kind.extension, locale)) return kind.flag;
  return kNoFileType;
}

std::string FileTypeFilter(const int& flag, bool lastFilter, std::string description) {
  const std::string extension = FileTypeExtension(flag);
  std::string filter = std::move(description);
  filter += " (*." + extension + ")|*." + extension + "|";
  if (lastFilter) filter += '|';
  return filter;
}
