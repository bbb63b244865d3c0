#include "database/blockfile/code_texts.h"

#include "platform/string_resources.h"

uint32_t CodeTextId1(int32_t code) noexcept {
  switch (code) {
    case 0: return 42806;
    case 1: return 42351;
    case 2: return 42352;
    case 3: return 42353;
    default: return 42808;
  }
}

uint32_t CodeTextId2(int32_t code) noexcept {
  switch (code) {
    case 0: return 42806;
    case 1: return 42167;
    case 2: return 42168;
    case 3: return 42170;
    default: return 42808;
  }
}

uint32_t CodeTextId3(int32_t code) noexcept {
  switch (code) {
    case 0: return 0;
    case 1: return 42333;
    case 2: return 42329;
    case 3: return 42337;
    case 4: return 42339;
    default: return 43320;
  }
}

std::string GetCodeText1(int32_t code) {
  return zor::platform::LoadResourceString(CodeTextId1(code));
}

std::string GetCodeText2(int32_t code) {
  return zor::platform::LoadResourceString(CodeTextId2(code));
}

std::string GetCodeText3(int32_t code) {
  const uint32_t id = CodeTextId3(code);
  return id == 0 ? std::string() : zor::platform::LoadResourceString(id);
}
