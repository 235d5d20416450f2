// The smallest program on the runtime: a window titled "hello" that runs until it is closed or
// Escape is pressed.
// Copy this to start a game: make settings, start, loop on PumpMessages, end.
#include "qr.h"

int main() {
  SetWindowTitleText("hello");
  SetWindowIconResource(102);  // icon.png, compiled in by qr_add_resource in CMakeLists.txt
  ChangeWindowMode(1);
  SetLogFileEnabled(1);

  if (RuntimeInit() == -1) return 1;

  int frameMark = GetMillisecondCount();
  while (PumpMessages() == 0 && !IsKeyPressed(1)) {  // closing the window or Escape ends it
    // A game draws its frame here, then sleeps out what is left of its 16 ms.
    int wait = 16 - (GetMillisecondCount() - frameMark);
    if (wait > 0) SleepMilliseconds(wait);
    frameMark = GetMillisecondCount();
  }

  RuntimeEnd();
  return 0;
}
