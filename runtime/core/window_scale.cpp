#include "core/window_scale.h"

#include <cmath>

#include "core/main_window.h"
#include "graphics/screen_settings.h"
#include "platform/platform.h"
#include "platform/screen_fit.h"
#include "qr.h"

namespace qr::core {

namespace {

void ScreenSize(int& width, int& height) {
  const auto& screen = graphics::Screen();
  width = screen.width > 0 ? screen.width : 640;
  height = screen.height > 0 ? screen.height : 480;
}

// The largest whole factor whose decorated window fits the usable area; at least 1.
int FittingFactor() {
  int width = 0, height = 0;
  ScreenSize(width, height);
  platform::Window& window = *platform::Current().window;
  platform::Rect usable = window.UsableArea();
  platform::Rect m = window.FrameMargins(true);
  for (int n = int(kMaxWindowSizeScale); n > 1; --n)
    if (int64_t(width) * n + m.left + m.right <= usable.Width() &&
        int64_t(height) * n + m.top + m.bottom <= usable.Height())
      return n;
  return 1;
}

}  // namespace

double WindowSizeFactor() {
  const WindowSettings& s = MainWindow().settings;
  if (!s.windowed) return 1.0;
  double factor = s.sizeFactor;
  if (factor == 0) return FittingFactor();
  if (!(factor > 0) || !std::isfinite(factor)) return 1.0;
  return factor > kMaxWindowSizeScale ? kMaxWindowSizeScale : factor;
}

ScreenPlacement PlaceScreen() {
  ScreenPlacement p;
  ScreenSize(p.screenWidth, p.screenHeight);
  const WindowState& w = MainWindow();
  // A full-screen window covers the desktop in its own mode: ask the window where it is.
  p.client = w.settings.windowed || !w.created ? w.clientRect : platform::Current().window->ClientRect();
  p.picture = platform::FitInside(p.screenWidth, p.screenHeight, p.client.Width(), p.client.Height());
  return p;
}

}  // namespace qr::core

int SetWindowSizeScale(double factor) {
  qr::core::WindowState& w = qr::core::MainWindow();
  // 0 asks for the fitting factor; anything else not positive means 1.0.
  if (std::isnan(factor) || factor < 0) factor = 1.0;
  if (factor > qr::core::kMaxWindowSizeScale) factor = qr::core::kMaxWindowSizeScale;
  w.settings.sizeFactor = factor;
  if (w.created && w.settings.windowed) qr::core::FitMainWindow();
  return 0;
}
