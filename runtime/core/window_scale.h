// The window's scale factor and where the draw screen is shown in the client area: the window
// is sized by the factor, frames are presented into the placement, and the cursor is mapped
// back through the same placement.
#pragma once

#include "platform/window.h"

namespace qr::core {

// Largest factor SetWindowSizeScale takes.
constexpr double kMaxWindowSizeScale = 16.0;

// The factor the window is sized with: the setting (1.0 when not usable); the setting 0 picks
// the largest whole factor whose window fits the desktop's usable area. 1.0 in full screen.
double WindowSizeFactor();

struct ScreenPlacement {
  platform::Rect client;   // the client area in screen coordinates
  platform::Rect picture;  // where the draw screen shows, relative to the client area
  int screenWidth = 640, screenHeight = 480;
};
ScreenPlacement PlaceScreen();

}  // namespace qr::core
