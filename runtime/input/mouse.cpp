// Mouse buttons (from the mouse device, or from the virtual-key state) and the cursor position in
// the coordinates of the draw screen.
#include <algorithm>
#include <climits>
#include <cmath>

#include "core/main_window.h"
#include "graphics/screen_settings.h"
#include "input/input_state.h"
#include "platform/platform.h"
#include "qr.h"

namespace qr::input {
namespace {

// Virtual keys of the left, right and middle buttons, for bits 0, 1 and 2.
constexpr int kButtonVirtualKeys[3] = {0x01, 0x02, 0x04};

// The window's scale factor as the window is sized with it: 1.0 when not positive.
double ScaleFactor() {
  double factor = core::MainWindow().settings.sizeFactor;
  return factor > 0 && std::isfinite(factor) ? factor : 1.0;
}

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

int GetMousePosition(int* x, int* y) {
  using namespace qr::input;
  const qr::core::WindowState& w = qr::core::MainWindow();
  int cx = 0, cy = 0;
  qr::platform::Current().window->CursorPosition(cx, cy);
  if (w.settings.windowed) {
    // No tool bar is ever shown, so nothing more comes off y.
    double factor = ScaleFactor();
    cx = TruncateToInt((double(cx) - w.clientRect.left) / factor);
    cy = TruncateToInt((double(cy) - w.clientRect.top) / factor);
  }
  if (x) *x = cx;
  if (y) *y = cy;
  return 0;
}

int SetMousePosition(int x, int y) {
  const qr::core::WindowState& w = qr::core::MainWindow();
  const qr::graphics::ScreenSettings& screen = qr::graphics::Screen();
  x = std::clamp(x, 0, std::max(0, screen.width));
  y = std::clamp(y, 0, std::max(0, screen.height));
  if (w.settings.windowed) {
    x += w.clientRect.left;
    y += w.clientRect.top;
  }
  qr::platform::Current().window->WarpCursor(x, y);
  return 0;
}
