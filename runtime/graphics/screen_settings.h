// The screen mode the program asked for, kept across start-up: the window and the device are
// made from it.
#pragma once

namespace qr::graphics {

struct ScreenSettings {
  int width = 640;
  int height = 480;
  int colourBits = 16;
  int refreshRate = 0;            // 0: the display's default
  bool hardwareDisabled = false;  // never try the device
  bool noVSyncWait = false;       // present without waiting for the vertical blank
  bool emulate320x240 = false;    // a refused 320 x 240 runs at 640 x 480, shown at 320 x 240
};

ScreenSettings& Screen();

}  // namespace qr::graphics
