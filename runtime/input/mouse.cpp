// Mouse buttons (from the mouse device, or from the virtual-key state) and the cursor position in
// the coordinates of the draw screen.
#include <algorithm>
#include <climits>
#include <cmath>

#include "core/main_window.h"
#include "core/window_scale.h"
#include "graphics/screen_settings.h"
#include "input/input_state.h"
#include "platform/platform.h"
#include "qr.h"

namespace qr::input {
namespace {

// Virtual keys of the left, right and middle buttons, for bits 0, 1 and 2.
constexpr int kButtonVirtualKeys[3] = {0x01, 0x02, 0x04};

int TruncateToInt(double value) {
  if (!(value > double(INT_MIN))) return INT_MIN;  // also NaN
  if (value >= double(INT_MAX)) return INT_MAX;
  return int(value);
}

}  // namespace
}  // namespace qr::input

int GetMouseButtons() {
  using namespace qr::input;
  InputState& s = Input();
  int buttons = 0;
  if (!s.noDeviceInterface && s.mouseDevice) {
    qr::platform::MouseState state;
    if (!s.mouseDevice->ReadState(state)) {
      if (!s.mouseDevice->Acquire()) return 0;
      if (!s.mouseDevice->ReadState(state)) return 0;
    }
    for (int n = 0; n < 8; ++n)
      if (state.buttons[n] & 0x80) buttons |= 1 << n;
    return buttons;
  }
  uint8_t virtualKeys[256];
  qr::platform::InputDevices* devices = qr::platform::Current().input;
  if (!devices || !devices->ReadVirtualKeys(virtualKeys)) return 0;
  for (int n = 0; n < 3; ++n)
    if (virtualKeys[kButtonVirtualKeys[n]] & 0x80) buttons |= 1 << n;
  return buttons;
}

// The cursor is mapped through where the draw screen is shown: the client area's origin, then
// the picture's offset inside it (the black bars of a resized or full-screen window) and its
// scale. A cursor outside the picture reads as outside the screen: negative or past the size.
int GetMousePosition(int* x, int* y) {
  using namespace qr::input;
  int cx = 0, cy = 0;
  qr::platform::Current().window->CursorPosition(cx, cy);
  // No tool bar is ever shown, so nothing more comes off y.
  qr::core::ScreenPlacement p = qr::core::PlaceScreen();
  double scaleX = p.picture.Width() > 0 ? double(p.picture.Width()) / p.screenWidth : 1.0;
  double scaleY = p.picture.Height() > 0 ? double(p.picture.Height()) / p.screenHeight : 1.0;
  cx = TruncateToInt((double(cx) - p.client.left - p.picture.left) / scaleX);
  cy = TruncateToInt((double(cy) - p.client.top - p.picture.top) / scaleY);
  if (x) *x = cx;
  if (y) *y = cy;
  return 0;
}

// The inverse of GetMousePosition, so that a position set reads back as set at any scale.
int SetMousePosition(int x, int y) {
  const qr::graphics::ScreenSettings& screen = qr::graphics::Screen();
  x = std::clamp(x, 0, std::max(0, screen.width));
  y = std::clamp(y, 0, std::max(0, screen.height));
  qr::core::ScreenPlacement p = qr::core::PlaceScreen();
  double scaleX = p.picture.Width() > 0 ? double(p.picture.Width()) / p.screenWidth : 1.0;
  double scaleY = p.picture.Height() > 0 ? double(p.picture.Height()) / p.screenHeight : 1.0;
  // The first pixel of the point's cell, which the division in GetMousePosition maps back.
  int sx = p.client.left + p.picture.left + int(std::ceil(x * scaleX - 1e-9));
  int sy = p.client.top + p.picture.top + int(std::ceil(y * scaleY - 1e-9));
  qr::platform::Current().window->WarpCursor(sx, sy);
  return 0;
}
