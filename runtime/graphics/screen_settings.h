// The screen mode the program asked for; the window is sized from it.
#pragma once

namespace qr::graphics {

struct ScreenSettings {
  int width = 640;
  int height = 480;
  int colourBits = 16;
  int refreshRate = 0;
};

ScreenSettings& Screen();

}  // namespace qr::graphics
