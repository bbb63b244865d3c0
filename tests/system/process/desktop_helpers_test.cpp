#include "system/process/desktop_helpers.h"

#include <gtest/gtest.h>

#include <climits>
#include <vector>

namespace {

bool operator==(const RECT& a, const RECT& b) {
  return a.left == b.left && a.top == b.top && a.right == b.right && a.bottom == b.bottom;
}

RECT Kept(RECT rect, const std::vector<RECT>& monitors) {
  KeepRectOnScreen(rect, monitors);
  return rect;
}

// A 1920 x 1080 primary monitor with a second one to its right.
const std::vector<RECT> kTwoMonitors = {{0, 0, 1920, 1080}, {1920, 0, 3200, 1024}};

TEST(KeepRectOnScreen, MovesOnlyARectangleWhoseCornerIsOffEveryMonitor) {
  EXPECT_TRUE(Kept({-50, 100, 150, 300}, kTwoMonitors) == (RECT{0, 100, 200, 300}));
  EXPECT_TRUE(Kept({2000, 500, 2400, 900}, kTwoMonitors) == (RECT{2000, 500, 2400, 900}));
  EXPECT_TRUE(Kept({3300, 1100, 3500, 1300}, kTwoMonitors) == (RECT{1720, 880, 1920, 1080}));
  EXPECT_TRUE(Kept({100, -40, 300, 60}, kTwoMonitors) == (RECT{100, 0, 300, 100}));
  // No monitor, or a move that would leave the 32-bit range: unchanged.
  EXPECT_TRUE(Kept({-50, -50, 150, 150}, {}) == (RECT{-50, -50, 150, 150}));
  EXPECT_TRUE(Kept({INT_MIN, 0, INT_MAX, 10}, kTwoMonitors) == (RECT{INT_MIN, 0, INT_MAX, 10}));

  WINDOWPLACEMENT placement{};
  SetPlacementRect(placement, RECT{-50, 20, 150, 220});
  EXPECT_EQ(placement.rcNormalPosition[0], -50);
  EXPECT_TRUE(Kept(PlacementRect(placement), kTwoMonitors) == (RECT{0, 20, 200, 220}));
}

TEST(IsPointOnMonitor, RightAndBottomEdgesAreOutside) {
  EXPECT_TRUE(IsPointOnMonitor(POINT{0, 0}, kTwoMonitors));
  EXPECT_TRUE(IsPointOnMonitor(POINT{1920, 1023}, kTwoMonitors));
  EXPECT_FALSE(IsPointOnMonitor(POINT{1920, 1024}, kTwoMonitors));
  EXPECT_FALSE(IsPointOnMonitor(POINT{3200, 0}, kTwoMonitors));
  EXPECT_FALSE(IsPointOnMonitor(POINT{10, 10}));  // this system has no monitor
}

TEST(DesktopHelpers, NoDisplayServerGivesTheMissingAnswers) {
  RECT desktop{1, 2, 3, 4};
  EXPECT_EQ(GetDesktopRect(desktop), 0);
  EXPECT_TRUE(desktop == (RECT{0, 0, 0, 0}));
  CopyTextToClipboard("copied");
  std::string text = "unchanged";
  GetClipboardText(text);
  EXPECT_EQ(text, "unchanged");
  EXPECT_EQ(ActivateWindowByClass("ZorViewer", false), 0);
}

}  // namespace
