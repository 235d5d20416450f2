// The runtime's one window: its settings, the window step of start-up, the window procedure,
// the message pump and the window end.
#pragma once

#include <string>
#include <thread>

#include "platform/window.h"

namespace qr::core {

// Settings survive the clearing of the window record at start.
struct WindowSettings {
  int windowed = 0;
  std::string title;      // CP932, at most 255 bytes; empty means "Quarn"
  std::string className;  // CP932, at most 255 bytes; empty means the title or "Q123987R"
  int iconId = 0;
  int cursorSetting = 1;
  int allowSecondInstance = 0;
  int withoutWindow = 0, withoutGraphics = 0, withoutSound = 0, withoutInput = 0;
  int hidden = 0;
  int keepRunningInactive = 0;
  int imeAllowed = 0;
  int modeToggle = 0;  // Alt+Enter or maximising switches between window and full screen
  int visibleStyleBit = 0;
  double sizeFactor = 1.0;
  int explicitClientWidth = 0, explicitClientHeight = 0;  // 0: none
  bool hasExplicitPosition = false;
  int explicitX = 0, explicitY = 0;
  int clipCursor = 0;
  int keepWindowOnClose = 0;
  int noQuitOnDestroy = 0;
};

struct WindowState {
  WindowSettings settings;
  bool created = false;  // the platform window exists
  std::thread::id mainThread;
  platform::Rect clientRect;  // screen coordinates
  int active = 0;
  int endRequested = 0;
  int closePosted = 0;
  int destroyed = 0;
  int endState = 0;  // 0 normal, 1 RuntimeEnd runs, 4 a close arrived
  int changingMode = 0;
  int modeChangeSeen = 0;
  int toggleRequested = 0;
  int cursorShown = 0;
  int cursorClipped = 0;
  int creating = 0;
  int pumpTailRunning = 0;
  bool firstFitDone = false;
  bool timerPeriodBegun = false;
  int desktopWidth = 0, desktopHeight = 0, desktopBits = 0;
};

WindowState& MainWindow();

// Start-up's window step; 0 or -1.
int RunWindowStep();
// The window side of RuntimeEnd.
void EndWindow();
// The pump without the call guard, for the runtime's own loops.
int PumpMessagesUnguarded();
// Pumps until the window is active again or the end is requested (calls that need the screen).
void WaitWhileInactive();
// Sizes the window so that its client area is the screen size again.
void FitMainWindow();
// Runs one message through the window procedure.
void HandleWindowMessage(const platform::Message& message);

// Longest title or class name the window record holds, in bytes.
constexpr size_t kMaxWindowText = 255;
// Cuts text to at most kMaxWindowText bytes without splitting a double-byte character.
std::string CutWindowText(const char* text);

}  // namespace qr::core
