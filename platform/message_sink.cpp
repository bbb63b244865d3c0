#include "platform/message_sink.h"

#include <unistd.h>

#include <array>
#include <mutex>
#include <utility>

namespace zor::platform {
namespace {

struct SinkSlot {
  std::mutex mutex;
  MessageSink sink;  // empty: the default sink
};

// Never destroyed, so a box shown from a static destructor still finds it.
SinkSlot& Slot() {
  static SinkSlot* const slot = new SinkSlot;
  return *slot;
}

// One line, written with one call so that lines of several threads or
// processes do not interleave: "caption: text", line breaks as blanks.
int WriteToStandardError(const MessageBoxCall& box) {
  std::string line = box.caption;
  line += ": ";
  for (char c : box.text) {
    if (c == '\r') continue;
    line += c == '\n' ? ' ' : c;
  }
  line += '\n';
  const char* p = line.data();
  std::size_t left = line.size();
  while (left > 0) {
    const ssize_t n = ::write(STDERR_FILENO, p, left);
    if (n <= 0) break;  // nowhere to report it; the box is shown all the same
    p += n;
    left -= static_cast<std::size_t>(n);
  }
  return DefaultButton(box.style);
}

}  // namespace

int DefaultButton(uint32_t style) {
  using Buttons = std::array<int, 3>;
  static constexpr std::array<Buttons, 6> kButtons = {{
      {IDOK, IDOK, IDOK},
      {IDOK, IDCANCEL, IDCANCEL},
      {IDABORT, IDRETRY, IDIGNORE},
      {IDYES, IDNO, IDCANCEL},
      {IDYES, IDNO, IDNO},
      {IDRETRY, IDCANCEL, IDCANCEL},
  }};
  const uint32_t set = style & 0xF;
  const uint32_t which = (style >> 8) & 0xF;
  if (set >= kButtons.size() || which >= 3) return IDOK;
  return kButtons[set][which];
}

int ShowMessageBox(const std::string& text, const std::string& caption, uint32_t style) {
  MessageBoxCall box{text, caption, style};
  MessageSink sink;
  {
    std::lock_guard<std::mutex> lock(Slot().mutex);
    sink = Slot().sink;
  }
  return sink ? sink(box) : WriteToStandardError(box);
}

MessageSink SetMessageSink(MessageSink sink) {
  std::lock_guard<std::mutex> lock(Slot().mutex);
  return std::exchange(Slot().sink, std::move(sink));
}

}  // namespace zor::platform
