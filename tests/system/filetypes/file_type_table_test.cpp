#include "system/filetypes/file_type_table.h"

#include <gtest/gtest.h>

namespace {

TEST(FileTypeTable, ExtensionOfEveryValue) {
  const std::pair<int, const char*> table[] = {{1, "xvfline"},  {2, "xvfback"},  {4, "xvfdes"},
                                               {8, "xvfanno"},  {16, "xvfvom"},  {32, "xvdhom"},
                                               {64, "xvfarea"}, {128, "xvfcont"}};
  for (const auto& [flag, extension] : table) EXPECT_EQ(FileTypeExtension(flag), extension);
  for (int other : {0, 3, 12, -1, -128, 129, 256, 4096, INT32_MIN})
    EXPECT_EQ(FileTypeExtension(other), "xvf") << other;
}

TEST(FileTypeTable, FlagFromPathWithoutRegardToCase) {
  EXPECT_EQ(FileTypeFromPath("/data/site.xvfcont"), 128);
  EXPECT_EQ(FileTypeFromPath("/data/SITE.XVFLINE"), 1);
  EXPECT_EQ(FileTypeFromPath("C:\\Data\\site.XvDhOm"), 32);
  EXPECT_EQ(FileTypeFromPath("/data/site.xvf"), 0);
  EXPECT_EQ(FileTypeFromPath("/data/site.txt"), 4096);
  EXPECT_EQ(FileTypeFromPath("/data/site"), 4096);
  EXPECT_EQ(FileTypeFromPath("/data.xvfline/site"), 4096);
  EXPECT_EQ(FileTypeFromPath("/data/site.xvfline.bak"), 4096);
  EXPECT_EQ(FileTypeFromPath(""), 4096);
  // Every flag's extension leads back to the flag.
  for (int flag = 1; flag <= 128; flag <<= 1)
    EXPECT_EQ(FileTypeFromPath("a." + FileTypeExtension(flag)), flag);
}

TEST(FileTypeTable, FilterTexts) {
  EXPECT_EQ(FileTypeFilter(8, false, "Annotation"), "Annotation (*.xvfanno)|*.xvfanno|");
  EXPECT_EQ(FileTypeFilter(8, true, "Annotation"), "Annotation (*.xvfanno)|*.xvfanno||");
  EXPECT_EQ(FileTypeFilter(3, true, ""), " (*.xvf)|*.xvf||");
  const std::string list = FileTypeFilter(1, false, "Lines") + FileTypeFilter(4, true, "Designs");
  EXPECT_EQ(list, "Lines (*.xvfline)|*.xvfline|Designs (*.xvfdes)|*.xvfdes||");
}

}  // namespace
