// Desktop services of the user-interface programs: the work area, keeping a
// window on screen, the text clipboard and bringing another program's window
// to the front.
//
//   WINDOWPLACEMENT placement{};
//   if (settings.ReadWindowPlacement(placement)) {
//     RECT rect = PlacementRect(placement);
//     KeepRectOnScreen(rect);
//     SetPlacementRect(placement, rect);
//   }
//
// Nothing here has a display server to ask: there is no desktop window, no
// monitor, no clipboard and no other program's window, so each function gives
// the answer it gives when those are missing. The monitor
// questions also take a monitor layout, for a user interface that knows its
// own screens.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>

#include "system/registry/settings_provider.h"

struct POINT {
  int32_t x;
  int32_t y;
};
static_assert(sizeof(POINT) == 8);
static_assert(offsetof(POINT, y) == 4);

struct RECT {
  int32_t left;
  int32_t top;
  int32_t right;
  int32_t bottom;
};
static_assert(sizeof(RECT) == 16);
static_assert(offsetof(RECT, top) == 4);
static_assert(offsetof(RECT, right) == 8);
static_assert(offsetof(RECT, bottom) == 12);

// The normal-position rectangle of a placement, and setting it.
RECT PlacementRect(const WINDOWPLACEMENT& placement);
void SetPlacementRect(WINDOWPLACEMENT& placement, const RECT& rect);

// Empties `out`; then the desktop window's normal-position rectangle. No
// display server, so no desktop window: 0.
BOOL GetDesktopRect(RECT& out);

// True when one of the monitors (right and bottom edges excluded) contains the
// point. Without a layout, this system's monitors: none, so false.
bool IsPointOnMonitor(const POINT& point, std::span<const RECT> monitors);
bool IsPointOnMonitor(const POINT& point);

// Only when the rectangle's top-left corner is on no monitor: moves it, size
// kept, so that its left (top) edge is not negative, or else its right
// (bottom) edge is not beyond the primary monitor's width (height). The first
// monitor of a layout is the primary one. With no monitor at all there is no
// screen to keep it on: unchanged.
void KeepRectOnScreen(RECT& rect, std::span<const RECT> monitors);
void KeepRectOnScreen(RECT& rect);

// No display server, so no clipboard: nothing is copied, and `out` is left
// as it was.
void CopyTextToClipboard(const std::string& text);
void GetClipboardText(std::string& out);

// No display server, so no window of any class: 0.
BOOL ActivateWindowByClass(const std::string& className, bool activate);
