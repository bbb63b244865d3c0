// String resources: texts loaded by number, as the suite's resource library
// provides them. Here they are a table of this program's own texts.
//
//   std::string text = FormatString(
//       zor::platform::LoadResourceString(42347).c_str(), path.c_str());
//
// A number the table does not hold gives "". Texts that take arguments are
// printf formats; each one's arguments are listed beside it in the table.
#pragma once

#include <cstdint>
#include <string>

namespace zor::platform {

std::string LoadResourceString(uint32_t id);

}  // namespace zor::platform
