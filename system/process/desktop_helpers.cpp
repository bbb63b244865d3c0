#include "system/process/desktop_helpers.h"

#include <limits>

namespace {

// Moves the edge pair by `by`, unless an edge would leave the 32-bit range.
void Shift(int32_t& low, int32_t& high, int64_t by) {
  const int64_t newLow = low + by;
  const int64_t newHigh = high + by;
  constexpr int64_t kMin = std::numeric_limits<int32_t>::min();
  constexpr int64_t kMax = std::numeric_limits<int32_t>::max();
  if (newLow < kMin || newLow > kMax || newHigh < kMin || newHigh > kMax) return;
  low = static_cast<int32_t>(newLow);
  high = static_cast<int32_t>(newHigh);
}

// One axis: the low edge up to 0, or else the high edge back to the extent.
void KeepOnAxis(int32_t& low, int32_t& high, int64_t extent) {
  if (low < 0) {
    Shift(low, high, -static_cast<int64_t>(low));
  } else if (high >= extent) {
    Shift(low, high, extent - high);
  }
}

}  // namespace

RECT PlacementRect(const WINDOWPLACEMENT& placement) {
  return RECT{placement.rcNormalPosition[0], placement.rcNormalPosition[1],
              placement.rcNormalPosition[2], placement.rcNormalPosition[3]};
}

void SetPlacementRect(WINDOWPLACEMENT& placement, const RECT& rect) {
  placement.rcNormalPosition[0] = rect.left;
  placement.rcNormalPosition[1] = rect.top;
  placement.rcNormalPosition[2] = rect.right;
  placement.rcNormalPosition[3] = rect.bottom;
}

BOOL GetDesktopRect(RECT& out) {
  out = RECT{};
  return 0;
}

bool IsPointOnMonitor(const POINT& point, std::span<const RECT> monitors) {
  for (const RECT& monitor : monitors)
    if (point.x >= monitor.left && point.x < monitor.right && point.y >= monitor.top &&
        point.y < monitor.bottom)
      return true;
  return false;
}

bool IsPointOnMonitor(const POINT& point) { return IsPointOnMonitor(point, {}); }

void KeepRectOnScreen(RECT& rect, std::span<const RECT> monitors) {
  if (monitors.empty()) return;
  if (IsPointOnMonitor(POINT{rect.left, rect.top}, monitors)) return;
  const RECT& primary = monitors.front();
  KeepOnAxis(rect.left, rect.right, static_cast<int64_t>(primary.right) - primary.left);
  KeepOnAxis(rect.top, rect.bottom, static_cast<int64_t>(primary.bottom) - primary.top);
}

void KeepRectOnScreen(RECT& rect) { KeepRectOnScreen(rect, {}); }

void CopyTextToClipboard(const std::string&) {}

void GetClipboardText(std::string&) {}

BOOL ActivateWindowByClass(const std::string&, bool) { return 0; }
