// The window step of start-up, the window procedure, ChangeWindowMode and the window end.
#include "core/main_window.h"

#include <cstdio>
#include <cstring>
#include <optional>

#include "core/lifecycle.h"
#include "core/random.h"
#include "core/timing.h"
#include "core/window_scale.h"
#include "graphics/draw_settings.h"
#include "graphics/draw_state.h"
#include "graphics/device_start.h"
#include "graphics/screen_settings.h"
#include "input/input_state.h"
#include "platform/encoding.h"
#include "platform/icon.h"
#include "platform/platform.h"
#include "qr.h"

namespace qr::core {

using platform::Message;
using platform::MessageKind;
using platform::Rect;

WindowState& MainWindow() {
  static WindowState state;
  return state;
}

std::string CutWindowText(const char* text) {
  if (!text) return std::string();
  size_t length = 0;
  while (text[length] != '\0') {
    size_t step = platform::IsCp932LeadByte(static_cast<unsigned char>(text[length])) &&
                          text[length + 1] != '\0' ? 2 : 1;
    if (length + step > kMaxWindowText) break;
    length += step;
  }
  return std::string(text, length);
}

namespace {

platform::Platform& Host() { return platform::Current(); }

const char* kDefaultTitle = "Quarn";
const char* kDefaultClassName = "Q123987R";

std::optional<platform::IconImage> IconFor(int id) {
  if (id == 0) return std::nullopt;  // the host's standard icon
  return platform::LoadIconResource(*Host().system, id);
}

// The window's outer rectangle for a client area of the screen size, centred on the desktop
// (or at the explicit position).
Rect CentredWindowRect() {
  WindowState& w = MainWindow();
  const WindowSettings& s = w.settings;
  const auto& screen = graphics::Screen();
  double factor = WindowSizeFactor();
  int clientWidth = s.explicitClientWidth ? s.explicitClientWidth : int(screen.width * factor);
  int clientHeight = s.explicitClientHeight ? s.explicitClientHeight : int(screen.height * factor);
  Rect m = Host().window->FrameMargins(true);
  int width = clientWidth + m.left + m.right;
  int height = clientHeight + m.top + m.bottom;
  int x = s.hasExplicitPosition ? s.explicitX : (w.desktopWidth - width) / 2;
  int y = s.hasExplicitPosition ? s.explicitY : (w.desktopHeight - height) / 2;
  return Rect{x, y, x + width, y + height};
}

void ReadClientRect() { MainWindow().clientRect = Host().window->ClientRect(); }

}  // namespace

// Sizes the window so that its client area is the screen size again.
void FitMainWindow() {
  WindowState& w = MainWindow();
  const WindowSettings& s = w.settings;
  const auto& screen = graphics::Screen();
  double factor = WindowSizeFactor();
  int wantedWidth = int(screen.width * factor), wantedHeight = int(screen.height * factor);
  if (s.explicitClientWidth) wantedWidth = s.explicitClientWidth;
  if (s.explicitClientHeight) wantedHeight = s.explicitClientHeight;
  platform::Window& window = *Host().window;
  Rect outer = window.WindowRect();
  Rect client = window.ClientRect();
  int width = wantedWidth + (outer.Width() - client.Width());
  int height = wantedHeight + (outer.Height() - client.Height());
  int x = s.hasExplicitPosition ? s.explicitX : outer.left;
  int y = s.hasExplicitPosition ? s.explicitY : outer.top;
  window.MoveTo(Rect{x, y, x + width, y + height});
  ReadClientRect();
  if (s.windowed && !w.firstFitDone) {
    w.firstFitDone = true;
    w.settings.visibleStyleBit = 1;
  }
}

namespace {

void ShowHostCursor() {
  while (Host().window->ShowCursor(true) < 0) {
  }
}

void HideHostCursor() {
  while (Host().window->ShowCursor(false) >= 0) {
  }
}

void ChangeWindowStyle(int windowed) {
  WindowState& w = MainWindow();
  platform::Window& window = *Host().window;
  const auto& screen = graphics::Screen();
  if (windowed) {
    WriteLog("ウインドウスタイルをウインドウモード用に変更します... ");
    window.SetFullScreen(false, platform::DisplayMode{});
    window.SetTopMost(false);
    window.MoveTo(CentredWindowRect());
    ReadClientRect();
    if (w.clientRect.left < 0 || w.clientRect.top < 0) {
      Rect outer = window.WindowRect();
      int dx = w.clientRect.left < 0 ? -w.clientRect.left : 0;
      int dy = w.clientRect.top < 0 ? -w.clientRect.top : 0;
      window.MoveTo(Rect{outer.left + dx, outer.top + dy, outer.right + dx, outer.bottom + dy});
      ReadClientRect();
    }
    SetCursorVisible(1);
    WriteLog("完了\n");
  } else {
    WriteLog("ウインドウスタイルをフルスクリーンモード用に変更します... ");
    window.SetFullScreen(true, platform::DisplayMode{screen.width, screen.height,
                                                     screen.colourBits, screen.refreshRate});
    w.clientRect = Rect{0, 0, screen.width, screen.height};
    window.Show(true);
    window.SetTopMost(true);
    window.MoveTo(w.clientRect);
    SetCursorVisible(0);
    WriteLog("完了\n");
  }
  window.Raise();
  window.PostMessage(Message{MessageKind::SetCursor});
}

void DestroyMainWindow() {
  WindowState& w = MainWindow();
  if (!w.created) return;
  // As on the desktop, the window hears of its destruction while it still exists.
  HandleWindowMessage(Message{MessageKind::Destroy});
  Host().window->Destroy();
  w.created = false;
}

void OnActivate(bool active, bool minimised) {
  WindowState& w = MainWindow();
  if (w.creating) return;
  w.active = active ? 1 : 0;
  if (active && Started()) {
    // Show the screen again at once; a device that cannot present any more is made anew.
    if (w.settings.windowed) {
      if (FlipScreen() != 0) graphics::RecreateGraphicsDevice();
    } else if (!minimised) {
      graphics::RecreateGraphicsDevice();
    }
  }
  // Input devices follow the activation; a full-screen window that goes inactive leaves them.
  if (active || w.settings.windowed) input::ReacquireInputDevices();
  if (!active && w.cursorClipped) {
    Host().window->ClipCursor(nullptr);
    w.cursorClipped = 0;
  }
  input::RefreshPadEffects();
}

void OnDisplayChange(const Message& message) {
  WindowState& w = MainWindow();
  int bits = int(message.param1);
  int width = int(message.param2 & 0xFFFF), height = int((message.param2 >> 16) & 0xFFFF);
  bool changed = bits != w.desktopBits || width != w.desktopWidth || height != w.desktopHeight;
  if (!w.settings.windowed || w.changingMode || !changed) {
    w.modeChangeSeen = 1;
    return;
  }
  const auto& screen = graphics::Screen();
  bool unusable = bits == 24 || (bits == 8 && w.desktopBits != 8) || width < screen.width ||
                  height < screen.height;
  w.desktopBits = bits;
  w.desktopWidth = width;
  w.desktopHeight = height;
  if (unusable) {
    WriteLog("復元関数が登録されていないためか画面が２４ビットカラーに変更されたため終了します\n");
    WriteLog("またはスクリーンが小さすぎるためか色ビット数の違いが大きいためか終了します\n");
    if (!w.closePosted) {
      w.closePosted = 1;
      Host().window->PostMessage(Message{MessageKind::Close});
    }
    return;
  }
  w.modeChangeSeen = 1;
}

}  // namespace

void HandleWindowMessage(const Message& message) {
  WindowState& w = MainWindow();
  switch (message.kind) {
    case MessageKind::Move:
      if (w.settings.windowed && !w.changingMode) {
        ReadClientRect();
        if (graphics::Device().ready) graphics::ReapplyClipArea();
      }
      break;
    case MessageKind::Paint:
      // A window uncovered shows the last frame again.
      if (w.settings.windowed && Started() && graphics::Draw().drawTarget == graphics::kBackScreen) {
        graphics::ScreenSettings& screen = graphics::Screen();
        bool noWait = screen.noVSyncWait;
        screen.noVSyncWait = true;
        FlipScreen();
        screen.noVSyncWait = noWait;
      }
      break;
    case MessageKind::Timer:
      if (message.param1 == graphics::kFrontScreenTimerId) graphics::OnFrontScreenTimer();
      break;
    case MessageKind::Size:
      if (message.param1 == 2) {
        if (w.settings.modeToggle && w.settings.windowed && !w.changingMode && !w.creating)
          w.toggleRequested = 1;
      } else if (message.param1 == 0 && w.created) {
        // A minimised window is left alone; it is fitted again when restored.
        FitMainWindow();
      }
      break;
    case MessageKind::ActivateApp:
      if (message.param1 == 0) OnActivate(false, false);
      break;
    case MessageKind::Activate:
      OnActivate(message.param1 != 0, message.param2 != 0);
      break;
    case MessageKind::Close:
      WriteLog("ウインドウを閉じようとしています\n");
      if (!w.settings.keepWindowOnClose || w.endState == 1) DestroyMainWindow();
      w.endState = 4;
      break;
    case MessageKind::Destroy:
      WriteLog("ウインドウが破棄されようとしています\n");
      w.destroyed = 1;
      if (!w.settings.noQuitOnDestroy) Host().window->PostMessage(Message{MessageKind::Quit});
      WriteLog("ソフトを終了する準備が整いました\n");
      w.endRequested = 1;
      break;
    case MessageKind::SetCursor:
    case MessageKind::MouseMove:
    case MessageKind::MouseButtonDown:
    case MessageKind::MouseButtonUp:
      if (!w.cursorShown && w.created) {
        Host().window->SetCursorShape(false);
        HideHostCursor();
      }
      break;
    case MessageKind::DisplayChange:
      OnDisplayChange(message);
      break;
    case MessageKind::SysChar:
      if (message.param1 == '\r' && w.settings.modeToggle) w.toggleRequested = 1;
      break;
    default:
      break;
  }
}

int RunWindowStep() {
  WindowState& w = MainWindow();
  platform::Platform& host = Host();

  WindowSettings settings = w.settings;
  w = WindowState{};
  w.settings = settings;
  if (w.settings.className.empty())
    w.settings.className = w.settings.title.empty() ? kDefaultClassName : w.settings.title;
  w.mainThread = std::this_thread::get_id();

  platform::MemoryStatus memory = host.system->Memory();
  WriteLogFormat("メモリ総量:%.2fMB  空きメモリ領域:%.2fMB ", memory.totalPhysical / 1048576.0,
                 memory.availablePhysical / 1048576.0);
  char available[64];
  std::snprintf(available, sizeof available, "%.2fMB\n", memory.availablePhysical / 1048576.0);
  host.system->DebugOutput(available);

  platform::DisplayMode desktop = host.window->DesktopMode();
  w.desktopWidth = desktop.width;
  w.desktopHeight = desktop.height;
  w.desktopBits = desktop.bitsPerPixel;

  TimingState& timing = Timing();
  timing.timerPeriod = host.clock->MinimumTimerPeriod();
  host.clock->BeginTimerPeriod(timing.timerPeriod);
  w.timerPeriodBegun = true;
  if (timing.usePerformanceCounter) RunTimerPrecisionTest();
  SeedRandom(StartSeed());

  host.window->SetScreenSaverEnabled(false);

  if (w.settings.withoutWindow) return 0;

  WriteLog("ソフトの二重起動検査... ");
  if (!host.system->ClaimInstance(w.settings.className)) {
    if (!w.settings.allowSecondInstance) {
      WriteLog("二重起動されています、ソフトを終了します\n");
      w.endRequested = 1;
      return -1;
    }
    WriteLog("二重起動されていますが続行します\n");
  } else {
    WriteLog("二重起動はされていませんでした\n");
  }

  // Classes do not exist on this host; registration cannot fail.
  WriteLog("ウインドウクラスを登録します... ");
  WriteLog("登録に成功しました\n");
  if (w.settings.title.empty()) w.settings.title = kDefaultTitle;

  const auto& screen = graphics::Screen();
  platform::WindowDescription description;
  description.className = w.settings.className;
  description.titleUtf8 = platform::Cp932ToUtf8(w.settings.title);
  description.hidden = w.settings.hidden != 0;
  if (w.settings.windowed) {
    WriteLog("ウインドウモード起動用のウインドウを作成します\n");
    description.bounds = CentredWindowRect();
  } else {
    WriteLog("フルスクリーンモード用のウインドウを作成します\n");
    description.fullScreen = true;
    description.bounds = Rect{0, 0, screen.width, screen.height};
  }
  std::optional<platform::IconImage> icon = IconFor(w.settings.iconId);
  description.icon = icon ? &*icon : nullptr;

  w.creating = 1;
  if (!host.window->Create(description)) {
    w.creating = 0;
    WriteLog("ウインドウの作成に失敗しました\n");
    host.system->ReleaseInstance();
    w.endRequested = 1;
    return -1;
  }
  w.created = true;
  w.creating = 0;
  WriteLog("ウインドウの作成に成功しました\n");
  host.window->Show(!w.settings.hidden);

  w.active = 1;
  w.endRequested = 0;
  w.closePosted = 0;
  w.destroyed = 0;
  w.endState = 0;
  if (!w.settings.windowed) {
    WriteLog("カーソルを不可視にしました\n");
    host.window->SetCursorShape(false);
  }
  WriteLog("ＩＭＥを無効にしました\n");

  if (w.settings.windowed) ReadClientRect();
  else w.clientRect = description.bounds;

  w.settings.cursorSetting = w.settings.windowed ? 1 : 0;
  SetCursorVisible(w.settings.cursorSetting);

  if (!w.settings.hidden) host.window->Raise();
  int start = GetMillisecondCount();
  while (((GetMillisecondCount() - start) & 0x7FFFFFFF) < 200) {
    if (PumpMessagesUnguarded() != 0) break;
  }
  if (!w.settings.hidden && w.created) FitMainWindow();
  return 0;
}

void EndWindow() {
  WindowState& w = MainWindow();
  platform::Platform& host = Host();
  if (!w.created && !w.settings.withoutWindow) return;
  host.window->SetScreenSaverEnabled(true);
  if (w.settings.withoutWindow) {
    w.endRequested = 1;
  } else {
    w.settings.cursorSetting = 1;
    host.window->SetCursorShape(true);
    ShowHostCursor();
    w.cursorShown = 1;
    host.window->PostMessage(Message{MessageKind::SetCursor});
    if (!w.closePosted) {
      w.closePosted = 1;
      host.window->PostMessage(Message{MessageKind::Close});
    }
    while (w.created && !w.destroyed) {
      if (PumpMessagesUnguarded() != 0) break;
    }
    // A window kept open by its settings is closed for good now.
    DestroyMainWindow();
    host.system->ReleaseInstance();
  }
  if (w.timerPeriodBegun) {
    host.clock->EndTimerPeriod(Timing().timerPeriod);
    w.timerPeriodBegun = false;
  }
  w.created = false;
}

}  // namespace qr::core

using qr::core::MainWindow;
using qr::core::WindowState;

int SetWindowTitleText(const char* text) {
  WindowState& w = MainWindow();
  w.settings.title = qr::core::CutWindowText(text);
  if (w.created) qr::platform::Current().window->SetTitle(qr::platform::Cp932ToUtf8(w.settings.title));
  return 0;
}

int SetWindowIconResource(int id) {
  WindowState& w = MainWindow();
  w.settings.iconId = id;
  if (w.created) {
    std::optional<qr::platform::IconImage> icon = qr::core::IconFor(id);
    qr::platform::Current().window->SetIcon(icon ? &*icon : nullptr);
  }
  return 0;
}

int SetCursorVisible(int visible) {
  WindowState& w = MainWindow();
  if (visible != -1) w.settings.cursorSetting = visible != 0;
  int effective = w.settings.cursorSetting;
  if (effective == w.cursorShown && visible != -1) return 0;
  if (w.created) {
    auto& window = *qr::platform::Current().window;
    if (effective) {
      window.SetCursorShape(true);
      qr::core::ShowHostCursor();
    } else {
      qr::core::HideHostCursor();
    }
    window.PostMessage(qr::platform::Message{qr::platform::MessageKind::SetCursor});
  }
  w.cursorShown = effective;
  return 0;
}

int ChangeWindowMode(int windowed) {
  WindowState& w = MainWindow();
  WriteLog("ChangeWindowMode実行 \n");
  windowed = windowed != 0;
  if (windowed == w.settings.windowed) return 0;
  w.settings.visibleStyleBit = 1;
  w.modeChangeSeen = 0;
  w.settings.windowed = windowed;
  WriteLog(windowed ? "ウインドウモードフラグが立てられました\n" : "ウインドウモードフラグが倒されました\n");
  if (!w.created) return 0;

  w.changingMode = 1;
  qr::core::ChangeWindowStyle(windowed);
  int result = qr::graphics::ChangeScreenMode(-1, -1, -1, 1, -1);
  while (!w.modeChangeSeen) {
    if (qr::core::PumpMessagesUnguarded() != 0) break;
  }
  w.changingMode = 0;
  return result;
}

int GetDesktopMode(int* width, int* height, int* colourBits) {
  WindowState& w = MainWindow();
  int dw = w.desktopWidth, dh = w.desktopHeight, db = w.desktopBits;
  if (!qr::core::Started()) {
    qr::platform::DisplayMode mode = qr::platform::Current().window->DesktopMode();
    dw = mode.width;
    dh = mode.height;
    db = mode.bitsPerPixel;
  }
  if (width) *width = dw;
  if (height) *height = dh;
  if (colourBits) *colourBits = db;
  return 0;
}
