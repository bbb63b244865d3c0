// What path compaction needs to know of a window: its client width and the
// width of a text in its font. Nothing draws on Linux; callers that show
// paths implement this over their own toolkit, tests with a fixed pitch.
#pragma once

#include <string>

namespace zor::platform {

class IWindowMetrics {
 public:
  virtual ~IWindowMetrics() = default;
  virtual int ClientWidth() const = 0;
  virtual int TextExtent(const std::string& text) const = 0;
};

}  // namespace zor::platform
