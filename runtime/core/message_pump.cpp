// The message pump: at most five messages per call while the window is active; while it is
// inactive the pump does not return, so the program pauses until the window comes back.
#include "core/call_guard.h"
#include "core/main_window.h"
#include "core/runtime_observer.h"
#include "platform/platform.h"
#include "qr.h"
#include "sound/sound_state.h"

namespace qr::core {

namespace {

constexpr int kMessagesPerBatch = 5;

void ClipCursorIfWanted() {
  WindowState& w = MainWindow();
  if (!w.settings.clipCursor || !w.active || !w.settings.windowed || w.cursorClipped || !w.created)
    return;
  int x = 0, y = 0;
  auto& window = *platform::Current().window;
  if (!window.CursorPosition(x, y)) return;
  const platform::Rect& r = w.clientRect;
  if (r.left < x && x <= r.right && r.top < y && y <= r.bottom) {
    window.ClipCursor(&r);
    w.cursorClipped = 1;
  }
}

void SwitchModeIfRequested() {
  WindowState& w = MainWindow();
  if (!w.toggleRequested || !w.settings.modeToggle || std::this_thread::get_id() != w.mainThread)
    return;
  w.toggleRequested = 0;
  ChangeWindowMode(w.settings.windowed ? 0 : 1);
}

// Takes up to one batch of messages off the queue and runs them through the window procedure.
void DispatchBatch() {
  WindowState& w = MainWindow();
  auto& window = *platform::Current().window;
  platform::Message message;
  for (int dispatched = 0; dispatched < kMessagesPerBatch;) {
    if (!w.created && !window.Exists()) break;
    if (!window.PeekMessage(message, true)) break;
    if (message.kind == platform::MessageKind::ActivateApp && w.settings.windowed)
      w.active = (message.param1 & 0xFFFF) != 0;
    if (w.endRequested) break;
    if (message.kind == platform::MessageKind::Quit) {
      w.endRequested = 1;
    } else {
      HandleWindowMessage(message);
    }
    ++dispatched;
  }
}

int RunTailStep() {
  WindowState& w = MainWindow();
  w.pumpTailRunning = 1;
  sound::ProcessStreamSounds();
  w.pumpTailRunning = 0;
  return w.endRequested ? -1 : 0;
}

}  // namespace

int PumpMessagesUnguarded() {
  WindowState& w = MainWindow();
  if (w.pumpTailRunning) return 0;
  ClipCursorIfWanted();
  if (w.settings.withoutWindow) return RunTailStep();
  if (!w.created) return w.endRequested ? -1 : 0;
  SwitchModeIfRequested();

  auto& clock = *platform::Current().clock;
  bool batchDone = false;
  for (;;) {
    bool running = w.active || w.closePosted || w.settings.keepRunningInactive;
    if (running) {
      if (batchDone || w.endRequested) break;
    } else {
      clock.Sleep(1);
    }
    DispatchBatch();
    batchDone = true;
    if (!(w.active || w.closePosted || w.settings.keepRunningInactive)) clock.Sleep(1);
    if (w.endRequested || std::this_thread::get_id() != w.mainThread) break;
    if (!w.created) break;
  }
  return RunTailStep();
}

void WaitWhileInactive() {
  WindowState& w = MainWindow();
  if (w.active || !w.created) return;
  if (w.settings.windowed && w.settings.keepRunningInactive) return;
  while (!w.active) {
    if (PumpMessagesUnguarded() != 0) break;
  }
}

}  // namespace qr::core

int PumpMessages() {
  qr::core::NotifyRuntimeObserver(qr::core::RuntimeEvent::Pumping);
  qr::core::EnterRuntimeCall();
  int result = qr::core::PumpMessagesUnguarded();
  qr::core::LeaveRuntimeCall();
  return result;
}
