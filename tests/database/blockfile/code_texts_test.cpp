#include "database/blockfile/code_texts.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <iterator>

namespace {

TEST(CodeTexts, EachFormMapsItsCodesAndFallsBackForAnyOther) {
  const int32_t codes[] = {0, 1, 2, 3, 4, -1, 5, INT32_MIN};
  const uint32_t form1[] = {42806, 42351, 42352, 42353, 42808, 42808, 42808, 42808};
  const uint32_t form2[] = {42806, 42167, 42168, 42170, 42808, 42808, 42808, 42808};
  const uint32_t form3[] = {0, 42333, 42329, 42337, 42339, 43320, 43320, 43320};
  for (std::size_t i = 0; i < std::size(codes); ++i) {
    EXPECT_EQ(CodeTextId1(codes[i]), form1[i]) << codes[i];
    EXPECT_EQ(CodeTextId2(codes[i]), form2[i]) << codes[i];
    EXPECT_EQ(CodeTextId3(codes[i]), form3[i]) << codes[i];
  }
  // Code 0 of the third form has no text at all.
  EXPECT_EQ(GetCodeText3(0), "");
}

}  // namespace
