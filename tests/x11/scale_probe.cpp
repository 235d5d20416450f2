// Shows a picture through the runtime in a scaled window or in full screen, for window_scale.sh.
// Usage: x11_scale_probe PICTURE (window FACTOR | fullscreen)
// Prints "client LEFT TOP WIDTH HEIGHT" once the window is up and "mouse X Y" whenever the
// position read changes; ends when the file "quit" appears in the current directory, or after
// a minute.
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "core/main_window.h"
#include "platform/platform.h"
#include "qr.h"

int main(int argc, char** argv) {
  if (argc < 3) return 2;
  std::setvbuf(stdout, nullptr, _IOLBF, 0);
  bool fullScreen = std::string(argv[2]) == "fullscreen";
  if (!fullScreen && argc < 4) return 2;
  SetWindowTitleText("scale probe");
  SetScreenMode(640, 480, 32, 0);
  ChangeWindowMode(fullScreen ? 0 : 1);
  if (!fullScreen) SetWindowSizeScale(std::atof(argv[3]));
  if (RuntimeInit() == -1) return 1;
  int picture = LoadGraphic(argv[1], 0);
  if (picture == -1) return 1;
  // Shown a few times first, so that the client area read is the one the frames go to.
  for (int i = 0; i < 5 && PumpMessages() == 0; ++i) SleepMilliseconds(20);
  qr::platform::Rect client = qr::platform::Current().window->ClientRect();
  std::printf("client %d %d %d %d\n", client.left, client.top, client.Width(), client.Height());
  int lastX = -99999, lastY = -99999;
  int start = GetMillisecondCount();
  std::error_code error;
  while (PumpMessages() == 0 && GetMillisecondCount() - start < 60000 &&
         !std::filesystem::exists("quit", error)) {
    ClearScreen();
    DrawGraphic(0, 0, picture, 0);
    FlipScreen();
    int x = 0, y = 0;
    GetMousePosition(&x, &y);
    if (x != lastX || y != lastY) std::printf("mouse %d %d\n", lastX = x, lastY = y);
    SleepMilliseconds(16);
  }
  RuntimeEnd();
  return 0;
}
