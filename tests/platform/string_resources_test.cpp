#include "platform/string_resources.h"

#include <gtest/gtest.h>

#include <string>

namespace zor::platform {
namespace {

TEST(StringResources, KnownTextsTakeOnePathAndUnknownIdsAreEmpty) {
  for (uint32_t id : {42347u, 42348u, 42820u}) {
    const std::string text = LoadResourceString(id);
    EXPECT_NE(text.find("%s"), std::string::npos) << id;
    EXPECT_EQ(text.find('%'), text.rfind('%')) << id << ": one argument only";
  }
  EXPECT_EQ(LoadResourceString(0), "");
  EXPECT_EQ(LoadResourceString(42349), "");
}

}  // namespace
}  // namespace zor::platform
