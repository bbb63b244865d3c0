// Message boxes. Nothing on Linux draws a window: every box goes to one
// replaceable message sink. The default sink writes the box as one line on
// standard error and answers at once with the box's default button, as a
// user pressing Enter would, so a box never blocks a program without a user.
//
//   int answer = zor::platform::ShowMessageBox("Disk full", "Logger : Error",
//                                               zor::platform::MB_ICONERROR);
//   // answer == zor::platform::IDOK
//
//   // In a test: record the boxes instead.
//   std::vector<zor::platform::MessageBoxCall> boxes;
//   zor::platform::ScopedMessageSink sink(
//       [&](const zor::platform::MessageBoxCall& box) {
//         boxes.push_back(box);
//         return zor::platform::IDOK;
//       });
//
// The sink is process-wide; installing one is safe from any thread, and a
// sink runs without any lock held, so it may show a box itself.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

namespace zor::platform {

// Style bits of a box: buttons (low nibble), icon, default button.
inline constexpr uint32_t MB_OK = 0x0;
inline constexpr uint32_t MB_OKCANCEL = 0x1;
inline constexpr uint32_t MB_ABORTRETRYIGNORE = 0x2;
inline constexpr uint32_t MB_YESNOCANCEL = 0x3;
inline constexpr uint32_t MB_YESNO = 0x4;
inline constexpr uint32_t MB_RETRYCANCEL = 0x5;
inline constexpr uint32_t MB_ICONERROR = 0x10;
inline constexpr uint32_t MB_ICONQUESTION = 0x20;
inline constexpr uint32_t MB_ICONWARNING = 0x30;
inline constexpr uint32_t MB_ICONINFORMATION = 0x40;
inline constexpr uint32_t MB_DEFBUTTON2 = 0x100;
inline constexpr uint32_t MB_DEFBUTTON3 = 0x200;

// The button a box was closed with.
inline constexpr int IDOK = 1;
inline constexpr int IDCANCEL = 2;
inline constexpr int IDABORT = 3;
inline constexpr int IDRETRY = 4;
inline constexpr int IDIGNORE = 5;
inline constexpr int IDYES = 6;
inline constexpr int IDNO = 7;

struct MessageBoxCall {
  std::string text;
  std::string caption;
  uint32_t style = MB_OK;
};

// Answers a box with a button code.
using MessageSink = std::function<int(const MessageBoxCall&)>;

// Shows a box through the current sink and returns its answer.
int ShowMessageBox(const std::string& text, const std::string& caption, uint32_t style);

// The button that the style names as default (MB_DEFBUTTON2/3 pick the second
// or third of its buttons); IDOK for MB_OK or an unknown button set.
int DefaultButton(uint32_t style);

// Installs `sink` (an empty one restores the default) and returns the sink
// that was installed before.
MessageSink SetMessageSink(MessageSink sink);

// Installs a sink for the lifetime of the object, then restores the previous.
class ScopedMessageSink {
 public:
  explicit ScopedMessageSink(MessageSink sink) : previous_(SetMessageSink(std::move(sink))) {}
  ~ScopedMessageSink() { SetMessageSink(std::move(previous_)); }
  ScopedMessageSink(const ScopedMessageSink&) = delete;
  ScopedMessageSink& operator=(const ScopedMessageSink&) = delete;

 private:
  MessageSink previous_;
};

}  // namespace zor::platform
