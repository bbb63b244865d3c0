// A message box that is not shown twice at once.
//
//   // A timer that reports a lost connection every second shows one box, not
//   // a pile of them:
//   ShowMessageOnce("Connection lost", zor::platform::MB_ICONWARNING);
//
// While a box with a text is open (its answer not yet given), a call with the
// byte-for-byte same text shows nothing and returns 0; any other text gets
// its own box. Boxes go to the message sink (platform/message_sink.h) with
// the program's name as caption. Safe from any thread.
#pragma once

#include <cstdint>
#include <string>

int ShowMessageOnce(const std::string& text, uint32_t flags);
