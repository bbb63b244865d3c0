// Three look-ups from a small code to a text of the suite's resource library,
// for the lists that show what a database holds.
//
//   std::string text = GetCodeText1(2);      // the text of resource 42352
//   uint32_t id = CodeTextId3(0);            // 0: no text, nothing looked up
//
// The texts live in the resource library (platform/string_resources.h), not
// here; a code outside the table of a form gives that form's fallback text.
#pragma once

#include <cstdint>
#include <string>

// The resource number of a code, per form.
//   form 1: 0 42806, 1 42351, 2 42352, 3 42353, other 42808
//   form 2: 0 42806, 1 42167, 2 42168, 3 42170, other 42808
//   form 3: 0 none (0), 1 42333, 2 42329, 3 42337, 4 42339, other 43320
uint32_t CodeTextId1(int32_t code) noexcept;
uint32_t CodeTextId2(int32_t code) noexcept;
uint32_t CodeTextId3(int32_t code) noexcept;

// The resource's text; form 3 gives "" for code 0 without a look-up.
std::string GetCodeText1(int32_t code);
std::string GetCodeText2(int32_t code);
std::string GetCodeText3(int32_t code);
