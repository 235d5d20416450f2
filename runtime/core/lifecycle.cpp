// RuntimeInit and RuntimeEnd in their fixed order, and the fatal stop.
#include "core/lifecycle.h"

#include <cstdarg>
#include <cstdio>
#include <cstdlib>

#include "core/call_guard.h"
#include "core/log.h"
#include "core/main_window.h"
#include "core/runtime_observer.h"
#include "core/timing.h"
#include "file/stream_functions.h"
#include "graphics/draw_settings.h"
#include "graphics/device_start.h"
#include "graphics/screen_settings.h"
#include "input/input_state.h"
#include "platform/platform.h"
#include "qr.h"
#include "sound/sound_system.h"

namespace qr::core {

LifecycleState& Lifecycle() {
  static LifecycleState state;
  return state;
}

bool Started() { return Lifecycle().started != 0; }

namespace {

// In full screen, a size the display cannot show starts in a window instead. Full screen keeps
// the desktop's mode and scales the frame to it, so every size that fits the desktop counts as
// offered, beside the display's own modes.
void FallBackToWindowIfModeMissing() {
  if (MainWindow().settings.windowed) return;
  const auto& screen = graphics::Screen();
  platform::DisplayMode desktop = platform::Current().window->DesktopMode();
  if (screen.width <= desktop.width && screen.height <= desktop.height) return;
  for (const platform::DisplayMode& mode : platform::Current().window->DisplayModes())
    if (mode.width == screen.width && mode.height == screen.height) return;
  ChangeWindowMode(1);
}

// Steps shared by RuntimeEnd, a failed start and the fatal stop; they act only on a started
// runtime.
void TeardownCore() {
  LifecycleState& life = Lifecycle();
  if (!life.started) return;
  WindowState& w = MainWindow();
  w.endState = 1;
  graphics::EndGraphics();
  input::EndInput();
  sound::EndSound();
  EndWindow();
  if (life.comStarted) {
    WriteLog("ＣＯＭを終了... 完了\n");
    life.comStarted = 0;
  }
  life.started = 0;
  if (!w.settings.withoutWindow) {
    while (w.created && !w.endRequested) {
      if (PumpMessagesUnguarded() != 0) break;
    }
  }
  if (!life.savedDirectory.empty()) file::Streams().SetDirectory(life.savedDirectory.c_str());
  file::CloseUnusedArchiveFiles();
  DumpMemory();
}

int FailStart() {
  Lifecycle().starting = 0;
  TeardownCore();
  return -1;
}

int RunStart() {
  LifecycleState& life = Lifecycle();
  platform::Platform& host = platform::Current();
  if (life.started) return 0;
  life.starting = 1;

  FallBackToWindowIfModeMissing();

  file::ClearFileLayer();
  file::InstallStreamFunctions(nullptr);
  char directory[260] = {};
  file::Streams().GetDirectory(directory);
  life.savedDirectory = directory;
  // The log file is written by host path, beside the directory saved above.
  Log().savedDirectory = host.system->CurrentDirectory();
  CreateLogFile();

  WindowState& w = MainWindow();
  if (!w.settings.withoutGraphics && w.settings.windowed &&
      host.window->DesktopMode().bitsPerPixel == 24) {
    life.starting = 0;
    return WriteLog("ＱＲライブラリは２４ビットカラーモードに対応していません\n");
  }

  TimingState& timing = Timing();
  timing.counterFrequency = host.clock->CounterFrequency();
  timing.usePerformanceCounter = timing.counterFrequency != 0;

  WriteSystemReport();

  file::FillStreamReaderTables();

  // There is no COM here; the lines stay so that logs read the same on every host.
  WriteLog("ＣＯＭの初期化... ");
  WriteLog("成功しました\n");
  life.comStarted = 1;

  if (RunWindowStep() == -1) return FailStart();
  if (!w.settings.withoutInput && input::InitInput() == -1) return FailStart();
  // A machine without sound starts all the same.
  if (!w.settings.withoutSound) sound::InitSound();
  if (!w.settings.withoutGraphics && graphics::InitGraphics() < 0) return FailStart();

  WriteLog("文字コードバッファの初期化を行います... ");
  WriteLog("完了しました\n");

  life.started = 1;
  if (!w.settings.windowed && w.created) {
    host.window->Raise();
    host.window->SetTopMost(true);
  }
  // Drawing goes to the front screen until the program chooses otherwise.
  SetDrawTarget(graphics::kBackScreen);
  SetDrawTarget(graphics::kFrontScreen);
  life.starting = 0;
  return 0;
}

}  // namespace
}  // namespace qr::core

int RuntimeInit() {
  if (qr::core::Started()) return 0;
  qr::core::EnterRuntimeCall();
  int result = qr::core::RunStart();
  qr::core::LeaveRuntimeCall();
  if (result == 0) qr::core::NotifyRuntimeObserver(qr::core::RuntimeEvent::Started);
  return result;
}

int RuntimeEnd() {
  if (!qr::core::Started()) return 0;
  qr::core::EnterRuntimeCall();
  qr::core::TeardownCore();
  qr::core::LeaveRuntimeCall();
  qr::core::CloseRuntimeCallGuard();
  return 0;
}

void FatalError(const char* message) {
  WriteLog(message ? message : "");
  WriteLog("\n");
  qr::core::TeardownCore();
  qr::platform::Current().system->ExitProcess(-1);
  std::_Exit(-1);  // not reached: ExitProcess does not return
}

void FatalErrorFormat(const char* format, ...) {
  char buffer[1024];
  va_list args;
  va_start(args, format);
  std::vsnprintf(buffer, sizeof buffer, format, args);
  va_end(args);
  FatalError(buffer);
}
