// Where drawing goes, the clip area, clearing the screen and presenting the frame.
#include <algorithm>

#include "core/lifecycle.h"
#include "core/main_window.h"
#include "core/window_scale.h"
#include "graphics/draw_settings.h"
#include "graphics/draw_state.h"
#include "graphics/graphic_handles.h"
#include "graphics/device_start.h"
#include "graphics/screen_settings.h"
#include "platform/platform.h"
#include "qr.h"

namespace qr::graphics {

platform::Surface* CurrentTargetSurface() {
  const DrawSettings& s = Draw();
  if (GraphicRecord* g = GetGraphic(s.drawTarget); g && g->tileCount > 0) return g->tiles[0].texture->surface;
  return Device().secondBackBuffer ? Device().secondBackBuffer : Device().backBuffer;
}

namespace {

bool IsScreenCode(int target) { return target == -2 || target == -3 || target == -4 || target == -5; }

int ApplyClipArea(int x1, int y1, int x2, int y2) {
  DrawSettings& s = Draw();
  s.rawClip[0] = x1;
  s.rawClip[1] = y1;
  s.rawClip[2] = x2;
  s.rawClip[3] = y2;
  int limitX, limitY;
  if (IsScreenCode(s.drawTarget)) {
    limitX = Screen().width;
    limitY = Screen().height;
  } else if (GraphicRecord* g = GetGraphic(s.drawTarget)) {
    limitX = g->width;
    limitY = g->height;
  } else {
    return -1;
  }
  if (x1 > x2) std::swap(x1, x2);
  if (y1 > y2) std::swap(y1, y2);
  x1 = std::clamp(x1, 0, limitX);
  x2 = std::clamp(x2, 0, limitX);
  y1 = std::clamp(y1, 0, limitY);
  y2 = std::clamp(y2, 0, limitY);
  s.clip = ClipArea{x1, y1, x2, y2, float(x1), float(y1), float(x2), float(y2)};
  if (x1 == x2 || y1 == y2) {
    s.clipEmpty = true;
    return 0;
  }
  s.clipEmpty = false;
  if (Device().hardware && Host() && Host()->DeviceExists()) {
    FlushVertices();
    CloseScene();
    platform::DeviceResult r =
        Host()->SetViewport(platform::Viewport{x1, y1, x2 - x1, y2 - y1, 0.0f, 1.0f});
    if (!platform::Succeeded(r)) WriteLogFormat("ビューポートのセットに失敗しました ErrorCode %x\n", unsigned(r));
  }
  return 0;
}

void StartFrontTimer() {
  platform::Current().window->SetTimer(kFrontScreenTimerId, 32);
  Draw().frontTimerRunning = true;
}

void StopFrontTimer() {
  platform::Current().window->KillTimer(kFrontScreenTimerId);
  Draw().frontTimerRunning = false;
}

int BindTarget(int target) {
  DrawSettings& s = Draw();
  GraphicRecord* g = nullptr;
  if (!IsScreenCode(target)) {
    g = GetGraphic(target);
    if (!g || !g->image->info.drawable) return -1;
  }
  FlushVertices();
  CloseScene();
  BindTexture(nullptr);
  if (Host() && Host()->DeviceExists()) Host()->SetRenderTarget(g ? g->tiles[0].texture->surface : CurrentScreenSurface());
  s.drawTarget = target;
  s.targetWidth = g ? g->width : Screen().width;
  s.targetHeight = g ? g->height : Screen().height;
  if (target == kFrontScreen) StartFrontTimer();
  else if (s.frontTimerRunning) StopFrontTimer();
  return 0;
}

}  // namespace

platform::Surface* CurrentScreenSurface() {
  return Device().secondBackBuffer ? Device().secondBackBuffer : Device().backBuffer;
}

void ReapplyClipArea() {
  const DrawSettings& s = Draw();
  ApplyClipArea(s.rawClip[0], s.rawClip[1], s.rawClip[2], s.rawClip[3]);
}

void SelectDrawTargetAgain() {
  int target = Draw().drawTarget;
  if (BindTarget(target) != 0) BindTarget(kBackScreen);
  ReapplyClipArea();
}

void OnFrontScreenTimer() {
  StopFrontTimer();
  if (Draw().drawTarget != kFrontScreen || !Device().ready) return;
  if (!core::MainWindow().settings.windowed && Device().hardware) CreateSecondBackBuffer();
  FlipScreen();
  StartFrontTimer();
}

}  // namespace qr::graphics

using namespace qr::graphics;

int SetClipArea(int x1, int y1, int x2, int y2) { return ApplyClipArea(x1, y1, x2, y2); }

int SetDrawTarget(int target) {
  if (!Device().ready) return -1;
  qr::core::WaitWhileInactive();
  if (BindTarget(target) != 0) return -1;
  return ApplyClipArea(0, 0, Draw().targetWidth, Draw().targetHeight);
}

int ClearScreen() {
  if (!Device().ready || !Host() || !Host()->DeviceExists()) return 0;
  FlushVertices();
  CloseScene();
  qr::platform::GraphicsDevice& host = *Host();
  host.ColorFill(CurrentTargetSurface(), nullptr, 0xFF000000u);
  if (Device().depthSurface) {
    const DrawSettings& s = Draw();
    host.SetViewport(qr::platform::Viewport{0, 0, s.targetWidth, s.targetHeight, 0.0f, 1.0f});
    host.Clear(qr::platform::clear_flags::kZBuffer, 0, 1.0f);
    if (!s.clipEmpty)
      host.SetViewport(qr::platform::Viewport{s.clip.left, s.clip.top, s.clip.right - s.clip.left,
                                              s.clip.bottom - s.clip.top, 0.0f, 1.0f});
  }
  return 0;
}

int FlipScreen() {
  if (!qr::core::Started() || qr::core::MainWindow().endRequested) return -1;
  if (!Device().ready || !Host() || !Host()->DeviceExists()) return -1;
  const ScreenSettings& screen = Screen();
  qr::platform::Rect source{0, 0, screen.width ? screen.width : 640, screen.height ? screen.height : 480};
  qr::platform::Rect destination = source;
  bool windowed = qr::core::MainWindow().settings.windowed != 0;
  // In a window the frame goes where the draw screen is placed: scaled by the window's factor,
  // or fitted between black bars into a window of another size.
  if (windowed) destination = qr::core::PlaceScreen().picture;
  if (screen.emulate320x240 && screen.width == 640 && screen.height == 480) destination = {0, 0, 320, 240};
  FlushVertices();
  CloseScene();
  qr::platform::GraphicsDevice& host = *Host();
  if (Device().secondBackBuffer &&
      !qr::platform::Succeeded(host.StretchRect(Device().secondBackBuffer, nullptr, Device().backBuffer,
                                                nullptr, qr::platform::TextureFilter::Point)))
    return -1;
  qr::platform::DeviceResult r = (!windowed && !screen.emulate320x240)
                                     ? host.Present(nullptr, nullptr)
                                     : host.Present(&source, &destination);
  return qr::platform::Succeeded(r) ? 0 : -1;
}
