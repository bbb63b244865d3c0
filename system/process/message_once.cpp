#include "system/process/message_once.h"

#include <algorithm>
#include <mutex>
#include <vector>

#include "platform/message_sink.h"
#include "system/os/os_info.h"

namespace {

// The texts of the boxes open right now, one entry per box; process-wide.
std::mutex g_mutex;
std::vector<std::string> g_shown;

// Holds a text among the shown ones for as long as its box is open.
class ShownText {
 public:
  explicit ShownText(const std::string& text) : m_text(text) {
    std::lock_guard<std::mutex> lock(g_mutex);
    if (std::find(g_shown.begin(), g_shown.end(), m_text) != g_shown.end()) return;
    g_shown.push_back(m_text);
    m_claimed = true;
  }
  ~ShownText() {
    if (!m_claimed) return;
    std::lock_guard<std::mutex> lock(g_mutex);
    g_shown.erase(std::find(g_shown.begin(), g_shown.end(), m_text));
  }
  ShownText(const ShownText&) = delete;
  ShownText& operator=(const ShownText&) = delete;

  bool claimed() const { return m_claimed; }
  const std::string& text() const { return m_text; }

 private:
  // A copy: the caller may change its text while the box is open.
  const std::string m_text;
  bool m_claimed = false;
};

}  // namespace

int ShowMessageOnce(const std::string& text, uint32_t flags) {
  ShownText shown(text);
  if (!shown.claimed()) return 0;
  // No lock is held here: the sink may show another box from inside this one.
  return zor::platform::ShowMessageBox(shown.text(), GetModuleName(false), flags);
}
